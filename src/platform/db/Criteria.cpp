#include "platform/db/Criteria.h"

#include "platform/db/DbErrors.h"
#include "platform/db/StoreData.h"

namespace db {

namespace {

// Reads one criteria string from left to right:
//   criteria = term { "and" term }      ("and" in any case)
//   term     = column "=" value
//   value    = 'text without a quote' | number (sign, digits, one point)
// Blanks may stand around everything. Anything else is a syntax error.
class CriteriaReader {
public:
    explicit CriteriaReader(const QString& s) : m_s(s) {}

    bool read(std::vector<CriteriaTerm>& terms)
    {
        skipBlanks();
        if (atEnd())
            return true; // no condition
        for (;;) {
            CriteriaTerm term;
            if (!readColumn(term.column))
                return false;
            skipBlanks();
            if (!take(u'='))
                return false;
            skipBlanks();
            if (!readValue(term.value))
                return false;
            if (!acceptTerm(terms, term))
                return false;
            terms.push_back(std::move(term));
            const bool blanks = skipBlanks();
            if (atEnd())
                return true;
            if (!(blanks || m_lastWasText) || !takeAnd())
                return false;
            skipBlanks();
        }
    }

private:
    [[nodiscard]] bool atEnd() const { return m_i >= m_s.size(); }
    [[nodiscard]] QChar peek() const { return atEnd() ? QChar() : m_s.at(m_i); }

    bool skipBlanks()
    {
        const qsizetype start = m_i;
        while (!atEnd() && peek().isSpace())
            ++m_i;
        return m_i > start;
    }

    bool take(QChar c)
    {
        if (peek() != c)
            return false;
        ++m_i;
        return true;
    }

    // The readers' criteria name each column once and carry one quoted
    // text at most (the job name). Holding them to that means the quotes of
    // a job name can never pair up into a condition of their own: any job
    // name with a quote in it leaves a stray quote and a syntax error.
    bool acceptTerm(const std::vector<CriteriaTerm>& terms, const CriteriaTerm& term)
    {
        if (m_lastWasText && ++m_texts > 1)
            return false;
        for (const CriteriaTerm& t : terms)
            if (t.column.compare(term.column, Qt::CaseInsensitive) == 0)
                return false;
        return true;
    }

    static bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

    bool readColumn(QString& column)
    {
        if (take(u'[')) {
            const qsizetype close = m_s.indexOf(u']', m_i);
            if (close < 0 || close == m_i)
                return false;
            column = m_s.mid(m_i, close - m_i);
            m_i = close + 1;
            return true;
        }
        const qsizetype start = m_i;
        if (atEnd() || !(peek().isLetter() || peek() == u'_'))
            return false;
        while (!atEnd() && isNameChar(peek()))
            ++m_i;
        column = m_s.mid(start, m_i - start);
        return true;
    }

    bool readValue(QVariant& value)
    {
        if (take(u'\'')) {
            // A quote ends the text; a quote inside a job name therefore
            // leaves a rest that is no operator, as it always did.
            const qsizetype close = m_s.indexOf(u'\'', m_i);
            if (close < 0)
                return false;
            value = m_s.mid(m_i, close - m_i);
            m_i = close + 1;
            m_lastWasText = true;
            return true;
        }
        m_lastWasText = false;
        const qsizetype start = m_i;
        while (!atEnd() && !peek().isSpace())
            ++m_i;
        return m_i > start && parseNumberText(m_s.mid(start, m_i - start), value);
    }

public:
    // A number value standing alone: blanks around it, nothing else.
    bool readNumberOnly(QVariant& value)
    {
        skipBlanks();
        if (atEnd() || peek() == u'\'' || !readValue(value))
            return false;
        skipBlanks();
        return atEnd();
    }

private:
    bool takeAnd()
    {
        if (m_i + 3 > m_s.size() || m_s.mid(m_i, 3).compare(QStringLiteral("and"), Qt::CaseInsensitive) != 0)
            return false;
        m_i += 3;
        // "and" must stand alone: "andere" is no operator.
        return !atEnd() && (peek().isSpace() || peek() == u'[');
    }

    const QString& m_s;
    qsizetype m_i = 0;
    bool m_lastWasText = false;
    int m_texts = 0;
};

} // namespace

bool parseCriteria(const QString& criteria, std::vector<CriteriaTerm>& terms, PendingError& err)
{
    terms.clear();
    CriteriaReader reader(criteria);
    if (!reader.read(terms)) {
        terms.clear();
        error::criteriaSyntax(err, criteria);
        return false;
    }
    return true;
}

bool Criteria::parse(const QString& criteria, Criteria& out, PendingError& err)
{
    out = Criteria();
    return parseCriteria(criteria, out.m_terms, err);
}

Criteria& Criteria::and_(const QString& column, const QVariant& value)
{
    m_terms.push_back({column, value, {}});
    return *this;
}

Criteria& Criteria::andNumberText(const QString& column, const QString& numberText)
{
    CriteriaTerm term{column, {}, numberText};
    if (!CriteriaReader(numberText).readNumberOnly(term.value))
        m_refused = true;
    m_terms.push_back(std::move(term));
    return *this;
}

QString Criteria::text() const
{
    QString s;
    for (const CriteriaTerm& t : m_terms) {
        if (!s.isEmpty())
            s += QStringLiteral(" and ");
        s += t.column + u'=';
        if (!t.written.isNull())
            s += t.written;
        else if (t.value.typeId() == QMetaType::QString)
            s += quoted(t.value.toString());
        else
            s += t.value.toString();
    }
    return s;
}

bool Criteria::check(PendingError& err) const
{
    if (!m_refused)
        return true;
    error::criteriaSyntax(err, text());
    return false;
}

QString quoted(const QString& text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

} // namespace db
