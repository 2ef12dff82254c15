#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Values other programs of the plant read to find this server: the program's
// path and the configuration-file extension, in the machine-wide store
// (QSettings system scope: $XDG_CONFIG_DIRS' first folder, /etc/xdg by
// default, file Quenmark/Lorvane-Application.conf, group [Quirnel-Server]).

// How a value is stored. The store has no types of its own, but the rule
// decides what is written at all and stays the one other tools expect.
enum class RegistryType { None, String, ExpandString, Number32, Binary };

struct RegistryData {
    RegistryType type = RegistryType::None;
    QByteArray data; // the bytes as the typed store keeps them
};

// The value-type rule: a string is plain, or expandable when it holds a "%"
// and another "%" at least two characters after the first; its data are the
// Windows-1252 bytes with a terminating NUL. 16- and 32-bit integers and
// Booleans are 32-bit numbers (little-endian), byte arrays binary; anything
// else is not written (type None).
RegistryData registryDataFor(const QVariant& value);

// Writes the value under organisation "Quenmark", the application and the
// section in the machine-wide store. Without write rights nothing is written
// and nothing is reported.
void SetRegistryValue(const QString& application, const QString& section, const QString& valueName,
                      const QVariant& value);

// At every start: "Server" = the program's full path, "Extension" = "ZEZAD".
void RegisterServerPaths(const QString& programPath);
