// A "C" at the end of a piece record that finds no continuation line hands
// that line back to the record tests: a bar record there is read, and the
// pieces after it belong to the new bar.
#include "JobPlant.h"

#include "tximport/ProductionImport.h"

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
    for (const QVariantList& row :
         queryRows(plant.jobDatabasePath(), QStringLiteral("SELECT TeileNr, StabNr FROM Teiledaten ORDER BY TeileNr")))
        pieces << row.value(0).toString() + QLatin1Char('@') + row.value(1).toString();
    EXPECT_EQ(queryValue(plant.jobDatabasePath(), QStringLiteral("SELECT COUNT(*) FROM Stabdaten")).toInt(), 2);
    EXPECT_EQ(pieces, (QStringList{QStringLiteral("1@1"), QStringLiteral("2@2")}));
}
