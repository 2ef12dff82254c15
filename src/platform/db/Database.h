#pragma once

#include "platform/PendingError.h"

#include <QString>
#include <QVariant>

#include <memory>
#include <vector>

namespace db {

class Criteria;
class Recordset;
struct ConnectionData;

// One connection to a job database (an SQLite file by default; the layer
// speaks Qt SQL and keeps driver-specific statements in one place).
//
// A Database opened with Transaction::PerCall runs everything in one
// transaction that only commit() makes permanent: close(), the destructor
// and a dying process roll it back, so an import writes all of its rows or
// none. Commits are durable (synchronous=FULL) before commit() returns.
// WAL journal mode and a busy timeout let the machine's control read while
// we write; a database locked past the timeout is an
// ordinary error (3218 "Could not update; currently locked.").
//
// Every operation reports failures into the PendingError it is given
// (number + English description) and returns false; nothing throws.
class Database {
public:
    enum class Transaction { PerCall, AutoCommit };
    enum class Access { ReadWrite, ReadOnly };

    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing database file. A missing file raises 3024
    // "Could not find file '<path>'."; a file that is not a database raises
    // an error with the engine's text.
    bool open(const QString& path, PendingError& err, Transaction tx = Transaction::PerCall,
              Access access = Access::ReadWrite);
    [[nodiscard]] bool isOpen() const;

    // Commits the transaction (PerCall) and closes. A failed commit is
    // reported; the call's rows are then gone. Recordsets opened on it
    // become unusable.
    [[nodiscard]] bool commit(PendingError& err);
    // Rolls back whatever was not committed and closes. The destructor does
    // the same: nothing is ever committed by accident.
    void close();

    // Opens a dynaset on a whole table, or on the rows of a table matching
    // criteria (see Criteria.h); a criteria string is read with
    // Criteria::parse. A missing table raises 3078, a column the table does
    // not have 3061 "Too few parameters. Expected 1.", a text compared with
    // a numeric column (or a number with a text column) 3464. The recordset
    // starts on its first row.
    bool openRecordset(Recordset& rs, const QString& table, PendingError& err);
    bool openRecordset(Recordset& rs, const QString& table, const Criteria& criteria, PendingError& err);
    bool openRecordset(Recordset& rs, const QString& table, const QString& criteria, PendingError& err);

    // Set-based statements; values are bound as parameters, never pasted
    // into SQL. Return the number of rows touched, or -1 with err raised.
    // Empty criteria mean all rows. updateWhere converts the value like
    // Recordset::setField.
    int deleteWhere(const QString& table, const Criteria& criteria, PendingError& err);
    int updateWhere(const QString& table, const QString& column, const QVariant& value, const Criteria& criteria,
                    PendingError& err);

    // Largest value of a numeric column over the rows matching criteria
    // (empty criteria = all rows); Null rows are passed over. Returns a Null
    // QVariant when no row has a value.
    QVariant maxOf(const QString& table, const QString& column, const Criteria& criteria, PendingError& err);
    // The distinct values of a column over the rows matching criteria, Null
    // passed over, in no particular order.
    QVariantList distinctOf(const QString& table, const QString& column, const Criteria& criteria, PendingError& err);
    // True when the table has at least one row.
    bool hasRows(const QString& table, PendingError& err);

    // A fixed SQL statement of our own (never built from file text).
    bool executeFixed(const QString& sql, PendingError& err);
    // A statement of our own with its values bound in order to its "?"
    // marks; the rows a query returns are appended to rows (when given).
    bool execute(const QString& sql, const QVariantList& values, PendingError& err,
                 std::vector<QVariantList>* rows = nullptr);

    // The error number of the last fault of the machine (the database
    // full, read-only, locked, damaged or unreachable) that a statement on
    // this connection met, 0 when none: whichever report a reader writes
    // afterwards, the file was not at fault.
    [[nodiscard]] int machineFault() const;

    // How long a statement waits for another program's lock before it
    // fails with 3218 (default 5000 ms). Takes effect at once and for later
    // open() calls.
    void setBusyTimeout(int milliseconds);

    // For the store layer's own helpers (the quick check).
    [[nodiscard]] ConnectionData* connection() const { return m_conn.get(); }

private:
    bool finish(bool commit, PendingError& err);

    std::unique_ptr<ConnectionData> m_conn;
    int m_busyTimeoutMs = 0;
};

// Creates an empty database file from SQL statements (the schema). Refuses
// with a message when the file exists. Returns false and sets message on
// failure.
bool createDatabase(const QString& path, const QString& schemaSql, QString* message);

} // namespace db

namespace db {

// A quick check of a job database file's structure, read only: false with
// err raised (3049 and the engine's words) when the file is damaged or not
// a database; a file that cannot be opened for another reason raises that.
bool checkDatabase(const QString& path, PendingError& err);

} // namespace db
