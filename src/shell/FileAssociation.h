#pragma once

#include <QByteArray>
#include <QString>

// The registration request (-REGSERVER): configuration files open with this
// program, the freedesktop way, for the current user: a shared-mime-info
// package for the type ($XDG_DATA_HOME/mime/packages), a desktop entry that
// starts the program with the file as argument 1 ($XDG_DATA_HOME/applications)
// and the default-application entry ($XDG_CONFIG_HOME/mimeapps.list); then
// update-mime-database and update-desktop-database where installed. A second
// run changes nothing; where nothing can be written nothing happens and
// nothing is reported.
void RegisterFileAssociation(const QString& fileType, const QString& programPath);

// The pieces, for the registration and its tests. fileType without the dot.
QString associationMimeType(const QString& fileType);  // "application/x-zezad"
QString associationDesktopId(const QString& fileType); // "serverquirnel-zezad.desktop"
QByteArray associationMimePackage(const QString& fileType);
QByteArray associationDesktopEntry(const QString& fileType, const QString& programPath);
// mimeapps.list text with "[Default Applications]" mimeType=desktopId set;
// every other line stays as it was.
QByteArray withDefaultApplication(const QByteArray& mimeappsList, const QString& mimeType, const QString& desktopId);
