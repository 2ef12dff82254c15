#pragma once

#include <QString>

// Values other programs of the plant read to find this server: the program's
// path and the configuration-file extension, in the machine-wide store
// (QSettings system scope: $XDG_CONFIG_DIRS' first folder, /etc/xdg by
// default, file Quenmark/Lorvane-Application.conf, group [Quirnel-Server]).
// At every start: "Server" = the program's full path, "Extension" = "ZEZAD".
// Without write rights nothing is written and nothing is reported.
void RegisterServerPaths(const QString& programPath);
