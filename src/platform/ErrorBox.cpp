#include "platform/ErrorBox.h"

#include <cstdio>

void HeadlessErrorBox::setText(const QString& text)
{
    // A line added below the text in the box goes to the log alone: the
    // lines above it are there already.
    const QString added = QStringLiteral("\r\n");
    QString shown = text;
    if (!m_text.isEmpty() && text.startsWith(m_text) && QStringView(text).mid(m_text.size()).startsWith(added))
        shown = text.mid(m_text.size() + added.size());
    m_text = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::fprintf(stderr, "%s\n", shown.toLocal8Bit().constData());
    std::fflush(stderr);
}
