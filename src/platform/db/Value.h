#pragma once

// Internal to the store layer: a value as a column stores it.

#include <QString>
#include <QVariant>

namespace db {

// What a column holds once the column's rules made the value: Null, a
// whole number, a floating-point number or a text (dates are texts in one
// fixed form). Rows keep their values in this form, so that writing a row
// binds each value as what it is, without asking a QVariant its type.
struct Value {
    enum class Kind : quint8 { Null, Integer, Real, Text };

    Kind kind = Kind::Null;
    union {
        qint64 integer = 0;
        double real;
    };
    QString text;

    static Value ofInteger(qint64 v)
    {
        Value out;
        out.kind = Kind::Integer;
        out.integer = v;
        return out;
    }
    static Value ofReal(double v)
    {
        Value out;
        out.kind = Kind::Real;
        out.real = v;
        return out;
    }
    static Value ofText(QString v)
    {
        Value out;
        out.kind = Kind::Text;
        out.text = std::move(v);
        return out;
    }
    // A value as the engine handed it back (a row read from a table).
    static Value fromEngine(const QVariant& v);

    [[nodiscard]] bool isNull() const { return kind == Kind::Null; }
    // For Qt SQL's binding and for callers outside the store layer.
    [[nodiscard]] QVariant toVariant() const;

    friend bool operator==(const Value& a, const Value& b)
    {
        if (a.kind != b.kind)
            return false;
        switch (a.kind) {
        case Kind::Null:
            return true;
        case Kind::Integer:
            return a.integer == b.integer;
        case Kind::Real:
            return a.real == b.real;
        case Kind::Text:
            return a.text == b.text;
        }
        return false;
    }
};

} // namespace db
