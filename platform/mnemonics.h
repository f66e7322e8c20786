#pragma once
// Mnemonics (Alt+letter) for the buttons, menus and box captions of one window, chosen so that none
// clash.
//
// Invariants:
//  - A letter goes to at most one menu title, button or box caption of a window (case ignored); the
//    entries of a menu share letters only among themselves. A caption that already holds an '&'
//    keeps it and takes its letter.
//  - The initial of a word is preferred, then the caption's other letters and digits in order; a
//    caption whose letters are all taken gets none. The caption's text is otherwise unchanged.
#include <QList>
#include <QString>

class QAbstractButton;
class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace qos {

// Buttons whose mnemonics share the window's Alt+letter keys, with the titles of the menu bar (and
// its own actions) first when there is one. The entries of each of menus get letters of their own
// (menus whose entries are names, like a list of locations, are left out).
void AssignMnemonics(QMenuBar *bar, const QList<QAbstractButton *> &buttons,
                     const QList<QMenu *> &menus = {});
// The same for a dialog: its buttons, check boxes and options, in the order they were made, then
// the captions of its boxes when it has more than one.
void AssignMnemonics(QWidget *dialog);
// For a menu title added to a window after its letters were handed out: a letter that none of the
// window's other menu titles, buttons and box captions has.
void AssignMnemonic(QMenuBar *bar, QAction *title);
// The captions of a window's boxes (labels with a buddy) that have no letter yet get one that nothing
// else of the window has; Alt+letter then moves the focus to the box.
void AssignCaptionMnemonics(QWidget *window);
// The letter a caption's mnemonic gives, lower case; null when it has none.
QChar MnemonicOf(const QString &caption);

} // namespace qos
