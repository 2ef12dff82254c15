#include "intake/PlantLock.h"

#include "PgCluster.h"
#include "platform/PendingError.h"

#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The session that holds a schema's plant lock, ended as a lost network or
// a restarted database server ends it; its pid, or -1 when none held it.
qlonglong endLockSession(PgCluster& cluster, const QString& database, const QString& schema)
{
    PgConnection admin(cluster, database);
    if (!admin.open())
        return -1;
    QSqlQuery q(admin.db());
    if (!q.exec(QStringLiteral("SELECT pid, pg_terminate_backend(pid) FROM pg_locks WHERE locktype = 'advisory' "
                               "AND granted AND objid = (hashtext('%1')::bigint & 4294967295)::oid")
                    .arg(schema)) ||
        !q.next())
        return -1;
    return q.value(0).toLongLong();
}

// A server lets go of its plant in order with the marker only when the job
// database is sound; the next one takes the plant without it after a stop
// that met damage, and so checks the whole file.
TEST(PlantLockOfAFile, TheCleanStopMarkerSaysTheDatabaseIsSound)
{
    QTemporaryDir client;
    for (const bool sound : {false, true, false}) {
        PlantLock lock;
        ASSERT_TRUE(lock.lock(client.path()));
        lock.setDatabaseSound(sound);
        lock.unlock();
        PlantLock next;
        ASSERT_TRUE(next.lock(client.path()));
        EXPECT_EQ(next.previousStopWasClean(), sound);
    }
}

// On a database server the plant is the schema. A server whose lock went
// with its connection takes it again at its next claim; when another
// server has taken it meanwhile, the claim fails, and a connection that
// may write is refused with a fault of the machine naming the holder.
TEST(PlantLockOfASchema, IsTakenAgainAfterItsConnectionWentUnlessAnotherServerTookIt)
{
    VOV_PG_CLUSTER_OR_SKIP(cluster);
    QString why;
    const QString database = cluster->freshDatabase(&why);
    ASSERT_FALSE(database.isEmpty()) << why.toStdString();
    const JobDatabaseUrl line1 = cluster->url(database, QStringLiteral("line1"));
    const JobDatabaseUrl line2 = cluster->url(database, QStringLiteral("line2"));

    PlantLock first, second;
    ASSERT_EQ(first.claim(line1, &why), PlantLock::Claim::Ours) << why.toStdString();
    EXPECT_EQ(second.claim(line1, &why), PlantLock::Claim::HeldElsewhere);
    EXPECT_TRUE(why.startsWith(QStringLiteral("session "))) << why.toStdString();
    EXPECT_EQ(second.claim(line2, &why), PlantLock::Claim::Ours) << why.toStdString();

    const qlonglong before = endLockSession(*cluster, database, QStringLiteral("line1"));
    ASSERT_GT(before, 0);
    EXPECT_EQ(first.claim(line1, &why), PlantLock::Claim::Ours) << why.toStdString();
    PendingError err;
    EXPECT_TRUE(first.claimForWriting(line1, err));
    EXPECT_FALSE(err.pending());

    const qlonglong again = endLockSession(*cluster, database, QStringLiteral("line1"));
    EXPECT_TRUE(again > 0 && again != before) << again << " after " << before;
    PlantLock third;
    ASSERT_EQ(third.claim(line1, &why), PlantLock::Claim::Ours) << why.toStdString();
    EXPECT_FALSE(first.claimForWriting(line1, err));
    EXPECT_EQ(err.number, ErrorNumber::RecordLocked);
    EXPECT_TRUE(err.description.startsWith(QStringLiteral("Another server (session ")))
        << err.description.toStdString();
    EXPECT_TRUE(ErrorNumber::isInfrastructureFault(err.number));
}

} // namespace
