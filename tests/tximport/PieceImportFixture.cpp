#include "PieceImportFixture.h"

#include "SchemaSql.h"
#include "platform/db/Database.h"
#include "intake/JobFiles.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

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

QVariant PieceImport::value(const QString& sql) const
{
    const QList<QVariantList> r = rows(sql);
    return r.isEmpty() ? QVariant() : r.first().value(0);
}

// Each call has a short-lived connection of its own.
QList<QVariantList> PieceImport::rows(const QString& sql) const
{
    QList<QVariantList> out;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        d.setDatabaseName(plant.jobDatabasePath());
        QSqlQuery q(d);
        if (!d.open() || !q.exec(sql))
            ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            out << row;
        }
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

QString PieceImport::stopBoxText() const
{
    QString text;
    for (const auto& q : plant.prompt.asked)
        text = q.kind == "RetryCancel" ? q.text : text;
    return text;
}

} // namespace piecetest
