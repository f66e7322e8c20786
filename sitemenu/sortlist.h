#pragma once
// The sorted name table behind the SELECT SITE menus, and the fill and sort of such a menu.
//
// Invariants:
//  - A SortList has SortListSize entries (0..9999). Entry 0 is never written: it holds 20 NUL
//    characters and compares below every written name, so it stays first whatever the locale.
//  - A written Name is exactly SortNameLength characters: the caption cut or padded with spaces.
//  - Names compare like QString::localeAwareCompare on case-folded text, trailing spaces included;
//    the collation key of each name is computed once, when the entry is written.
//  - QuickSort is one fixed partition scheme (last entry as pivot, downward scan bounded by 0, not by
//    lo); names that compare equal end up in the order that scheme gives. Sort() gives the same result
//    faster: without equal names the order is unique, so any sort reproduces it.
#include <QCollator>
#include <QCollatorSortKey>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QObject;

namespace qos {

struct LocationTable;

inline constexpr int SortListSize = 10000;
inline constexpr int SortNameLength = 20;

struct SortEntry {
    QString Name;
    qint16 Index = 0;
};

// Cut or pad a caption to the 20 characters of a SortList name.
QString SortName(const QString &caption);

class SortList {
public:
    SortList();

    int size() const { return int(m_slots.size()); }
    const SortEntry &operator[](int k) const { return m_slots[size_t(k)].entry; }
    // Writes entry k: Name = SortName(caption), Index = index.
    void set(int k, const QString &caption, qint16 index);

    // <0, 0, >0 as entry a's Name sorts before, with, or after entry b's.
    int compare(int a, int b) const;

    // The fixed partition scheme on entries lo..hi.
    void QuickSort(qint16 lo, qint16 hi);
    // Same result as QuickSort(lo, hi), in O(n log n) also for input that is already sorted.
    void Sort(qint16 lo, qint16 hi);

private:
    struct Slot {
        SortEntry entry;
        std::optional<QCollatorSortKey> key; // empty: never written
    };
    int compareSlots(const Slot &a, const Slot &b) const;

    QCollator m_collator;
    std::vector<Slot> m_slots;
};

// Items of a "List View" menu: ListSite(0) "SELECT SITE", then ListSite(1..n), one per location.
// Each item carries its index (property ListSiteIndexProperty, objectName "ListSite<k>") and its full
// caption (property ListSiteCaptionProperty, the padded 20-character name once sorted). The menu text
// shows the caption without its padding.
inline constexpr char ListSiteIndexProperty[] = "ListSiteIndex";
inline constexpr char ListSiteCaptionProperty[] = "ListSiteCaption";

QAction *AddListSiteItem(QMenu *menu, int k, const QString &caption);
int ListSiteIndex(const QAction *item); // -1 for an action that is not a ListSite item
QString ListSiteCaption(const QAction *item);
void SetListSiteCaption(QAction *item, const QString &caption);
// ListSite(1..n) of the menu, ordered by index.
QList<QAction *> LocationItems(const QMenu *menu);

// MakeList: fills a menu that holds no location items yet with ListSite(k) for k = 1..n (captions[k-1]
// is the caption of marker k) and sorts it. A menu already holding location items is left alone.
void MakeList(QMenu *menu, const QStringList &markerCaptions, SortList &sortList);
// The fill, sort and write-back steps of MakeList, also run after one item has been appended.
void SortLocationItems(QMenu *menu, SortList &sortList);

// An action with its objectName, owned by owner.
QAction *NamedAction(QObject *owner, const char *name, const QString &text);

// Adds the "List View" menu (objectName listview) to bar and installs it as below.
QMenu *AddSiteMenu(QMenuBar *bar, const LocationTable &table, QObject *context,
                   std::function<void(int k)> chosen);

// The "Settings" menu (objectName Default) both windows carry: its five entries, then after a
// separator the later settings, the checkable "Marker Shapes" and the checkable session autostart.
struct SettingsMenu {
    QMenu *menu;
    QAction *alertSound, *onlineSound, *timeout, *interval, *packets;
    QAction *offlineCycles, *slowRoundTrip, *slowLoss, *notifications, *markerShapes, *startWithSession;
};
SettingsMenu AddSettingsMenu(QMenuBar *bar, QObject *owner);

// Gives the menu its heading ListSite(0) "SELECT SITE" and calls chosen(k) for an item whose caption
// names location k of table (the lowest such index, both trimmed). The heading and items that name
// no location do nothing. context ends the connection.
void InstallSiteMenu(QMenu *menu, const LocationTable &table, QObject *context,
                     std::function<void(int k)> chosen);

} // namespace qos
