#pragma once
// A 10 ms repeating timer in the calling thread that keeps its longest delay beyond its interval:
// how long that thread's event loop was kept from running (a frame is 16 ms).
#include <QElapsedTimer>
#include <QTimer>

namespace qos::test {

class FrameWatch {
public:
    FrameWatch()
    {
        m_frame.setTimerType(Qt::PreciseTimer);
        m_frame.setInterval(10);
        QObject::connect(&m_frame, &QTimer::timeout, &m_frame, [this] {
            m_longestUs = qMax(m_longestUs, m_sinceTick.nsecsElapsed() / 1000 - 10000);
            m_sinceTick.restart();
        });
    }
    void start()
    {
        m_longestUs = 0;
        m_sinceTick.start();
        m_frame.start();
    }
    void stop() { m_frame.stop(); }
    qint64 longestUs() const { return m_longestUs; }

private:
    QTimer m_frame;
    QElapsedTimer m_sinceTick;
    qint64 m_longestUs = 0;
};

} // namespace qos::test
