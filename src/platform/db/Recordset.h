#pragma once

#include "platform/PendingError.h"

#include <QString>
#include <QVariant>

#include <memory>

namespace db {

class Criteria;
class Database;
struct RecordsetData;

// A dynaset over one table of a Database, optionally restricted by
// criteria, with the semantics the readers rely on:
//
// - a current row (or none: eof); findFirst(criteria) moves to the first
//   matching row in key order and sets noMatch(); moveFirst goes to the
//   first row through an index, never by loading the table;
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
// - as with the engine the readers were written against, moveFirst on an
//   empty recordset raises 3021 "No current record."; setField() and
//   update() without addNew()/edit() raise 3020; findFirst() without a
//   match leaves the current row where it was (a criteria error sets
//   noMatch() too, so nothing is overwritten).
// - every method that takes a PendingError returns false when it raised.
class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    void close();

    bool findFirst(const Criteria& criteria, PendingError& err);
    [[nodiscard]] bool noMatch() const;

    bool moveFirst(PendingError& err);
    [[nodiscard]] bool eof() const;
    // True when the recordset has no row at all.
    [[nodiscard]] bool isEmpty() const;

    bool addNew(PendingError& err);
    bool edit(PendingError& err);
    bool update(PendingError& err);
    bool remove(PendingError& err);
    // update(), moveTo(lastModified()) and edit() in one step. Inside a
    // transaction a new row's INSERT then waits for the edit's update() and
    // goes in as one statement with it (one write where there were two).
    // Any statement that may meet the row (on its table, on a table its
    // foreign key leads to or from, any delete, the commit) writes it
    // first, rows in the order they were stored. A failure of the waiting
    // INSERT is reported by the call that wrote it (or, after close() and
    // lastModified(), which report nothing, by the next statement).
    bool updateAndEdit(PendingError& err);

    // Opaque bookmark of the row stored by the last update(); 0 when none.
    [[nodiscard]] qint64 lastModified() const;
    bool moveTo(qint64 bookmark, PendingError& err);

    [[nodiscard]] QVariant field(const QString& name, PendingError& err) const;
    bool setField(const QString& name, const QVariant& value, PendingError& err);
    [[nodiscard]] bool hasField(const QString& name) const;

private:
    friend class Database;
    bool moveFirstIfAny(PendingError& err);

    std::unique_ptr<RecordsetData> d;
};

} // namespace db
