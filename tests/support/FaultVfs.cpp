#include "FaultVfs.h"

#include <sqlite3.h>

#include <map>

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
// Each method table of the default layer's files, and ours for it: the same
// methods, with write, sync and lock counted.
std::map<const sqlite3_io_methods*, sqlite3_io_methods> ours;

// Our file: the default layer's file, followed by that layer's methods for
// it (ours stand in for them in the file's header).
const sqlite3_io_methods*& realMethods(sqlite3_file* f)
{
    return *reinterpret_cast<const sqlite3_io_methods**>(reinterpret_cast<char*>(f) + state.real->szOsFile);
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

// A file method that counts as op and fails when the fault is due.
template <auto Method, Op op, typename... Args> int counted(sqlite3_file* f, Args... args)
{
    if (const int rc = meet(op))
        return rc;
    return (realMethods(f)->*Method)(f, args...);
}

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
{
    const int rc = state.real->xOpen(state.real, name, f, flags, outFlags);
    // The engine calls xClose whenever pMethods is set, even after a failed open.
    if (const sqlite3_io_methods* real = f->pMethods) {
        const auto [it, made] = ours.try_emplace(real, *real);
        if (made) {
            it->second.xWrite = counted<&sqlite3_io_methods::xWrite, Op::Write>;
            it->second.xSync = counted<&sqlite3_io_methods::xSync, Op::Sync>;
            it->second.xLock = counted<&sqlite3_io_methods::xLock, Op::Lock>;
        }
        realMethods(f) = real;
        f->pMethods = &it->second;
    }
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
    // The default layer's own methods (it does not look at which layer it is
    // called as), but for the opening of a file.
    faultVfs = *r;
    faultVfs.pNext = nullptr;
    faultVfs.szOsFile = r->szOsFile + int(sizeof(sqlite3_io_methods*));
    faultVfs.zName = "vov-fault";
    faultVfs.xOpen = xOpen;
    state.real = r;
    if (sqlite3_vfs_register(&faultVfs, 1) == SQLITE_OK)
        return true;
    state.real = nullptr;
    return false;
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
