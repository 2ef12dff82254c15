#pragma once

#include "platform/PendingError.h"
#include "platform/db/JobDatabaseUrl.h"
#include "platform/db/Row.h"

#include <QString>
#include <QStringList>
#include <QSqlQuery>
#include <QVariant>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace db {

struct ConnectionData;
struct Table;

// Columns and the values they must equal; values are bound as parameters,
// never pasted into SQL. A QString compares as text (job names without
// regard to case, as the schema declares), a number as a number.
using Where = std::vector<std::pair<QString, QVariant>>;

// One connection to a job database (an SQLite file by default; the layer
// speaks Qt SQL and keeps driver-specific statements in the Dialect).
//
// A Database opened with Transaction::PerCall runs everything in one
// transaction that only commit() makes permanent: close(), the destructor
// and a dying process roll it back, so an import writes all of its rows or
// none. Commits are durable before commit() returns. WAL journal mode and a
// busy timeout let the machine's control read while we write; a database
// locked past the timeout is an ordinary error (3218 "Could not update;
// currently locked.").
//
// Rows are written by store(): a new row's INSERT waits until the row is
// stored again (the stores go in as one INSERT), until a statement reads
// its table or writes anything else, or until the commit; rows go in the
// order they were first stored. A failure of a waiting INSERT is reported
// by the call that wrote it. Outside a transaction every store is written
// at once.
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
    // Opens the job database in a schema of a PostgreSQL server. A server
    // that cannot be reached, or a schema that is missing, raises a fault
    // of the machine.
    bool open(const JobDatabaseUrl& server, PendingError& err, Transaction tx = Transaction::PerCall,
              Access access = Access::ReadWrite);
    [[nodiscard]] bool isOpen() const;

    // Writes the waiting rows, commits the transaction (PerCall) and
    // closes. A failed commit is reported; the call's rows are then gone.
    [[nodiscard]] bool commit(PendingError& err);
    // Rolls back whatever was not committed and closes. The destructor does
    // the same: nothing is ever committed by accident.
    void close();

    // A new, empty row of a table (3078 when the table does not exist).
    Row newRow(const QString& table, PendingError& err);
    // True when the table exists and has the column.
    bool hasColumn(const QString& table, const QString& column);
    // Stores a row: a new row is written as described above; a row written
    // before gets the columns set since then (nothing when none was).
    bool store(Row& row, PendingError& err);
    // Deletes a stored row (the database's cascades follow).
    bool remove(Row& row, PendingError& err);

    // The first row (in the order rows were added) matching where, or a
    // null row when there is none.
    Row firstRow(const QString& table, const Where& where, PendingError& err);
    // Set-based statements; return the number of rows touched, or -1 with
    // err raised. An empty where means all rows. updateWhere applies the
    // column's rules to the value.
    int deleteWhere(const QString& table, const Where& where, PendingError& err);
    int updateWhere(const QString& table, const QString& column, const QVariant& value, const Where& where,
                    PendingError& err);
    // Largest value of a numeric column (Null rows passed over); a Null
    // QVariant when no row has a value.
    QVariant maxOf(const QString& table, const QString& column, PendingError& err);
    // The distinct values of a column over the rows matching where, Null
    // passed over, in no particular order.
    QVariantList distinctOf(const QString& table, const QString& column, const Where& where, PendingError& err);
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

    // For the store layer's own helpers (the quick check).
    [[nodiscard]] ConnectionData* connection() const { return m_conn.get(); }

private:
    // A statement about one table (and one of its columns), run with
    // values and then where's values bound; query is null with err raised
    // when it failed. A statement that reads the table writes the rows
    // waiting for it first; any other writes all waiting rows first.
    struct TableQuery {
        std::shared_ptr<const Table> table;
        int column = -1;
        QSqlQuery* query = nullptr;
    };
    using SqlOf = std::function<QString(const Table&, const QString& quotedColumn, const QString& where)>;
    TableQuery queryOn(const QString& table, const QString& column, const Where& where, QVariantList values, bool reads,
                       const SqlOf& sqlOf, PendingError& err);
    bool connect(std::unique_ptr<ConnectionData> conn, bool readOnly, PendingError& err);
    bool finish(bool commit, PendingError& err);

    std::unique_ptr<ConnectionData> m_conn;
};

// Creates an empty database file from SQL statements (the schema). Refuses
// with a message when the file exists. Returns false and sets message on
// failure.
bool createDatabase(const QString& path, const QStringList& statements, QString* message);

// A quick check of a job database file's structure, read only: false with
// err raised (3049 and the engine's words) when the file is damaged or not
// a database; a file that cannot be opened for another reason raises that.
bool checkDatabase(const QString& path, PendingError& err);

} // namespace db
