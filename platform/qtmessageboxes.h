#pragma once
#include "platform/messagebox.h"

namespace qos {

// Message boxes as application-modal QMessageBox shown without a nested event loop: the call returns
// at once, every window of the program ignores input until the box is answered, and the answer
// arrives from the event loop. The boxes carry the program's name as their title, and closing one never
// ends the program (the Map View may be hidden in the background at that moment).
class QtMessageBoxes : public MessageBoxes {
public:
    explicit QtMessageBoxes(QString title = QStringLiteral("QOR Online Status"));
    void show(const QString &text, Icon icon, std::function<void()> done) override;
    void ask(const QString &text, std::function<void(bool yes)> done) override;

private:
    QString m_title;
};

} // namespace qos
