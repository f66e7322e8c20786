#include "settings/notificationdialog.h"

#include "platform/mnemonics.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>

namespace qos {

NotificationSettingDialog::NotificationSettingDialog(const SettingsServices &services, QWidget *parent)
    : QDialog(parent)
    , m_services(services)
    , m_box(new QCheckBox(QStringLiteral("Desktop notification when a location goes offline or comes back"),
                          this))
    , m_submit(new QPushButton(QStringLiteral("Submit"), this))
{
    setObjectName(QStringLiteral("NotificationSettingDialog"));
    setWindowTitle(QStringLiteral("Set Notifications"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    m_box->setObjectName(QStringLiteral("notifyBox"));
    m_box->setChecked(m_services.settings.NOTIFICATIONS != 0);
    m_submit->setObjectName(QStringLiteral("submitButton"));
    m_submit->setDefault(true);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_box);
    layout->addStretch();
    layout->addWidget(m_submit);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_submit, &QPushButton::clicked, this, &NotificationSettingDialog::submit);
    AssignMnemonics(this);
}

void NotificationSettingDialog::submit()
{
    const qint16 value = m_box->isChecked() ? 1 : 0;
    if (!WriteMainSetting(m_services, Key::Notifications, QString::number(value)))
        return;
    m_services.settings.NOTIFICATIONS = value;
    Q_EMIT changed();
    close();
}

} // namespace qos
