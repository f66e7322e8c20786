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
    // The box blocks input to every window of the program until it is answered. open() would force
    // window modality, which with no parent blocks nothing, so the box is shown application-modal.
    box->setWindowModality(Qt::ApplicationModal);
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
    box->show();
}

void QtMessageBoxes::ask(const QString &text, std::function<void(bool yes)> done)
{
    QMessageBox *box = makeBox(m_title, text, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    // Escape and the window's close button answer No.
    box->setEscapeButton(QMessageBox::No);
    QObject::connect(box, &QMessageBox::finished, box, [box, done = std::move(done)](int) {
        if (done)
            done(box->clickedButton() == box->button(QMessageBox::Yes));
    });
    box->show();
}

} // namespace qos
