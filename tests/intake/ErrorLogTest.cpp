#include "intake/ErrorLog.h"

#include "TestPlant.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <tuple>

namespace {

// A break inside a word runs on to the next blank; a blank at the break starts
// the next line; a CR LF ends a line wherever it stands.
TEST(WrapText, Wraps)
{
    const std::tuple<const char*, int, const char*> cases[] = {
        {"exactly", 7, "exactly"},
        {"no width", 0, "no width"},
        {"xxxxxxxxxxxx", 5, "xxxxxxxxxxxx"},
        {"aaaa bbbb cccc", 5, "aaaa bbbb \r\ncccc"},
        {"abcde fghij klmno", 5, "abcde\r\n fghij \r\nklmno"},
        {"a long first line\r\nb", 5, "a long first line\r\nb"},
        {"ab\r\ncdefgh ijklmn", 4, "ab\r\ncdefgh \r\nijklmn"},
    };
    for (const auto& [text, width, wrapped] : cases)
        EXPECT_EQ(WrapText(QString::fromUtf8(text), width), QString::fromUtf8(wrapped)) << text << " " << width;
}

TEST(WrapText, NoCharacterIsLost)
{
    QRandomGenerator rng(42);
    for (int round = 0; round < 500; ++round) {
        QString text;
        for (int i = rng.bounded(1, 200); i > 0; --i)
            text += rng.bounded(5) == 0 ? u' ' : QChar(u'a' + rng.bounded(26));
        const int width = rng.bounded(1, 30);
        ASSERT_EQ(WrapText(text, width).remove(QStringLiteral("\r\n")), text) << "width " << width;
    }
}

TEST(WriteErrorLog, WritesBothLogsInWindows1252WithCrLfAndShowsEachEntry)
{
    TestPlant plant;
    WriteErrorLog(plant.ctx, QStringLiteral("Job: a.$tx\r\nKB: Stab f\u00FCr Zeile 3"));
    EXPECT_EQ(readFileBytes(plant.clientDir() + QStringLiteral("/$TXerror.dat")),
              QByteArray("\"Job: a.$tx\r\nKB: Stab f\xFCr Zeile 3\"\r\n"));

    plant.clock.advanceSeconds(61);
    WriteErrorLog(plant.ctx, QStringLiteral("second"));
    EXPECT_EQ(readFileBytes(plant.clientDir() + QStringLiteral("/$TXerror.dat")), QByteArray("\"second\"\r\n"));
    EXPECT_EQ(readFileBytes(plant.clientDir() + QStringLiteral("/error.dat")),
              QByteArray("\"05.12.2026 10:30:00:  ------------\r\nJob: a.$tx\r\nKB: Stab f\xFCr Zeile 3\"\r\n"
                         "\"05.12.2026 10:31:01:  ------------\r\nsecond\"\r\n"));
    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("05.12.2026 10:31:01:  ------------\r\nsecond"));
    EXPECT_EQ(plant.errorBox.broughtToFront, 2);

    // Without the client directory the entry is still shown.
    plant.ctx.settings.clientDir = plant.root() + QStringLiteral("/gone");
    WriteErrorLog(plant.ctx, QStringLiteral("lost"));
    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("05.12.2026 10:31:01:  ------------\r\nlost"));
    EXPECT_FALSE(QFileInfo::exists(plant.root() + QStringLiteral("/gone")));
}

} // namespace
