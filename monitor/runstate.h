#pragma once
// Run-time state shared by the windows and the monitor cycle. One instance lives in the application
// object and is passed to whoever needs it. Flags are 0 or 1.
#include <QStringList>
#include <QtGlobal>

namespace qos {

struct RunState {
    qint16 MonitorPaused = 0;  // a List View is open: a running cycle stops at its next location
    int ResumeIndex = 0;       // where a paused cycle continues; 0 = none
    qint32 SecondsCounter = 0; // interval clock ticks
    qint16 AnyOfflineThisCycle = 0;
    qint16 LastCycleHadOffline = 0;
    qint16 AttentionShown = 0; // the attention picture is up
    qint16 FirstCycle = 1;     // 1 until a cycle has completed since start-up or Stop
    qint16 PlacementMode = 0;  // 1 while locations are being placed on the map
    qint32 PlacementX = 0;
    qint32 PlacementY = 0;
    int SelectedLocation = 0;
    QStringList SelectedIgnoreList;

    // The start-up reset of the Map View.
    void resetForStartup()
    {
        SecondsCounter = 0;
        LastCycleHadOffline = 0;
        MonitorPaused = 0;
        ResumeIndex = 0;
        FirstCycle = 1;
        AttentionShown = 0;
        PlacementMode = 0;
    }
};

} // namespace qos
