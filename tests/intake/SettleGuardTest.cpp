#include "intake/SettleGuard.h"

#include "RecordingImporter.h"
#include "TestPlant.h"
#include "intake/ScanCycle.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// Each look at a file: its size, its time stamp, the time of the look, and
// whether the guard takes the file then.
struct Look {
    qint64 size;
    qint64 modifiedMs;
    qint64 nowMs;
    bool settled;
};

TEST(SettleRule, TakesAFileOnlyAfterItStayedTheSameForTheSettleTime)
{
    const struct {
        const char* name;
        int settleMs;
        std::vector<Look> looks;
    } cases[] = {
        {"off: taken at once", 0, {{10, 0, 1000, true}}},
        // an old file is still looked at twice: the writer's clock may be off
        {"unchanged: settled after the time from the first look",
         2000,
         {{10, 0, 10'000, false}, {10, 0, 11'500, false}, {10, 0, 12'000, true}, {10, 0, 13'000, true}}},
        // a change seen at 11500 happened at 11000 by the file's stamp: taken from 13000 on
        {"a change is dated by a plausible stamp",
         2000,
         {{10, 9000, 10'000, false},
          {20, 11'000, 11'500, false},
          {20, 11'000, 12'900, false},
          {20, 11'000, 13'000, true}}},
        // stamps in the future or before the last look are not believed
        {"implausible stamps count from the look",
         2000,
         {{10, 0, 10'000, false},
          {20, 99'000, 11'000, false},
          {20, 99'000, 12'900, false},
          {20, 99'000, 13'000, true},
          {30, 5000, 14'000, false},
          {30, 5000, 16'000, true}}},
        {"a growing file is never taken",
         1000,
         {{1, 1000, 1000, false}, {2, 1900, 2000, false}, {3, 2900, 3000, false}, {4, 3900, 4000, false}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettleGuard guard(c.settleMs);
        for (size_t i = 0; i < c.looks.size(); ++i) {
            const Look& l = c.looks[i];
            EXPECT_EQ(guard.settled(QStringLiteral("/in/a.$tx"), l.size, l.modifiedMs, l.nowMs), l.settled)
                << "look " << i;
        }
        // Another file is judged on its own.
        EXPECT_EQ(guard.settled(QStringLiteral("/in/b.$tx"), 1, 0, 1'000'000), c.settleMs <= 0);
    }
}

class SettleScanTest : public ::testing::Test {
protected:
    std::string cycle()
    {
        importer.calls.clear();
        ScanCycle(plant.ctx, importer).runOnce();
        return importer.calls.join(u' ').toStdString();
    }
    void append(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(bytes);
    }

    TestPlant plant;
    RecordingImporter importer;
};

// A planning system writes the job in two halves; the cycles in between
// leave it alone and take a finished file that waits beside it.
TEST_F(SettleScanTest, FileWrittenInTwoHalvesIsTakenOnlyAfterItSettled)
{
    constexpr int kSettleMs = 800;
    auto guard = std::make_shared<SettleGuard>(kSettleMs);
    plant.ctx.fileSettled = [guard](const QString& path) { return (*guard)(path); };

    const QString growing = plant.writeJobFile(QStringLiteral("a.$tx"), "KB 001L65000T12\r\n");
    EXPECT_EQ(cycle(), "");
    QThread::msleep(300);
    append(growing, "KTN0001L12350\r\n");
    QElapsedTimer sinceSecondHalf;
    sinceSecondHalf.start();
    EXPECT_EQ(cycle(), "");

    std::string taken;
    while (taken.empty() && sinceSecondHalf.elapsed() < 5000) {
        QThread::msleep(100);
        const qint64 before = sinceSecondHalf.elapsed();
        taken = cycle();
        if (taken.empty())
            continue;
        // the file system stamps with a coarse clock: a few ms of slack
        EXPECT_GE(sinceSecondHalf.elapsed() + 50, kSettleMs) << "taken before it settled";
        EXPECT_LT(before, kSettleMs + 1000) << "taken late";
    }
    EXPECT_EQ(taken, "ImportProductionData(a.$tx,0)");
}

TEST_F(SettleScanTest, SingleCycleWaitsWithinTheCycleForAFreshFile)
{
    constexpr int kSettleMs = 400;
    auto guard = std::make_shared<SettleGuard>(kSettleMs, true);
    plant.ctx.fileSettled = [guard](const QString& path) { return (*guard)(path); };
    plant.writeJobFile(QStringLiteral("b.$tx"), "KB 001L65000T12\r\n");

    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(cycle(), "ImportProductionData(b.$tx,0)");
    EXPECT_GE(timer.elapsed(), kSettleMs);
}

} // namespace
