#include "store/text.h"

#include <utility>

namespace qos {

bool IsControlCharacter(QChar ch)
{
    switch (ch.category()) {
    case QChar::Other_Control:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

QString RemoveControlCharacters(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar ch : text)
        if (!IsControlCharacter(ch))
            out.append(ch);
    return out;
}

QString ToFileCharacters(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.unicode() <= 0xff) {
            out.append(ch);
            continue;
        }
        out.append(QLatin1Char('?'));
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i; // one character, one "?"
    }
    return out;
}

QString JoinLines(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        const bool lineBreak = ch == QLatin1Char('\n') || ch == QLatin1Char('\r') ||
                               ch == QChar::LineSeparator || ch == QChar::ParagraphSeparator;
        if (ch == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
            continue; // the pair is one break: its LF gives the space
        if (lineBreak)
            out.append(QLatin1Char(' '));
        else if (!IsControlCharacter(ch))
            out.append(ch);
    }
    return out;
}

QString NormaliseAddressText(const QString &text)
{
    QString out = text;
    out.remove(QStringLiteral("\r\n"));
    // Host names never hold white space or control characters; any left would break graph.txt.
    QString kept;
    kept.reserve(out.size());
    for (QChar ch : std::as_const(out))
        if (!IsControlCharacter(ch) && !ch.isSpace())
            kept.append(ch);
    out = ToFileCharacters(kept);
    while (out.contains(QStringLiteral(",,")))
        out.replace(QStringLiteral(",,"), QStringLiteral(","));
    if (out.startsWith(QLatin1Char(',')))
        out.remove(0, 1);
    if (out.endsWith(QLatin1Char(',')))
        out.chop(1);
    return out;
}

} // namespace qos
