#pragma once

// A file-system layer for the job database engine that fails one chosen
// write, sync or lock. It wraps the engine's default layer and forwards
// every other call unchanged; registered as the default, it is the one
// every connection opened afterwards uses (the toolkit's driver links the
// same engine library). Not thread-safe: the tests drive one import at a
// time.

namespace faultvfs {

enum class Op { Write, Sync, Lock };

// Registers the layer as the engine's default (once; later calls do
// nothing). False when the engine refused.
bool install();

// Fails the n-th call of op (1 = the first after arming) with the given
// engine result code (SQLITE_FULL, SQLITE_IOERR, SQLITE_BUSY, ...). With
// sticky set every later call of op fails too, as a disk that stays full
// would. Counters start at zero.
void arm(Op op, int n, int resultCode, bool sticky = false);
// No more failures; the counters keep their values.
void disarm();

// Whether the fault was met since the last arm().
bool fired();

const char* name(Op op);

} // namespace faultvfs
