#pragma once
// A monitor cycle wired to fakes: scripted prober, recording alerts and message boxes, clocks that
// the test ticks by hand.
#include "monitor/monitorcycle.h"
#include "tests/support/fakeprober.h"
#include "tests/support/fakes.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <memory>

namespace qos::test {

// Alerts that also keep the attention state the real sink keeps.
class AttentionAlerts : public FakeAlerts {
public:
    bool up = false;
    void ShowAttention() override
    {
        FakeAlerts::ShowAttention();
        up = true;
    }
    void ClearAttention() override
    {
        FakeAlerts::ClearAttention();
        up = false;
    }
    QStringList sounds() const { return calls.filter(QStringLiteral("Play")); }
};

struct Rig {
    Configuration cfg;
    RunState run;
    FakeProber prober;
    AttentionAlerts alerts;
    FakeMessageBoxes boxes;
    StartupNotice notice{boxes};
    LocationStates states{cfg, run, alerts};
    QObject owner;
    MonitorClocks clocks;
    std::unique_ptr<MonitorCycle> cycle;
    QStringList statuses; // every status line text shown, in order

    Rig()
    {
        cfg.settings.PINGTIMEOUT = 2000;
        cfg.settings.PINGINTERVAL = 3;
        cfg.settings.PINGPACKETS = 4;
        // One address at a time, so that a test can follow the cycle echo by echo; the sweep's
        // tests set their own window.
        cfg.settings.PINGINFLIGHT = 1;
        clocks = MonitorClocks::Create(&owner);
        // The clocks keep their state (running or not) but never fire on their own: tests tick.
        clocks.interval->setInterval(24 * 3600 * 1000);
        clocks.resume->setInterval(24 * 3600 * 1000);
        cycle = std::make_unique<MonitorCycle>(MonitorServices{cfg, run, prober, states, notice}, clocks);
        QObject::connect(cycle.get(), &MonitorCycle::statusTextChanged, &owner,
                         [this](const QString &text) { statuses << text; });
    }

    int add(const QString &siteip, const QString &ignore = {}, const QString &disabled = {})
    {
        LocationRecord rec;
        rec.site = QStringLiteral("L%1").arg(cfg.table.LocationCount() + 1);
        rec.siteip = siteip;
        rec.ignore = ignore;
        rec.sitedisabled = disabled;
        cfg.table.records << rec;
        return cfg.table.LocationCount();
    }
    LocationRecord &at(int k) { return cfg.table[k]; }

    // Runs the event loop until pred holds; false when it does not within 5 s.
    template <class Pred> bool until(Pred pred)
    {
        QDeadlineTimer deadline(5000);
        while (!pred()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents();
        }
        return true;
    }
    bool finishRun()
    {
        return until([this] { return !cycle->running(); });
    }
    bool cycleOnce()
    {
        cycle->StartMonitor();
        return finishRun();
    }
    // With prober.manual: runs until n echoes wait for an answer.
    bool waitingEchoes(int n)
    {
        return until([this, n] { return prober.pending.size() >= n; });
    }
    void tick(qint64 times)
    {
        for (qint64 i = 0; i < times; ++i)
            cycle->IntervalClockTick();
    }
};

} // namespace qos::test
