#pragma once

namespace qos {

// Shown around every rewrite of a data file ("Please wait while configuration is updated....").
// The widget layer implements it; tests count the calls.
class PleaseWait {
public:
    virtual ~PleaseWait() = default;
    virtual void begin() = 0;
    virtual void end() = 0;
};

// Shows the window for the lifetime of the guard; a null window is allowed.
class PleaseWaitGuard {
public:
    explicit PleaseWaitGuard(PleaseWait *w)
        : m_w(w)
    {
        if (m_w)
            m_w->begin();
    }
    ~PleaseWaitGuard()
    {
        if (m_w)
            m_w->end();
    }
    PleaseWaitGuard(const PleaseWaitGuard &) = delete;
    PleaseWaitGuard &operator=(const PleaseWaitGuard &) = delete;

private:
    PleaseWait *m_w;
};

} // namespace qos
