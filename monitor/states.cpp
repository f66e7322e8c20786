#include "monitor/states.h"

#include <array>

namespace qos {
namespace {

struct StateWord {
    State state;
    const char *word;
};
constexpr std::array<StateWord, 12> StateWords{{
    {State::Unknown, ""},
    {State::Waiting, "waiting"},
    {State::Disabled, "disabled"},
    {State::Online, "online"},
    {State::OnlinePartial, "online(partial ignore)"},
    {State::Offline, "offline"},
    {State::OfflinePartial, "offline(partial ignore)"},
    {State::Answering, "answering"},
    {State::NotAnswering, "not answering"},
    {State::Unreachable, "unreachable"},
    {State::PartlyDown, "partly down"},
    {State::Slow, "slow"},
}};

} // namespace

QString StateName(State state)
{
    return QLatin1String(StateWords[size_t(state)].word);
}

std::optional<State> StateFromName(QByteArrayView word)
{
    for (const StateWord &w : StateWords)
        if (word == QByteArrayView(w.word))
            return w.state;
    return std::nullopt;
}

State StateOf(Indicator indicator)
{
    switch (indicator) {
    case Indicator::White:
        return State::Waiting;
    case Indicator::Black:
        return State::Disabled;
    case Indicator::Green:
        return State::Online;
    case Indicator::Cyan:
        return State::OnlinePartial;
    case Indicator::Red:
        return State::Offline;
    case Indicator::DarkRed:
        return State::OfflinePartial;
    case Indicator::Unreachable:
        return State::Unreachable;
    case Indicator::PartlyDown:
        return State::PartlyDown;
    case Indicator::Slow:
        return State::Slow;
    }
    return State::Waiting;
}

bool IsAddressState(State state)
{
    return state == State::Answering || state == State::NotAnswering;
}

bool IsUp(State state)
{
    return state == State::Online || state == State::OnlinePartial || state == State::Slow ||
           state == State::Answering;
}

bool IsDown(State state)
{
    return state == State::Offline || state == State::OfflinePartial || state == State::Unreachable ||
           state == State::PartlyDown || state == State::NotAnswering;
}

} // namespace qos
