#include "TestSupport.h"

#include "platform/Text.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <gtest/gtest.h>

QByteArray crlf(std::initializer_list<const char*> lines)
{
    QByteArray out;
    for (const char* l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

QByteArray readFileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QList<QVariantList> queryRows(const QString& databasePath, const QString& sql)
{
    QList<QVariantList> out;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        d.setDatabaseName(databasePath);
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

QVariant queryValue(const QString& databasePath, const QString& sql)
{
    const QList<QVariantList> rows = queryRows(databasePath, sql);
    return rows.isEmpty() ? QVariant() : rows.first().value(0);
}

QString lastReport(const QString& clientDir)
{
    const QByteArray bytes = readFileBytes(clientDir + QStringLiteral("/$TXerror.dat"));
    return text::fromCp1252(bytes.startsWith('"') ? bytes.mid(1, bytes.size() - 4) : bytes);
}
