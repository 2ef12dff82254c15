#include "TestPlant.h"

#include "SchemaSql.h"
#include "platform/db/Database.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

#include <gtest/gtest.h>

TestPlant::TestPlant()
{
    QDir r(root());
    r.mkpath(QStringLiteral("In"));
    r.mkpath(QStringLiteral("Client"));
    r.mkpath(QStringLiteral("Server"));
    r.mkpath(QStringLiteral("Profil"));
    ctx.programDir = programDir();
    ctx.ConfigFilePath = programDir() + QStringLiteral("/ServerQuirnel.zezad");
    ctx.settings.serverDir = serverDir();
    ctx.settings.clientDir = clientDir();
    ctx.settings.clientParentDir = root() + QStringLiteral("/");
}

void TestPlant::createJobDatabase()
{
    QString message;
    ASSERT_TRUE(db::createDatabase(jobDatabasePath(), schema::jobDatabaseSql(), &message)) << message.toStdString();
}

void TestPlant::createProfileDatabase(const std::vector<std::pair<int, QString>>& profiles)
{
    QString message;
    ASSERT_TRUE(db::createDatabase(profileDatabasePath(), schema::profileDatabaseSql(), &message))
        << message.toStdString();
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        d.setDatabaseName(profileDatabasePath());
        ASSERT_TRUE(d.open());
        for (const auto& [nr, pname] : profiles) {
            QSqlQuery q(d);
            q.prepare(QStringLiteral("INSERT INTO Profilliste (ProfilNr, Profilname) VALUES (?, ?)"));
            q.addBindValue(nr);
            q.addBindValue(pname);
            ASSERT_TRUE(q.exec());
        }
        d.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QString TestPlant::writeJobFile(const QString& name, const QByteArray& content)
{
    const QString path = serverDir() + QLatin1Char('/') + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    return path;
}
