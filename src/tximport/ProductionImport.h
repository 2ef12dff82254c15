#pragma once

#include "tximport/JobDatabase.h"
#include "tximport/ProfileLookup.h"

#include <QString>

struct ServerContext;
struct JobState;

namespace tx {

// Reads one production-data file (steelMode false) or steel-data file
// (steelMode true) into the job database. The outcome is in the job state:
// LoadFailed, LoadCancelled, RetryRequested.
void ImportProductionData(ServerContext& ctx, JobState& job, ImportCarry& carry, ProfileCache& profiles,
                          const QString& path, bool steelMode);

} // namespace tx
