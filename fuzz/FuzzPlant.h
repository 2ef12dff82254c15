#pragma once

#include "config/ServerContext.h"
#include "intake/JobState.h"
#include "TestDoubles.h"
#include "platform/Clock.h"
#include "platform/ErrorBox.h"
#include "platform/OperatorPrompt.h"
#include "platform/SettingsStore.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <memory>

// What the fuzz targets share: one application object, one temporary plant
// tree (In, Client with the job database, Server, Profil) for the whole
// process, and a server context that is made anew for each input.
namespace fuzz {

// The application object the settings store and the SQL drivers want, and
// toolkit messages silenced. Call once, before anything else.
void startApplication();

// Answers every question the same way and remembers nothing, so that a run
// costs the same whatever the input asked.
class FixedPrompt final : public OperatorPrompt {
public:
    int askYesNoCancel(const QString&, const QString&) override { return yesNoCancel; }
    int askRetryCancel(const QString&, const QString&) override { return retryCancel; }
    void showMessage(const QString&, const QString&) override {}
    int yesNoCancel = Answer::No;
    int retryCancel = Answer::Cancel;
};

// The context of one input: settings pointing at the plant, all flags off.
struct Run {
    explicit Run(const class Plant& plant);
    FixedClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 30, 0))};
    FixedPrompt prompt;
    MemorySettingsStore store;
    MemoryErrorBox errorBox;
    ServerContext ctx{clock, prompt, store, errorBox};
    JobState job;
};

class Plant {
public:
    Plant();
    Plant(const Plant&) = delete;
    Plant& operator=(const Plant&) = delete;

    [[nodiscard]] QString root() const { return m_dir.path(); }
    [[nodiscard]] QString serverDir() const { return root() + QStringLiteral("/In"); }
    [[nodiscard]] QString clientDir() const { return root() + QStringLiteral("/Client"); }
    [[nodiscard]] QString programDir() const { return root() + QStringLiteral("/Server"); }
    [[nodiscard]] QString jobDatabasePath() const { return clientDir() + QStringLiteral("/prog.mdb"); }

    // Keeps the job database as it is now; restore() brings it back.
    void keepPristine();
    // The job database as kept, the error logs gone, the server directory
    // empty: the state every input starts from.
    void restore();
    // Writes a file into the server directory; returns its path.
    QString writeFile(const QString& name, const uint8_t* data, size_t size) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_pristine;
};

// The plant of the whole process, made (with the application) at the first
// call.
Plant& sharedPlant();

// The profile numbers of the plant's profile database (names "P<number>").
inline constexpr int kProfiles[] = {1, 2, 12, 15, 21, 101};

} // namespace fuzz
