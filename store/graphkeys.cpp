#include "store/graphkeys.h"

#include "store/text.h"

#include <array>

namespace qos {

namespace {

constexpr std::array<QByteArrayView, 22> KeyTexts = {
    QByteArrayView("SITEID="),
    QByteArrayView("SITEIP="),
    QByteArrayView("SITELEFT="),
    QByteArrayView("DISABLED="),
    QByteArrayView("IGNORE="),
    QByteArrayView("PINGTIMEOUT="),
    QByteArrayView("PINGINTERVAL="),
    QByteArrayView("PINGPACKETS="),
    QByteArrayView("ALERTWAV="),
    QByteArrayView("ONLINEWAV="),
    QByteArrayView("ICONTEXT="),
    QByteArrayView("SITETOP="),
    QByteArrayView("PINGINFLIGHT="),
    QByteArrayView("NOTIFICATIONS="),
    QByteArrayView("OFFLINECYCLES="),
    QByteArrayView("METRICS="),
    QByteArrayView("ADDRESSHISTOGRAMS="),
    QByteArrayView("PARENT="),
    QByteArrayView("PARTIAL="),
    QByteArrayView("SLOWMS="),
    QByteArrayView("SLOWLOSS="),
    QByteArrayView("SHAPES="),
};

constexpr QByteArrayView SeparatorMark("---------");

} // namespace

int KeyCount()
{
    return int(KeyTexts.size());
}

QByteArrayView KeyText(Key key)
{
    return KeyTexts[size_t(key)];
}

std::optional<KeyedLine> ReadKeyedLine(QByteArrayView line)
{
    const QByteArrayView text = TrimSpaces(line);
    if (text.contains(SeparatorMark))
        return std::nullopt;
    // Every key ends with "=", so a key can only end at an "=" of the line: test there, keeping the
    // earliest key of the order that occurs anywhere.
    size_t best = KeyTexts.size();
    for (qsizetype eq = text.indexOf('='); eq >= 0 && best > 0; eq = text.indexOf('=', eq + 1)) {
        const QByteArrayView before = text.first(eq + 1);
        for (size_t k = 0; k < best; ++k) {
            if (before.endsWith(KeyTexts[k])) {
                best = k;
                break;
            }
        }
    }
    if (best == KeyTexts.size())
        return std::nullopt;
    return KeyedLine{Key(best), text.sliced(KeyTexts[best].size())};
}

} // namespace qos
