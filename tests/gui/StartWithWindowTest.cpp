// The executable with its window: without a display, and on the offscreen
// platform.
#include "ExecutablePlant.h"

namespace {

using WindowedExecutable = ExecutablePlant;

// Without a display it says in one line to use --headless and ends. On the
// offscreen platform a broken job becomes an error copy, is logged in the
// client directory and leaves no row; the box's question is answered from
// the command line.
TEST_F(WindowedExecutable, EndsWithoutADisplayAndTurnsABrokenJobIntoAnErrorCopyWithTheWindowOpen)
{
    writeConfig(1500, "\"Extension\",\"$tx\"\n\"JobLoadMode\",0\n");
    const ProcessRun refused =
        run(QStringLiteral(VOV_SERVER_EXE), {configPath(), QStringLiteral("--once")}, withoutDisplay());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err.count(u'\n'), 1) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(QStringLiteral("--headless"))) << refused.err.toStdString();
    EXPECT_FALSE(refused.err.contains(QStringLiteral("Start Server")));

    initDatabase();
    const QByteArray broken = crlf({"KB 001L65000T12Z", "KTN0001L12350"});
    writeJob(QStringLiteral("B7.$tx"), broken);
    const ProcessRun r = run(QStringLiteral(VOV_SERVER_EXE),
                             {configPath(), QStringLiteral("--once"), QStringLiteral("--answer-failed=cancel")},
                             withoutDisplay("offscreen"));
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Once each, though the note is added below the start line in the box.
    EXPECT_EQ(r.err.count(QStringLiteral(": Start Server")), 1) << r.err.toStdString();
    EXPECT_EQ(r.err.count(QStringLiteral("No notification area")), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Wrong ID: <Z>"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("[question] $TX-VOV Server"))) << r.err.toStdString();
    EXPECT_EQ(waiting(), QStringList{QStringLiteral("B7.$tx.$er")});
    EXPECT_EQ(readFileBytes(in() + QStringLiteral("/B7.$tx.$er")), broken);
    const QByteArray last = readFileBytes(client() + QStringLiteral("/$TXerror.dat"));
    EXPECT_TRUE(last.startsWith("\"Job: B7.$tx\r\nLine: 1\r\nCol: 16\r\nWrong ID: <Z>")) << last.constData();
    // the job is deleted again: nothing half-written stays
    EXPECT_EQ(count("LosNamen") + count("Stabdaten"), 0);
}

} // namespace
