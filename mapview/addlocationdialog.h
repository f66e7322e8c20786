#pragma once
// The add-location dialog "Enter Location Information": a name and an address list for the point
// picked last on the map. Shown modeless; deletes itself when it closes.
//
// Control objectNames: addressBox (multi-line, vertical scroll bar), nameBox (at most 3 characters),
// addressLabel, nameLabel, hintLabel1..hintLabel5 (the static hint), submitButton, cancelButton.
#include "mapview/addlocation.h"
#include "platform/messagebox.h"

#include <QDialog>
#include <functional>

class QLineEdit;
class QPlainTextEdit;

namespace qos {

class AddLocationDialog : public QDialog {
    Q_OBJECT
public:
    AddLocationDialog(Configuration &cfg, const RunState &run, MessageBoxes &boxes, AddLocationSeams seams,
                      QWidget *parent = nullptr);

    // Empties both boxes and shows the dialog in front.
    void showEmptied();

public Q_SLOTS:
    // The "Submit" button.
    void submit();

Q_SIGNALS:
    // Emitted once whenever the dialog closes, however it closes ("Cancel", a successful submit,
    // close() from outside, the window frame, Escape). The Map View shows itself again on it.
    void closed();
    // A location was added at index k (emitted before the dialog closes).
    void locationAdded(int k);

private:
    void emitClosedOnce();
    // Shows a message; Submit does nothing until the operator has confirmed it, then confirmed runs.
    void showMessage(const QString &text, MessageBoxes::Icon icon, std::function<void()> confirmed);

    Configuration &m_cfg;
    const RunState &m_run;
    MessageBoxes &m_boxes;
    AddLocationSeams m_seams;
    QPlainTextEdit *m_addresses;
    QLineEdit *m_name;
    bool m_closedSent = false;
    bool m_messagePending = false;
};

} // namespace qos
