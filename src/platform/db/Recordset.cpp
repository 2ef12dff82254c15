#include "platform/db/Recordset.h"

#include "platform/db/DbErrors.h"
#include "platform/db/StoreData.h"

#include <QSqlError>

// Every row is addressed by the table's surrogate key: positioning is one
// indexed "SELECT key ... ORDER BY key LIMIT 1" statement (first, last,
// next after the current key, first match of a criteria string), so walking
// or finding never reads a table into memory and costs the same in a small
// and in a large database. A value of the current row is read when it is
// first asked for and kept until the row changes: the readers look at a few
// columns of rows that have fifty.

namespace db {

namespace {

bool usable(const RecordsetData& d, PendingError& err)
{
    if (d.conn && d.info)
        return true;
    error::objectInvalid(err);
    return false;
}

void dropBuffer(RecordsetData& d)
{
    d.buffer = RecordsetData::Buffer::None;
    d.dirty.fill(0);
}

// The row with this key is now the current row; none of its values are
// read yet.
void takeKey(RecordsetData& d, qint64 key)
{
    d.currentKey = key;
    d.rowValues.resize(d.info->columns.size());
    d.loaded.fill(0, qsizetype(d.info->columns.size()));
    d.onRow = true;
    d.deleted = false;
    d.bof = d.eof = false;
}

// The positioning statement for a condition (besides the recordset's own
// filter), first or last in key order. It selects the key alone: a find
// through the index of the searched columns never touches the table.
QSqlQuery* seekQuery(RecordsetData& d, const QString& condition, bool last, PendingError& err)
{
    const QString cacheKey = condition + (last ? QStringLiteral("#last") : QStringLiteral("#first"));
    auto it = d.seekQueries.constFind(cacheKey);
    if (it != d.seekQueries.cend())
        return it.value();
    QStringList where;
    if (!d.filter.sql.isEmpty())
        where << d.filter.sql;
    if (!condition.isEmpty())
        where << condition;
    const TableInfo& t = *d.info;
    QString sql = QStringLiteral("SELECT ") + t.quotedKey + QStringLiteral(" FROM ") + t.quotedName;
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY ") + t.quotedKey + (last ? QStringLiteral(" DESC") : QString()) +
           QStringLiteral(" LIMIT 1");
    QSqlQuery* q = d.conn->prepared(sql, err);
    if (q)
        d.seekQueries.insert(cacheKey, q);
    return q;
}

// Runs a statement that yields at most one key; found tells whether it did.
bool firstKey(RecordsetData& d, QSqlQuery& q, const QVariantList& values, qint64& key, bool& found,
              PendingError& err)
{
    found = false;
    if (!d.conn->run(q, values, err, d.info.get()))
        return false;
    if (q.next()) {
        key = q.value(0).toLongLong();
        found = true;
    } else if (q.lastError().isValid() && q.lastError().type() != QSqlError::NoError) {
        d.conn->raise(q.lastError(), err, d.info.get());
        q.finish();
        return false;
    }
    q.finish();
    return true;
}

// Moves to the first (last) row that matches the filter and the condition;
// found is false, and the position unchanged, when there is none.
bool seek(RecordsetData& d, const QString& condition, const QVariantList& values, bool last, bool& found,
          PendingError& err)
{
    found = false;
    QSqlQuery* q = seekQuery(d, condition, last, err);
    if (!q)
        return false;
    QVariantList all = d.filter.values;
    all += values;
    qint64 key = 0;
    if (!firstKey(d, *q, all, key, found, err))
        return false;
    if (found)
        takeKey(d, key);
    return true;
}

// Whether a row with this key exists (whatever the filter says: a row this
// recordset stored belongs to it).
bool rowExists(RecordsetData& d, qint64 key, bool& found, PendingError& err)
{
    const TableInfo& t = *d.info;
    QSqlQuery* q = d.conn->prepared(QStringLiteral("SELECT ") + t.quotedKey + QStringLiteral(" FROM ") +
                                        t.quotedName + QStringLiteral(" WHERE ") + t.quotedKey +
                                        QStringLiteral(" = ?"),
                                    err);
    qint64 ignored = 0;
    return q && firstKey(d, *q, {key}, ignored, found, err);
}

// There is a current row that was not deleted.
bool onLiveRow(const RecordsetData& d, PendingError& err)
{
    if (!d.onRow) {
        error::noCurrentRecord(err);
        return false;
    }
    if (d.deleted) {
        error::recordDeleted(err);
        return false;
    }
    return true;
}

// One value of the current row, read from the table when not known yet.
bool columnValue(RecordsetData& d, int i, PendingError& err)
{
    if (!onLiveRow(d, err))
        return false;
    if (d.loaded.at(i))
        return true;
    TableInfo& t = *d.info;
    QSqlQuery* q = t.columnQueries.value(i);
    if (!q) {
        q = d.conn->prepared(QStringLiteral("SELECT ") + t.quotedColumns[i] + QStringLiteral(" FROM ") +
                                 t.quotedName + QStringLiteral(" WHERE ") + t.quotedKey + QStringLiteral(" = ?"),
                             err);
        if (!q)
            return false;
        t.columnQueries.insert(i, q);
    }
    if (!d.conn->run(*q, {d.currentKey}, err, d.info.get()))
        return false;
    const bool found = q->next();
    if (found)
        d.rowValues[size_t(i)] = fromStoredValue(t.columns[size_t(i)], q->value(0));
    q->finish();
    if (!found) {
        d.deleted = true; // removed behind this recordset's back
        error::recordDeleted(err);
        return false;
    }
    d.loaded[i] = 1;
    return true;
}

bool anyRow(RecordsetData& d, bool& any, PendingError& err)
{
    const TableInfo& t = *d.info;
    QString sql = QStringLiteral("SELECT 1 FROM ") + t.quotedName;
    if (!d.filter.sql.isEmpty())
        sql += QStringLiteral(" WHERE ") + d.filter.sql;
    QSqlQuery* q = d.conn->prepared(sql + QStringLiteral(" LIMIT 1"), err);
    if (!q || !d.conn->run(*q, d.filter.values, err, d.info.get()))
        return false;
    any = q->next();
    q->finish();
    return true;
}

QString columnList(const TableInfo& t, const QByteArray& dirty, const QString& suffix)
{
    QStringList parts;
    for (int i = 0; i < dirty.size(); ++i)
        if (dirty.at(i))
            parts << t.quotedColumns[i] + suffix;
    return parts.join(QStringLiteral(", "));
}

QSqlQuery* insertQuery(RecordsetData& d, PendingError& err)
{
    TableInfo& t = *d.info;
    auto it = t.insertQueries.constFind(d.dirty);
    if (it != t.insertQueries.cend())
        return it.value();
    QString sql = QStringLiteral("INSERT INTO ") + t.quotedName;
    const QString columns = columnList(t, d.dirty, QString());
    if (columns.isEmpty()) {
        sql += QStringLiteral(" DEFAULT VALUES");
    } else {
        QStringList marks;
        for (char c : d.dirty)
            if (c)
                marks << QStringLiteral("?");
        sql += QStringLiteral(" (") + columns + QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) +
               QStringLiteral(")");
    }
    QSqlQuery* q = d.conn->prepared(sql, err);
    if (q)
        t.insertQueries.insert(d.dirty, q);
    return q;
}

QSqlQuery* updateQuery(RecordsetData& d, PendingError& err)
{
    TableInfo& t = *d.info;
    auto it = t.updateQueries.constFind(d.dirty);
    if (it != t.updateQueries.cend())
        return it.value();
    const QString sql = QStringLiteral("UPDATE ") + t.quotedName + QStringLiteral(" SET ") +
                        columnList(t, d.dirty, QStringLiteral(" = ?")) + QStringLiteral(" WHERE ") + t.quotedKey +
                        QStringLiteral(" = ?");
    QSqlQuery* q = d.conn->prepared(sql, err);
    if (q)
        t.updateQueries.insert(d.dirty, q);
    return q;
}

QVariantList dirtyValues(const RecordsetData& d)
{
    QVariantList values;
    for (int i = 0; i < d.dirty.size(); ++i)
        if (d.dirty.at(i))
            values << d.bufferValues[size_t(i)];
    return values;
}

bool storeNew(RecordsetData& d, PendingError& err)
{
    QSqlQuery* q = insertQuery(d, err);
    if (!q || !d.conn->run(*q, dirtyValues(d), err, d.info.get()))
        return false;
    d.lastModified = q->lastInsertId().toLongLong();
    q->finish();
    return true;
}

bool storeEdit(RecordsetData& d, PendingError& err)
{
    if (!d.dirty.contains(char(1))) {
        d.lastModified = d.currentKey;
        return true;
    }
    QSqlQuery* q = updateQuery(d, err);
    QVariantList values = dirtyValues(d);
    values << d.currentKey;
    if (!q || !d.conn->run(*q, values, err, d.info.get()))
        return false;
    const int n = q->numRowsAffected();
    q->finish();
    if (n == 0) {
        d.deleted = true;
        error::recordDeleted(err);
        return false;
    }
    d.lastModified = d.currentKey;
    d.conn->rowsChanged(d.info.get(), nullptr);
    return true;
}

} // namespace

Recordset::Recordset() : d(std::make_unique<RecordsetData>()) {}

Recordset::~Recordset() { close(); }

bool Recordset::isOpen() const { return d->conn != nullptr; }

QString Recordset::table() const { return d->info ? d->info->name : QString(); }

void Recordset::close()
{
    d->detach();
    d->noMatch = false;
    d->lastModified = 0;
}

bool Recordset::findFirst(const QString& criteria, PendingError& err)
{
    d->noMatch = true;
    if (!usable(*d, err))
        return false;
    dropBuffer(*d);
    BoundCondition c;
    if (!d->conn->condition(*d->info, criteria, c, err))
        return false;
    bool found = false;
    if (!seek(*d, c.sql, c.values, false, found, err))
        return false;
    d->noMatch = !found;
    return true;
}

bool Recordset::noMatch() const { return d->noMatch; }

bool Recordset::moveFirstIfAny(PendingError& err)
{
    if (!usable(*d, err))
        return false;
    dropBuffer(*d);
    bool found = false;
    if (!seek(*d, QString(), {}, false, found, err))
        return false;
    if (!found) {
        d->onRow = false;
        d->bof = d->eof = true;
    }
    return true;
}

bool Recordset::moveFirst(PendingError& err)
{
    if (!moveFirstIfAny(err))
        return false;
    if (!d->onRow) {
        error::noCurrentRecord(err);
        return false;
    }
    return true;
}

bool Recordset::moveLast(PendingError& err)
{
    if (!usable(*d, err))
        return false;
    dropBuffer(*d);
    bool found = false;
    if (!seek(*d, QString(), {}, true, found, err))
        return false;
    if (!found) {
        d->onRow = false;
        d->bof = d->eof = true;
        error::noCurrentRecord(err);
        return false;
    }
    return true;
}

bool Recordset::moveNext(PendingError& err)
{
    if (!usable(*d, err))
        return false;
    dropBuffer(*d);
    if (d->eof) {
        error::noCurrentRecord(err);
        return false;
    }
    bool found = false;
    if (d->onRow) {
        if (!seek(*d, d->info->quotedKey + QStringLiteral(" > ?"), {d->currentKey}, false, found, err))
            return false;
    } else if (!seek(*d, QString(), {}, false, found, err)) {
        return false;
    }
    if (!found) {
        bool any = false;
        if (!anyRow(*d, any, err))
            return false;
        d->onRow = false;
        d->eof = true;
        d->bof = !any;
    }
    return true;
}

bool Recordset::eof() const { return d->eof; }

bool Recordset::bof() const { return d->bof; }

bool Recordset::addNew(PendingError& err)
{
    if (!usable(*d, err))
        return false;
    const size_t n = d->info->columns.size();
    d->buffer = RecordsetData::Buffer::New;
    d->bufferValues.assign(n, QVariant());
    d->dirty.fill(0, qsizetype(n));
    return true;
}

bool Recordset::edit(PendingError& err)
{
    if (!usable(*d, err))
        return false;
    dropBuffer(*d);
    if (!onLiveRow(*d, err))
        return false;
    const size_t n = d->info->columns.size();
    d->buffer = RecordsetData::Buffer::Edit;
    d->bufferValues.assign(n, QVariant());
    d->dirty.fill(0, qsizetype(n));
    return true;
}

bool Recordset::update(PendingError& err)
{
    if (!usable(*d, err))
        return false;
    bool ok = false;
    switch (d->buffer) {
    case RecordsetData::Buffer::None:
        error::updateWithoutEdit(err);
        return false;
    case RecordsetData::Buffer::New:
        ok = storeNew(*d, err);
        break;
    case RecordsetData::Buffer::Edit:
        ok = storeEdit(*d, err);
        break;
    }
    // A failed store keeps the buffer open, as the engine did.
    if (ok)
        dropBuffer(*d);
    return ok;
}

void Recordset::cancelUpdate() { dropBuffer(*d); }

bool Recordset::remove(PendingError& err)
{
    if (!usable(*d, err))
        return false;
    dropBuffer(*d);
    if (!onLiveRow(*d, err))
        return false;
    const TableInfo& t = *d->info;
    QSqlQuery* q = d->conn->prepared(
        QStringLiteral("DELETE FROM ") + t.quotedName + QStringLiteral(" WHERE ") + t.quotedKey + QStringLiteral(" = ?"),
        err);
    if (!q || !d->conn->run(*q, {d->currentKey}, err, d->info.get()))
        return false;
    const int n = q->numRowsAffected();
    q->finish();
    d->deleted = true;
    if (n == 0) {
        error::recordDeleted(err); // removed behind this recordset's back
        return false;
    }
    d->conn->rowsChanged(nullptr, d.get()); // cascades reach other tables
    return true;
}

bool Recordset::editing() const { return d->buffer != RecordsetData::Buffer::None; }

qint64 Recordset::lastModified() const { return d->lastModified; }

bool Recordset::moveTo(qint64 bookmark, PendingError& err)
{
    if (!usable(*d, err))
        return false;
    dropBuffer(*d);
    bool found = false;
    if (bookmark > 0 && !rowExists(*d, bookmark, found, err))
        return false;
    if (!found) {
        error::notValidBookmark(err);
        return false;
    }
    takeKey(*d, bookmark);
    return true;
}

QVariant Recordset::field(const QString& name, PendingError& err) const
{
    if (!usable(*d, err))
        return {};
    const int i = d->info->indexOf(name);
    if (i < 0) {
        error::itemNotFound(err);
        return {};
    }
    const Column& column = d->info->columns[size_t(i)];
    if (d->buffer != RecordsetData::Buffer::None && d->dirty.at(i))
        return fromStoredValue(column, d->bufferValues[size_t(i)]);
    if (d->buffer == RecordsetData::Buffer::New)
        return {};
    if (!columnValue(*d, i, err))
        return {};
    return d->rowValues[size_t(i)];
}

bool Recordset::setField(const QString& name, const QVariant& value, PendingError& err)
{
    if (!usable(*d, err))
        return false;
    const int i = d->info->indexOf(name);
    if (i < 0) {
        error::itemNotFound(err);
        return false;
    }
    if (d->buffer == RecordsetData::Buffer::None) {
        error::updateWithoutEdit(err);
        return false;
    }
    QVariant stored;
    if (!toColumnValue(d->info->columns[size_t(i)], value, stored, err))
        return false;
    d->bufferValues[size_t(i)] = std::move(stored);
    d->dirty[i] = 1;
    return true;
}

bool Recordset::hasField(const QString& name) const { return d->info && d->info->indexOf(name) >= 0; }

QStringList Recordset::fieldNames() const
{
    QStringList names;
    if (d->info)
        for (const Column& c : d->info->columns)
            names << c.name;
    return names;
}

} // namespace db
