#include "TestPlant.h"

#include "SchemaSql.h"
#include "platform/db/Database.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

TestPlant::TestPlant()
{
    for (const char* d : {"In", "Client", "Server", "Profil"})
        QDir(root()).mkpath(QLatin1String(d));
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
    QStringList statements = schema::profileDatabaseSql();
    for (const auto& [nr, name] : profiles)
        statements << QStringLiteral("INSERT INTO Profilliste (ProfilNr, Profilname) VALUES (%1, '%2')")
                          .arg(nr)
                          .arg(QString(name).replace(u'\'', QStringLiteral("''")));
    QString message;
    ASSERT_TRUE(db::createDatabase(profileDatabasePath(), statements, &message)) << message.toStdString();
}

QString TestPlant::writeJobFile(const QString& name, const QByteArray& content)
{
    const QString path = serverDir() + QLatin1Char('/') + name;
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    return path;
}
