#include "settings/probesettingdialog.h"

#include "platform/mnemonics.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qos {

ProbeSettingDialog::ProbeSettingDialog(ProbeSetting setting, const SettingsServices &services,
                                       QWidget *parent)
    : QDialog(parent)
    , m_setting(setting)
    , m_services(services)
    , m_box(new QLineEdit(this))
    , m_submit(new QPushButton(QStringLiteral("Submit"), this))
{
    const ProbeSettingInfo &info = InfoOf(setting);
    setObjectName(QStringLiteral("ProbeSettingDialog"));
    setWindowTitle(QLatin1String(info.caption));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto *prompt = new QLabel(QLatin1String(info.label), this);
    prompt->setObjectName(QStringLiteral("promptLabel"));
    prompt->setBuddy(m_box);
    m_box->setObjectName(QStringLiteral("valueBox"));
    m_box->setMaxLength(ProbeBoxLength);
    m_box->setFixedWidth(m_box->fontMetrics().horizontalAdvance(QString(ProbeBoxLength + 1, QLatin1Char('0'))) + 12);
    m_box->setText(QString::number(value()));
    m_submit->setObjectName(QStringLiteral("submitButton"));
    m_submit->setDefault(true);

    auto *row = new QHBoxLayout;
    row->addWidget(m_box);
    row->addStretch();
    row->addWidget(m_submit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addLayout(row);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_submit, &QPushButton::clicked, this, &ProbeSettingDialog::submit);
    AssignMnemonics(this);
}

qint16 &ProbeSettingDialog::value() const
{
    return m_services.settings.*InfoOf(m_setting).field;
}

void ProbeSettingDialog::submit()
{
    const ProbeInput in = CheckProbeInput(m_setting, m_box->text());
    if (!in.accepted()) {
        refuse(in.message);
        return;
    }
    m_box->setText(in.trimmed);
    if (!WriteMainSetting(m_services, InfoOf(m_setting).key, in.trimmed))
        return;
    value() = in.value;
    Q_EMIT changed(m_setting);
    close();
}

void ProbeSettingDialog::refuse(const QString &message)
{
    m_services.messages.show(message);
    m_box->setText(QString::number(value()));
    m_box->setFocus();
}

} // namespace qos
