#pragma once

#include "intake/ImportOutcome.h"

#include <QString>

struct ServerContext;
struct JobState;

namespace db {
class Database;
}

namespace et {

// Reads one label-data file into "Druckdaten", one row per piece, adapting
// the printer text to the printer type, and returns how it went; the file
// itself is left where it is (the scan cycle ends it). jobTransaction: the
// job's open transaction in job mode, or null for one of its own.
ImportOutcome ReadLabelFile(ServerContext& ctx, JobState& job, const QString& path,
                            db::Database* jobTransaction = nullptr);

} // namespace et
