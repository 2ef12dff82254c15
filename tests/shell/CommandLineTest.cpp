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
        SplitCase{"Empty", "", 10, {}}, SplitCase{"OnlySeparators", "   \t ", 10, {}},
        SplitCase{"One", "a.zezad", 10, {"a.zezad"}},
        SplitCase{"BlanksAndTabs", "  one\ttwo   three ", 10, {"one", "two", "three"}},
        // quotes are not special: a quoted path with blanks is split
        SplitCase{"QuotesNotSpecial", "\"D:\\My Plant\\cfg.zezad\" x", 10, {"\"D:\\My", "Plant\\cfg.zezad\"", "x"}},
        SplitCase{"RestIgnoredAtMaximum", "a b c d", 2, {"a", "b"}}, SplitCase{"ExactlyMaximum", "a b", 2, {"a", "b"}}),
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
    ::testing::Values(Arg1Case{"None", "", false, ""}, Arg1Case{"RegServer", "-REGSERVER", true, ""},
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
    const LaunchOptions o = parseLaunchOptions(
        {QStringLiteral("-REGSERVER"), QStringLiteral("--headless"), QStringLiteral("cfg.zezad"),
         QStringLiteral("--once"), QStringLiteral("--answer-exists=YES"), QStringLiteral("--answer-failed=retry"),
         QStringLiteral("/x"), QStringLiteral("--settle-ms=2500"), QStringLiteral("--metrics-file=/m/s.prom")});
    EXPECT_TRUE(o.usageError.isEmpty()) << o.usageError.toStdString();
    EXPECT_TRUE(o.headless);
    EXPECT_TRUE(o.once);
    EXPECT_EQ(o.answerExists, Answer::Yes);
    EXPECT_EQ(o.answerFailed, Answer::Retry);
    EXPECT_EQ(o.settleMs, 2500);
    EXPECT_EQ(o.metricsFile, QStringLiteral("/m/s.prom"));
    EXPECT_EQ(rawLegacyCommandLine(o), QStringLiteral("-REGSERVER cfg.zezad /x"));
    EXPECT_TRUE(o.warnings.isEmpty());
}

TEST(LaunchOptionsTest, DefaultsAndMalformedAnswers)
{
    LaunchOptions o = parseLaunchOptions({});
    EXPECT_FALSE(o.headless);
    EXPECT_EQ(o.answerExists, Answer::No);
    EXPECT_EQ(o.answerFailed, PolicyPrompt::AutoRetryCancel);
    EXPECT_EQ(o.settleMs, 0);
    EXPECT_TRUE(o.metricsFile.isEmpty());

    o = parseLaunchOptions({QStringLiteral("--answer-exists=maybe"), QStringLiteral("--answer-failed=")});
    EXPECT_EQ(o.answerExists, Answer::No);
    EXPECT_EQ(o.answerFailed, PolicyPrompt::AutoRetryCancel);
    EXPECT_EQ(o.warnings.size(), 2);
    EXPECT_TRUE(o.usageError.isEmpty());

    for (const QStringList& initDb : {QStringList{QStringLiteral("--init-db"), QStringLiteral("/c")},
                                      QStringList{QStringLiteral("--init-db=/c")}}) {
        o = parseLaunchOptions(initDb);
        EXPECT_TRUE(o.initDb);
        EXPECT_EQ(o.initDbDir, QStringLiteral("/c"));
    }
}

struct UsageCase {
    const char* name;
    QStringList arguments;
    const char* errorContains; // empty: no usage error
    bool help;
    bool version;
};

class UsageTest : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageTest, HelpVersionAndUsageErrorsStartNothing)
{
    const UsageCase& c = GetParam();
    const LaunchOptions o = parseLaunchOptions(c.arguments);
    EXPECT_EQ(o.usageError.isEmpty(), !*c.errorContains) << o.usageError.toStdString();
    EXPECT_TRUE(o.usageError.contains(QLatin1String(c.errorContains))) << o.usageError.toStdString();
    EXPECT_EQ(o.showHelp, c.help);
    EXPECT_EQ(o.showVersion, c.version);
    int code = -1;
    EXPECT_EQ(answerWithoutStarting(o, &code), *c.errorContains || c.help || c.version);
    if (*c.errorContains || c.help || c.version) {
        EXPECT_EQ(code, *c.errorContains ? 2 : 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsageTest,
    ::testing::Values(
        // --help, -h, --version and a misspelt option: the executable's own test (ServiceRun)
        UsageCase{"ShortVersion", {QStringLiteral("-v")}, "", false, true},
        UsageCase{"ValueOnSwitch", {QStringLiteral("--once=1")}, "once", false, false},
        UsageCase{"MissingValue", {QStringLiteral("--answer-exists")}, "answer-exists", false, false},
        UsageCase{"InitDbWithoutDirectory", {QStringLiteral("--init-db")}, "init-db", false, false},
        UsageCase{"SettleNotANumber", {QStringLiteral("--settle-ms=soon")}, "--settle-ms", false, false},
        UsageCase{"SettleNegative", {QStringLiteral("--settle-ms=-5")}, "--settle-ms", false, false},
        // single-dash words other than -h and -v belong to the legacy command line
        UsageCase{"LegacyDashWord", {QStringLiteral("-x"), QStringLiteral("/REGSERVER")}, "", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UsageTextTest, NamesEveryOptionAndTheLegacyArgument)
{
    const QString text = usageText(QStringLiteral("serverquirnel"));
    for (const char* word :
         {"--headless", "--once", "--answer-exists=", "--answer-failed=", "--settle-ms=", "--metrics-file=",
          "--program-dir=", "--init-db DIR", "--help", "--version", "-REGSERVER", "/REGSERVER", "CONFIG.zezad"})
        EXPECT_TRUE(text.contains(QLatin1String(word))) << word;
    for (const QString& line : text.split(u'\n'))
        EXPECT_LE(line.size(), 80) << line.toStdString();
}

} // namespace
