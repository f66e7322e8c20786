#pragma once
// Text rules shared by every writer and window: trimming, the characters graph.txt and info.txt can
// hold, and the canonical form of an address list.
//
// Invariants:
//  - Trimming removes leading and trailing space characters (U+0020) only; tabs and other white
//    space stay.
//  - What ToFileCharacters returns holds only characters the files' single-byte text can hold, so
//    memory holds exactly what the file will read back.
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace qos {

namespace detail {
inline bool IsSpace(QChar ch)
{
    return ch.unicode() == u' ';
}
inline bool IsSpace(char ch)
{
    return ch == ' ';
}
template <class View> View TrimSpacesView(View text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsSpace(text[begin]))
        ++begin;
    while (end > begin && IsSpace(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}
} // namespace detail

// Leading and trailing space characters removed; a text without them is shared, not copied.
inline QString TrimSpaces(const QString &text)
{
    const QStringView trimmed = detail::TrimSpacesView(QStringView(text));
    return trimmed.size() == text.size() ? text : trimmed.toString();
}
inline QByteArrayView TrimSpaces(QByteArrayView text)
{
    return detail::TrimSpacesView(text);
}

// True for control characters (CR, LF, tab, DEL, C0 and C1 controls) and line/paragraph separators.
bool IsControlCharacter(QChar ch);
// Removes every character IsControlCharacter names.
QString RemoveControlCharacters(const QString &text);
// One line of text: every line break (CR LF, CR, LF, the Unicode separators) becomes a space, other
// control characters go.
QString JoinLines(const QString &text);
// Replaces every character the file's single-byte text cannot hold by "?" (a surrogate pair by one).
QString ToFileCharacters(const QString &text);
// The canonical AddressList of an address text: CR LF pairs, control characters and all white
// space removed, characters the file cannot hold replaced, runs of "," collapsed, no leading or
// trailing ",".
QString NormaliseAddressText(const QString &text);

} // namespace qos
