// A "C" at the end of a piece record that finds no continuation line hands
// that line back to the record tests: a bar record there is read, and the
// pieces after it belong to the new bar.
#include "JobPlant.h"

#include "tximport/ProductionImport.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

TEST(ContinuationDispatchTest, BarRecordAfterAnOpenContinuationIsRead)
{
    JobPlant plant;
    plant.createJobDatabase();
    const QString path = plant.writeJobFile(QStringLiteral("C1.$tx"), crlf({
                                                                          "KB 001L06000",
                                                                          "KTN0001L01000C",
                                                                          "KB 002L07000",
                                                                          "KTN0002L02000",
                                                                      }));
    tx::ImportCarry carry;
    tx::ProfileCache profiles;
    ASSERT_FALSE(tx::ImportProductionData(plant.ctx, plant.job, carry, profiles, path, false).failed())
        << plant.errorBox.text().toStdString();

    QStringList pieces;
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("cont"));
        d.setDatabaseName(plant.jobDatabasePath());
        ASSERT_TRUE(d.open());
        QSqlQuery q(QStringLiteral("SELECT TeileNr, StabNr FROM Teiledaten ORDER BY TeileNr"), d);
        while (q.next())
            pieces << q.value(0).toString() + QLatin1Char('@') + q.value(1).toString();
        QSqlQuery bars(QStringLiteral("SELECT COUNT(*) FROM Stabdaten"), d);
        ASSERT_TRUE(bars.next());
        EXPECT_EQ(bars.value(0).toInt(), 2);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("cont"));
    EXPECT_EQ(pieces, (QStringList{QStringLiteral("1@1"), QStringLiteral("2@2")}));
}
