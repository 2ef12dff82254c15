#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Text helpers for the job-file formats. Job files are Windows-1252 bytes;
// the readers cut them as bytes (one byte = one character, so fixed-width
// positions are exact) and convert to QString only when a value is stored
// or shown.
namespace text {

// Mid(text, start, length), 1-based; a start or length past the end yields
// what is there, never an error.
QByteArray mid(const QByteArray& text, int start, int length);
// Mid(text, start): everything from start (1-based).
QByteArray mid(const QByteArray& text, int start);

// Remove blanks at both ends (only the blank character, as the formats do).
QByteArray trimBlanks(const QByteArray& text);
QByteArray trimLeadingBlanks(const QByteArray& text);
QString trimBlanks(const QString& text);

// The number rule: read from the start, ignore blanks, take an optional
// sign, then digits with at most one decimal point (always a point);
// stop at the first other character. No digits gives 0. Never fails.
double val(const QByteArray& text);
double val(const QString& text);

// The strict number rule: the whole text, blanks (spaces and tabs) around
// it allowed, must be an optionally signed decimal number with at most one
// point, otherwise ok is false. strictNumberBody gives the number without
// its blanks and whether it has a point.
double strictNumber(const QByteArray& text, bool* ok);
bool strictNumberBody(QStringView text, QStringView* body, bool* point);
// A number field as the job database's searches read it: the whole field,
// blanks around it allowed (none inside), an optionally signed decimal
// number; an integer without a point comes back as a qlonglong, others as a
// double. Null (an invalid QVariant) when the field is no number.
QVariant searchNumber(const QString& field);

// The token cut: the part before the first separator, trimmed, is returned;
// the text keeps the trimmed part after the separator. A text without the
// separator is wholly the token and becomes empty.
QByteArray nextToken(QByteArray& text, char separator);

// A number in its shortest decimal form, without a leading blank
// (12, -3, 1234.5).
QString shortestDecimal(double value);

// Windows-1252 conversions.
QString fromCp1252(const QByteArray& bytes);
QByteArray toCp1252(const QString& text);

} // namespace text
