#pragma once

#include <QString>

// Creates DIR/prog.mdb, an empty job database. Refuses (no change) when the
// file exists. Returns false with a message for the operator on failure.
bool initJobDatabase(const QString& dir, QString* message);
