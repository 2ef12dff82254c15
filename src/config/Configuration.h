#pragma once

#include "config/SettingsForm.h"

#include <QString>

struct ServerContext;

// The configuration file: 20 lines "key",value in Windows-1252 with CR LF.
// file -> window fields -> settings in memory.
void ReadConfiguration(ServerContext& ctx);
// window fields -> file -> settings in memory; edit mode off.
void SaveConfiguration(ServerContext& ctx);
// window fields -> settings in memory, scan timer.
void setConfigInternal(ServerContext& ctx);
// The two three-state boxes (double steel data, load mode) take effect at
// once when the operator clicks them: fields -> settings in memory.
void applyThreeStateBoxes(ServerContext& ctx);
// A reload of a running server (SIGHUP) reads the file into a candidate
// first: it is applied only when it reads cleanly and leaves the server a
// server directory and a scan interval. Otherwise refusal says why, and
// nothing changes: not the running settings, not the fields, not the file
// (it is not rewritten as File -> Load would). File -> Load keeps to
// ReadConfiguration.
struct ConfigurationCandidate {
    SettingsForm form;
    QString refusal; // empty: the candidate may be applied
};
[[nodiscard]] ConfigurationCandidate readConfigurationCandidate(const ServerContext& ctx);
// The candidate's fields become the window's and are applied; the release
// flag is cleared as with every reading of the configuration.
void applyConfigurationCandidate(ServerContext& ctx, const ConfigurationCandidate& candidate);

// Edit mode of the settings fields (the model only keeps the flag).
void editControls(ServerContext& ctx, bool onOff);

// The dialog step of "Save As": the name chosen must end in "ZEZAD" (any
// case). Accepted: returns true and the name becomes the configuration file.
// Refused: returns false and message holds "Wrong Filename :" + name.
bool CheckConfigFileName(const QString& chosenName, QString* acceptedPath, QString* message);

// Resolves a configured directory against the application base directory
// (the parent of the configuration file's folder when that folder is named
// Server). Returns the display form; resolved receives the path to use.
QString ResolvePath(ServerContext& ctx, const QString& configured, QString* resolved);
// The same without telling the operator; wrongConfigPath is set when
// ResolvePath would have shown "Wrong Configpath found!".
QString resolvePathQuietly(const ServerContext& ctx, const QString& configured, QString* resolved,
                           bool* wrongConfigPath);

// The client directory the configuration file names, resolved, read without
// changing anything (no field, no setting, no file, no message); empty when
// the file cannot be read or names none. Start-up locks the plant with it
// before anything else is touched.
QString configuredClientDir(const ServerContext& ctx);
