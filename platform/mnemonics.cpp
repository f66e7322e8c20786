#include "platform/mnemonics.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>

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

// The letters a window's menu titles, buttons and box captions have.
QString LettersTaken(const QWidget *window)
{
    QString taken;
    if (const auto *main = qobject_cast<const QMainWindow *>(window))
        for (const QAction *title : main->menuBar()->actions())
            taken += MnemonicOf(title->text());
    for (const QAbstractButton *b : window->findChildren<QAbstractButton *>())
        taken += MnemonicOf(b->text());
    for (const QLabel *caption : window->findChildren<QLabel *>())
        if (caption->buddy())
            taken += MnemonicOf(caption->text());
    taken.remove(QChar());
    return taken;
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
    // With one box only, the box has the focus already.
    const QList<QLabel *> labels = dialog->findChildren<QLabel *>();
    if (std::count_if(labels.cbegin(), labels.cend(), [](const QLabel *l) { return l->buddy(); }) > 1)
        AssignCaptionMnemonics(dialog);
}

void AssignMnemonic(QMenuBar *bar, QAction *title)
{
    QString taken = LettersTaken(bar->window());
    title->setText(WithMnemonic(title->text(), taken));
}

void AssignCaptionMnemonics(QWidget *window)
{
    QString taken = LettersTaken(window);
    for (QLabel *caption : window->findChildren<QLabel *>())
        if (caption->buddy() && MnemonicOf(caption->text()).isNull())
            caption->setText(WithMnemonic(caption->text(), taken));
}

} // namespace qos
