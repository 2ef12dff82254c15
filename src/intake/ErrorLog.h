#pragma once

#include <QString>

struct ServerContext;

// The width at which error descriptions are wrapped in every report.
constexpr int kErrorWrapWidth = 75;

// Wraps a text at a width (see the .cpp for the rule); no character is
// ever lost.
QString WrapText(const QString& text, int width);

// Reports an import error: $TXerror.dat (overwritten, latest message only),
// error.dat (appended, under a time-stamp header), the error box (the entry
// with its header), and the window to the front.
void WriteErrorLog(ServerContext& ctx, const QString& message);
