#include "TestSupport.h"

#include "SchemaSql.h"
#include "platform/db/Database.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

#include <gtest/gtest.h>

int ScriptedPrompt::askYesNoCancel(const QString& title, const QString& text)
{
    asked.push_back({QStringLiteral("YesNoCancel"), title, text});
    if (yesNoCancelAnswers.empty())
        return Answer::No;
    const int a = yesNoCancelAnswers.front();
    yesNoCancelAnswers.pop_front();
    return a;
}

int ScriptedPrompt::askAfterFailure(const QString& title, const QString& text, bool infrastructureFault)
{
    const int answer = askRetryCancel(title, text);
    asked.back().infrastructureFault = infrastructureFault;
    return answer;
}

int ScriptedPrompt::askRetryCancel(const QString& title, const QString& text)
{
    asked.push_back({QStringLiteral("RetryCancel"), title, text});
    if (retryCancelAnswers.empty())
        return Answer::Cancel;
    const int a = retryCancelAnswers.front();
    retryCancelAnswers.pop_front();
    return a;
}

void ScriptedPrompt::showMessage(const QString& title, const QString& text)
{
    asked.push_back({QStringLiteral("Message"), title, text});
}

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
