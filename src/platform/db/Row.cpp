#include "platform/db/Row.h"

#include "platform/db/Connection.h"
#include "platform/db/DbErrors.h"

namespace db {

Row::Row() = default;
Row::~Row() = default;
Row::Row(const Row&) = default;
Row& Row::operator=(const Row&) = default;
Row::Row(std::shared_ptr<RowData> data) : d(std::move(data)) {}

template <typename Given> bool Row::assign(QAnyStringView column, const Given& value, PendingError& err)
{
    if (!d) {
        error::noCurrentRecord(err);
        return false;
    }
    const int i = d->table->indexOf(column);
    if (i < 0) {
        error::itemNotFound(err);
        return false;
    }
    Value stored;
    if (!toColumnValue(d->table->columns[size_t(i)], value, stored, err))
        return false;
    Value& current = d->values[size_t(i)];
    // A stored row's next write carries only the values that differ.
    if (d->given.test(i) && current == stored)
        return true;
    current = std::move(stored);
    d->given.set(i);
    d->changed.set(i);
    return true;
}

bool Row::set(QAnyStringView column, const QVariant& value, PendingError& err)
{
    return assign(column, value, err);
}

bool Row::set(QAnyStringView column, const QString& text, PendingError& err)
{
    return assign(column, text, err);
}

bool Row::set(QAnyStringView column, int number, PendingError& err)
{
    return assign(column, Value::ofInteger(number), err);
}

bool Row::set(QAnyStringView column, double number, PendingError& err)
{
    return assign(column, Value::ofReal(number), err);
}

QVariant Row::get(QAnyStringView column, PendingError& err) const
{
    if (!d) {
        error::noCurrentRecord(err);
        return {};
    }
    const int i = d->table->indexOf(column);
    if (i < 0) {
        error::itemNotFound(err);
        return {};
    }
    return fromStoredValue(d->table->columns[size_t(i)], d->values[size_t(i)]);
}

bool Row::setFrom(QAnyStringView column, const Row& source, PendingError& err)
{
    if (!source.d) {
        error::noCurrentRecord(err);
        return false;
    }
    const int i = source.d->table->indexOf(column);
    if (i < 0) {
        error::itemNotFound(err);
        return false;
    }
    return set(column, source.d->values[size_t(i)].toVariant(), err);
}

} // namespace db
