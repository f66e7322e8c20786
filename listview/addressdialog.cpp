#include "listview/addressdialog.h"

#include "platform/mnemonics.h"

#include "store/text.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>

namespace qos {
namespace {

constexpr double ClientWidth = 4680;
constexpr double ClientHeight = 4305;

} // namespace

AddressDialog::AddressDialog(int location, const QString &site, const QString &siteip, QWidget *parent)
    : QDialog(parent)
    , m_location(location)
    , m_scale(TwipsScale::forWidget(this))
{
    setObjectName(QStringLiteral("AddressDialog"));
    setWindowTitle(QStringLiteral("Add/Delete Address"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    QFont font = this->font();
    font.setPointSizeF(8);
    setFont(font);
    setFixedSize(m_scale.toPixelsX(ClientWidth), m_scale.toPixelsY(ClientHeight));

    m_c.titleLabel = label("Label2", QStringLiteral("Location - ") + site, {600, 120, 3375, 375}, true);
    m_c.addressCaption = label("Label1", QStringLiteral("Hostname/IP:"), {360, 600, 1215, 255}, false);
    m_c.addressText = new QPlainTextEdit(siteip, this);
    m_c.addressText->setObjectName(QStringLiteral("Text2"));
    m_c.addressText->setGeometry(m_scale.toPixels(QRectF(2040, 600, 2535, 2895)));
    m_c.addressText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_c.addressText->setTabChangesFocus(true);
    m_c.hintLine1 = label("Label3", QStringLiteral("You can delete/add"), {120, 960, 1575, 255}, true);
    m_c.hintLine2 = label("Label4", QStringLiteral("addresses to the "), {240, 1200, 1455, 255}, true);
    m_c.hintLine3 = label("Label5", QStringLiteral("current list. Separate"), {120, 1440, 1575, 255}, true);
    m_c.hintLine4 = label("Label7", QStringLiteral("multiple addresses"), {240, 1680, 1575, 255}, true);
    m_c.hintLine5 = label("Label8", QStringLiteral("with commas."), {240, 1920, 1455, 255}, true);
    m_c.exampleLine = label("Label6", QStringLiteral("(10.0.0.1,10.0.0.2)"), {120, 2160, 1935, 255}, false);
    m_c.addressCaption->setBuddy(m_c.addressText);
    m_c.addressText->setAccessibleDescription(QStringLiteral(
        "You can delete/add addresses to the current list. Separate multiple addresses with commas."));
    m_c.submitButton = new QPushButton(QStringLiteral("Submit"), this);
    m_c.cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_c.submitButton->setObjectName(QStringLiteral("Command1"));
    m_c.cancelButton->setObjectName(QStringLiteral("Command2"));
    m_c.submitButton->setGeometry(m_scale.toPixels(QRectF(960, 3720, 1095, 375)));
    m_c.cancelButton->setGeometry(m_scale.toPixels(QRectF(2400, 3720, 1095, 375)));
    m_c.submitButton->setAutoDefault(false);
    m_c.cancelButton->setAutoDefault(false);
    connect(m_c.submitButton, &QPushButton::clicked, this, &AddressDialog::submit);
    connect(m_c.cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // Every way of closing that is not "Submit" counts as "Cancel": no window would be left otherwise.
    connect(this, &QDialog::finished, this, [this] { finishOnce(false); });
    AssignMnemonics(this);
}

QLabel *AddressDialog::label(const char *name, const QString &text, const QRectF &twips, bool centred)
{
    auto *l = new QLabel(text, this);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(m_scale.toPixels(twips));
    // The positions were laid out for a narrower font: a caption that would be cut shrinks to fit.
    QFont f = l->font();
    while (f.pointSizeF() > 6 && QFontMetrics(f).horizontalAdvance(text) > l->width()) {
        f.setPointSizeF(f.pointSizeF() - 0.25);
        l->setFont(f);
    }
    if (centred)
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return l;
}

void AddressDialog::submit()
{
    if (m_ended)
        return;
    const QString typed = m_c.addressText->toPlainText();
    m_c.addressText->setPlainText(NormaliseAddressText(typed));
    finishOnce(true);
    Q_EMIT submitted(m_location, typed);
    accept();
}

void AddressDialog::finishOnce(bool submittedText)
{
    if (m_ended)
        return;
    m_ended = true;
    if (!submittedText)
        Q_EMIT cancelled(m_location);
}

void AddressDialog::dismiss()
{
    m_ended = true;
    close();
}

} // namespace qos
