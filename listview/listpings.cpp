#include "listview/listpings.h"

#include "listview/rows.h"
#include "monitor/outcome.h"
#include "store/text.h"

#include <QAction>
#include <QGroupBox>
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
    , m_alerts(services.alerts)
    , m_monitor(services.monitor)
    , m_probe(services.prober, services.notice)
    , m_sweep(services.prober, services.notice)
{
    const ListView::Controls &c = view.controls();
    connect(c.Command1, &QPushButton::clicked, this, &ListPings::PingAll);
    connect(c.Run_Ping, &QPushButton::clicked, this, &ListPings::PingSelected);
    connect(c.Command4, &QPushButton::clicked, this, &ListPings::StopPing);
    connect(&m_probe, &AddressProbe::resolved, this,
            [this](const QString &dotted) { m_view.setIPAddress(dotted); });
    connect(&m_probe, &AddressProbe::finished, this, &ListPings::probed);
}

LocationRecord &ListPings::record()
{
    return m_cfg.table[m_view.location()];
}

bool ListPings::locationEnabled() const
{
    return !m_view.controls().Option2->isChecked();
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
    Q_EMIT addressProbed(m_view.location(), m_probe.address(), outcome);
    if (m_mode == Mode::Selected)
        selectedPinged(outcome);
}

// While a probe runs, the commands that would change the location, or re-target the window, wait.
void ListPings::setBusy(bool busy)
{
    const ListView::Controls &c = m_view.controls();
    for (QWidget *w : std::initializer_list<QWidget *>{c.Frame2, c.removeip, c.addip, c.ignoreyes, c.ignoreno,
                                                       c.ignoreyes2, c.ignoreno2})
        w->setEnabled(!busy);
    c.listview->menuAction()->setEnabled(!busy);
    c.RemoveLocation->setEnabled(!busy);
    c.Run_Ping->setEnabled(!busy && !TrimSpaces(m_view.address()).isEmpty());
}

// ---- Ping All ----

void ListPings::PingAll()
{
    if (m_mode != Mode::Idle)
        return;
    AllReplied = 1;
    m_view.clearLists();
    m_view.hideSelectionPanel();
    PingAllRunning = 1;
    m_view.MonitoredCount = 0;
    m_view.IgnoredCount = 0;
    m_view.showPingAll(false);
    m_mode = Mode::All;
    setBusy(true);
    record().holdbad.clear();
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
                m_view.appendRow(ListView::Second,
                                 {entry, QLatin1String(StatusNotChecked), QLatin1String(RoleIgnored)});
            m_view.IgnoredCount = qint16(m_view.IgnoredCount + matches);
            continue;
        }
        m_view.MonitoredCount = qint16(m_view.MonitoredCount + 1);
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
    Q_EMIT addressProbed(m_view.location(), address, outcome);
    const QString text = outcome.statusText();
    m_view.setIPAddress(outcome.resolved);
    if (outcome.answered) {
        m_view.setResult(text, Green);
        m_view.appendRow(ListView::First, {address, text, QLatin1String(RoleMonitored)});
        ForgetOffline(record().holdbad, address);
    } else {
        RememberOffline(record().holdbad, address);
        m_view.setResult(text, Red);
        m_view.appendRow(ListView::Second, {address, text, QLatin1String(RoleMonitored)});
        AllReplied = 0;
    }
    nextAddress();
}

void ListPings::finishPingAll()
{
    m_view.setAddress(QString());
    m_view.setIPAddress(QString());
    m_view.setResult(QStringLiteral("Ready"));
    m_view.showPingAll(true);
    const int k = m_view.location();
    if (locationEnabled()) {
        LocationRecord &rec = record();
        const bool partial = m_view.anyIgnoredRow();
        if (AllReplied == 1) {
            rec.flash = QStringLiteral("0");
            rec.center = OutcomeIndicator(false, partial);
            if (!AnyLocationFlagged(m_cfg.table)) {
                m_run.LastCycleHadOffline = 0;
                m_alerts.ClearAttention();
            }
        } else {
            rec.flash = QStringLiteral("1"); // flagged, so the attention picture stays up for it
            m_run.AnyOfflineThisCycle = 1;
            m_alerts.ShowAttention();
            rec.center = OutcomeIndicator(true, partial);
        }
        Q_EMIT m_view.indicatorChanged(k);
    }
    m_view.showCounters(m_view.MonitoredCount, m_view.IgnoredCount);
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
    m_view.controls().Command1->setEnabled(false);
    startProbe(address);
}

void ListPings::selectedPinged(const AddressOutcome &outcome)
{
    const QString address = m_probe.address();
    const QString text = outcome.statusText();
    const bool ignored = m_run.SelectedIgnoreList.contains(address);
    LocationRecord &rec = record();
    auto find = [this, &address](ListView::Group g) {
        for (int r = 0; r < m_view.rowCount(g); ++r)
            if (m_view.row(g, r).address == address)
                return r;
        return -1;
    };
    auto setSecondStatuses = [this, &address](const QString &status) {
        for (int r = 0; r < m_view.rowCount(ListView::Second); ++r)
            if (m_view.row(ListView::Second, r).address == address)
                m_view.setRowStatus(ListView::Second, r, status);
    };
    if (outcome.answered) {
        m_view.setResult(text, Green);
        if (ignored) {
            setSecondStatuses(text);
        } else if (const int r = find(ListView::Second); r >= 0) {
            m_view.removeRow(ListView::Second, r);
            m_view.appendRow(ListView::First,
                             {address, QLatin1String(StatusOnline), QLatin1String(RoleMonitored)});
        }
        ForgetOffline(rec.holdbad, address);
        if (locationEnabled() && rec.holdbad.isEmpty())
            rec.flash = QStringLiteral("0");
    } else {
        rec.flash = QStringLiteral("1");
        m_view.setResult(text, Red);
        setSecondStatuses(text);
        bool movedIgnored = false;
        if (const int r = find(ListView::First); r >= 0) {
            movedIgnored = ignored;
            m_view.removeRow(ListView::First, r);
            m_view.appendRow(ListView::Second, {address, QLatin1String(StatusOffline),
                                                QLatin1String(ignored ? RoleIgnored : RoleMonitored)});
        }
        if (locationEnabled() && !movedIgnored)
            RememberOffline(rec.holdbad, address);
    }
    m_mode = Mode::Idle;
    setBusy(false);
    m_view.controls().Command1->setEnabled(true);
    closingStep(address);
    Q_EMIT pingSelectedFinished();
}

void ListPings::closingStep(const QString &address)
{
    int offline = 0;
    int ignoredRows = 0;
    for (ListView::Group g : {ListView::First, ListView::Second}) {
        for (int r = 0; r < m_view.rowCount(g); ++r) {
            const AddressRow row = m_view.row(g, r);
            if (row.address == address && row.role == QLatin1String(RoleIgnored))
                return; // an ignored address changes neither the marker nor the indicator
            if (row.role == QLatin1String(RoleIgnored))
                ++ignoredRows;
            else if (row.status != QLatin1String(StatusOnline))
                ++offline;
        }
    }
    if (!m_monitor.monitoring())
        return; // monitoring not started: the map keeps its colours
    const int k = m_view.location();
    if (locationEnabled()) {
        LocationRecord &rec = record();
        if (offline == 0)
            rec.flash = QStringLiteral("0");
        rec.center = OutcomeIndicator(offline > 0, ignoredRows > 0);
        Q_EMIT m_view.indicatorChanged(k);
    }
    if (AnyLocationFlagged(m_cfg.table))
        m_alerts.ShowAttention();
    else
        m_alerts.ClearAttention();
}

} // namespace qos
