#include "platform/mnemonics.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace qos {
namespace {

// The caption with '&' before its first free letter; taken gains that letter.
QString WithMnemonic(const QString &caption, QString &taken)
{
    if (const QChar own = MnemonicOf(caption); !own.isNull()) {
        taken += own;
        return caption;
    }
    QList<qsizetype> order;
    for (qsizetype i = 0; i < caption.size(); ++i)
        if (caption[i].isLetterOrNumber() && (i == 0 || !caption[i - 1].isLetterOrNumber()))
            order << i;
    for (qsizetype i = 0; i < caption.size(); ++i)
        if (caption[i].isLetterOrNumber() && !order.contains(i))
            order << i;
    for (const qsizetype i : std::as_const(order)) {
        const QChar letter = caption[i].toLower();
        if (!taken.contains(letter)) {
            taken += letter;
            return caption.left(i) + u'&' + caption.mid(i);
        }
    }
    return caption;
}

} // namespace

QChar MnemonicOf(const QString &caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] != u'&')
            return caption[i + 1].toLower();
        ++i; // "&&" is a plain ampersand
    }
    return {};
}

void AssignMnemonics(QMenuBar *bar, const QList<QAbstractButton *> &buttons, const QList<QMenu *> &menus)
{
    QString taken;
    if (bar) {
        for (QAction *top : bar->actions())
            top->setText(WithMnemonic(top->text(), taken));
    }
    for (QAbstractButton *b : buttons)
        b->setText(WithMnemonic(b->text(), taken));
    for (QMenu *menu : menus) {
        QString inMenu;
        for (QAction *entry : menu->actions())
            if (!entry->isSeparator() && !entry->text().isEmpty())
                entry->setText(WithMnemonic(entry->text(), inMenu));
    }
}

void AssignMnemonics(QWidget *dialog)
{
    AssignMnemonics(nullptr, dialog->findChildren<QAbstractButton *>());
}

void AssignMnemonic(QMenuBar *bar, QAction *title)
{
    QString taken;
    for (const QAction *other : bar->actions())
        if (other != title)
            taken += MnemonicOf(other->text());
    for (const QAbstractButton *b : bar->window()->findChildren<QAbstractButton *>())
        taken += MnemonicOf(b->text());
    title->setText(WithMnemonic(title->text(), taken));
}

} // namespace qos
