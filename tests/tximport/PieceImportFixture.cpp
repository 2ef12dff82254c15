#include "PieceImportFixture.h"

#include "SchemaSql.h"
#include "platform/db/Database.h"
#include "intake/JobFiles.h"

#include <gtest/gtest.h>

namespace piecetest {

PieceImport::PieceImport(bool printTable)
{
    QStringList sql = schema::jobDatabaseSql();
    if (!printTable)
        sql.removeIf([](const QString& statement) { return statement.contains(QStringLiteral("Druckdaten")); });
    QString message;
    EXPECT_TRUE(db::createDatabase(plant.jobDatabasePath(), sql, &message)) << message.toStdString();
}

ImportOutcome PieceImport::import(std::initializer_list<QByteArray> lines, bool steelMode, const QString& job)
{
    return importBytes(QByteArrayList(lines).join("\r\n") + "\r\n", steelMode, job);
}

ImportOutcome PieceImport::importBytes(const QByteArray& content, bool steelMode, const QString& job)
{
    return importFile(plant.writeJobFile(job + (steelMode ? ".$sx" : ".$tx"), content), steelMode);
}

ImportOutcome PieceImport::importFile(const QString& path, bool steelMode)
{
    ImportOutcome outcome = importer.ImportProductionData(path, steelMode);
    askAboutFailedFile(plant.ctx, outcome);
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
