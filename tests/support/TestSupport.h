#pragma once

#include "TestDoubles.h"
#include "config/ServerContext.h"
#include "intake/JobImporter.h"
#include "intake/JobState.h"
#include "platform/Clock.h"
#include "platform/ErrorBox.h"
#include "platform/OperatorPrompt.h"
#include "platform/SettingsStore.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <vector>

// A prompt that answers from a script and records every question.
class ScriptedPrompt final : public OperatorPrompt {
public:
    struct Question {
        QString kind; // "YesNoCancel", "RetryCancel", "Message"
        QString title;
        QString text;
        bool infrastructureFault = false; // told with a Retry/Cancel question after a failure
    };

    int askYesNoCancel(const QString& title, const QString& text) override;
    int askRetryCancel(const QString& title, const QString& text) override;
    int askAfterFailure(const QString& title, const QString& text, bool infrastructureFault) override;
    void showMessage(const QString& title, const QString& text) override;

    // Answers used in order; when the script runs out: No for job-exists
    // questions, Cancel for Retry/Cancel.
    std::deque<int> yesNoCancelAnswers;
    std::deque<int> retryCancelAnswers;
    std::vector<Question> asked;
};

// An importer whose production-data import runs a given step and reads
// nothing: the file stays where it is.
class StepImporter : public JobImporter {
public:
    std::function<void()> step;
    int imports = 0;
    ImportOutcome ImportProductionData(const QString&, bool) override
    {
        ++imports;
        if (step)
            step();
        return {};
    }
    ImportOutcome ReadLabelFile(const QString&) override { return {}; }
    void DeleteLos(const QString&, bool) override {}
    void DeletePrintData(const QString&) override {}
    void DeleteOrphanPrintData() override {}
    void beginJob() override {}
    bool commitJob(PendingError&) override { return true; }
    void rollBackJob() override {}
};

// A temporary plant tree: <root>/Server (program and configuration),
// <root>/In (server directory), <root>/Client (client directory with the
// job database), <root>/Profil next to Client is the profile database's
// folder. The context's settings point at it; all flags off.
class TestPlant {
public:
    TestPlant();
    TestPlant(const TestPlant&) = delete;
    TestPlant& operator=(const TestPlant&) = delete;

    [[nodiscard]] bool isValid() const { return m_dir.isValid(); }
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
    JobState job;

private:
    QTemporaryDir m_dir;
};

// Lines joined with CR LF, the line end of the job files.
QByteArray crlf(std::initializer_list<const char*> lines);
// A whole file's bytes; empty when missing.
QByteArray readFileBytes(const QString& path);
