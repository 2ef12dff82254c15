#pragma once

#include <QString>

struct ServerContext;
struct JobState;

namespace et {

// Reads one label-data file into "Druckdaten", one row per piece, adapting
// the printer text to the printer type.
void ReadLabelFile(ServerContext& ctx, JobState& job, const QString& path);

} // namespace et
