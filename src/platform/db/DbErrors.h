#pragma once

#include "platform/PendingError.h"

#include <QString>

// Error numbers and texts of the store layer. The numbers are the ones the
// plant's maintainers know from the job database engine the server always
// used; the texts are English and name no product.
namespace db::error {

using namespace ErrorNumber;

constexpr int RelatedRecordRequired = 3201;
constexpr int FieldRequired = 3314;
constexpr int ObjectInvalid = 3420;

inline void overflow(PendingError& err)
{
    err.raise(Overflow, QStringLiteral("Overflow"));
}
inline void itemNotFound(PendingError& err)
{
    err.raise(ItemNotFound, QStringLiteral("Item not found in this collection."));
}
inline void conversion(PendingError& err)
{
    err.raise(DataTypeConversion, QStringLiteral("Data type conversion error."));
}
inline void fieldTooSmall(PendingError& err)
{
    err.raise(FieldTooSmall, QStringLiteral("The field is too small to accept the amount of data you "
                                            "attempted to add. Try inserting or pasting less data."));
}
inline void noCurrentRecord(PendingError& err)
{
    err.raise(NoCurrentRecord, QStringLiteral("No current record."));
}
inline void objectInvalid(PendingError& err)
{
    err.raise(ObjectInvalid, QStringLiteral("Object invalid or no longer set."));
}
inline void tableNotFound(PendingError& err, const QString& table)
{
    err.raise(TableNotFound, QStringLiteral("Cannot find the input table or query '%1'.").arg(table));
}
inline void fileNotFound(PendingError& err, const QString& path)
{
    err.raise(CouldNotFindFile, QStringLiteral("Could not find file '%1'.").arg(path));
}
inline void locked(PendingError& err)
{
    err.raise(RecordLocked, QStringLiteral("Could not update; currently locked."));
}
inline void duplicateKey(PendingError& err)
{
    err.raise(DuplicateKey,
              QStringLiteral("The changes you requested to the table were not successful because they would "
                             "create duplicate values in the index, primary key, or relationship. Change the "
                             "data in the field or fields that contain duplicate data, remove the index, or "
                             "redefine the index to permit duplicate entries and try again."));
}
inline void relatedRecordRequired(PendingError& err, const QString& parentTable)
{
    err.raise(RelatedRecordRequired,
              QStringLiteral("You cannot add or change a record because a related record is required in "
                             "table '%1'.")
                  .arg(parentTable));
}
inline void fieldRequired(PendingError& err, const QString& field)
{
    err.raise(FieldRequired, QStringLiteral("The field '%1' cannot contain a Null value because the Required "
                                            "property for this field is set to True. Enter a value in this field.")
                                 .arg(field));
}
inline void readOnly(PendingError& err)
{
    err.raise(ReadOnlyDatabase, QStringLiteral("Cannot update. Database or object is read-only."));
}
// Faults of the machine rather than of a job: the engine's own text is
// kept, so that a maintainer sees what the engine said.
inline void diskFull(PendingError& err, const QString& engineText)
{
    err.raise(DiskFull, engineText.isEmpty() ? QStringLiteral("Not enough space on disk.") : engineText);
}
inline void inputOutput(PendingError& err, const QString& engineText)
{
    err.raise(DiskOrNetwork, engineText.isEmpty() ? QStringLiteral("Disk or network error.") : engineText);
}
inline void damaged(PendingError& err, const QString& engineText)
{
    err.raise(DamagedDatabase, engineText.isEmpty() ? QStringLiteral("The database is damaged.") : engineText);
}
inline void engine(PendingError& err, const QString& engineText)
{
    err.raise(DatabaseGeneric, engineText.isEmpty() ? QStringLiteral("Reserved error.") : engineText);
}

} // namespace db::error
