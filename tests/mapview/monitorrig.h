#pragma once
// A Map View that hosts its monitor cycle, in a program folder of its own with the bundled pictures,
// probing through the scripted prober or through this machine's echo engine.
#include "mapview/mapview.h"
#include "monitor/monitorcycle.h"
#include "platform/echoengine.h"
#include "probe/echoprober.h"
#include "probe/startupnotice.h"
#include "tests/mapview/mapviewrig.h"
#include "tests/monitor/fakeprober.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

namespace qos::test {

struct MonitoredMapView : MapViewRig {
    QTemporaryDir dir;
    FakeTray tray;
    StartupNotice notice{boxes};
    FakeProber fake;
    std::unique_ptr<EchoProber> echo; // the real engine, when asked for
    std::unique_ptr<MapView> view;    // first to go: its cycle calls the prober until it ends

    MonitoredMapView() { CopyAssets(QStringLiteral(QOS_ASSETS_DIR), dir.path()); }
    QString folder() const { return dir.path(); }

    enum class Engine { Scripted, Real };
    MapView &start(Engine engine = Engine::Scripted)
    {
        MapViewEnvironment env = environment(dir.path(), tray);
        if (engine == Engine::Real)
            echo = std::make_unique<EchoProber>(makeEchoEngine(), boxes, notice);
        env.prober = echo ? static_cast<Prober *>(echo.get()) : &fake;
        env.notice = &notice;
        view = std::make_unique<MapView>(env);
        view->startUp();
        return *view;
    }

    const MapView::Controls &c() const { return view->controls(); }
    MonitorCycle &monitor() const { return *view->monitor(); }
    QColor colour(int k) const { return view->indicator(k)->fillColour(); }

    // Exactly one of "Start Monitor" and "Stop Monitor" is shown, and it is the enabled one.
    bool showsOnly(const QPushButton *button) const
    {
        const QPushButton *other = button == c().Command3 ? c().Command4 : c().Command3;
        return button->isVisible() && button->isEnabled() && other->isHidden() && !other->isEnabled();
    }

    // Runs the event loop until pred holds; false when it does not within timeoutMs.
    template <class Pred> static bool until(Pred pred, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!pred()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
    bool cycleEnds(int timeoutMs = 5000)
    {
        return until([this] { return !monitor().running(); }, timeoutMs);
    }
};

inline const QColor Green(0, 255, 0);
inline const QColor Cyan(0, 255, 255);
inline const QColor Red(255, 0, 0);

} // namespace qos::test
