#pragma once

// Internal state of the store layer. Nothing outside src/platform/db
// includes this.

#include "platform/PendingError.h"
#include "platform/db/Database.h"
#include "platform/db/Dialect.h"

#include <QAnyStringView>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <array>
#include <cstring>
#include <type_traits>
#include <memory>
#include <vector>

namespace db {

// The kinds of column the conversions know, from the declared type.
enum class ColumnKind { Int16, Int32, Int64, Double, Text, Memo, DateTime, Other };

struct Column {
    QString name;
    ColumnKind kind = ColumnKind::Other;
    int size = 0; // characters of a sized text column, 0 = unbounded
    bool notNull = false;
};

ColumnKind columnKindOf(const QString& declaredType, int* size);

// One table as the database declares it: the column rules every value
// written passes, read once per connection.
struct Table {
    QString name;                // as the database spells it
    QString keyColumn;           // the surrogate key ("RowKey")
    std::vector<Column> columns; // without the key, in table order
    QHash<QString, int> exactIndex;
    QHash<QString, int> foldedIndex; // lower-case names: lookups ignore case
    QString parentTable;             // table a foreign key points to, if any

    QString quotedName;
    QString quotedKey;
    QStringList quotedColumns;

    [[nodiscard]] int indexOf(QAnyStringView column) const
    {
        // The readers name columns with literals, whose text stays where it
        // is: a name found before is found again by its address, checked
        // against the column's name, without hashing the text.
        const size_t mask = byAddress.size() - 1;
        size_t at = size_t((quint64(quintptr(column.data())) * 0x9E3779B97F4A7C15ULL) >> 32) & mask;
        for (; byAddress[at].text; at = (at + 1) & mask) {
            const AddressSlot& slot = byAddress[at];
            if (slot.text == column.data() && sameName(columns[size_t(slot.index)].name, column))
                return slot.index;
        }
        const QString name = column.toString();
        const auto it = exactIndex.constFind(name);
        const int i = it != exactIndex.cend() ? it.value() : foldedIndex.value(name.toLower(), -1);
        if (i >= 0) {
            // Names made anew for every call would fill the places: they
            // are all given up when half are taken.
            if (++addressesTaken > byAddress.size() / 2) {
                byAddress.fill({});
                addressesTaken = 1;
                at = size_t((quint64(quintptr(column.data())) * 0x9E3779B97F4A7C15ULL) >> 32) & mask;
            }
            byAddress[at] = {column.data(), i};
        }
        return i;
    }

private:
    // The name as the column has it, character for character (a name in
    // 8-bit text compares by its bytes: column names are ASCII).
    static bool sameName(const QString& name, QAnyStringView column)
    {
        return column.visit([&name](auto view) {
            if (view.size() != name.size())
                return false;
            if constexpr (std::is_same_v<decltype(view), QStringView>) {
                return std::memcmp(view.data(), name.constData(), size_t(name.size()) * sizeof(QChar)) == 0;
            } else {
                const QChar* at = name.constData();
                for (qsizetype i = 0; i < name.size(); ++i)
                    if (at[i].unicode() != static_cast<unsigned char>(view.data()[i]))
                        return false;
                return true;
            }
        });
    }

    struct AddressSlot {
        const void* text = nullptr;
        int index = -1;
    };
    mutable std::array<AddressSlot, 256> byAddress{}; // open addressing by the text's address
    mutable size_t addressesTaken = 0;
};

// A row's values as stored (after the column rules), which columns it was
// given and which changed since it was last written, and its key once
// written.
struct RowData {
    std::shared_ptr<const Table> table;
    std::vector<Value> values;
    ColumnMask given;     // a value was set (a new row is written with these columns)
    ColumnMask changed;   // set since the row was last written
    qint64 key = 0;       // 0: not written yet
    bool pending = false; // handed to the writer, INSERT not written yet
};

// Conversions between the values the readers hand over and what a column
// stores (FieldValue.cpp).
bool toColumnValue(const Column& column, const QVariant& value, Value& out, PendingError& err);
bool toColumnValue(const Column& column, const QString& text, Value& out, PendingError& err);
// A number given as a number (Integer or Real).
bool toColumnValue(const Column& column, const Value& number, Value& out, PendingError& err);
QVariant fromStoredValue(const Column& column, const Value& stored);

struct ConnectionData {
    QString connectionName;
    QSqlDatabase db;
    std::unique_ptr<Dialect> dialect;
    Database::Transaction transaction = Database::Transaction::PerCall;
    bool inTransaction = false;
    int machineFault = 0; // see Database::machineFault

    QHash<QString, std::shared_ptr<QSqlQuery>> queries;        // prepared, by SQL text
    QHash<QString, std::shared_ptr<const Table>> tables;       // by lower-case name
    QHash<QString, std::shared_ptr<const Table>> tablesByName; // by the name asked for
    // New rows stored but not written yet, in the order they were stored.
    std::vector<std::shared_ptr<RowData>> pending;
    // The statements writing rows of a table, by the columns written (one
    // byte per column). Kept per connection and per table as the row knows
    // it: a row from an earlier opening gets statements of this connection,
    // which go when it closes. The entry holds its table, so that no other
    // table can take its address while the statements live.
    struct TableStatements {
        std::shared_ptr<const Table> table;
        QHash<ColumnMask, std::shared_ptr<RowStatement>> inserts;
        QHash<ColumnMask, std::shared_ptr<RowStatement>> updates;
    };
    QHash<const Table*, TableStatements> rowStatements;
    // Written rows no Row refers to, kept for new rows of their table: a
    // long job file does not allocate a row per record.
    static constexpr size_t MaxSpareRows = 1024;
    QHash<const Table*, std::vector<std::shared_ptr<RowData>>> spareRows;
    size_t spareRowCount = 0;

    // A prepared statement for the SQL text, reused across calls.
    QSqlQuery* prepared(const QString& sql, PendingError& err);
    // Column rules of a table; 3078 when the table does not exist.
    std::shared_ptr<const Table> table(const QString& name, PendingError& err);
    // Runs a prepared statement with the values bound in order.
    bool run(QSqlQuery& query, const QVariantList& values, PendingError& err, const Table* table);
    // Writes the pending rows: all of them (reading null), or those up to
    // the last one of the table a statement is about to read.
    bool writePending(const Table* reading, PendingError& err);
    // The first upTo pending rows, one INSERT each in their order, or
    // grouped by table and columns into INSERTs of many rows (a server).
    bool insertInOrder(size_t upTo, PendingError& err);
    bool insertGrouped(size_t upTo, PendingError& err);
    void keepSpareRow(std::shared_ptr<RowData>& row);
    // A spare row of the table, emptied; null when there is none.
    std::shared_ptr<RowData> spareRow(const Table* table);
    bool insertRow(RowData& row, PendingError& err);
    // Rows of one table with the same columns given, in one INSERT.
    bool insertRows(const std::vector<RowData*>& rows, PendingError& err);
    // The same through the dialect's bulk path; copied false when it has none.
    bool copyRows(const std::vector<RowData*>& rows, bool& copied, PendingError& err);
    RowStatement* rowStatement(const std::shared_ptr<const Table>& table, const ColumnMask& columns, bool update,
                               PendingError& err);
    bool updateRow(RowData& row, PendingError& err);
    // Turns an engine error into the store layer's numbers.
    void raise(const QSqlError& error, PendingError& err, const Table* table);
    void forgetStatements();
    [[nodiscard]] QString quoteName(const QString& name) const;
};

} // namespace db
