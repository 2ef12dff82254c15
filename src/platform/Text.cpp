#include "platform/Text.h"

#include <array>
#include <cmath>

namespace text {

QByteArray mid(const QByteArray& text, int start, int length)
{
    if (start < 1 || length <= 0 || start > text.size())
        return {};
    return text.mid(start - 1, length);
}

QByteArray mid(const QByteArray& text, int start)
{
    if (start < 1)
        start = 1;
    if (start > text.size())
        return {};
    return text.mid(start - 1);
}

QByteArray trimLeadingBlanks(const QByteArray& text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == ' ')
        ++i;
    return i == 0 ? text : text.mid(i);
}

QByteArray trimBlanks(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == ' ')
        ++begin;
    while (end > begin && text.at(end - 1) == ' ')
        --end;
    return text.mid(begin, end - begin);
}

QString trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

namespace {

bool isIgnoredInNumber(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

double val(const QByteArray& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isIgnoredInNumber(text.at(i)))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == '+' || text.at(i) == '-')) {
        negative = text.at(i) == '-';
        ++i;
    }
    double intPart = 0.0;
    double fraction = 0.0;
    double scale = 1.0;
    bool afterPoint = false;
    for (; i < n; ++i) {
        const char c = text.at(i);
        if (isIgnoredInNumber(c))
            continue;
        if (c == '.' && !afterPoint) {
            afterPoint = true;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        if (afterPoint) {
            scale /= 10.0;
            fraction += (c - '0') * scale;
        } else {
            intPart = intPart * 10.0 + (c - '0');
        }
    }
    const double value = intPart + fraction;
    return negative ? -value : value;
}

double val(const QString& text)
{
    return val(toCp1252(text));
}

namespace {

// The strict number rule over any kind of text: finds the number between
// the blanks around it; false when the rest is not one.
template <typename Text> bool strictBody(const Text& text, qsizetype& begin, qsizetype& end, bool& point)
{
    begin = 0;
    end = text.size();
    const auto blank = [](auto c) { return c == u' ' || c == u'\t'; };
    while (begin < end && blank(text.at(begin).unicode()))
        ++begin;
    while (end > begin && blank(text.at(end - 1).unicode()))
        --end;
    qsizetype i = begin;
    if (i < end && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    bool digits = false;
    point = false;
    for (; i < end; ++i) {
        const auto c = text.at(i).unicode();
        if (c >= u'0' && c <= u'9')
            digits = true;
        else if (c == u'.' && !point)
            point = true;
        else
            return false;
    }
    return digits;
}

} // namespace

bool strictNumberBody(QStringView text, QStringView* body, bool* point)
{
    qsizetype begin = 0;
    qsizetype end = 0;
    bool hasPoint = false;
    if (!strictBody(text, begin, end, hasPoint))
        return false;
    *body = text.mid(begin, end - begin);
    *point = hasPoint;
    return true;
}

double strictNumber(const QByteArray& text, bool* ok)
{
    const QLatin1StringView view(text);
    qsizetype begin = 0;
    qsizetype end = 0;
    bool point = false;
    const bool good = strictBody(view, begin, end, point);
    if (ok)
        *ok = good;
    return good ? val(text.mid(begin, end - begin)) : 0.0;
}

QByteArray nextToken(QByteArray& text, char separator)
{
    const qsizetype at = text.indexOf(separator);
    if (at < 0) {
        QByteArray token = trimBlanks(text);
        text.clear();
        return token;
    }
    QByteArray token = trimBlanks(text.left(at));
    text = trimBlanks(text.mid(at + 1));
    return token;
}

QString shortestDecimal(double value)
{
    if (value == 0.0)
        return QStringLiteral("0");
    if (std::abs(value) < 1e15 && value == std::trunc(value))
        return QString::number(static_cast<qint64>(value));
    QString s = QString::number(value, 'f', 10);
    while (s.endsWith(u'0'))
        s.chop(1);
    if (s.endsWith(u'.'))
        s.chop(1);
    return s;
}

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; undefined bytes map
// to the C1 control of the same value so that no byte is ever lost.
constexpr std::array<char16_t, 32> kHigh = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString fromCp1252(const QByteArray& bytes)
{
    QString out;
    out.resize(bytes.size());
    QChar* d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        d[i] = (b >= 0x80 && b <= 0x9F) ? QChar(kHigh[b - 0x80]) : QChar(b);
    }
    return out;
}

QByteArray toCp1252(const QString& text)
{
    QByteArray out;
    out.resize(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        char b = '?';
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            b = static_cast<char>(c);
        } else {
            for (int k = 0; k < 32; ++k) {
                if (kHigh[k] == c) {
                    b = static_cast<char>(0x80 + k);
                    break;
                }
            }
        }
        out[i] = b;
    }
    return out;
}

QVariant searchNumber(const QString& field)
{
    const QString trimmed = field.trimmed();
    QStringView body;
    bool point = false;
    if (trimmed.isEmpty() || trimmed.contains(u' ') || !strictNumberBody(trimmed, &body, &point))
        return {};
    bool ok = false;
    if (!point) {
        const qlonglong v = body.toLongLong(&ok);
        if (ok)
            return v;
    }
    const double d = body.toDouble(&ok);
    if (!ok || body.endsWith(u'.'))
        return {};
    return d;
}

} // namespace text
