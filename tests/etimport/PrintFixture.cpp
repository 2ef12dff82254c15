#include "PrintFixture.h"

#include "platform/Text.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <gtest/gtest.h>

namespace ettest {

namespace {

QList<QVariantList> query(const QString& path, const QString& sql)
{
    QList<QVariantList> rows;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        d.setDatabaseName(path);
        EXPECT_TRUE(d.open());
        QSqlQuery q(d);
        EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row << q.value(i);
            rows << row;
        }
        q.finish();
        d.close();
    }
    QSqlDatabase::removeDatabase(name);
    return rows;
}

} // namespace

PrintFixture::PrintFixture()
{
    plant.createJobDatabase();
    plant.ctx.settings.Extension = QStringLiteral("$tx");
    plant.ctx.settings.ExtensionEtikett = QStringLiteral("$et");
    plant.ctx.settings.ExtensionStahl = QStringLiteral("$sx");
}

void PrintFixture::exec(const QString& sql) const { query(plant.jobDatabasePath(), sql); }

QVariant PrintFixture::value(const QString& sql) const
{
    const QList<QVariantList> r = query(plant.jobDatabasePath(), sql);
    return r.isEmpty() ? QVariant() : r.front().value(0);
}

QMap<int, PrintRow> PrintFixture::rows(const QString& job) const
{
    QMap<int, PrintRow> out;
    const QString sql = QStringLiteral("SELECT TeileNr, Etikettendaten, Tintendruckdaten FROM Druckdaten "
                                       "WHERE LosName='%1'")
                            .arg(job);
    for (const QVariantList& r : query(plant.jobDatabasePath(), sql)) {
        EXPECT_FALSE(out.contains(r[0].toInt())) << "two rows for piece " << r[0].toInt();
        out.insert(r[0].toInt(), PrintRow{r[1], r[2]});
    }
    return out;
}

int PrintFixture::rowCount(const QString& job) const
{
    return value(QStringLiteral("SELECT COUNT(*) FROM Druckdaten WHERE LosName='%1'").arg(job)).toInt();
}

void PrintFixture::addPrintRow(const QString& job, int piece, const QString& label) const
{
    exec(QStringLiteral("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) VALUES ('%1', %2, '%3')")
             .arg(job)
             .arg(piece)
             .arg(label));
}

QString PrintFixture::lastReport() const
{
    QByteArray bytes = readFileBytes(plant.clientDir() + QStringLiteral("/$TXerror.dat"));
    if (bytes.startsWith('"'))
        bytes.remove(0, 1);
    if (bytes.endsWith("\"\r\n"))
        bytes.chop(3);
    return text::fromCp1252(bytes);
}

} // namespace ettest
