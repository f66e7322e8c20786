#pragma once
// The Add/Delete Address dialog: one location's whole address list as one comma-separated text.
//
// Invariants:
//  - It ends exactly once: submitted(text) from "Submit", or cancelled() from "Cancel" and from any
//    other way of closing it (its close box, Escape), unless dismiss() ended it silently.
//  - It writes nothing itself; the program applies the text and opens a fresh List View.
#include "platform/twips.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace qos {

class AddressDialog : public QDialog {
    Q_OBJECT
public:
    struct Controls {
        QLabel *titleLabel, *addressCaption, *hintLine1, *hintLine2, *hintLine3, *hintLine4, *hintLine5,
            *exampleLine;
        QPlainTextEdit *addressText;
        QPushButton *submitButton; // "Submit"
        QPushButton *cancelButton; // "Cancel"
    };

    AddressDialog(int location, const QString &site, const QString &siteip, QWidget *parent = nullptr);

    const Controls &controls() const { return m_c; }
    int location() const { return m_location; }
    // Closes the dialog without reporting anything (the Map View has been brought back).
    void dismiss();

Q_SIGNALS:
    // "Submit": text is what the operator typed; the box now shows it normalised.
    void submitted(int location, const QString &text);
    void cancelled(int location);

private:
    QLabel *label(const char *name, const QString &text, const QRectF &twips, bool centred);
    void submit();
    void finishOnce(bool submittedText);

    int m_location;
    TwipsScale m_scale;
    Controls m_c{};
    bool m_ended = false;
};

} // namespace qos
