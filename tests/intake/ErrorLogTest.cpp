#include "intake/ErrorLog.h"

#include "TestSupport.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

struct WrapCase {
    const char* text;
    int width;
    const char* wrapped;
};

class WrapTextTest : public ::testing::TestWithParam<WrapCase> {};

TEST_P(WrapTextTest, Wraps)
{
    EXPECT_EQ(WrapText(QString::fromUtf8(GetParam().text), GetParam().width), QString::fromUtf8(GetParam().wrapped));
}

INSTANTIATE_TEST_SUITE_P(
    Table, WrapTextTest,
    ::testing::Values(
        WrapCase{"short", 75, "short"},
        WrapCase{"exactly", 7, "exactly"},
        WrapCase{"no width", 0, "no width"},
        // a break that falls inside a word runs on to the next blank
        WrapCase{"aaaa bbbb cccc", 5, "aaaa bbbb \r\ncccc"},
        // a break on a blank: the blank starts the next line
        WrapCase{"abcde fghij", 5, "abcde\r\n fghij"},
        WrapCase{"abcde fghij klmno", 5, "abcde\r\n fghij \r\nklmno"},
        // a CR ends a line wherever it stands
        WrapCase{"a long first line\r\nb", 5, "a long first line\r\nb"},
        WrapCase{"ab\r\ncdefgh ijklmn", 4, "ab\r\ncdefgh \r\nijklmn"}));

TEST(WrapText, LongWordStaysOnOneLine)
{
    const QString word(100, u'x');
    EXPECT_EQ(WrapText(word, 75), word);
}

TEST(WrapText, NoCharacterIsLost)
{
    QRandomGenerator rng(42);
    for (int round = 0; round < 500; ++round) {
        QString text;
        const int length = rng.bounded(1, 200);
        for (int i = 0; i < length; ++i)
            text += rng.bounded(5) == 0 ? u' ' : QChar(u'a' + rng.bounded(26));
        const int width = rng.bounded(1, 30);
        QString wrapped = WrapText(text, width);
        wrapped.remove(QStringLiteral("\r\n"));
        ASSERT_EQ(wrapped, text) << "width " << width;
    }
}

class WriteErrorLogTest : public ::testing::Test {
protected:
    QString txError() const { return plant.clientDir() + QStringLiteral("/$TXerror.dat"); }
    QString errorDat() const { return plant.clientDir() + QStringLiteral("/error.dat"); }
    TestPlant plant;
};

TEST_F(WriteErrorLogTest, WritesBothLogsInWindows1252AndShowsTheEntry)
{
    const QString message = QStringLiteral("Job: a.$tx\r\nKB: Stab f\u00FCr Zeile 3");

    const QString entry = WriteErrorLog(plant.ctx, message);

    EXPECT_EQ(entry, QStringLiteral("05.12.2026 10:30:00:  ------------\r\n") + message);
    EXPECT_EQ(readFileBytes(txError()), QByteArray("\"Job: a.$tx\r\nKB: Stab f\xFCr Zeile 3\"\r\n"));
    EXPECT_EQ(readFileBytes(errorDat()),
              QByteArray("\"05.12.2026 10:30:00:  ------------\r\nJob: a.$tx\r\nKB: Stab f\xFCr Zeile 3\"\r\n"));
    EXPECT_EQ(plant.errorBox.text(), entry);
    EXPECT_EQ(plant.errorBox.broughtToFront, 1);
}

TEST_F(WriteErrorLogTest, SecondErrorReplacesTheLatestAndAppendsToTheLog)
{
    WriteErrorLog(plant.ctx, QStringLiteral("first"));
    plant.clock.advanceSeconds(61);
    const QString second = WriteErrorLog(plant.ctx, QStringLiteral("second"));

    EXPECT_EQ(readFileBytes(txError()), QByteArray("\"second\"\r\n"));
    EXPECT_EQ(readFileBytes(errorDat()), QByteArray("\"05.12.2026 10:30:00:  ------------\r\nfirst\"\r\n"
                                                    "\"05.12.2026 10:31:01:  ------------\r\nsecond\"\r\n"));
    EXPECT_EQ(plant.errorBox.text(), second);
}

TEST_F(WriteErrorLogTest, MissingClientDirectoryStillShowsTheEntry)
{
    plant.ctx.settings.clientDir = plant.root() + QStringLiteral("/gone");
    const QString entry = WriteErrorLog(plant.ctx, QStringLiteral("lost"));
    EXPECT_FALSE(QFileInfo::exists(plant.root() + QStringLiteral("/gone")));
    EXPECT_EQ(plant.errorBox.text(), entry);

    plant.ctx.settings.clientDir.clear();
    WriteErrorLog(plant.ctx, QStringLiteral("lost"));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("$TXerror.dat")));
    EXPECT_EQ(plant.errorBox.broughtToFront, 2);
}

} // namespace
