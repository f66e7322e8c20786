#pragma once
// "Set Notifications": one check box, on when NOTIFICATIONS is not 0, and "Submit"; no cancel.
// Modeless, without an owner window; deletes itself when it closes. Closing it without Submit changes
// nothing. Built like the probe settings dialogs, with their invariants:
//  - Submit changes the setting in memory only after graph.txt holds the new value ("1" or "0");
//    when the file cannot be written, memory and file keep the old value and the dialog stays open.
//  - changed() is emitted once per successful Submit, before the dialog closes.
//
// Control objectNames: notifyBox, submitButton.
#include "settings/services.h"

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace qos {

class NotificationSettingDialog : public QDialog {
    Q_OBJECT
public:
    explicit NotificationSettingDialog(const SettingsServices &services, QWidget *parent = nullptr);

    QCheckBox *box() const { return m_box; }
    QPushButton *submitButton() const { return m_submit; }

public Q_SLOTS:
    // The "Submit" button.
    void submit();

Q_SIGNALS:
    void changed();

private:
    SettingsServices m_services;
    QCheckBox *m_box;
    QPushButton *m_submit;
};

} // namespace qos
