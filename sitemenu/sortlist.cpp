#include "sitemenu/sortlist.h"

#include "store/model.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>
#include <numeric>

namespace qos {

QString SortName(const QString &caption)
{
    return caption.left(SortNameLength).leftJustified(SortNameLength, QLatin1Char(' '));
}

SortList::SortList()
    : m_slots(size_t(SortListSize))
{
    const QString unwritten(SortNameLength, QChar(0));
    for (Slot &slot : m_slots)
        slot.entry.Name = unwritten;
}

void SortList::set(int k, const QString &caption, qint16 index)
{
    Slot &slot = m_slots[size_t(k)];
    slot.entry.Name = SortName(caption);
    slot.entry.Index = index;
    slot.key = m_collator.sortKey(slot.entry.Name.toCaseFolded());
}

int SortList::compareSlots(const Slot &a, const Slot &b) const
{
    if (!a.key || !b.key)
        return int(bool(a.key)) - int(bool(b.key));
    return a.key->compare(*b.key);
}

int SortList::compare(int a, int b) const
{
    return compareSlots(m_slots[size_t(a)], m_slots[size_t(b)]);
}

void SortList::QuickSort(qint16 lo, qint16 hi)
{
    if (lo >= hi)
        return;
    auto &s = m_slots;
    const Slot pivot = s[size_t(hi)];
    int i = lo - 1;
    int j = hi;
    do {
        do
            ++i;
        while (compareSlots(s[size_t(i)], pivot) < 0);
        while (j != 0) {
            --j;
            if (compareSlots(s[size_t(j)], pivot) <= 0)
                break;
        }
        std::swap(s[size_t(i)], s[size_t(j)]);
    } while (j > i);
    // Undo the last swap partly and put the pivot in its place (i may equal hi: copies, not moves).
    const Slot before = s[size_t(j)]; // the entry that stood at i before the last swap
    s[size_t(j)] = s[size_t(i)];
    s[size_t(i)] = s[size_t(hi)];
    s[size_t(hi)] = before;
    QuickSort(lo, qint16(i - 1));
    QuickSort(qint16(i + 1), hi);
}

void SortList::Sort(qint16 lo, qint16 hi)
{
    if (lo >= hi)
        return;
    std::vector<int> order(size_t(hi - lo + 1));
    std::iota(order.begin(), order.end(), int(lo));
    std::sort(order.begin(), order.end(), [this](int a, int b) { return compare(a, b) < 0; });
    const bool ties = std::adjacent_find(order.begin(), order.end(),
                                         [this](int a, int b) { return compare(a, b) == 0; }) != order.end();
    if (ties) {
        QuickSort(lo, hi); // equal names: only the scheme itself knows their order
        return;
    }
    std::vector<Slot> sorted;
    sorted.reserve(order.size());
    for (int k : order)
        sorted.push_back(std::move(m_slots[size_t(k)]));
    std::move(sorted.begin(), sorted.end(), m_slots.begin() + lo);
}

// The shown text is set by the caller: at once for a single item, after sorting for a whole menu.
static QAction *newListSiteItem(QMenu *menu, int k, const QString &caption)
{
    auto *item = new QAction(menu);
    item->setObjectName(QStringLiteral("ListSite") + QString::number(k));
    item->setProperty(ListSiteIndexProperty, k);
    item->setProperty(ListSiteCaptionProperty, caption);
    return item;
}

QAction *AddListSiteItem(QMenu *menu, int k, const QString &caption)
{
    QAction *item = newListSiteItem(menu, k, caption);
    SetListSiteCaption(item, caption);
    menu->addAction(item);
    return item;
}

int ListSiteIndex(const QAction *item)
{
    const QVariant index = item ? item->property(ListSiteIndexProperty) : QVariant();
    return index.isValid() ? index.toInt() : -1;
}

QString ListSiteCaption(const QAction *item)
{
    return item->property(ListSiteCaptionProperty).toString();
}

void SetListSiteCaption(QAction *item, const QString &caption)
{
    item->setProperty(ListSiteCaptionProperty, caption);
    // "&" would make a mnemonic and a tab would start a shortcut text.
    QString shown = caption.trimmed();
    shown.replace(QLatin1Char('&'), QLatin1String("&&")).replace(QLatin1Char('\t'), QLatin1Char(' '));
    item->setText(shown);
}

QList<QAction *> LocationItems(const QMenu *menu)
{
    QList<QAction *> items;
    for (QAction *action : menu->actions()) {
        if (ListSiteIndex(action) > 0)
            items << action;
    }
    // Items are normally added in index order already.
    const auto byIndex = [](const QAction *a, const QAction *b) {
        return ListSiteIndex(a) < ListSiteIndex(b);
    };
    if (!std::is_sorted(items.begin(), items.end(), byIndex))
        std::stable_sort(items.begin(), items.end(), byIndex);
    return items;
}

void MakeList(QMenu *menu, const QStringList &markerCaptions, SortList &sortList)
{
    if (!LocationItems(menu).isEmpty())
        return;
    QList<QAction *> items;
    items.reserve(markerCaptions.size());
    for (int k = 1; k <= markerCaptions.size(); ++k)
        items << newListSiteItem(menu, k, markerCaptions[k - 1]);
    menu->addActions(items);
    SortLocationItems(menu, sortList);
}

void SortLocationItems(QMenu *menu, SortList &sortList)
{
    const QList<QAction *> items = LocationItems(menu);
    const int highest = items.isEmpty() ? 0 : ListSiteIndex(items.last());
    if (highest >= sortList.size())
        return; // more items than the table holds; the add-location dialog refuses the 10000th
    for (QAction *item : items) {
        const int k = ListSiteIndex(item);
        sortList.set(k, ListSiteCaption(item), qint16(k));
    }
    sortList.Sort(0, qint16(highest));
    for (QAction *item : items)
        SetListSiteCaption(item, sortList[ListSiteIndex(item)].Name);
}

QAction *NamedAction(QObject *owner, const char *name, const QString &text)
{
    auto *a = new QAction(text, owner);
    a->setObjectName(QLatin1String(name));
    return a;
}

QMenu *AddSiteMenu(QMenuBar *bar, const LocationTable &table, QObject *context,
                   std::function<void(int k)> chosen)
{
    QMenu *menu = bar->addMenu(QStringLiteral("List View"));
    menu->setObjectName(QStringLiteral("listview"));
    InstallSiteMenu(menu, table, context, std::move(chosen));
    return menu;
}

SettingsMenu AddSettingsMenu(QMenuBar *bar, QObject *owner)
{
    auto action = [owner](const char *name, const QString &text) { return NamedAction(owner, name, text); };
    SettingsMenu m;
    m.menu = bar->addMenu(QStringLiteral("Settings"));
    m.menu->setObjectName(QStringLiteral("Default"));
    m.alertSound = action("AlertWav", QStringLiteral("Alert Wav"));
    m.onlineSound = action("onlinewav", QStringLiteral("Online Wav"));
    m.timeout = action("ChangeTimeout", QStringLiteral("Ping Timeout"));
    m.interval = action("ChangePing", QStringLiteral("Ping Interval"));
    m.packets = action("PingPackets", QStringLiteral("Ping Packets"));
    m.menu->addActions({m.alertSound, m.onlineSound, m.timeout, m.interval, m.packets});
    m.offlineCycles = action("OfflineCycles", QStringLiteral("Offline Cycles"));
    m.slowRoundTrip = action("SlowRoundTrip", QStringLiteral("Slow Round Trip"));
    m.slowLoss = action("SlowLoss", QStringLiteral("Slow Loss"));
    m.notifications = action("Notifications", QStringLiteral("Notifications"));
    m.markerShapes = action("MarkerShapes", QStringLiteral("Marker Shapes"));
    m.markerShapes->setCheckable(true);
    m.menu->addSeparator();
    m.startWithSession = action("StartWithSession", QStringLiteral("Start with the Session"));
    m.startWithSession->setCheckable(true);
    m.menu->addActions(
        {m.offlineCycles, m.slowRoundTrip, m.slowLoss, m.notifications, m.markerShapes, m.startWithSession});
    return m;
}

void InstallSiteMenu(QMenu *menu, const LocationTable &table, QObject *context,
                     std::function<void(int k)> chosen)
{
    AddListSiteItem(menu, 0, QStringLiteral("SELECT SITE"));
    QObject::connect(menu, &QMenu::triggered, context, [&table, chosen = std::move(chosen)](QAction *item) {
        if (ListSiteIndex(item) <= 0)
            return;
        if (const int k = FindLocationByName(table, ListSiteCaption(item)))
            chosen(k);
    });
}

} // namespace qos
