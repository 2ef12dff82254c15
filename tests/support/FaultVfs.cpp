#include "FaultVfs.h"

#include <sqlite3.h>

#include <cstring>

namespace faultvfs {

namespace {

// Our file: the engine's file header, then the wrapped layer's file in the
// same allocation (the engine gives us szOsFile bytes).
struct FaultFile {
    sqlite3_file base;
    sqlite3_file* real;
};

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

sqlite3_file* real(sqlite3_file* f)
{
    return reinterpret_cast<FaultFile*>(f)->real;
}

// Counts one call of op; the result code to fail it with, or SQLITE_OK.
int meet(Op op)
{
    const int n = ++state.counts[int(op)];
    if (state.target <= 0 || op != state.op)
        return SQLITE_OK;
    if (n == state.target || (state.sticky && n > state.target)) {
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

// A layer method that goes straight to the wrapped layer's.
template <auto Method, typename... Args> decltype(auto) onRealVfs(sqlite3_vfs*, Args... args)
{
    return (state.real->*Method)(state.real, args...);
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
    auto* ff = reinterpret_cast<FaultFile*>(f);
    ff->real = reinterpret_cast<sqlite3_file*>(ff + 1);
    std::memset(ff->real, 0, size_t(state.real->szOsFile));
    const int rc = state.real->xOpen(state.real, name, ff->real, flags, outFlags);
    // The engine calls xClose whenever pMethods is set, even after a failed open.
    f->pMethods = ff->real->pMethods ? &methods : nullptr;
    return rc;
}

} // namespace

bool install()
{
    if (state.real)
        return true;
    sqlite3_vfs* r = sqlite3_vfs_find(nullptr);
    if (!r || r->iVersion < 2)
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
    using V = sqlite3_vfs;
    faultVfs = {.iVersion = 2,
                .szOsFile = int(sizeof(FaultFile)) + r->szOsFile,
                .mxPathname = r->mxPathname,
                .zName = "vov-fault",
                .xOpen = xOpen,
                .xDelete = onRealVfs<&V::xDelete>,
                .xAccess = onRealVfs<&V::xAccess>,
                .xFullPathname = onRealVfs<&V::xFullPathname>,
                .xDlOpen = onRealVfs<&V::xDlOpen>,
                .xDlError = onRealVfs<&V::xDlError>,
                .xDlSym = onRealVfs<&V::xDlSym>,
                .xDlClose = onRealVfs<&V::xDlClose>,
                .xRandomness = onRealVfs<&V::xRandomness>,
                .xSleep = onRealVfs<&V::xSleep>,
                .xCurrentTime = onRealVfs<&V::xCurrentTime>,
                .xGetLastError = onRealVfs<&V::xGetLastError>,
                .xCurrentTimeInt64 = onRealVfs<&V::xCurrentTimeInt64>};
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
