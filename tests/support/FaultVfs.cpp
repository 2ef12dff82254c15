#include "FaultVfs.h"

#include <sqlite3.h>

#include <cstring>

namespace faultvfs {

namespace {

struct State {
    sqlite3_vfs* real = nullptr;
    Op op = Op::Write;
    int target = 0; // 0 = disarmed
    int code = SQLITE_OK;
    bool sticky = false;
    bool fired = false;
    int counts[3] = {0, 0, 0};
};

State state;
sqlite3_vfs faultVfs;
sqlite3_io_methods methods;

// Our file: the engine's file header, then the wrapped layer's file in the
// same allocation (the engine gives us szOsFile bytes).
sqlite3_file* real(sqlite3_file* f)
{
    return f + 1;
}

// Counts one call of op; the result code to fail it with, or SQLITE_OK.
int meet(Op op)
{
    const int n = ++state.counts[int(op)];
    if (state.target > 0 && op == state.op && (n == state.target || (state.sticky && n > state.target))) {
        state.fired = true;
        return state.code;
    }
    return SQLITE_OK;
}

// A file method that goes straight to the wrapped file's.
template <auto Method, typename... Args> decltype(auto) onReal(sqlite3_file* f, Args... args)
{
    return (real(f)->pMethods->*Method)(real(f), args...);
}

// A file method that counts as op and fails when the fault is due.
template <auto Method, Op op, typename... Args> int counted(sqlite3_file* f, Args... args)
{
    if (const int rc = meet(op))
        return rc;
    return onReal<Method>(f, args...);
}

int xClose(sqlite3_file* f)
{
    sqlite3_file* r = real(f);
    const int rc = r->pMethods ? r->pMethods->xClose(r) : SQLITE_OK;
    f->pMethods = nullptr;
    return rc;
}

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
{
    std::memset(real(f), 0, size_t(state.real->szOsFile));
    const int rc = state.real->xOpen(state.real, name, real(f), flags, outFlags);
    // The engine calls xClose whenever pMethods is set, even after a failed open.
    f->pMethods = real(f)->pMethods ? &methods : nullptr;
    return rc;
}

} // namespace

bool install()
{
    if (state.real)
        return true;
    sqlite3_vfs* r = sqlite3_vfs_find(nullptr);
    if (!r)
        return false;
    using M = sqlite3_io_methods;
    methods = {.iVersion = 3,
               .xClose = xClose,
               .xRead = onReal<&M::xRead>,
               .xWrite = counted<&M::xWrite, Op::Write>,
               .xTruncate = onReal<&M::xTruncate>,
               .xSync = counted<&M::xSync, Op::Sync>,
               .xFileSize = onReal<&M::xFileSize>,
               .xLock = counted<&M::xLock, Op::Lock>,
               .xUnlock = onReal<&M::xUnlock>,
               .xCheckReservedLock = onReal<&M::xCheckReservedLock>,
               .xFileControl = onReal<&M::xFileControl>,
               .xSectorSize = onReal<&M::xSectorSize>,
               .xDeviceCharacteristics = onReal<&M::xDeviceCharacteristics>,
               .xShmMap = onReal<&M::xShmMap>,
               .xShmLock = onReal<&M::xShmLock>,
               .xShmBarrier = onReal<&M::xShmBarrier>,
               .xShmUnmap = onReal<&M::xShmUnmap>,
               .xFetch = onReal<&M::xFetch>,
               .xUnfetch = onReal<&M::xUnfetch>};
    // The wrapped layer's own methods (the default layer does not look at which
    // layer it is called as), but for the opening of a file.
    faultVfs = *r;
    faultVfs.pNext = nullptr;
    faultVfs.szOsFile = int(sizeof(sqlite3_file)) + r->szOsFile;
    faultVfs.zName = "vov-fault";
    faultVfs.xOpen = xOpen;
    state.real = r;
    if (sqlite3_vfs_register(&faultVfs, 1) != SQLITE_OK) {
        state.real = nullptr;
        return false;
    }
    return true;
}

void arm(Op op, int n, int resultCode, bool sticky)
{
    state = {state.real, op, n, resultCode, sticky};
}

void disarm()
{
    state.target = 0;
}

bool fired()
{
    return state.fired;
}

const char* name(Op op)
{
    static const char* const names[] = {"write", "sync", "lock"};
    return names[int(op)];
}

} // namespace faultvfs
