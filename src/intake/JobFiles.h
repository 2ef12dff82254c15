#pragma once

#include "intake/ImportOutcome.h"

#include <vector>

struct ServerContext;
class JobImporter;

// The one place where the files an importer read leave the server
// directory (or stay in it), decided from the importers' outcomes.

// Separate mode: ends one file after its importer returned. A loaded file
// goes to the backup (production and steel data set the release flag); a
// failed one becomes an error copy (Cancel) or stays under its own name
// (Retry, or never asked about), and what it wrote is deleted again; a job
// given up at the job-exists question becomes an error copy; a file whose
// database could not be opened stays as it is.
void endFile(ServerContext& ctx, JobImporter& importer, const ImportOutcome& outcome);

// True when this outcome ends a job in job mode. A label-data file whose
// print data could not be opened was never read and does not end the job:
// it stays in the server directory and the job goes on.
bool failsJob(const ImportOutcome& outcome);

// Job mode: the files of one job (production data first, then the label
// and steel data that were read) in one transaction. On success the
// transaction is committed before any file moves, then the files are
// backed up together and the release flag set. On failure the transaction
// is rolled back, the job and its print and steel data are deleted again
// (rows that earlier imports committed), and the files become error copies
// unless the operator chose Retry. A commit that fails is reported and
// asked about like any other failed file. A job whose production data
// could not open the job database stays as it is. The outcomes are updated
// to how the job ended.
void endJob(ServerContext& ctx, JobImporter& importer, std::vector<ImportOutcome>& files);

// The Retry/Cancel question after a file that failed (ImportResult::Failed),
// asked here and nowhere else, as soon as the file's importer returned (or
// the job's commit failed), before anything else is said or done: Cancel
// sets the file aside, any other answer reads it again. Any other outcome
// is left as it is.
void askAboutFailedFile(ServerContext& ctx, ImportOutcome& outcome);
