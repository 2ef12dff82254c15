#include "PieceImportFixture.h"

#include "SchemaSql.h"
#include "platform/db/Database.h"
#include "intake/JobFiles.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace piecetest {

PieceImport::PieceImport(bool printTable)
{
    QString sql = schema::jobDatabaseSql();
    if (!printTable)
        sql.remove(QRegularExpression(QStringLiteral("CREATE (TABLE Druckdaten \\(.*?\\)|INDEX Druckdaten_[^;]*);"),
                                      QRegularExpression::DotMatchesEverythingOption));
    QString message;
    EXPECT_TRUE(db::createDatabase(plant.jobDatabasePath(), sql, &message)) << message.toStdString();
}

ImportOutcome PieceImport::import(std::initializer_list<QByteArray> lines, bool steelMode, const QString& job)
{
    return importBytes(QByteArrayList(lines).join("\r\n") + "\r\n", steelMode, job);
}

ImportOutcome PieceImport::importBytes(const QByteArray& content, bool steelMode, const QString& job)
{
    const ImportOutcome outcome =
        importer.ImportProductionData(plant.writeJobFile(job + (steelMode ? ".$sx" : ".$tx"), content), steelMode);
    if (plant.ctx.settings.separateMode())
        endFile(plant.ctx, importer, outcome);
    anyFailed |= outcome.failed();
    return outcome;
}

QString PieceImport::stopBoxText() const
{
    QString text;
    for (const auto& q : plant.prompt.asked)
        text = q.kind == "RetryCancel" ? q.text : text;
    return text;
}

} // namespace piecetest
