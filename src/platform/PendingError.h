#pragma once

#include <QString>

// The run-time error that the readers look at only at their check points.
// Database and file operations report into it instead of unwinding; the
// reader code tests it where the import has a check point and clears it
// explicitly. Like the error object of the system we replace, a new error
// overwrites the previous one.
struct PendingError {
    int number = 0;
    QString description;

    [[nodiscard]] bool pending() const { return number != 0; }
    void raise(int errorNumber, const QString& text)
    {
        number = errorNumber;
        description = text;
    }
    void clear()
    {
        number = 0;
        description.clear();
    }
};

// Error numbers used by the platform layer. The database numbers are the
// ones the plant's maintainers know from the job database engine.
namespace ErrorNumber {
constexpr int Overflow = 6;
constexpr int TypeMismatch = 13;
constexpr int FileNotFound = 53;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int InvalidProcedureCall = 5;
constexpr int NoCurrentRecord = 3021;
constexpr int DuplicateKey = 3022;
constexpr int CouldNotFindFile = 3024;
constexpr int SyntaxInQueryExpression = 3075;
constexpr int TableNotFound = 3078;
constexpr int FieldTooSmall = 3163;
constexpr int RecordLocked = 3218;
constexpr int ItemNotFound = 3265;
constexpr int DataTypeConversion = 3421;
constexpr int DatabaseGeneric = 3001;
constexpr int DiskFull = 3026;
constexpr int ReadOnlyDatabase = 3027;
constexpr int DiskOrNetwork = 3043;
constexpr int DamagedDatabase = 3049;

// Faults of the machine, not of a job file: the job database missing,
// locked, read-only, full, unreachable or damaged, a folder that cannot be
// reached or read. A file that failed for one of these was never wrong and
// is read again once the fault is gone.
constexpr bool isInfrastructureFault(int number)
{
    switch (number) {
    case CouldNotFindFile:
    case RecordLocked:
    case ReadOnlyDatabase:
    case DiskFull:
    case DiskOrNetwork:
    case DamagedDatabase:
    case PermissionDenied:
    case PathNotFound:
        return true;
    default:
        return false;
    }
}
} // namespace ErrorNumber
