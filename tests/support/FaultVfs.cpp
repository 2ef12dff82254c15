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
    methods = {};
    methods.iVersion = 3;
    methods.xClose = xClose;
    methods.xRead = onReal<&M::xRead>;
    methods.xWrite = counted<&M::xWrite, Op::Write>;
    methods.xTruncate = onReal<&M::xTruncate>;
    methods.xSync = counted<&M::xSync, Op::Sync>;
    methods.xFileSize = onReal<&M::xFileSize>;
    methods.xLock = counted<&M::xLock, Op::Lock>;
    methods.xUnlock = onReal<&M::xUnlock>;
    methods.xCheckReservedLock = onReal<&M::xCheckReservedLock>;
    methods.xFileControl = onReal<&M::xFileControl>;
    methods.xSectorSize = onReal<&M::xSectorSize>;
    methods.xDeviceCharacteristics = onReal<&M::xDeviceCharacteristics>;
    methods.xShmMap = onReal<&M::xShmMap>;
    methods.xShmLock = onReal<&M::xShmLock>;
    methods.xShmBarrier = onReal<&M::xShmBarrier>;
    methods.xShmUnmap = onReal<&M::xShmUnmap>;
    methods.xFetch = onReal<&M::xFetch>;
    methods.xUnfetch = onReal<&M::xUnfetch>;

    using V = sqlite3_vfs;
    faultVfs = {};
    faultVfs.iVersion = 2;
    faultVfs.szOsFile = int(sizeof(FaultFile)) + r->szOsFile;
    faultVfs.mxPathname = r->mxPathname;
    faultVfs.zName = "vov-fault";
    faultVfs.xOpen = xOpen;
    faultVfs.xDelete = onRealVfs<&V::xDelete>;
    faultVfs.xAccess = onRealVfs<&V::xAccess>;
    faultVfs.xFullPathname = onRealVfs<&V::xFullPathname>;
    faultVfs.xDlOpen = onRealVfs<&V::xDlOpen>;
    faultVfs.xDlError = onRealVfs<&V::xDlError>;
    faultVfs.xDlSym = onRealVfs<&V::xDlSym>;
    faultVfs.xDlClose = onRealVfs<&V::xDlClose>;
    faultVfs.xRandomness = onRealVfs<&V::xRandomness>;
    faultVfs.xSleep = onRealVfs<&V::xSleep>;
    faultVfs.xCurrentTime = onRealVfs<&V::xCurrentTime>;
    faultVfs.xGetLastError = onRealVfs<&V::xGetLastError>;
    faultVfs.xCurrentTimeInt64 = onRealVfs<&V::xCurrentTimeInt64>;
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

int calls(Op op)
{
    return state.counts[int(op)];
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
