#include "mapview/monitorbinding.h"

#include "mapview/mapview.h"
#include "monitor/monitorcycle.h"

#include <QPushButton>

namespace qos {
namespace {

void showMonitoring(MapView &view, const RunState &run, bool on)
{
    const MapView::Controls &c = view.controls();
    // Shown before the other is hidden, so the place of the two buttons is never empty.
    QPushButton *shown = on ? c.Command4 : c.Command3;
    QPushButton *hidden = on ? c.Command3 : c.Command4;
    shown->setEnabled(true);
    hidden->setEnabled(false);
    if (run.PlacementMode == 1)
        return; // placement mode keeps both hidden until it ends
    shown->show();
    hidden->hide();
}

} // namespace

std::unique_ptr<MonitorCycle> HostMonitorCycle(MapView &view, const MapViewEnvironment &env)
{
    if (!env.prober || !env.notice)
        return nullptr;
    const MapView::Controls &c = view.controls();
    RunState &run = *env.run;
    auto cycle = std::make_unique<MonitorCycle>(
        MonitorServices{*env.config, run, *env.prober, view.alerts(), *env.notice},
        MonitorClocks{c.Timer1, c.Timer2});
    MonitorCycle *m = cycle.get();

    QObject::connect(c.Command3, &QPushButton::clicked, m, &MonitorCycle::StartMonitor);
    QObject::connect(c.Command4, &QPushButton::clicked, m, &MonitorCycle::StopMonitor);
    QObject::connect(m, &MonitorCycle::statusTextChanged, &view, &MapView::setStatusText);
    QObject::connect(m, &MonitorCycle::monitoringChanged, &view,
                     [&view, &run](bool on) { showMonitoring(view, run, on); });
    // Stop paints every location white through this one signal per location.
    QObject::connect(m, &MonitorCycle::indicatorChanged, &view, &MapView::refreshIndicator);

    view.setStatusText(m->statusText());
    showMonitoring(view, run, m->monitoring());
    return cycle;
}

} // namespace qos
