#pragma once

#include "platform/PendingError.h"

#include <QString>
#include <QVariant>

#include <vector>

namespace db {

// A criteria string as the readers write them:
//   LosName='A123' and StabNr=007
//   LosName='x' AND TeileNr=12
//   ProfilNr= 12
// column, "=", a quoted text or a number, terms joined by "and" in any
// case. Parsed into terms whose values are bound as parameters. A text
// value with a stray quote (a job name like O'Brien) makes the whole string
// a syntax error (3075), as it always did. A criteria string names each
// column once and holds at most one quoted text; that keeps every job name
// with a quote in it a syntax error, whatever else it contains. Empty
// criteria (blanks only) parse to no terms.
struct CriteriaTerm {
    QString column;
    QVariant value; // QString for quoted text, double/qlonglong for numbers
};

bool parseCriteria(const QString& criteria, std::vector<CriteriaTerm>& terms, PendingError& err);

// Quotes a text value for a criteria string: "'" + text + "'". Does not
// escape; a quote inside makes the criteria invalid on purpose.
QString quoted(const QString& text);

} // namespace db
