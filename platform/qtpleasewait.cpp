#include "platform/qtpleasewait.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace qos {

QtPleaseWait::QtPleaseWait()
    : m_window(std::make_unique<QWidget>(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint))
{
    m_window->setObjectName(QStringLiteral("PleaseWaitWindow"));
    m_window->setWindowTitle(QStringLiteral("QOR Online Status"));
    m_window->setAttribute(Qt::WA_QuitOnClose, false);
    auto *label = new QLabel(text(), m_window.get());
    label->setAlignment(Qt::AlignCenter);
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(24, 18, 24, 18);
    layout->addWidget(label);
}

QtPleaseWait::~QtPleaseWait() = default;

void QtPleaseWait::begin()
{
    if (m_depth++ > 0)
        return;
    m_window->show();
    m_window->raise();
    m_window->repaint();
}

void QtPleaseWait::end()
{
    if (m_depth == 0 || --m_depth > 0)
        return;
    m_window->hide();
}

} // namespace qos
