#include "FuzzPlant.h"

#include "SchemaSql.h"
#include "platform/db/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

[[noreturn]] void fail(const QString& what)
{
    std::fprintf(stderr, "fuzz plant: %s\n", qPrintable(what));
    std::abort();
}

} // namespace

void startApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
    qInstallMessageHandler(quiet);
}

Run::Run(const Plant& plant)
{
    ctx.programDir = plant.programDir();
    ctx.ConfigFilePath = plant.programDir() + QStringLiteral("/ServerQuirnel.zezad");
    ctx.settings.serverDir = plant.serverDir();
    ctx.settings.clientDir = plant.clientDir();
    ctx.settings.clientParentDir = plant.root() + QStringLiteral("/");
}

Plant::Plant()
{
    if (!m_dir.isValid())
        fail(QStringLiteral("no temporary directory"));
    QDir r(root());
    for (const char* sub : {"In", "Client", "Server", "Profil"})
        r.mkpath(QString::fromLatin1(sub));

    QString message;
    if (!db::createDatabase(jobDatabasePath(), schema::jobDatabaseSql(), &message))
        fail(message);
    const QString profiles = root() + QStringLiteral("/Profil/profildatenbank.mdb");
    if (!db::createDatabase(profiles, schema::profileDatabaseSql(), &message))
        fail(message);
    const QString connection = QStringLiteral("fuzz-profiles");
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        d.setDatabaseName(profiles);
        if (!d.open())
            fail(QStringLiteral("profile database does not open"));
        for (const int nr : kProfiles) {
            QSqlQuery q(d);
            q.prepare(QStringLiteral("INSERT INTO Profilliste (ProfilNr, Profilname) VALUES (?, ?)"));
            q.addBindValue(nr);
            q.addBindValue(QStringLiteral("P%1").arg(nr));
            if (!q.exec())
                fail(QStringLiteral("profile row not written"));
        }
        d.close();
    }
    QSqlDatabase::removeDatabase(connection);
    keepPristine();
}

void Plant::keepPristine()
{
    QFile f(jobDatabasePath());
    if (!f.open(QIODevice::ReadOnly))
        fail(QStringLiteral("job database not readable"));
    m_pristine = f.readAll();
}

void Plant::restore()
{
    QFile f(jobDatabasePath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(m_pristine) != m_pristine.size())
        fail(QStringLiteral("job database not restored"));
    f.close();
    for (const char* name : {"/prog.mdb-journal", "/prog.mdb-wal", "/prog.mdb-shm", "/error.dat", "/$TXerror.dat"})
        QFile::remove(clientDir() + QString::fromLatin1(name));
    QDir in(serverDir());
    for (const QString& name : in.entryList(QDir::Files | QDir::Hidden | QDir::System))
        in.remove(name);
}

QString Plant::writeFile(const QString& name, const uint8_t* data, size_t size) const
{
    const QString path = serverDir() + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(QStringLiteral("input not written"));
    if (size > 0 && f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) != qint64(size))
        fail(QStringLiteral("input not written"));
    return path;
}

Plant& sharedPlant()
{
    static Plant* plant = [] {
        startApplication();
        return new Plant;
    }();
    return *plant;
}

} // namespace fuzz
