#pragma once

#include "intake/ImportOutcome.h"
#include "tximport/JobDatabase.h"
#include "tximport/ProfileLookup.h"

#include <QString>

struct ServerContext;
struct JobState;

namespace tx {

// Reads one production-data file (steelMode false) or steel-data file
// (steelMode true) into the job database and returns how it went; the file
// itself is left where it is (the scan cycle ends it). jobTransaction: the
// job's open transaction in job mode, or null for a transaction of its own
// that is committed at the normal end and rolled back otherwise.
ImportOutcome ImportProductionData(ServerContext& ctx, JobState& job, ImportCarry& carry, ProfileCache& profiles,
                                   const QString& path, bool steelMode, db::Database* jobTransaction = nullptr);

} // namespace tx
