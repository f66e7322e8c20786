#include "mapview/addlocationdialog.h"
#include "recordingseams.h"
#include "tests/support/fakes.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

// One dialog over a configuration holding the location "abc".
struct Fixture {
    Configuration cfg = ConfigWithSites({QStringLiteral("abc")});
    RunState run;
    FakeMessageBoxes boxes;
    RecordingSeams seams;
    QPointer<AddLocationDialog> dialog;

    Fixture()
    {
        run.PlacementX = 1000;
        run.PlacementY = 2000;
        dialog = new AddLocationDialog(cfg, run, boxes, seams.seams());
        dialog->showEmptied();
    }
    ~Fixture() { delete dialog.data(); }

    QPlainTextEdit *addressBox() const
    {
        return dialog->findChild<QPlainTextEdit *>(QStringLiteral("addressBox"));
    }
    QLineEdit *nameBox() const { return dialog->findChild<QLineEdit *>(QStringLiteral("nameBox")); }
    QPushButton *button(const char *name) const
    {
        return dialog->findChild<QPushButton *>(QLatin1String(name));
    }
    void type(const QString &addresses, const QString &name)
    {
        addressBox()->setPlainText(addresses);
        nameBox()->setText(name);
    }
    void submit() { QTest::mouseClick(button("submitButton"), Qt::LeftButton); }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

} // namespace

class TestAddLocationDialog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controls()
    {
        Fixture f;
        QCOMPARE(f.dialog->windowTitle(), QStringLiteral("Enter Location Information"));
        QVERIFY(!f.dialog->isModal());
        QVERIFY(f.addressBox());
        QCOMPARE(f.addressBox()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(f.nameBox());
        QCOMPARE(f.nameBox()->maxLength(), 3);
        const QList<std::pair<const char *, QString>> labels{
            {"addressLabel", QStringLiteral("&Hostname/IP:")}, // Alt+H and Alt+D go to the boxes
            {"nameLabel", QStringLiteral("&Display Name(3 chars):")},
            {"hintLabel1", QStringLiteral("multiple hostname/ips")},
            {"hintLabel2", QStringLiteral("should be seperated ")},
            {"hintLabel3", QStringLiteral("by commas. ")},
            {"hintLabel4", QStringLiteral("(192.168.1.100,192.168.1.103)")},
            {"hintLabel5", QStringLiteral("No Spaces")},
        };
        for (const auto &[name, text] : labels) {
            auto *label = f.dialog->findChild<QLabel *>(QLatin1String(name));
            QVERIFY2(label, name);
            QCOMPARE(label->text(), text);
        }
        QCOMPARE(f.button("submitButton")->text(), QStringLiteral("&Submit"));
        QCOMPARE(f.button("cancelButton")->text(), QStringLiteral("&Cancel"));

        // The name box takes no fourth character.
        f.nameBox()->setFocus();
        QTest::keyClicks(f.nameBox(), QStringLiteral("abcd"));
        QCOMPARE(f.nameBox()->text(), QStringLiteral("abc"));

        f.type(QStringLiteral("x"), QStringLiteral("y"));
        f.dialog->showEmptied();
        QCOMPARE(f.addressBox()->toPlainText(), QString());
        QCOMPARE(f.nameBox()->text(), QString());
    }

    void usedNameThenCancel()
    {
        Fixture f;
        QSignalSpy closed(f.dialog.data(), &AddLocationDialog::closed);
        const QString typed = QStringLiteral(" 10.0.0.1 ,, host1");
        f.type(typed, QStringLiteral("abc"));
        f.submit();
        QCOMPARE(f.boxes.shown,
                 QStringList{QStringLiteral("Site name already in use.\r\n\r\nPlease enter unique name.")});
        QVERIFY(f.dialog->isVisible());
        QCOMPARE(f.addressBox()->toPlainText(), typed);
        QCOMPARE(f.nameBox()->text(), QString());
        QCOMPARE(f.dialog->focusWidget(), f.nameBox());
        QCOMPARE(f.cfg.table.LocationCount(), 1);
        QVERIFY(f.seams.calls.isEmpty());
        QCOMPARE(closed.count(), 0);

        QTest::mouseClick(f.button("cancelButton"), Qt::LeftButton);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!f.dialog->isVisible());
        Fixture::flushDeletes();
        QVERIFY(f.dialog.isNull()); // one instance per pick: it goes when it closes
        QCOMPARE(f.cfg.table.LocationCount(), 1);
        QVERIFY(f.seams.calls.isEmpty());
        QCOMPARE(f.boxes.shown.size(), 1);
    }

    void usedNameMessageComesFirst_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown"); // the name box while the message is up
        QTest::addColumn<QString>("again"); // how Submit is tried again meanwhile
        QTest::newRow("Submit clicked again")
            << QStringLiteral("abc") << QStringLiteral("abc") << QStringLiteral("click");
        QTest::newRow("Return in the name box")
            << QStringLiteral("abc") << QStringLiteral("abc") << QStringLiteral("return");
        QTest::newRow("leading spaces, called again")
            << QStringLiteral(" ab") << QStringLiteral("ab") << QStringLiteral("call");
    }
    void usedNameMessageComesFirst()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, again);
        Fixture f;
        f.cfg = ConfigWithSites({QStringLiteral("abc"), QStringLiteral("ab")});
        f.boxes.confirmAtOnce = false;
        QSignalSpy added(f.dialog.data(), &AddLocationDialog::locationAdded);
        const QString addresses = QStringLiteral(" 10.0.0.1 ,, host1");
        f.type(addresses, typed);
        f.submit();
        QCOMPARE(f.boxes.shown.size(), 1);
        // The message is up: the name box still holds the name checked, the focus has not moved.
        QCOMPARE(f.nameBox()->text(), shown);
        QVERIFY(f.dialog->focusWidget() != f.nameBox());

        // Submit does nothing while the message waits for its OK, even with a name not in use.
        f.nameBox()->setText(QStringLiteral("new"));
        if (again == QLatin1String("click")) {
            f.submit();
        } else if (again == QLatin1String("return")) {
            f.nameBox()->setFocus();
            QTest::keyClick(f.nameBox(), Qt::Key_Return);
        } else {
            f.dialog->submit();
        }
        QCOMPARE(f.boxes.shown.size(), 1);
        QCOMPARE(added.count(), 0);
        QCOMPARE(f.cfg.table.LocationCount(), 2);
        QVERIFY(f.seams.calls.isEmpty());
        QVERIFY(f.dialog->isVisible());

        // Only its OK empties the name box and puts the focus there; the addresses stay as typed.
        f.boxes.confirmAll();
        QCOMPARE(f.nameBox()->text(), QString());
        QCOMPARE(f.dialog->focusWidget(), f.nameBox());
        QCOMPARE(f.addressBox()->toPlainText(), addresses);

        // Then Submit works again.
        f.nameBox()->setText(QStringLiteral("new"));
        f.submit();
        QCOMPARE(added.count(), 1);
        QCOMPARE(f.cfg.table.LocationCount(), 3);
        QCOMPARE(f.boxes.shown.size(), 1);
    }

    void messageConfirmedAfterTheDialogIsGone()
    {
        Fixture f;
        f.boxes.confirmAtOnce = false;
        f.type(QStringLiteral("h"), QStringLiteral("abc"));
        f.submit();
        QVERIFY(f.dialog->close()); // closed from outside (the tray) while the message is up
        Fixture::flushDeletes();
        QVERIFY(f.dialog.isNull());
        f.boxes.confirmAll(); // must not touch the deleted dialog
        QCOMPARE(f.boxes.shown.size(), 1);
    }

    void closesOnEveryPath_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel") << QStringLiteral("cancel");
        QTest::newRow("Escape") << QStringLiteral("escape");
        QTest::newRow("close() from outside") << QStringLiteral("close");
        QTest::newRow("successful Submit") << QStringLiteral("submit");
    }
    void closesOnEveryPath()
    {
        QFETCH(QString, how);
        Fixture f;
        QSignalSpy closed(f.dialog.data(), &AddLocationDialog::closed);
        QSignalSpy added(f.dialog.data(), &AddLocationDialog::locationAdded);
        if (how == QLatin1String("cancel"))
            QTest::mouseClick(f.button("cancelButton"), Qt::LeftButton);
        else if (how == QLatin1String("escape"))
            QTest::keyClick(f.dialog.data(), Qt::Key_Escape);
        else if (how == QLatin1String("close"))
            QVERIFY(f.dialog->close());
        else {
            f.type(QStringLiteral("h"), QStringLiteral("new"));
            f.submit();
        }
        QCOMPARE(closed.count(), 1);
        QCOMPARE(added.count(), how == QLatin1String("submit") ? 1 : 0);
        QCOMPARE(f.cfg.table.LocationCount(), how == QLatin1String("submit") ? 2 : 1);
        Fixture::flushDeletes();
        QVERIFY(f.dialog.isNull());
        QCOMPARE(closed.count(), 1);
    }
};

QTEST_MAIN(TestAddLocationDialog)
#include "test_addlocationdialog.moc"
