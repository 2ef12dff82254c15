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

int xClose(sqlite3_file* f)
{
    sqlite3_file* r = real(f);
    const int rc = r->pMethods ? r->pMethods->xClose(r) : SQLITE_OK;
    f->pMethods = nullptr;
    return rc;
}
int xRead(sqlite3_file* f, void* buf, int amt, sqlite3_int64 off)
{
    return real(f)->pMethods->xRead(real(f), buf, amt, off);
}
int xWrite(sqlite3_file* f, const void* buf, int amt, sqlite3_int64 off)
{
    if (const int rc = meet(Op::Write))
        return rc;
    return real(f)->pMethods->xWrite(real(f), buf, amt, off);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 size)
{
    return real(f)->pMethods->xTruncate(real(f), size);
}
int xSync(sqlite3_file* f, int flags)
{
    if (const int rc = meet(Op::Sync))
        return rc;
    return real(f)->pMethods->xSync(real(f), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* size)
{
    return real(f)->pMethods->xFileSize(real(f), size);
}
int xLock(sqlite3_file* f, int level)
{
    if (const int rc = meet(Op::Lock))
        return rc;
    return real(f)->pMethods->xLock(real(f), level);
}
int xUnlock(sqlite3_file* f, int level)
{
    return real(f)->pMethods->xUnlock(real(f), level);
}
int xCheckReservedLock(sqlite3_file* f, int* out)
{
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int xFileControl(sqlite3_file* f, int op, void* arg)
{
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int xSectorSize(sqlite3_file* f)
{
    return real(f)->pMethods->xSectorSize(real(f));
}
int xDeviceCharacteristics(sqlite3_file* f)
{
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}
int xShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out)
{
    return real(f)->pMethods->xShmMap(real(f), region, size, extend, out);
}
int xShmLock(sqlite3_file* f, int offset, int n, int flags)
{
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void xShmBarrier(sqlite3_file* f)
{
    real(f)->pMethods->xShmBarrier(real(f));
}
int xShmUnmap(sqlite3_file* f, int deleteFlag)
{
    return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
}
int xFetch(sqlite3_file* f, sqlite3_int64 off, int amt, void** out)
{
    return real(f)->pMethods->xFetch(real(f), off, amt, out);
}
int xUnfetch(sqlite3_file* f, sqlite3_int64 off, void* p)
{
    return real(f)->pMethods->xUnfetch(real(f), off, p);
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

// The rest of the layer goes straight to the wrapped one.
int xDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    return state.real->xDelete(state.real, name, syncDir);
}
int xAccess(sqlite3_vfs*, const char* name, int flags, int* out)
{
    return state.real->xAccess(state.real, name, flags, out);
}
int xFullPathname(sqlite3_vfs*, const char* name, int n, char* out)
{
    return state.real->xFullPathname(state.real, name, n, out);
}
void* xDlOpen(sqlite3_vfs*, const char* name)
{
    return state.real->xDlOpen(state.real, name);
}
void xDlError(sqlite3_vfs*, int n, char* msg)
{
    state.real->xDlError(state.real, n, msg);
}
void (*xDlSym(sqlite3_vfs*, void* h, const char* sym))(void)
{
    return state.real->xDlSym(state.real, h, sym);
}
void xDlClose(sqlite3_vfs*, void* h)
{
    state.real->xDlClose(state.real, h);
}
int xRandomness(sqlite3_vfs*, int n, char* out)
{
    return state.real->xRandomness(state.real, n, out);
}
int xSleep(sqlite3_vfs*, int us)
{
    return state.real->xSleep(state.real, us);
}
int xCurrentTime(sqlite3_vfs*, double* out)
{
    return state.real->xCurrentTime(state.real, out);
}
int xGetLastError(sqlite3_vfs*, int n, char* out)
{
    return state.real->xGetLastError(state.real, n, out);
}
int xCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out)
{
    return state.real->xCurrentTimeInt64(state.real, out);
}

} // namespace

bool install()
{
    if (state.real)
        return true;
    sqlite3_vfs* r = sqlite3_vfs_find(nullptr);
    if (!r || r->iVersion < 2)
        return false;
    methods = {};
    methods.iVersion = 3;
    methods.xClose = xClose;
    methods.xRead = xRead;
    methods.xWrite = xWrite;
    methods.xTruncate = xTruncate;
    methods.xSync = xSync;
    methods.xFileSize = xFileSize;
    methods.xLock = xLock;
    methods.xUnlock = xUnlock;
    methods.xCheckReservedLock = xCheckReservedLock;
    methods.xFileControl = xFileControl;
    methods.xSectorSize = xSectorSize;
    methods.xDeviceCharacteristics = xDeviceCharacteristics;
    methods.xShmMap = xShmMap;
    methods.xShmLock = xShmLock;
    methods.xShmBarrier = xShmBarrier;
    methods.xShmUnmap = xShmUnmap;
    methods.xFetch = xFetch;
    methods.xUnfetch = xUnfetch;

    faultVfs = {};
    faultVfs.iVersion = 2;
    faultVfs.szOsFile = int(sizeof(FaultFile)) + r->szOsFile;
    faultVfs.mxPathname = r->mxPathname;
    faultVfs.zName = "vov-fault";
    faultVfs.xOpen = xOpen;
    faultVfs.xDelete = xDelete;
    faultVfs.xAccess = xAccess;
    faultVfs.xFullPathname = xFullPathname;
    faultVfs.xDlOpen = xDlOpen;
    faultVfs.xDlError = xDlError;
    faultVfs.xDlSym = xDlSym;
    faultVfs.xDlClose = xDlClose;
    faultVfs.xRandomness = xRandomness;
    faultVfs.xSleep = xSleep;
    faultVfs.xCurrentTime = xCurrentTime;
    faultVfs.xGetLastError = xGetLastError;
    faultVfs.xCurrentTimeInt64 = xCurrentTimeInt64;
    state.real = r;
    if (sqlite3_vfs_register(&faultVfs, 1) != SQLITE_OK) {
        state.real = nullptr;
        return false;
    }
    return true;
}

void arm(Op op, int n, int resultCode, bool sticky)
{
    state.op = op;
    state.target = n;
    state.code = resultCode;
    state.sticky = sticky;
    state.fired = false;
    state.counts[0] = state.counts[1] = state.counts[2] = 0;
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
    switch (op) {
    case Op::Write:
        return "write";
    case Op::Sync:
        return "sync";
    case Op::Lock:
        return "lock";
    }
    return "?";
}

} // namespace faultvfs
