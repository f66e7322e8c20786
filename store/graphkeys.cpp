#include "store/graphkeys.h"

#include <array>

namespace qos {

namespace {

constexpr std::array<QByteArrayView, 12> KeyTexts = {
    QByteArrayView("SITEID="),      QByteArrayView("SITEIP="),      QByteArrayView("SITELEFT="),
    QByteArrayView("DISABLED="),    QByteArrayView("IGNORE="),      QByteArrayView("PINGTIMEOUT="),
    QByteArrayView("PINGINTERVAL="), QByteArrayView("PINGPACKETS="), QByteArrayView("ALERTWAV="),
    QByteArrayView("ONLINEWAV="),   QByteArrayView("ICONTEXT="),    QByteArrayView("SITETOP="),
};

constexpr QByteArrayView SeparatorMark("---------");

} // namespace

QByteArrayView KeyText(Key key)
{
    return KeyTexts[size_t(key)];
}

QByteArrayView TrimSpaces(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    return text.sliced(begin, end - begin);
}

std::optional<KeyedLine> ReadKeyedLine(QByteArrayView line)
{
    const QByteArrayView text = TrimSpaces(line);
    if (text.contains(SeparatorMark))
        return std::nullopt;
    for (size_t k = 0; k < KeyTexts.size(); ++k) {
        if (text.contains(KeyTexts[k]))
            return KeyedLine{Key(k), text.sliced(KeyTexts[k].size())};
    }
    return std::nullopt;
}

} // namespace qos
