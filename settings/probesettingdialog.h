#pragma once
// A probe settings dialog ("Set Ping Timeout", "Set Ping Interval", "Set Ping Packets"): one label, a
// text box of 4 characters holding the current value, and "Submit"; no cancel. Modeless, without an
// owner window; deletes itself when it closes. Closing it without Submit changes nothing.
//
// Invariants:
//  - Submit changes the setting in memory only after graph.txt holds the new value; when the value
//    is refused or the file cannot be written, memory and file keep the old value and the dialog
//    stays open.
//  - changed() is emitted once per successful Submit, before the dialog closes.
//
// Control objectNames: promptLabel, valueBox, submitButton.
#include "settings/probesettings.h"
#include "settings/services.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace qos {

class ProbeSettingDialog : public QDialog {
    Q_OBJECT
public:
    ProbeSettingDialog(ProbeSetting setting, const SettingsServices &services, QWidget *parent = nullptr);

    ProbeSetting setting() const { return m_setting; }
    QLineEdit *box() const { return m_box; }
    QPushButton *submitButton() const { return m_submit; }

public Q_SLOTS:
    // The "Submit" button.
    void submit();

Q_SIGNALS:
    // The setting holds a new value, in memory and in graph.txt.
    void changed(qos::ProbeSetting setting);

private:
    qint16 &value() const;
    void refuse(const QString &message);

    ProbeSetting m_setting;
    SettingsServices m_services;
    QLineEdit *m_box;
    QPushButton *m_submit;
};

} // namespace qos
