// Field conversions of the store layer: what a value set into a row
// becomes in a column of a given declared type, and how a stored value
// reads back. They follow the engine the readers were written against: a
// number given as text goes into a numeric column as a number, a text that
// is not a number is a conversion error, integers round half to even, a
// sized text column refuses a longer text.

#include "platform/db/Connection.h"

#include "platform/Text.h"
#include "platform/db/DbErrors.h"

#include <QDateTime>

#include <cmath>
#include <limits>

namespace db {

namespace {

// Numbers on their way into a column are Values too: whole numbers stay
// whole (Integer), others are Real.
bool parseNumberText(const QString& text, Value& number);

const QString DateTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

bool isIntegerKind(ColumnKind k)
{
    return k == ColumnKind::Int16 || k == ColumnKind::Int32 || k == ColumnKind::Int64;
}

bool isTextKind(ColumnKind k)
{
    return k == ColumnKind::Text || k == ColumnKind::Memo;
}

// The integer types whose every value fits a qint64.
bool isWholeNumberType(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::SChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

bool isTextual(const QVariant& v)
{
    const int t = v.typeId();
    return t == QMetaType::QString || t == QMetaType::QByteArray || t == QMetaType::QChar || t == QMetaType::Char;
}

QString textOf(const QVariant& v)
{
    if (v.typeId() == QMetaType::QByteArray)
        return text::fromCp1252(v.toByteArray()); // job-file bytes
    return v.toString();
}

// A value as a number. False when the value is no number (conversion
// error).
bool numberOf(const QVariant& v, Value& number)
{
    if (isWholeNumberType(v.typeId())) {
        number = Value::ofInteger(v.toLongLong());
        return true;
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
        number = Value::ofInteger(v.toBool() ? -1 : 0); // True is -1, as always
        return true;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        if (v.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
            number = Value::ofReal(v.toDouble());
        else
            number = Value::ofInteger(v.toLongLong());
        return true;
    case QMetaType::Double:
    case QMetaType::Float:
        number = Value::ofReal(v.toDouble());
        return std::isfinite(number.real);
    default:
        break;
    }
    if (isTextual(v))
        return parseNumberText(textOf(v), number);
    return false;
}

// A stored value as a number (a column read back).
bool numberOf(const Value& v, Value& number)
{
    switch (v.kind) {
    case Value::Kind::Integer:
    case Value::Kind::Real:
        number = v;
        return true;
    case Value::Kind::Text:
        return parseNumberText(v.text, number);
    case Value::Kind::Null:
        break;
    }
    return false;
}

bool toInteger(ColumnKind kind, const Value& number, Value& out, PendingError& err)
{
    qint64 lo = std::numeric_limits<qint64>::min();
    qint64 hi = std::numeric_limits<qint64>::max();
    if (kind == ColumnKind::Int16) {
        lo = std::numeric_limits<qint16>::min();
        hi = std::numeric_limits<qint16>::max();
    } else if (kind == ColumnKind::Int32) {
        lo = std::numeric_limits<qint32>::min();
        hi = std::numeric_limits<qint32>::max();
    }
    qint64 value = 0;
    if (number.kind == Value::Kind::Integer) {
        value = number.integer;
    } else {
        const double rounded = std::nearbyint(number.real); // half to even
        if (!(rounded >= double(lo) && rounded <= double(hi)) || std::abs(rounded) >= 9.2e18) {
            error::overflow(err);
            return false;
        }
        value = static_cast<qint64>(rounded);
    }
    if (value < lo || value > hi) {
        error::overflow(err);
        return false;
    }
    out = Value::ofInteger(value);
    return true;
}

QString textFromValue(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float:
        return text::shortestDecimal(v.toDouble());
    case QMetaType::QDateTime:
        return v.toDateTime().toString(DateTimeFormat);
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    default:
        return textOf(v);
    }
}

// "yyyy-MM-dd HH:mm:ss", the form dates are stored in, read without the
// general parser (every bar of a released job copies its job's date).
bool canonicalDateTime(const QString& text, QDate* date, QTime* time)
{
    if (text.size() != 19 || text.at(4) != u'-' || text.at(7) != u'-' || text.at(10) != u' ' || text.at(13) != u':' ||
        text.at(16) != u':')
        return false;
    auto number = [&text](int from, int length, int* out) {
        int v = 0;
        for (int i = from; i < from + length; ++i) {
            const char16_t c = text.at(i).unicode();
            if (c < u'0' || c > u'9')
                return false;
            v = v * 10 + (c - u'0');
        }
        *out = v;
        return true;
    };
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    if (!number(0, 4, &y) || !number(5, 2, &mo) || !number(8, 2, &d) || !number(11, 2, &h) || !number(14, 2, &mi) ||
        !number(17, 2, &sec) || !QDate::isValid(y, mo, d) || !QTime::isValid(h, mi, sec))
        return false;
    *date = QDate(y, mo, d);
    *time = QTime(h, mi, sec);
    return true;
}

QDateTime parseDateTime(const QString& text)
{
    QDate date;
    QTime time;
    if (canonicalDateTime(text, &date, &time))
        return QDateTime(date, time);
    const QString t = text.trimmed();
    for (const QString& format : {DateTimeFormat, QStringLiteral("yyyy-MM-ddTHH:mm:ss"),
                                  QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"), QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"),
                                  QStringLiteral("yyyy-MM-dd HH:mm"), QStringLiteral("yyyy-MM-dd")}) {
        const QDateTime d = QDateTime::fromString(t, format);
        if (d.isValid())
            return d;
    }
    return {};
}

bool toDateTime(const QVariant& value, Value& out, PendingError& err)
{
    QDate date;
    QTime time;
    if (value.typeId() == QMetaType::QString && canonicalDateTime(value.toString(), &date, &time)) {
        out = Value::ofText(value.toString()); // stored as it stands
        return true;
    }
    QDateTime d;
    if (value.typeId() == QMetaType::QDateTime)
        d = value.toDateTime();
    else if (value.typeId() == QMetaType::QDate)
        d = value.toDate().startOfDay();
    else if (isTextual(value))
        d = parseDateTime(textOf(value));
    if (!d.isValid()) {
        error::conversion(err);
        return false;
    }
    out = Value::ofText(d.toString(DateTimeFormat));
    return true;
}

} // namespace

ColumnKind columnKindOf(const QString& declaredType, int* size)
{
    *size = 0;
    // "TEXT(255)": the name, and the size in parentheses.
    QString base = declaredType.trimmed().toUpper();
    int n = 0;
    const qsizetype open = base.indexOf(u'(');
    if (open > 0 && base.endsWith(u')')) {
        n = base.mid(open + 1, base.size() - open - 2).trimmed().toInt();
        base = base.left(open).trimmed();
    }
    if (base == u"SMALLINT" || base == u"SHORT" || base == u"INTEGER2" || base == u"INT2")
        return ColumnKind::Int16;
    if (base == u"INTEGER" || base == u"INT" || base == u"LONG" || base == u"INTEGER4" || base == u"INT4")
        return ColumnKind::Int32;
    if (base == u"BIGINT" || base == u"INT8")
        return ColumnKind::Int64;
    if (base == u"DOUBLE" || base == u"DOUBLE PRECISION" || base == u"REAL" || base == u"FLOAT" || base == u"SINGLE" ||
        base == u"NUMERIC" || base == u"DECIMAL" || base == u"CURRENCY")
        return ColumnKind::Double;
    if (base == u"TEXT" || base == u"VARCHAR" || base == u"CHAR" || base == u"CHARACTER" || base == u"NVARCHAR" ||
        base == u"NCHAR") {
        if (n > 0) {
            *size = n;
            return ColumnKind::Text;
        }
        return ColumnKind::Memo;
    }
    if (base == u"MEMO" || base == u"LONGTEXT" || base == u"CLOB")
        return ColumnKind::Memo;
    if (base == u"DATETIME" || base == u"DATE" || base == u"TIMESTAMP")
        return ColumnKind::DateTime;
    return ColumnKind::Other;
}

namespace {

// The strict number rule for text: the whole text, blanks around allowed,
// is an optionally signed decimal number. Integers come back as qlonglong.
bool parseNumberText(const QString& text, Value& number)
{
    QStringView body;
    bool point = false;
    if (!text::strictNumberBody(text, &body, &point))
        return false;
    bool ok = false;
    if (!point) {
        const qlonglong v = body.toLongLong(&ok);
        if (ok) {
            number = Value::ofInteger(v);
            return true;
        }
    }
    const double d = body.toDouble(&ok);
    if (!ok && body.endsWith(u'.'))
        return false;
    number = Value::ofReal(d);
    return ok;
}

} // namespace

namespace {

// A number (Integer or Real) into a numeric column.
bool numberIntoColumn(const Column& column, const Value& number, Value& out, PendingError& err)
{
    if (column.kind == ColumnKind::Double) {
        out = Value::ofReal(number.toReal());
        return true;
    }
    return toInteger(column.kind, number, out, err);
}

// A text into a text column, refused when longer than a sized column.
bool textIntoColumn(const Column& column, QString text, Value& out, PendingError& err)
{
    if (column.size > 0 && text.size() > column.size) {
        error::fieldTooSmall(err);
        return false;
    }
    out = Value::ofText(std::move(text));
    return true;
}

} // namespace

bool toColumnValue(const Column& column, const QString& text, Value& out, PendingError& err)
{
    switch (column.kind) {
    case ColumnKind::Int16:
    case ColumnKind::Int32:
    case ColumnKind::Int64:
    case ColumnKind::Double: {
        Value number;
        if (!parseNumberText(text, number)) {
            error::conversion(err);
            return false;
        }
        return numberIntoColumn(column, number, out, err);
    }
    case ColumnKind::Text:
    case ColumnKind::Memo:
        return textIntoColumn(column, text, out, err);
    case ColumnKind::DateTime:
        return toDateTime(QVariant(text), out, err);
    case ColumnKind::Other:
        break;
    }
    out = Value::ofText(text);
    return true;
}

bool toColumnValue(const Column& column, const Value& number, Value& out, PendingError& err)
{
    switch (column.kind) {
    case ColumnKind::Int16:
    case ColumnKind::Int32:
    case ColumnKind::Int64:
    case ColumnKind::Double:
        if (number.kind == Value::Kind::Real && !std::isfinite(number.real)) {
            error::conversion(err);
            return false;
        }
        return numberIntoColumn(column, number, out, err);
    case ColumnKind::Text:
    case ColumnKind::Memo:
        return textIntoColumn(column,
                              number.kind == Value::Kind::Integer ? QString::number(number.integer)
                                                                  : text::shortestDecimal(number.real),
                              out, err);
    case ColumnKind::DateTime:
        error::conversion(err); // a number is no date
        return false;
    case ColumnKind::Other:
        break;
    }
    out = number;
    return true;
}

bool toColumnValue(const Column& column, const QVariant& value, Value& out, PendingError& err)
{
    if (!value.isValid() || value.isNull()) {
        out = Value();
        return true;
    }
    // The kinds the readers hand over take the typed ways.
    switch (value.typeId()) {
    case QMetaType::QString:
        return toColumnValue(column, *static_cast<const QString*>(value.constData()), out, err);
    case QMetaType::Int:
        return toColumnValue(column, Value::ofInteger(*static_cast<const int*>(value.constData())), out, err);
    case QMetaType::LongLong:
        return toColumnValue(column, Value::ofInteger(value.toLongLong()), out, err);
    case QMetaType::Double:
        return toColumnValue(column, Value::ofReal(*static_cast<const double*>(value.constData())), out, err);
    default:
        break;
    }
    const ColumnKind kind = column.kind;
    if (isIntegerKind(kind) || kind == ColumnKind::Double) {
        Value number;
        if (!numberOf(value, number)) {
            error::conversion(err);
            return false;
        }
        if (kind == ColumnKind::Double) {
            out = Value::ofReal(number.toReal());
            return true;
        }
        return toInteger(kind, number, out, err);
    }
    if (isTextKind(kind))
        return textIntoColumn(column, textFromValue(value), out, err);
    if (kind == ColumnKind::DateTime)
        return toDateTime(value, out, err);
    out = Value::fromEngine(value);
    return true;
}

QVariant fromStoredValue(const Column& column, const Value& stored)
{
    if (stored.isNull())
        return QVariant();
    switch (column.kind) {
    case ColumnKind::Int16:
    case ColumnKind::Int32:
    case ColumnKind::Int64: {
        Value number;
        if (!numberOf(stored, number))
            return stored.toVariant();
        if (number.kind == Value::Kind::Real)
            return number.real;
        const qint64 v = number.integer;
        if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
            return int(v);
        return qlonglong(v);
    }
    case ColumnKind::Double: {
        Value number;
        if (!numberOf(stored, number))
            return stored.toVariant();
        return number.toReal();
    }
    case ColumnKind::Text:
    case ColumnKind::Memo:
        return stored.kind == Value::Kind::Text ? stored.toVariant() : textFromValue(stored.toVariant());
    case ColumnKind::DateTime: {
        const QDateTime d = parseDateTime(stored.toVariant().toString());
        return d.isValid() ? QVariant(d) : stored.toVariant();
    }
    case ColumnKind::Other:
        break;
    }
    return stored.toVariant();
}

Value Value::fromEngine(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return {};
    if (isWholeNumberType(v.typeId()))
        return ofInteger(v.toLongLong());
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return ofInteger(v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return ofReal(v.toDouble());
    case QMetaType::QDateTime:
        return ofText(v.toDateTime().toString(DateTimeFormat));
    case QMetaType::QDate:
        return ofText(v.toDate().startOfDay().toString(DateTimeFormat));
    default:
        return ofText(textOf(v));
    }
}

QVariant Value::toVariant() const
{
    switch (kind) {
    case Kind::Null:
        break;
    case Kind::Integer:
        return qlonglong(integer);
    case Kind::Real:
        return real;
    case Kind::Text:
        // Empty text is text, not Null: a driver that binds a null string
        // as Null (PostgreSQL's) must store it as SQLite does.
        return text.isNull() ? QString(0, QChar()) : text;
    }
    return {};
}

} // namespace db
