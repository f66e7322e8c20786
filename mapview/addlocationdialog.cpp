#include "mapview/addlocationdialog.h"

#include "platform/mnemonics.h"

#include "platform/messagebox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace qos {

namespace {

QLabel *MakeLabel(const QString &text, const char *name, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

AddLocationDialog::AddLocationDialog(Configuration &cfg, const RunState &run, MessageBoxes &boxes,
                                     AddLocationSeams seams, QWidget *parent)
    : QDialog(parent)
    , m_cfg(cfg)
    , m_run(run)
    , m_boxes(boxes)
    , m_seams(std::move(seams))
    , m_addresses(new QPlainTextEdit(this))
    , m_name(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Enter Location Information"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    m_addresses->setObjectName(QStringLiteral("addressBox"));
    m_addresses->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_addresses->setTabChangesFocus(true);
    m_addresses->setMinimumSize(240, 96);
    m_name->setObjectName(QStringLiteral("nameBox"));
    m_name->setMaxLength(MaxNameLength);
    m_name->setMaximumWidth(m_name->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")) + 12);

    auto *addressLabel = MakeLabel(QStringLiteral("Hostname/IP:"), "addressLabel", this);
    addressLabel->setBuddy(m_addresses);
    auto *nameLabel = MakeLabel(QStringLiteral("Display Name(3 chars):"), "nameLabel", this);
    nameLabel->setBuddy(m_name);

    auto *hint = new QVBoxLayout;
    hint->setSpacing(0);
    hint->addWidget(MakeLabel(QStringLiteral("multiple hostname/ips"), "hintLabel1", this));
    hint->addWidget(MakeLabel(QStringLiteral("should be seperated "), "hintLabel2", this));
    hint->addWidget(MakeLabel(QStringLiteral("by commas. "), "hintLabel3", this));
    hint->addWidget(MakeLabel(QStringLiteral("(192.168.1.100,192.168.1.103)"), "hintLabel4", this));
    hint->addWidget(MakeLabel(QStringLiteral("No Spaces"), "hintLabel5", this));
    hint->addStretch();

    auto *submit = new QPushButton(QStringLiteral("Submit"), this);
    submit->setObjectName(QStringLiteral("submitButton"));
    submit->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(submit);
    buttons->addWidget(cancel);

    auto *grid = new QGridLayout(this);
    grid->addWidget(addressLabel, 0, 0, Qt::AlignTop);
    grid->addWidget(m_addresses, 0, 1);
    grid->addLayout(hint, 0, 2);
    grid->addWidget(nameLabel, 1, 0);
    grid->addWidget(m_name, 1, 1, Qt::AlignLeft);
    grid->addLayout(buttons, 2, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    setTabOrder(m_addresses, m_name);
    setTabOrder(m_name, submit);
    setTabOrder(submit, cancel);

    connect(submit, &QPushButton::clicked, this, &AddLocationDialog::submit);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // QDialog reports every way of closing through finished(): done(), reject(), Escape, close().
    connect(this, &QDialog::finished, this, &AddLocationDialog::emitClosedOnce);
    AssignMnemonics(this);
}

void AddLocationDialog::showEmptied()
{
    m_addresses->clear();
    m_name->clear();
    m_closedSent = false;
    show();
    raise();
    activateWindow();
    m_addresses->setFocus();
}

void AddLocationDialog::submit()
{
    if (m_messagePending)
        return; // the operator has not confirmed the last message yet
    const QString typedName = m_name->text();
    const SubmitOutcome out =
        qos::SubmitLocation(m_cfg, m_run, typedName, m_addresses->toPlainText(), m_seams);
    // A used name stays in the box, cleaned as it was checked, until its message is confirmed.
    const QString name = out.kind == SubmitOutcome::Kind::NameInUse ? CleanName(typedName) : out.name;
    if (m_name->text() != name)
        m_name->setText(name);
    if (m_addresses->toPlainText() != out.addresses)
        m_addresses->setPlainText(out.addresses);

    switch (out.kind) {
    case SubmitOutcome::Kind::Added:
        Q_EMIT locationAdded(out.index);
        accept();
        return;
    case SubmitOutcome::Kind::NameInUse:
        showMessage(out.message(), MessageBoxes::Icon::None, [this] {
            m_name->setFocus();
            m_name->clear();
        });
        return;
    case SubmitOutcome::Kind::BlankName:
        showMessage(out.message(), MessageBoxes::Icon::Exclamation, [this] { m_name->setFocus(); });
        return;
    case SubmitOutcome::Kind::NoAddresses:
        showMessage(out.message(), MessageBoxes::Icon::Exclamation, [this] { m_addresses->setFocus(); });
        return;
    case SubmitOutcome::Kind::TableFull:
        showMessage(out.message(), MessageBoxes::Icon::Exclamation, {});
        return;
    case SubmitOutcome::Kind::StoreFailed:
        showMessage(out.message(), MessageBoxes::Icon::Critical, {});
        return;
    }
}

void AddLocationDialog::showMessage(const QString &text, MessageBoxes::Icon icon,
                                    std::function<void()> confirmed)
{
    m_messagePending = true;
    // The dialog may have been closed from outside (the tray) while the box was up.
    QPointer<AddLocationDialog> self = this;
    m_boxes.show(text, icon, [self, confirmed = std::move(confirmed)] {
        if (!self)
            return;
        self->m_messagePending = false;
        if (confirmed)
            confirmed();
    });
}

void AddLocationDialog::emitClosedOnce()
{
    if (m_closedSent)
        return;
    m_closedSent = true;
    Q_EMIT closed();
}

} // namespace qos
