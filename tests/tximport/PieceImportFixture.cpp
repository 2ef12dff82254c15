#include "PieceImportFixture.h"

#include "SchemaSql.h"
#include "platform/db/Database.h"
#include "tximport/ProductionImport.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <gtest/gtest.h>

namespace piecetest {
namespace {

QString schemaSql(Schema schema)
{
    QString sql = schema::jobDatabaseSql();
    if (schema == Schema::NoAngleIds) {
        QStringList kept;
        for (const QString& line : sql.split(QLatin1Char('\n'))) {
            if (!line.contains(QLatin1String("AngleOnCutID")) && !line.contains(QLatin1String("AngleOffCutID")))
                kept << line;
        }
        sql = kept.join(QLatin1Char('\n'));
    } else if (schema == Schema::NoPrintTable) {
        sql.remove(QRegularExpression(QStringLiteral("CREATE TABLE Druckdaten \\(.*?\\);"),
                                      QRegularExpression::DotMatchesEverythingOption));
        sql.remove(QRegularExpression(QStringLiteral("CREATE INDEX Druckdaten_[^;]*;")));
    }
    return sql;
}

// Runs fn on a short-lived connection of its own.
void withConnection(const QString& path, const std::function<void(QSqlDatabase&)>& fn)
{
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        d.setDatabaseName(path);
        if (d.open())
            fn(d);
        else
            ADD_FAILURE() << d.lastError().text().toStdString();
        d.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

PieceImport::PieceImport(Schema schema)
{
    QString message;
    EXPECT_TRUE(db::createDatabase(plant.jobDatabasePath(), schemaSql(schema), &message)) << message.toStdString();
}

void PieceImport::import(std::initializer_list<QByteArray> lines, bool steelMode, const QString& job)
{
    QByteArray content;
    for (const QByteArray& line : lines)
        content += line + "\r\n";
    importBytes(content, steelMode, job);
}

void PieceImport::importBytes(const QByteArray& content, bool steelMode, const QString& job)
{
    const QString path = plant.writeJobFile(job + (steelMode ? QStringLiteral(".$sx") : QStringLiteral(".$tx")), content);
    tx::ImportProductionData(plant.ctx, plant.job, carry, profiles, path, steelMode);
}

QVariant PieceImport::piece(const QString& column, int pieceNo, bool steelMode) const
{
    return value(QStringLiteral("SELECT %1 FROM %2Teiledaten WHERE TeileNr=%3")
                     .arg(column, steelMode ? QStringLiteral("Stahl") : QString())
                     .arg(pieceNo));
}

QVariant PieceImport::bar(const QString& column, int barNo, bool steelMode) const
{
    return value(QStringLiteral("SELECT %1 FROM %2Stabdaten WHERE StabNr=%3")
                     .arg(column, steelMode ? QStringLiteral("Stahl") : QString())
                     .arg(barNo));
}

QVariant PieceImport::value(const QString& sql) const
{
    const QList<QVariantList> r = rows(sql);
    if (r.isEmpty() || r.first().isEmpty())
        return {};
    return r.first().first();
}

QList<QVariantList> PieceImport::rows(const QString& sql) const
{
    QList<QVariantList> out;
    withConnection(plant.jobDatabasePath(), [&](QSqlDatabase& d) {
        QSqlQuery q(d);
        if (!q.exec(sql)) {
            ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
            return;
        }
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            out << row;
        }
    });
    return out;
}

void PieceImport::exec(const QString& sql) const
{
    withConnection(plant.jobDatabasePath(), [&](QSqlDatabase& d) {
        QSqlQuery q(d);
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
    });
}

QString PieceImport::stopBoxText() const
{
    for (auto it = plant.prompt.asked.rbegin(); it != plant.prompt.asked.rend(); ++it) {
        if (it->kind == QLatin1String("RetryCancel"))
            return it->text;
    }
    return {};
}

QString PieceImport::lastReport() const { return plant.errorBox.text(); }

QByteArray field(const QByteArray& value, int width)
{
    return value.leftJustified(width, ' ', true);
}

QByteArray sa(char selection, char lane, const char* number, const char* length, const char* depth,
              const char* steelNumber)
{
    QByteArray out("SA");
    out += selection;
    out += lane;
    out += field(number, 4) + field(length, 5) + field(depth, 5) + field(steelNumber, 3);
    return out;
}

} // namespace piecetest
