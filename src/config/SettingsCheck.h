#pragma once

#include <QStringList>

struct ServerContext;

// Settings with which the server cannot do its work, one sentence each that
// says what to change: no server or client directory, a directory that does
// not exist, a backup directory that cannot be written, a configuration path
// that is a directory, no scan interval. Empty when the settings are usable.
// Without these the server would idle (or skip its extra backup) silently.
QStringList settingsProblems(const ServerContext& ctx);

// Names the problems in the error box, once per load of the settings (the
// scan cycles do not repeat them). Returns whether there were any.
bool reportSettingsProblems(ServerContext& ctx);
