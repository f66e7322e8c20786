#include "platform/qtmessageboxes.h"

#include <QMessageBox>

namespace qos {
namespace {

QMessageBox *makeBox(const QString &title, const QString &text, QMessageBox::Icon icon,
                     QMessageBox::StandardButtons buttons)
{
    auto *box = new QMessageBox(icon, title, text, buttons);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setAttribute(Qt::WA_QuitOnClose, false);
    box->setTextFormat(Qt::PlainText);
    return box;
}

QMessageBox::Icon toQt(MessageBoxes::Icon icon)
{
    switch (icon) {
    case MessageBoxes::Icon::Information:
        return QMessageBox::Information;
    case MessageBoxes::Icon::Exclamation:
        return QMessageBox::Warning;
    case MessageBoxes::Icon::Critical:
        return QMessageBox::Critical;
    case MessageBoxes::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

QtMessageBoxes::QtMessageBoxes(QString title)
    : m_title(std::move(title))
{}

void QtMessageBoxes::show(const QString &text, Icon icon, std::function<void()> done)
{
    QMessageBox *box = makeBox(m_title, text, toQt(icon), QMessageBox::Ok);
    QObject::connect(box, &QMessageBox::finished, box, [done = std::move(done)](int) {
        if (done)
            done();
    });
    box->open();
}

void QtMessageBoxes::ask(const QString &text, std::function<void(bool yes)> done)
{
    QMessageBox *box = makeBox(m_title, text, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    QObject::connect(box, &QMessageBox::finished, box, [box, done = std::move(done)](int) {
        if (done)
            done(box->clickedButton() == box->button(QMessageBox::Yes));
    });
    box->open();
}

} // namespace qos
