#pragma once
// The List View: one location's addresses in two groups of three lists (address, status word, role
// word) over one rows model per group, the location's panel, the counters and the on-demand pings.
//
// Invariants:
//  - The three lists of a group are views of the group's AddressRows: row r of each describes one
//    address, and they cannot disagree.
//  - A selection or a scroll in one list of a group is mirrored in the other two; selecting a row in
//    one group deselects the other group.
//  - The window owns no service. It is created for one opening and destroyed when it closes; closing
//    reports closing(towardsMap) once, and pings still in flight end with it.
#include "listview/addressrows.h"
#include "monitor/locationstates.h"
#include "monitor/monitorcycle.h"
#include "monitor/runstate.h"
#include "platform/messagebox.h"
#include "platform/twips.h"
#include "probe/prober.h"
#include "probe/startupnotice.h"
#include "sitemenu/sortlist.h"
#include "store/locationeditor.h"
#include "store/model.h"

#include <QColor>
#include <QMainWindow>
#include <array>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QRadioButton;

namespace qos {

struct AddressRow;
class ListEdits;
class ListPings;

class ListView : public QMainWindow {
    Q_OBJECT
public:
    struct Services {
        Configuration &cfg;
        RunState &run;
        MessageBoxes &messages;
        Prober &prober;
        StartupNotice &notice;
        LocationStates &states;
        const MonitorCycle &monitor; // whether monitoring has been started
        LocationEditor &editor;
    };
    enum Group { First, Second };

    struct Controls {
        QLabel *addressHeading, *resultHeading, *monitoredHeading, *totalCaption, *totalCount,
            *ignoredCaption, *ignoredCount, *monitoredCaption, *monitoredCount;
        std::array<QListView *, 6> lists; // List1 .. List6
        QPushButton *pingAll;             // "Ping All"
        QPushButton *pingIp;              // "Ping IP"
        QLabel *noteCaption;              // "Additional IP Info:"
        QLineEdit *noteBox;
        QPushButton *saveNote; // "Save"
        QGroupBox *locationFrame, *enabledFrame;
        QRadioButton *enabledYes, *enabledNo;
        QLabel *addressCaption, *addressLabel, *statusCaption, *resultLabel;
        QLabel *ignoreCaption, *ignoreCaption2;
        QRadioButton *ignoreYes, *ignoreNo, *ignoreYes2, *ignoreNo2;
        QPushButton *removeIp, *addIps;
        QPushButton *stopPing; // "Stop Ping"
        QPushButton *mapView;  // "Map View"
        QLabel *resolvedLabel;
        QLabel *timeoutCaption, *timeoutValue, *packetsCaption, *packetsValue;
        QMenu *siteMenu;       // "List View" with the SELECT SITE items
        SettingsMenu settings; // "Settings"
        QAction *removeLocation;
    };

    explicit ListView(const Services &services, QWidget *parent = nullptr);
    ~ListView() override;

    const Controls &controls() const { return m_c; }
    QListView *list(int n) const { return m_c.lists[size_t(n - 1)]; } // List1 .. List6
    AddressRows &rows(Group g) { return *m_rows[g]; }
    const AddressRows &rows(Group g) const { return *m_rows[g]; }
    ListPings &pings() { return *m_pings; }
    ListEdits &edits() { return *m_edits; }
    int location() const { return m_run.SelectedLocation; }

    // Shows the location SelectedLocation names and fills the lists.
    void LoadListView();
    // The probe settings shown in the panel, from the configuration.
    void showDisplaySettings();
    void FillLists();

    void clearLists();
    // True when some row of the second group is "IGNORED".
    bool anyIgnoredRow() const;
    // The counters from the location's lists as they are now.
    void showCounts();
    // The element, as stored, of the row last selected; empty when none is.
    QString selectedEntry() const { return m_selectedEntry; }

    // The panel captions.
    QString address() const;
    void setAddress(const QString &text);
    void setResult(const QString &text, const QColor &colour = Qt::black);
    // Readable text colours when SHAPES= asks for them.
    void showLook();
    QString result() const;
    void setIPAddress(const QString &text);
    // "Ping All" shown and enabled with "Stop Ping" hidden and disabled, or the other way round.
    void showPingAll(bool shown);
    // Hides both ignore option pairs and "Remove IP".
    void hideSelectionPanel();
    // Sets group g's option pair to the row's role word ("no" for "MONITORED", else "yes") without
    // the click counting as the operator's.
    void setOptionPair(Group g, const QString &role);

    // Window fields.
    qint16 FirstGroupSelected = 0;
    qint16 SecondGroupSelected = 0;
    std::array<qint16, 2> IgnoreClickGuard{0, 0};
    qint16 AddressDialogOpen = 0;

Q_SIGNALS:
    // The window is closing; towardsMap: the Map View should come back and monitoring resume.
    void closing(bool towardsMap);
    // The operator chose "yes" (ignore) or "no" (monitor) of group g's option pair.
    void ignoreOptionChosen(qos::ListView::Group g, bool ignore);
    // "Add IP(s)": the Add/Delete Address dialog should open for location k (the window then closes).
    void addressDialogRequested(int k);
    // The location named site has gone from graph.txt; the table must be read again.
    void locationRemoved(const QString &site);
    // `Address` shows another address (empty: none).
    void addressShown(const QString &address);
    // LoadListView has shown a location.
    void locationLoaded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void buildLists();
    void buildFrame();
    void buildMenus();
    void nameForReaders();
    static void nameByCaption(const QLabel *caption, QLabel *value);
    QLabel *label(QWidget *parent, const char *name, const QString &text, const QRectF &twips);
    QPushButton *button(QWidget *parent, const char *name, const QString &text, const QRectF &twips);
    QRadioButton *option(QWidget *parent, const char *name, const QString &text, const QRectF &twips);
    void rowClicked(int list, int r);
    void selectRow(int list, int r);
    int selectedRow(int list) const;
    void setGroupFlags(Group g);
    void syncTopRow(int list);
    void showIgnorePair(Group g, bool shown);
    void addressChanged();
    void fitAddressColumns();
    void chooseLocation(int k);
    void ignoreOptionToggled(Group g, bool ignore);

    Configuration &m_cfg;
    QColor m_resultColour = Qt::black; // as asked, before any readable variant
    RunState &m_run;
    LocationStates &m_states;
    TwipsScale m_scale;
    Controls m_c{};
    std::array<AddressRows *, 2> m_rows{}; // children
    QString m_selectedEntry;
    SortList m_sortList;
    std::unique_ptr<ListPings> m_pings;
    std::unique_ptr<ListEdits> m_edits;
    bool m_closed = false;
    int m_frameExtra = 0; // pixels added for the widest address, in the location frame and in the lists
    int m_listExtra = 0;
};

} // namespace qos
