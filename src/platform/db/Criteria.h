#pragma once

#include "platform/PendingError.h"

#include <QString>
#include <QVariant>

#include <vector>

namespace db {

// One term of a criteria: column = value.
struct CriteriaTerm {
    QString column;
    QVariant value;  // QString for text, qlonglong/double for numbers
    QString written; // the value as the criteria text spells it, when given as text
};

// Criteria for finding, opening, deleting and updating rows: terms
// "column = value" that must all hold. The values are bound as parameters,
// never pasted into SQL.
//
// The rules of the criteria strings the job database was always searched
// with stay: a number given as text ("007", " 12") is read with the number
// grammar of a criteria string, and a text that is no number makes the
// whole criteria a syntax error (3075) naming the criteria text as it
// would have been written; refuse() does the same for a value that could
// not have been written in one (a job name with a quote). The store raises
// that error wherever the criteria are used.
class Criteria {
public:
    Criteria() = default;
    Criteria(const QString& column, const QVariant& value) { and_(column, value); }

    // column = value: a QString compares as text, a number as a number.
    Criteria& and_(const QString& column, const QVariant& value);
    // column = the number a text spells.
    Criteria& andNumberText(const QString& column, const QString& numberText);
    Criteria& refuse()
    {
        m_refused = true;
        return *this;
    }

    [[nodiscard]] const std::vector<CriteriaTerm>& terms() const { return m_terms; }
    [[nodiscard]] bool isEmpty() const { return m_terms.empty() && !m_refused; }
    // The criteria text: LosName='A1' and StabNr=007.
    [[nodiscard]] QString text() const;
    // Raises the syntax error of refused criteria; false then.
    bool check(PendingError& err) const;

    // Reads a criteria string as the readers wrote them:
    //   LosName='A123' and StabNr=007
    //   LosName='x' AND TeileNr=12
    //   ProfilNr= 12
    // column, "=", a quoted text or a number, terms joined by "and" in any
    // case. A text value with a stray quote (a job name like O'Brien) makes
    // the whole string a syntax error (3075), as it always did. A criteria
    // string names each column once and holds at most one quoted text; that
    // keeps every job name with a quote in it a syntax error, whatever else
    // it contains. Empty criteria (blanks only) have no terms.
    static bool parse(const QString& criteria, Criteria& out, PendingError& err);

private:
    std::vector<CriteriaTerm> m_terms;
    bool m_refused = false;
};

// The terms of a criteria string (see Criteria::parse).
bool parseCriteria(const QString& criteria, std::vector<CriteriaTerm>& terms, PendingError& err);

// Quotes a text value for a criteria string: "'" + text + "'". Does not
// escape; a quote inside makes the criteria invalid on purpose.
QString quoted(const QString& text);

} // namespace db
