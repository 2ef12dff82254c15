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

#include <algorithm>

namespace piecetest {
namespace {

QString schemaSql(Schema schema)
{
    QString sql = schema::jobDatabaseSql();
    if (schema == Schema::NoAngleIds)
        sql.remove(QRegularExpression(QStringLiteral("[^\n]*Angle(On|Off)CutID[^\n]*\n")));
    if (schema == Schema::NoPrintTable)
        sql.remove(QRegularExpression(QStringLiteral("CREATE (TABLE Druckdaten \\(.*?\\)|INDEX Druckdaten_[^;]*);"),
                                      QRegularExpression::DotMatchesEverythingOption));
    return sql;
}

QString prefix(bool steelMode) { return steelMode ? QStringLiteral("Stahl") : QString(); }

} // namespace

PieceImport::PieceImport(Schema schema)
{
    QString message;
    EXPECT_TRUE(db::createDatabase(plant.jobDatabasePath(), schemaSql(schema), &message)) << message.toStdString();
}

void PieceImport::import(std::initializer_list<QByteArray> lines, bool steelMode, const QString& job)
{
    importBytes(QByteArrayList(lines).join("\r\n") + "\r\n", steelMode, job);
}

void PieceImport::importBytes(const QByteArray& content, bool steelMode, const QString& job)
{
    tx::ImportProductionData(plant.ctx, plant.job, carry, profiles,
                             plant.writeJobFile(job + (steelMode ? ".$sx" : ".$tx"), content), steelMode);
}

QVariant PieceImport::piece(const QString& column, int no, bool steelMode) const
{
    return value(QStringLiteral("SELECT %1 FROM %2Teiledaten WHERE TeileNr=%3").arg(column, prefix(steelMode)).arg(no));
}

QVariant PieceImport::bar(const QString& column, int no, bool steelMode) const
{
    return value(QStringLiteral("SELECT %1 FROM %2Stabdaten WHERE StabNr=%3").arg(column, prefix(steelMode)).arg(no));
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
    const auto& asked = plant.prompt.asked;
    const auto it = std::find_if(asked.rbegin(), asked.rend(), [](const auto& q) { return q.kind == "RetryCancel"; });
    return it == asked.rend() ? QString() : it->text;
}

QString PieceImport::lastReport() const { return plant.errorBox.text(); }

QByteArray field(const QByteArray& value, int width) { return value.leftJustified(width, ' ', true); }

QByteArray sa(char selection, char lane, const char* number, const char* length, const char* depth,
              const char* steelNumber)
{
    return "SA" + QByteArray(1, selection) + QByteArray(1, lane) + field(number, 4) + field(length, 5) +
           field(depth, 5) + field(steelNumber, 3);
}

void expectValue(const QVariant& got, const QVariant& want, const std::string& what)
{
    EXPECT_EQ(got.isNull(), want.isNull()) << what << " = " << got.toString().toStdString();
    if (want.typeId() == QMetaType::QString) {
        EXPECT_EQ(got.toString(), want.toString()) << what;
    } else if (!want.isNull()) {
        EXPECT_DOUBLE_EQ(got.toDouble(), want.toDouble()) << what;
    }
}

void expectColumns(const PieceImport& run, const Columns& columns, int pieceNo, bool steelMode)
{
    for (const auto& [key, want] : columns) {
        const QString k = QString::fromStdString(key);
        expectValue(k.startsWith("SELECT") ? run.value(k) : run.piece(k, pieceNo, steelMode), want, key);
    }
}

} // namespace piecetest
