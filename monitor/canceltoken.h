#pragma once
// The cancel token of a probe run: the run's owner makes one per run and hands copies to whatever
// probes for it; they check it after each return to the event loop and end silently once it is
// cancelled.
//
// Invariants:
//  - Copies share one state. Once cancelled a token stays cancelled; a default token never is.
//  - A token may watch a counter that outlives it (the location table's generation): it counts as
//    cancelled as soon as the counter leaves the value it had when the token was made. The first
//    check that finds so cancels the token and posts the owner's onLapse, which then runs once, from
//    the event loop, unless its context object has gone.
//  - Checking never runs anything of the owner's from inside the check.
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

namespace qos {

class CancelToken {
public:
    CancelToken() = default;

    // A token that only its owner cancels.
    static CancelToken Make() { return CancelToken(std::make_shared<State>()); }
    // A token that also lapses when counter moves; onLapse then runs in context's thread.
    static CancelToken Watching(const quint64 &counter, QObject *context, std::function<void()> onLapse)
    {
        auto state = std::make_shared<State>();
        state->counter = &counter;
        state->expected = counter;
        state->context = context;
        state->onLapse = std::move(onLapse);
        return CancelToken(std::move(state));
    }

    void cancel() const
    {
        if (m_state)
            m_state->cancelled = true;
    }
    bool cancelled() const
    {
        if (!m_state)
            return false;
        State &s = *m_state;
        if (!s.cancelled && s.counter && *s.counter != s.expected) {
            s.cancelled = true;
            if (s.context && s.onLapse)
                QMetaObject::invokeMethod(s.context, std::move(s.onLapse), Qt::QueuedConnection);
        }
        return s.cancelled;
    }

private:
    struct State {
        bool cancelled = false;
        const quint64 *counter = nullptr;
        quint64 expected = 0;
        QPointer<QObject> context;
        std::function<void()> onLapse;
    };
    explicit CancelToken(std::shared_ptr<State> state)
        : m_state(std::move(state))
    {}

    std::shared_ptr<State> m_state;
};

} // namespace qos
