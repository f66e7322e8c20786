#pragma once
#include <QObject>
#include <QString>
#include <QtGlobal>

namespace qos {

// What one desktop notification says.
struct Notice {
    QString summary; // the headline
    QString body;    // plain text; lines separated by "\n"
    bool urgent = false;
    QString iconPath;         // a picture file to show with it; may be empty
    bool acknowledge = false; // offers "Acknowledge" where the desktop shows actions
};

// A notice shown by a notifier, as its caller names it; 0 is none.
using NoticeId = quint64;

// Desktop notifications: small messages the desktop shows for a while outside the program's windows.
// notify() returns at once and never fails visibly: where the desktop cannot show a notice, it is
// shown another way or not at all.
class Notifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Shows notice, in the place of the notice replaces where the desktop still shows that one.
    virtual NoticeId notify(const Notice &notice, NoticeId replaces = 0) = 0;
    // Takes a notice off the desktop where the desktop lets it; nothing where it does not.
    virtual void withdraw(NoticeId id) { Q_UNUSED(id); }

Q_SIGNALS:
    // The operator clicked a notice this notifier showed.
    void clicked();
    // The operator chose "Acknowledge" on a notice this notifier showed.
    void acknowledged();
};

} // namespace qos
