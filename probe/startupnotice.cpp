#include "probe/startupnotice.h"

namespace qos {

StartupNotice::StartupNotice(MessageBoxes &boxes)
    : m_boxes(boxes)
{
}

bool StartupNotice::show(const QString &text)
{
    if (*m_open)
        return false;
    *m_open = true;
    m_boxes.show(text, MessageBoxes::Icon::None, [open = std::weak_ptr<bool>(m_open)] {
        if (const auto flag = open.lock())
            *flag = false;
    });
    return true;
}

bool StartupNotice::startup(Prober &prober)
{
    if (prober.SocketsStartup())
        return true;
    show(prober.SocketsStartupFailureText());
    return false;
}

} // namespace qos
