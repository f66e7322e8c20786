#include "listview/listedits.h"

#include "listview/listpings.h"
#include "listview/rows.h"
#include "store/text.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

namespace qos {
namespace {

const QColor Red(255, 0, 0);

} // namespace

ListEdits::ListEdits(ListView &view, ListPings &pings, const ListView::Services &services)
    : m_view(view)
    , m_pings(pings)
    , m_cfg(services.cfg)
    , m_run(services.run)
    , m_messages(services.messages)
    , m_states(services.states)
    , m_editor(services.editor)
{
    const ListView::Controls &c = view.controls();
    connect(&view, &ListView::ignoreOptionChosen, this, &ListEdits::ignoreChosen);
    connect(c.enabledYes, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setLocationEnabled(true);
    });
    connect(c.enabledNo, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setLocationEnabled(false);
    });
    connect(c.removeIp, &QPushButton::clicked, this, &ListEdits::RemoveIP);
    connect(c.addIps, &QPushButton::clicked, this, &ListEdits::AddAddresses);
    connect(c.removeLocation, &QAction::triggered, this, &ListEdits::RemoveLocation);
    connect(c.saveNote, &QPushButton::clicked, this, &ListEdits::saveNote);
    // A note is one line: a paste with line breaks keeps them as spaces.
    connect(c.noteBox, &QLineEdit::textEdited, this, [edit = c.noteBox](const QString &text) {
        const QString line = JoinLines(text);
        if (line != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(line);
            edit->setCursorPosition(qMin(cursor, int(line.size())));
        }
    });
}

LocationRecord &ListEdits::record()
{
    return m_cfg.table[m_view.location()];
}

// ---- Ignoring and enabling ----

void ListEdits::ignoreChosen(ListView::Group g, bool ignore)
{
    const QString address = m_view.address();
    // The element as the list stores it, which is what the ignore list must match.
    const QString entry = m_view.selectedEntry().isEmpty() ? address : m_view.selectedEntry();
    const int k = m_view.location();
    const QString &ignores = record().ignore;
    if (HasElement(ignores, entry) == ignore)
        return; // already as asked
    const QString next = ignore ? WithElement(ignores, entry) : WithoutElement(ignores, entry);
    if (!m_editor.setIgnore(k, next)) {
        m_view.setOptionPair(g, QLatin1String(ignore ? RoleMonitored : RoleIgnored));
        return;
    }
    const QString word = QLatin1String(ignore ? RoleIgnored : RoleMonitored);
    setGroupRole(g, address, word);
    if (ignore)
        m_view.setResult(word, Red);
    else
        m_view.setResult(word, m_view.controls().resultLabel->palette().color(QPalette::WindowText));
    m_run.SelectedIgnoreList = SplitAddressList(record().ignore);
    // Only the second group's role column counts, whichever group changed.
    m_states.ignoresChanged(k, m_view.anyIgnoredRow());
    m_view.showCounts();
}

void ListEdits::setGroupRole(ListView::Group g, const QString &address, const QString &role)
{
    if (address.isEmpty())
        return;
    AddressRows &rows = m_view.rows(g);
    for (int r = 0; r < rows.size(); ++r)
        if (rows.at(r).address == address)
            rows.setRole(r, role);
}

void ListEdits::setLocationEnabled(bool enable)
{
    const int k = m_view.location();
    LocationRecord &rec = record();
    if (rec.sitedisabled != QLatin1String(enable ? "1" : "0"))
        return; // already so, or a flag this program did not write
    if (!m_editor.setDisabled(k, QLatin1String(enable ? "0" : "1"))) {
        (enable ? m_view.controls().enabledNo : m_view.controls().enabledYes)->setChecked(true);
        return;
    }
    m_states.setEnabled(k, enable);
}

// ---- Addresses and locations ----

void ListEdits::RemoveIP()
{
    const QString address = m_view.address();
    if (TrimSpaces(address).isEmpty()) {
        m_messages.show(QStringLiteral("Please select address from list to remove"));
        return;
    }
    const int k = m_view.location();
    const QString entry = m_view.selectedEntry().isEmpty() ? address : m_view.selectedEntry();
    const QString text = address + QStringLiteral(" will be deleted from location: ") + record().site +
                         QStringLiteral("\r\n\r\nAre you sure?");
    m_messages.ask(text, [self = QPointer<ListEdits>(this), k, address, entry](bool yes) {
        if (yes && self)
            self->removeAddress(k, address, entry);
    });
}

void ListEdits::removeAddress(int k, const QString &address, const QString &entry)
{
    if (k != m_view.location() || address != m_view.address() || m_pings.pingAllRunning())
        return;
    if (!HasElement(record().siteip, entry)) { // nothing to write: say so rather than seem to succeed
        m_messages.show(address + QStringLiteral(" is not in the address list of location: ") + record().site,
                        MessageBoxes::Icon::Exclamation);
        return;
    }
    if (!m_editor.setAddresses(k, WithoutElement(record().siteip, entry)))
        return;
    m_pings.setAddresses(SplitAddressList(record().siteip));
    for (ListView::Group g : {ListView::First, ListView::Second}) {
        AddressRows &rows = m_view.rows(g);
        for (int r = rows.size() - 1; r >= 0; --r)
            if (rows.at(r).entry == entry)
                rows.remove(r);
    }
    m_editor.dropNote(k, address);
    m_states.addressRemoved(k, address);
    m_view.setAddress(QString());
    m_view.setResult(QString());
    m_view.hideSelectionPanel();
    m_view.showCounts();
}

void ListEdits::RemoveLocation()
{
    if (m_pings.pingAllRunning() || m_pings.pingSelectedRunning())
        return;
    const int k = m_view.location();
    const QString text =
        QStringLiteral("Delete location: ") + record().site + QStringLiteral("\r\n\r\nAre you sure?");
    m_messages.ask(text, [self = QPointer<ListEdits>(this), k](bool yes) {
        if (yes && self)
            self->removeLocation(k);
    });
}

void ListEdits::removeLocation(int k)
{
    if (k != m_view.location() || m_pings.pingAllRunning() || m_pings.pingSelectedRunning())
        return;
    const QString site = record().site;
    if (m_editor.removeLocation(k))
        Q_EMIT m_view.locationRemoved(site);
}

void ListEdits::AddAddresses()
{
    const int k = m_view.location();
    m_view.AddressDialogOpen = 1;
    Q_EMIT m_view.addressDialogRequested(k);
    m_view.close();
}

// ---- Notes ----

void ListEdits::loadNote()
{
    QString note;
    const Status s = m_editor.loadNote(m_view.location(), m_view.address(), note);
    m_view.controls().noteBox->setText(note);
    if (!s && !m_noteErrorShown) {
        m_noteErrorShown = true; // loaded on every selection: said once per window
        m_messages.show(s.error, MessageBoxes::Icon::Critical);
    }
}

void ListEdits::saveNote()
{
    const QString address = m_view.address();
    const QString note = JoinLines(m_view.controls().noteBox->text());
    if (m_editor.saveNote(m_view.location(), address, note))
        m_messages.show(QStringLiteral("Info saved for IP: ") + address);
}

} // namespace qos
