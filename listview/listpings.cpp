#include "listview/listpings.h"

#include "listview/rows.h"
#include "store/text.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace qos {
namespace {

const QColor Green(0, 255, 0);
const QColor Red(255, 0, 0);

} // namespace

ListPings::ListPings(ListView &view, const ListView::Services &services)
    : m_view(view)
    , m_cfg(services.cfg)
    , m_run(services.run)
    , m_messages(services.messages)
    , m_states(services.states)
    , m_monitor(services.monitor)
    , m_probe(services.prober, services.notice)
    , m_sweep(services.prober, services.notice)
{
    const ListView::Controls &c = view.controls();
    connect(c.pingAll, &QPushButton::clicked, this, &ListPings::PingAll);
    connect(c.pingIp, &QPushButton::clicked, this, &ListPings::PingSelected);
    connect(c.stopPing, &QPushButton::clicked, this, &ListPings::StopPing);
    connect(&m_probe, &AddressProbe::resolved, this,
            [this](const QString &dotted) { m_view.setIPAddress(dotted); });
    connect(&m_probe, &AddressProbe::finished, this, &ListPings::probed);
}

bool ListPings::locationEnabled() const
{
    return m_cfg.table[m_view.location()].sitedisabled != QLatin1String("1");
}

void ListPings::reset()
{
    ++m_serial;
    m_probe.cancel();
    m_sweep.cancel();
    if (m_mode != Mode::Idle)
        setBusy(false);
    m_mode = Mode::Idle;
    PingAllRunning = 0;
}

void ListPings::yieldThen(void (ListPings::*step)())
{
    const quint64 serial = m_serial;
    QTimer::singleShot(0, this, [this, serial, step] {
        if (serial == m_serial)
            (this->*step)();
    });
}

void ListPings::startProbe(const QString &address)
{
    m_pending = address;
    const quint64 serial = m_serial;
    // The text is painted before the probe starts (or, in Ping All, before its outcome is taken);
    // then the probe's own waits follow.
    QTimer::singleShot(0, this, [this, serial] {
        if (serial != m_serial)
            return;
        if (m_mode == Mode::All)
            awaitElement();
        else
            m_probe.start(m_pending, m_cfg.settings.PINGPACKETS, m_cfg.settings.PINGTIMEOUT);
    });
}

void ListPings::probed(const AddressOutcome &outcome)
{
    m_states.probed(m_view.location(), m_probe.address(), outcome);
    if (m_mode == Mode::Selected)
        selectedPinged(outcome);
}

// While a probe runs, the commands that would change the location, or re-target the window, wait.
void ListPings::setBusy(bool busy)
{
    const ListView::Controls &c = m_view.controls();
    // The note box too: during Ping All `Address` moves on while the box keeps the note it loaded.
    for (QWidget *w :
         std::initializer_list<QWidget *>{c.enabledFrame, c.removeIp, c.addIps, c.ignoreYes, c.ignoreNo,
                                          c.ignoreYes2, c.ignoreNo2, c.noteBox, c.saveNote})
        w->setEnabled(!busy);
    c.siteMenu->menuAction()->setEnabled(!busy);
    c.removeLocation->setEnabled(!busy);
    c.pingIp->setEnabled(!busy && !TrimSpaces(m_view.address()).isEmpty());
}

// ---- Ping All ----

void ListPings::PingAll()
{
    if (m_mode != Mode::Idle)
        return;
    m_view.clearLists();
    m_view.hideSelectionPanel();
    PingAllRunning = 1;
    m_view.showPingAll(false);
    m_mode = Mode::All;
    setBusy(true);
    m_failing.clear();
    m_next = 0;
    yieldThen(&ListPings::nextAddress);
}

// Ping All's jobs from element `element` of the address list on: the elements it probes.
QList<SweepJob> ListPings::planFrom(int element) const
{
    QList<SweepJob> plan;
    for (int i = element; i < m_addresses.size(); ++i) {
        const QString &entry = m_addresses.at(i);
        const QString address = TrimSpaces(entry);
        if (!address.isEmpty() && IgnoreMatches(entry, m_run.SelectedIgnoreList) == 0)
            plan.append({m_view.location(), i, address});
    }
    return plan;
}

void ListPings::awaitElement()
{
    if (!m_sweep.planned(m_job)) // the run's first address, or the list changed under the plan
        m_sweep.start(planFrom(m_job.entry), m_cfg.settings);
    m_sweep.await(m_job, [this](const AddressOutcome &outcome) { onePinged(outcome); });
}

void ListPings::nextAddress()
{
    while (m_next < m_addresses.size()) {
        const QString entry = m_addresses.at(m_next++);
        if (const int matches = IgnoreMatches(entry, m_run.SelectedIgnoreList)) {
            for (int i = 0; i < matches; ++i)
                m_view.rows(ListView::Second)
                    .append({entry, QLatin1String(StatusNotChecked), QLatin1String(RoleIgnored), entry});
            continue;
        }
        if (!TrimSpaces(entry).isEmpty()) {
            m_job = {m_view.location(), m_next - 1, TrimSpaces(entry)};
            PingOneAddress(entry);
            return;
        }
    }
    finishPingAll();
}

void ListPings::PingOneAddress(const QString &entry)
{
    const QString address = TrimSpaces(entry);
    m_view.setAddress(address);
    m_view.setResult(QStringLiteral("Running..."));
    startProbe(address);
}

void ListPings::onePinged(const AddressOutcome &outcome)
{
    const QString address = m_job.address;
    const QString entry = m_addresses.value(m_job.entry);
    m_states.probed(m_view.location(), address, outcome);
    const QString text = outcome.statusText();
    m_view.setIPAddress(outcome.resolved);
    m_view.setResult(text, outcome.answered ? Green : Red);
    m_view.rows(outcome.answered ? ListView::First : ListView::Second)
        .append({address, text, QLatin1String(RoleMonitored), entry});
    if (!outcome.answered)
        RememberOffline(m_failing, address);
    nextAddress();
}

void ListPings::finishPingAll()
{
    m_view.setAddress(QString());
    m_view.setIPAddress(QString());
    m_view.setResult(QStringLiteral("Ready"));
    m_view.showPingAll(true);
    m_states.pingAllFinished(m_view.location(), m_failing, locationEnabled(), m_view.anyIgnoredRow());
    m_view.showCounts();
    PingAllRunning = 0;
    m_mode = Mode::Idle;
    setBusy(false);
    Q_EMIT pingAllFinished();
}

// ---- Ping IP ----

void ListPings::StopPing()
{
    // A running Ping All goes on to its last address; only the buttons return to rest now.
    m_view.showPingAll(true); // a click on "Ping All" before the run has ended does nothing
}

void ListPings::PingSelected()
{
    if (m_mode != Mode::Idle)
        return;
    m_view.showPingAll(true);
    const QString address = m_view.address();
    if (address.isEmpty()) {
        m_messages.show(QStringLiteral("Please select an address to ping"));
        return;
    }
    m_view.setResult(QStringLiteral("Running..."));
    m_mode = Mode::Selected;
    setBusy(true);
    m_view.controls().pingAll->setEnabled(false);
    startProbe(address);
}

void ListPings::selectedPinged(const AddressOutcome &outcome)
{
    const QString address = m_probe.address();
    const QString text = outcome.statusText();
    const bool ignored = ContainsAddress(m_run.SelectedIgnoreList, address);
    AddressRows &first = m_view.rows(ListView::First);
    AddressRows &second = m_view.rows(ListView::Second);
    const auto setSecondStatuses = [&](const QString &status) {
        for (int r = 0; r < second.size(); ++r)
            if (second.at(r).address == address)
                second.setStatus(r, status);
    };
    // The row selected meanwhile keeps its own caption.
    if (m_view.address() == address)
        m_view.setResult(text, outcome.answered ? Green : Red);
    bool movedIgnored = false;
    if (outcome.answered) {
        if (ignored) {
            setSecondStatuses(text);
        } else if (const int r = first.find(address); r >= 0) {
            first.setStatus(r, text); // it may not have been probed before
        } else if (const int r = second.find(address); r >= 0) {
            const QString entry = second.at(r).entry;
            second.remove(r);
            first.append({address, QLatin1String(StatusOnline), QLatin1String(RoleMonitored), entry});
        }
    } else {
        setSecondStatuses(text);
        if (const int r = first.find(address); r >= 0) {
            movedIgnored = ignored;
            const QString entry = first.at(r).entry;
            first.remove(r);
            second.append({address, QLatin1String(StatusOffline),
                           QLatin1String(ignored ? RoleIgnored : RoleMonitored), entry});
        }
    }
    m_mode = Mode::Idle;
    setBusy(false);
    m_view.controls().pingAll->setEnabled(true);
    m_states.pingIpFinished(m_view.location(), LocationStates::PingIp{address, outcome.answered, ignored, movedIgnored,
                                                                      locationEnabled(), m_monitor.monitoring()});
}

} // namespace qos
