#include "settings/probesettings.h"

#include "store/numbers.h"
#include "store/text.h"

#include <iterator>

namespace qos {

namespace {

constexpr ProbeSettingInfo Infos[] = {
    {"Set Ping Timeout", "Enter Ping Timeout in Millisecods:", Key::PingTimeout, &MainSettings::PINGTIMEOUT,
     1, "Please enter a timeout of at least 1 millisecond"},
    {"Set Ping Interval", "Enter Ping Interval in Minutes", Key::PingInterval, &MainSettings::PINGINTERVAL,
     -32768, ""},
    {"Set Ping Packets", "Enter Number of Ping Packets", Key::PingPackets, &MainSettings::PINGPACKETS, 1,
     "Please enter at least 1 ping packet"},
    {"Set Offline Cycles", "Cycles in a row a location must fail before it counts as offline",
     Key::OfflineCycles, &MainSettings::OFFLINECYCLES, 1, "Please enter at least 1 cycle"},
    {"Set Slow Round Trip", "Median round trip in milliseconds above which a location is slow (0 = off)",
     Key::SlowMs, &MainSettings::SLOWMS, 0, "Please enter 0 (off) or more milliseconds"},
    {"Set Slow Loss", "Loss in percent above which a location is slow (0 = off)", Key::SlowLoss,
     &MainSettings::SLOWLOSS, 0, "Please enter 0 (off) or a higher percentage"},
};
static_assert(std::size(Infos) == ProbeSettingCount);

ProbeInput Rejected(ProbeInput::Kind kind, const char *message)
{
    ProbeInput in;
    in.kind = kind;
    in.message = QLatin1String(message);
    return in;
}

} // namespace

const ProbeSettingInfo &InfoOf(ProbeSetting setting)
{
    return Infos[int(setting)];
}

ProbeInput CheckProbeInput(ProbeSetting setting, const QString &boxText)
{
    if (boxText.isEmpty())
        return Rejected(ProbeInput::Kind::Blank, BlankValueText);
    const QString trimmed = TrimSpaces(boxText);
    // Characters beyond Latin-1 turn into "?", which is never numeric.
    const auto number = ToInt16(trimmed.toLatin1());
    if (!number)
        return Rejected(ProbeInput::Kind::NotNumeric, NotNumericText);
    const ProbeSettingInfo &info = InfoOf(setting);
    if (*number < info.minimum)
        return Rejected(ProbeInput::Kind::TooSmall, info.tooSmall);
    ProbeInput in;
    in.trimmed = trimmed;
    in.value = *number;
    return in;
}

} // namespace qos
