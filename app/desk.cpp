#include "app/desk.h"

#include "history/since.h"
#include "mapview/mapview.h"
#include "monitor/statusline.h"

namespace qos {
namespace {

constexpr int kMinuteMs = 60 * 1000;

// The locations the tray tooltip names: every one that is not as it should be.
bool TrayListed(Indicator colour)
{
    return OfflineColour(colour) || colour == Indicator::Unreachable || colour == Indicator::Slow;
}

} // namespace

Desk::Desk(const Parts &parts, QObject *parent)
    : QObject(parent)
    , m_p(parts)
{
    m_minute.setInterval(kMinuteMs);
    connect(&m_minute, &QTimer::timeout, this, &Desk::minuteTick);
    connect(&m_p.states, &LocationStates::changed, this,
            [this](const StateChange &change) { locationChanged(change.location); });
    connect(&m_p.states, &LocationStates::acknowledgedChanged, this, &Desk::showMenu);
    connect(&m_p.history, &History::logLoaded, this, &Desk::refresh);
    connect(&m_p.cycle, &MonitorCycle::monitoringChanged, this, &Desk::showMenu);
    connect(&m_pacer, &StatusPacer::show, &m_p.map, &MapView::setStatusText);
    connect(&m_p.cycle, &MonitorCycle::statusTextChanged, this, &Desk::showStatus);
    connect(&m_p.cycle, &MonitorCycle::runEnded, this, &Desk::showStatus);
    connect(m_p.clocks.interval, &QTimer::timeout, this, [this] {
        if (m_p.map.isVisible())
            showStatus();
    });
    connect(&m_p.tray, &Tray::menuOpening, this, &Desk::showMenu);
    connect(&m_p.map, &MapView::commandMenuRequested, &m_p.tray, &Tray::popupMenu);
}

void Desk::refresh()
{
    m_tipLines.clear();
    for (int k = 1; k <= m_p.cfg.table.LocationCount(); ++k) {
        showMarker(k);
        keepTipLine(k);
    }
    showTip();
    showMenu();
    showStatus();
}

QString Desk::locationLine(int k) const
{
    return LocationLine(FactsOf(m_p.cfg, m_p.states, m_p.history.log(), k), m_p.history.now(), m_zone);
}

void Desk::locationChanged(int k)
{
    showMarker(k);
    keepTipLine(k);
    showTip();
    showMenu();
}

void Desk::minuteTick()
{
    for (auto &[k, line] : m_tipLines) {
        showMarker(k);
        line = tipLine(k);
    }
    showTip();
}

void Desk::keepTipLine(int k)
{
    if (k < 1 || k > m_p.cfg.table.LocationCount() || !TrayListed(m_p.cfg.table[k].center)) {
        m_tipLines.erase(k);
        return;
    }
    m_tipLines[k] = tipLine(k);
}

QString Desk::tipLine(int k) const
{
    return SinceText(FactsOf(m_p.cfg, m_p.states, m_p.history.log(), k), m_p.history.now(), m_zone);
}

void Desk::showTip()
{
    QStringList lines;
    lines.reserve(qsizetype(m_tipLines.size()));
    for (const auto &[k, line] : m_tipLines)
        lines << line;
    m_p.alerts.setTipLines(lines);
    if (lines.isEmpty())
        m_minute.stop();
    else if (!m_minute.isActive())
        m_minute.start();
}

void Desk::showMenu()
{
    TrayMenu menu;
    menu.monitoring = m_p.cycle.monitoring();
    menu.mayStartStop = m_p.run.PlacementMode == 0;
    menu.mayAcknowledge = m_p.states.anyShownOffline() && !m_p.states.acknowledged();
    m_p.tray.setMenu(menu);
}

void Desk::showMarker(int k)
{
    m_p.map.setMarkerDescription(k, locationLine(k));
}

void Desk::showStatus()
{
    const MonitorCycle &cycle = m_p.cycle;
    const bool waiting = cycle.monitoring() && !cycle.running();
    m_pacer.offer(StatusLine(
        cycle.statusText(), waiting,
        SecondsToNextCycle(m_p.run.SecondsCounter, m_p.cfg.settings.PINGINTERVAL), cycle.lastCycleMs()));
}

} // namespace qos
