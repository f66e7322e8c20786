#pragma once
// The program's windows started on recording doubles: a scripted prober (or this machine's echo
// engine), message boxes, tray, sound and please-wait window, in a program folder of its own with
// the bundled pictures. Tests that use it link qos_app.
#include "app/program.h"
#include "listview/listview.h"
#include "mapview/mapview.h"
#include "platform/echoengine.h"
#include "probe/echoprober.h"
#include "tests/support/fakeprober.h"
#include "tests/support/fakes.h"
#include "tests/support/graphtext.h"

#include <QAction>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace qos::test {

inline const QColor Green(0, 255, 0);
inline const QColor Cyan(0, 255, 255);
inline const QColor Red(255, 0, 0);
inline const QColor DarkRed(192, 0, 0);

// A List View list's rows, as a person reads and picks them.
inline QModelIndex RowIndex(const QListView *l, int r)
{
    return l->model()->index(r, l->modelColumn());
}
inline int RowCount(const QListView *l)
{
    return l->model()->rowCount();
}
inline QString RowText(const QListView *l, int r)
{
    return RowIndex(l, r).data().toString();
}
inline QString RowTip(const QListView *l, int r)
{
    return RowIndex(l, r).data(Qt::ToolTipRole).toString();
}
// The first row reading text; -1 when none does.
inline int FindRow(const QListView *l, const QString &text)
{
    for (int r = 0; r < RowCount(l); ++r)
        if (RowText(l, r) == text)
            return r;
    return -1;
}
inline void SelectRow(QListView *l, int r)
{
    l->setCurrentIndex(RowIndex(l, r));
}
inline int SelectedRow(const QListView *l)
{
    const QModelIndexList rows = l->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

struct ProgramRig {
    enum class Engine { Scripted, Real };

    QTemporaryDir dir;
    FakeTray tray;
    FakeSound sound;
    FakeMessageBoxes boxes;
    FakePleaseWait pleaseWait;
    FakeNotifier notifier; // the desktop notifications, unless the rig was given a notifier
    StartupNotice notice{boxes};
    FakeProber fake;
    QTemporaryDir config; // the user's configuration folder: the session autostart entry
    Autostart autostart{config.filePath(QStringLiteral("autostart")),
                        {QStringLiteral("/usr/bin/qor-online-status"), {}}};
    std::unique_ptr<EchoProber> echo; // the real engine, when asked for
    std::unique_ptr<Program> program; // goes before the prober: its cycle and pings call it
    RunState &run;
    Configuration &cfg;
    MapView *view;
    int quits = 0;

    // The program over a folder of its own (or over programFolder), created but not started.
    explicit ProgramRig(Engine engine = Engine::Scripted, bool withAssets = true,
                        const QString &programFolder = {}, Notifier *desktopNotifier = nullptr)
        : ProgramRig(engine == Engine::Real ? makeEchoEngine() : nullptr, withAssets, programFolder,
                     desktopNotifier)
    {}
    // The same with the real prober over the given echo engine (the scripted prober when null).
    explicit ProgramRig(std::unique_ptr<EchoEngine> engine, bool withAssets = true,
                        const QString &programFolder = {}, Notifier *desktopNotifier = nullptr)
        : echo(engine ? std::make_unique<EchoProber>(std::move(engine), boxes, notice) : nullptr)
        , program(std::make_unique<Program>(programFolder.isEmpty() ? dir.path() : programFolder,
                                            DesktopServices{tray, sound, boxes, &pleaseWait, prober(), notice,
                                                            desktopNotifier ? desktopNotifier : &notifier,
                                                            &autostart}))
        , run(program->run())
        , cfg(program->config())
        , view(&program->mapView())
    {
        if (withAssets)
            CopyAssets(QStringLiteral(QOS_ASSETS_DIR), folder());
        QObject::connect(program.get(), &Program::quitRequested, program.get(), [this] { ++quits; });
    }
    ~ProgramRig() { program.reset(); }
    Prober &prober() { return echo ? static_cast<Prober &>(*echo) : fake; }
    QString folder() const { return program->programFolder(); }

    // The start-up sequence; the Map View it shows.
    MapView &start(Program::Start how = Program::Start::Window)
    {
        program->startUp(how);
        return *view;
    }

    // The start-up sequence over a graph.txt holding these locations.
    MapView &startWith(const QList<GraphLocation> &locations)
    {
        WriteGraph(folder(), locations);
        return start();
    }

    const MapView::Controls &c() const { return view->controls(); }
    // Opens location k with a click on its marker.
    ListView &open(int k)
    {
        QTest::mouseClick(view->marker(k), Qt::LeftButton);
        return *list();
    }
    // The texts of the List View's list n (1..6).
    QStringList column(int n) const
    {
        QStringList rows;
        for (int r = 0; r < RowCount(list()->list(n)); ++r)
            rows << RowText(list()->list(n), r);
        return rows;
    }
    QByteArray graph() const { return ReadFile(QDir(folder()).filePath(QStringLiteral("graph.txt"))); }
    QByteArray notes() const { return ReadFile(QDir(folder()).filePath(QStringLiteral("info.txt"))); }
    MonitorCycle &monitor() const { return program->monitor(); }
    ListView *list() const { return program->listView(); }
    QColor colour(int k) const { return view->indicator(k)->fillColour(); }

    // Exactly one of "Start Monitor" and "Stop Monitor" is shown, and it is the enabled one.
    bool showsOnly(const QPushButton *button) const
    {
        const QPushButton *other = button == c().startMonitor ? c().stopMonitor : c().startMonitor;
        return button->isVisible() && button->isEnabled() && other->isHidden() && !other->isEnabled();
    }
    // The captions of the Map View's SELECT SITE items, in menu order.
    QStringList menuCaptions() const
    {
        QStringList captions;
        for (const QAction *item : LocationItems(c().siteMenu))
            captions << ListSiteCaption(item);
        return captions;
    }
    // Waits (running the event loop) until the running cycle has ended.
    bool cycleEnds(int timeoutMs = 5000)
    {
        return QTest::qWaitFor([this] { return !monitor().running(); }, timeoutMs);
    }
};

} // namespace qos::test
