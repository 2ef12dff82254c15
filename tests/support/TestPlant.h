#pragma once

// A temporary plant tree with its server context, for the tests from the
// configuration layer up.

#include "TestSupport.h"
#include "config/ServerContext.h"

#include <QTemporaryDir>

#include <utility>
#include <vector>

// A temporary plant tree: <root>/Server (program and configuration),
// <root>/In (server directory), <root>/Client (client directory with the
// job database), <root>/Profil next to Client is the profile database's
// folder. The context's settings point at it; all flags off.
class TestPlant {
public:
    TestPlant();

    [[nodiscard]] QString root() const { return m_dir.path(); }
    [[nodiscard]] QString serverDir() const { return root() + QStringLiteral("/In"); }
    [[nodiscard]] QString clientDir() const { return root() + QStringLiteral("/Client"); }
    [[nodiscard]] QString programDir() const { return root() + QStringLiteral("/Server"); }
    [[nodiscard]] QString jobDatabasePath() const { return clientDir() + QStringLiteral("/prog.mdb"); }
    [[nodiscard]] QString profileDatabasePath() const { return root() + QStringLiteral("/Profil/profildatenbank.mdb"); }

    // Creates Client/prog.mdb from the schema (fails the test on error).
    void createJobDatabase();
    // Creates the profile database with the given (number, name) rows.
    void createProfileDatabase(const std::vector<std::pair<int, QString>>& profiles);
    // Writes a file into the server directory, bytes as given.
    QString writeJobFile(const QString& name, const QByteArray& content);

    FixedClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 30, 0))};
    ScriptedPrompt prompt;
    MemorySettingsStore store;
    MemoryErrorBox errorBox;
    ServerContext ctx{clock, prompt, store, errorBox};

private:
    QTemporaryDir m_dir;
};
