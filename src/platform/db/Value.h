#pragma once

// Internal to the store layer: a value as a column stores it, and a set
// of a table's columns.

#include <QHashFunctions>
#include <QString>
#include <QVariant>

#include <array>
#include <bit>

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
    // A number as a double (a whole number converted).
    [[nodiscard]] double toReal() const { return kind == Kind::Integer ? double(integer) : real; }
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

// A set of a table's columns, one bit per column in table order: the
// columns a row was given, or those changed since it was written.
class ColumnMask {
public:
    // More than the 255 columns a table of the old engine could have.
    static constexpr int Capacity = 256;

    void set(int column) { m_words[size_t(column) >> 6] |= quint64(1) << (column & 63); }
    [[nodiscard]] bool test(int column) const { return (m_words[size_t(column) >> 6] >> (column & 63)) & 1U; }
    [[nodiscard]] bool any() const
    {
        for (const quint64 w : m_words)
            if (w)
                return true;
        return false;
    }
    [[nodiscard]] int count() const
    {
        int n = 0;
        for (const quint64 w : m_words)
            n += std::popcount(w);
        return n;
    }
    void clear() { m_words = {}; }

    friend bool operator==(const ColumnMask&, const ColumnMask&) = default;
    friend size_t qHash(const ColumnMask& mask, size_t seed = 0)
    {
        return qHashBits(mask.m_words.data(), sizeof mask.m_words, seed);
    }

private:
    std::array<quint64, Capacity / 64> m_words{};
};

} // namespace db
