#include "shell/CommandLine.h"

#include "platform/OperatorPrompt.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char* name;
    const char* raw;
    int max;
    QStringList expected; // without the empty element 0
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, SplitsAtBlanksAndTabsOnly)
{
    const SplitCase& c = GetParam();
    const QStringList got = SplitCommandLine(QString::fromUtf8(c.raw), c.max);
    ASSERT_FALSE(got.isEmpty());
    EXPECT_TRUE(got.first().isEmpty());
    EXPECT_EQ(got.mid(1), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{"Empty", "", 10, {}},
        SplitCase{"OnlySeparators", "   \t ", 10, {}},
        SplitCase{"One", "a.zezad", 10, {"a.zezad"}},
        SplitCase{"BlanksAndTabs", "  one\ttwo   three ", 10, {"one", "two", "three"}},
        // quotes are not special: a quoted path with blanks is split
        SplitCase{"QuotesNotSpecial", "\"D:\\My Plant\\cfg.zezad\" x", 10, {"\"D:\\My", "Plant\\cfg.zezad\"", "x"}},
        SplitCase{"RestIgnoredAtMaximum", "a b c d", 2, {"a", "b"}},
        SplitCase{"ExactlyMaximum", "a b", 2, {"a", "b"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct Arg1Case {
    const char* name;
    const char* raw;
    bool registration;
    const char* config;
};

class Argument1Test : public ::testing::TestWithParam<Arg1Case> {};

TEST_P(Argument1Test, InterpretsOnlyArgumentOne)
{
    const Arg1Case& c = GetParam();
    const LegacyArgument a = interpretArgument1(SplitCommandLine(QString::fromUtf8(c.raw)));
    EXPECT_EQ(a.registration, c.registration) << c.raw;
    EXPECT_EQ(a.configFile, QString::fromUtf8(c.config)) << c.raw;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Argument1Test,
    ::testing::Values(
        Arg1Case{"None", "", false, ""},
        Arg1Case{"RegServer", "-REGSERVER", true, ""},
        Arg1Case{"RegServerLowerSlash", "/regserver", true, ""},
        Arg1Case{"RegServerIgnoresArgument2", "-REGSERVER other.zezad", true, ""},
        Arg1Case{"QuotedPath", "\"D:\\cfg\\line1.zezad\"", false, "D:\\cfg\\line1.zezad"},
        Arg1Case{"Relative", "a.zezad", false, "a.zezad"},
        Arg1Case{"AbsoluteUpperCase", "/plant/Server/Plant.ZEZAD", false, "/plant/Server/Plant.ZEZAD"},
        Arg1Case{"SixCharacters", ".zezad", false, ".zezad"},
        Arg1Case{"NoExtension", "a.zeza", false, ""},
        // a quoted path with a blank: the first piece has no .ZEZAD, default stays
        Arg1Case{"QuotedPathWithBlank", "\"D:\\My Plant\\cfg.zezad\"", false, ""},
        Arg1Case{"OnlyArgumentOneCounts", "notes.txt cfg.zezad", false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LaunchOptionsTest, SeparatesOwnOptionsFromLegacyArguments)
{
    const LaunchOptions o = parseLaunchOptions({QStringLiteral("--headless"), QStringLiteral("cfg.zezad"),
                                                QStringLiteral("--once"), QStringLiteral("--answer-exists=YES"),
                                                QStringLiteral("--answer-failed=retry"), QStringLiteral("--bogus")});
    EXPECT_TRUE(o.headless);
    EXPECT_TRUE(o.once);
    EXPECT_EQ(o.answerExists, Answer::Yes);
    EXPECT_EQ(o.answerFailed, Answer::Retry);
    EXPECT_EQ(o.legacyArguments, QStringList{QStringLiteral("cfg.zezad")});
    ASSERT_EQ(o.warnings.size(), 1);
    EXPECT_TRUE(o.warnings.first().contains(QStringLiteral("--bogus")));
    EXPECT_EQ(rawLegacyCommandLine(o), QStringLiteral("cfg.zezad"));
}

TEST(LaunchOptionsTest, DefaultsAndMalformedAnswers)
{
    LaunchOptions o = parseLaunchOptions({});
    EXPECT_FALSE(o.headless);
    EXPECT_EQ(o.answerExists, Answer::No);
    EXPECT_EQ(o.answerFailed, Answer::Cancel);

    o = parseLaunchOptions({QStringLiteral("--answer-exists=maybe"), QStringLiteral("--answer-failed=")});
    EXPECT_EQ(o.answerExists, Answer::No);
    EXPECT_EQ(o.answerFailed, Answer::Cancel);
    EXPECT_EQ(o.warnings.size(), 2);

    o = parseLaunchOptions({QStringLiteral("--init-db")});
    EXPECT_TRUE(o.initDb);
    EXPECT_EQ(o.warnings.size(), 1);
}

} // namespace
