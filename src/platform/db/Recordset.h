#pragma once

#include "platform/PendingError.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace db {

class Database;
struct RecordsetData;

// A dynaset over one table of a Database, optionally restricted by a
// criteria string, with the semantics the readers rely on:
//
// - a current row (or none: eof/bof); findFirst(criteria) moves to the first
//   matching row in key order and sets noMatch(); moveFirst/Next/Last walk
//   in key order through an index, never by loading the table;
// - addNew() opens a buffer for a new row, edit() one for the current row;
//   setField() writes into the buffer; update() stores it (INSERT/UPDATE of
//   the columns set) and remembers the row as lastModified(). After an
//   addNew()+update() the current row is the one that was current before;
//   moveTo(lastModified()) makes the new row current. Moving, finding,
//   addNew() and close() drop an unsaved edit buffer silently;
// - field() reads from the buffer when one is open, else from the current
//   row; a Null column reads back as a Null QVariant;
// - setField() converts like the original engine: a missing column raises
//   3265 "Item not found in this collection."; a text that is not a number
//   written to a numeric column raises 3421 "Data type conversion error.";
//   a number text ("007") goes into a numeric column as a number; a text
//   longer than a sized text column raises 3163; an integer out of range
//   raises 6 "Overflow". On error the buffer keeps its previous value.
// - remove() deletes the current row; the row stays "current" but deleted
//   until the next move (reading it raises 3167 "Record is deleted.").
// - as with the engine the readers were written against, moveFirst and
//   moveLast on an empty recordset and moveNext at eof raise 3021 "No
//   current record."; setField() and update() without addNew()/edit() raise
//   3020; findFirst() without a match leaves the current row where it was
//   (a criteria error sets noMatch() too, so nothing is overwritten).
// - every method that takes a PendingError returns false when it raised.
class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    [[nodiscard]] bool isOpen() const;
    [[nodiscard]] QString table() const;
    void close();

    bool findFirst(const QString& criteria, PendingError& err);
    [[nodiscard]] bool noMatch() const;

    bool moveFirst(PendingError& err);
    bool moveNext(PendingError& err);
    bool moveLast(PendingError& err);
    [[nodiscard]] bool eof() const;
    [[nodiscard]] bool bof() const;
    // True when the recordset has no row at all (eof and bof together).
    [[nodiscard]] bool isEmpty() const { return eof() && bof(); }

    bool addNew(PendingError& err);
    bool edit(PendingError& err);
    bool update(PendingError& err);
    void cancelUpdate();
    bool remove(PendingError& err);
    [[nodiscard]] bool editing() const;

    // Opaque bookmark of the row stored by the last update(); 0 when none.
    [[nodiscard]] qint64 lastModified() const;
    bool moveTo(qint64 bookmark, PendingError& err);

    [[nodiscard]] QVariant field(const QString& name, PendingError& err) const;
    bool setField(const QString& name, const QVariant& value, PendingError& err);
    [[nodiscard]] bool hasField(const QString& name) const;
    [[nodiscard]] QStringList fieldNames() const;

private:
    friend class Database;
    bool moveFirstIfAny(PendingError& err);

    std::unique_ptr<RecordsetData> d;
};

} // namespace db
