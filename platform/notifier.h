#pragma once
#include <QObject>
#include <QString>

namespace qos {

// What one desktop notification says.
struct Notice {
    QString summary; // the headline
    QString body;    // plain text; lines separated by "\n"
    bool urgent = false;
    QString iconPath; // a picture file to show with it; may be empty
};

// Desktop notifications: small messages the desktop shows for a while outside the program's windows.
// notify() returns at once and never fails visibly: where the desktop cannot show a notice, it is
// shown another way or not at all.
class Notifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void notify(const Notice &notice) = 0;

Q_SIGNALS:
    // The operator clicked a notice this notifier showed.
    void clicked();
};

} // namespace qos
