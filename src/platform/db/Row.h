#pragma once

#include "platform/PendingError.h"

#include <QAnyStringView>
#include <QString>
#include <QVariant>

#include <memory>

namespace db {

struct RowData;

// One row of a table of the job database, held in memory: the values a
// reader keeps current (a bar, a piece, the job) until it hands the row to
// the Database to store. Copies of a Row are the same row.
//
// set() applies the column's rules at once, as the engine the readers were
// written against did: a column the table lacks raises 3265 "Item not found
// in this collection."; a text that is not a number written to a numeric
// column raises 3421 "Data type conversion error."; a number text ("007")
// goes into a numeric column as a number; a text longer than a sized text
// column raises 3163; an integer out of range raises 6 "Overflow". On error
// the row keeps its previous value. get() reads the value back as the column
// stores it (Null when never set). Using a row that is none (isNull) raises
// 3021 "No current record.".
class Row {
public:
    Row();
    ~Row();
    Row(const Row&);
    Row& operator=(const Row&);

    [[nodiscard]] bool isNull() const { return !d; }
    // A column is named by any kind of string (a literal needs no QString).
    // A text or a number may be given as it is, without a QVariant.
    bool set(QAnyStringView column, const QVariant& value, PendingError& err);
    bool set(QAnyStringView column, const QString& text, PendingError& err);
    bool set(QAnyStringView column, int number, PendingError& err);
    bool set(QAnyStringView column, double number, PendingError& err);
    [[nodiscard]] QVariant get(QAnyStringView column, PendingError& err) const;
    // set(column, source.get(column)) without reading the value back first.
    bool setFrom(QAnyStringView column, const Row& source, PendingError& err);

private:
    friend class Database;
    template <typename Given> bool assign(QAnyStringView column, const Given& value, PendingError& err);
    explicit Row(std::shared_ptr<RowData> data);
    std::shared_ptr<RowData> d;
};

} // namespace db
