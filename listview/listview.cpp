#include "listview/listview.h"

#include "platform/contrast.h"
#include "platform/mnemonics.h"

#include "listview/listedits.h"
#include "listview/listpings.h"
#include "listview/rows.h"
#include "store/text.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <tuple>

namespace qos {
namespace {

constexpr double ClientWidth = 10605;
constexpr double ClientHeight = 6420;

// Left, top, width, height of List1 .. List6.
const std::array<QRectF, 6> ListRects{QRectF(4680, 600, 2895, 2370),  QRectF(7320, 600, 1695, 2370),
                                      QRectF(8640, 600, 1455, 2370),  QRectF(4680, 3000, 2895, 2175),
                                      QRectF(7320, 3000, 1695, 2175), QRectF(8640, 3000, 1455, 2175)};

// Address columns and labels are as wide as their window's layout gives until an address needs more
// (long IPv6 literals): the space is then inserted at these x positions, inside List1/List4 and
// inside the location frame's address label.
constexpr double ListsSpaceX = 6800; // left of "Ignored:", so that it keeps beside its count
constexpr double FrameSpaceX = 4300;
constexpr double FrameLabelSpaceX = 3100;
constexpr double ListOverlap = 255; // List2 covers the right edge of List1

// Makes dx more room at x in parent: children right of x move, children across x grow, the parent
// grows. A negative dx gives room back.
void insertSpace(QWidget *parent, int x, int dx)
{
    if (dx == 0)
        return;
    for (QWidget *w : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const QRect g = w->geometry();
        if (g.left() >= x)
            w->move(g.x() + dx, g.y());
        else if (g.left() + g.width() > x)
            w->resize(g.width() + dx, g.height());
    }
    if (parent->minimumWidth() == parent->maximumWidth())
        parent->setFixedWidth(parent->width() + dx);
    else
        parent->resize(parent->width() + dx, parent->height());
}

// A label whose text is wider than its place keeps its left edge and takes the room it needs, up to
// right (in its parent's coordinates); it never becomes narrower than least.
void fitText(QLabel *l, int least, int right)
{
    const int needs = l->fontMetrics().horizontalAdvance(l->text()) + 2 * l->margin() + 2;
    l->resize(qMax(least, qMin(needs, right - l->x())), l->height());
}

const QColor Green(0, 255, 0);
const QColor Red(255, 0, 0);

ListView::Group groupOf(int list)
{
    return list <= 3 ? ListView::First : ListView::Second;
}

// The address, status and role lists of a group.
std::array<int, 3> columnsOf(ListView::Group g)
{
    return g == ListView::First ? std::array<int, 3>{1, 2, 3} : std::array<int, 3>{4, 5, 6};
}

} // namespace

ListView::ListView(const Services &services, QWidget *parent)
    : QMainWindow(parent)
    , m_cfg(services.cfg)
    , m_run(services.run)
    , m_states(services.states)
    , m_scale(TwipsScale::forWidget(this))
{
    setObjectName(QStringLiteral("ListView"));
    QFont font = this->font();
    font.setPointSizeF(8);
    setFont(font);
    setWindowTitle(QStringLiteral("QOR Online Status - List View"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("ListViewClient"));
    client->setFixedSize(m_scale.toPixelsX(ClientWidth), m_scale.toPixelsY(ClientHeight));
    setCentralWidget(client);
    buildControls();
    buildMenus();
    // The commands in the order their letters are handed out; the second Ignore IP pair stands in
    // the first one's place, so it takes the same letters.
    AssignMnemonics(menuBar(),
                    {m_c.pingAll, m_c.pingIp, m_c.stopPing, m_c.mapView, m_c.removeIp, m_c.addIps,
                     m_c.saveNote, m_c.enabledYes, m_c.enabledNo, m_c.ignoreYes, m_c.ignoreNo},
                    {m_c.settings.menu});
    AssignCaptionMnemonics(this);
    m_c.ignoreYes2->setText(m_c.ignoreYes->text());
    m_c.ignoreNo2->setText(m_c.ignoreNo->text());
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    m_pings = std::make_unique<ListPings>(*this, services);
    m_edits = std::make_unique<ListEdits>(*this, *m_pings, services);
}

ListView::~ListView() = default;

QLabel *ListView::label(QWidget *parent, const char *name, const QString &text, const QRectF &twips)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(m_scale.toPixels(twips));
    fitText(l, l->width(), parent->width()); // a heading of the layout, such as "Monitored", shows whole
    return l;
}

QPushButton *ListView::button(QWidget *parent, const char *name, const QString &text, const QRectF &twips)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(m_scale.toPixels(twips));
    b->setAutoDefault(false);
    return b;
}

QRadioButton *ListView::option(QWidget *parent, const char *name, const QString &text, const QRectF &twips)
{
    auto *o = new QRadioButton(text, parent);
    o->setObjectName(QLatin1String(name));
    o->setGeometry(m_scale.toPixels(twips));
    return o;
}

void ListView::buildControls()
{
    QWidget *w = centralWidget();
    m_c.addressHeading = label(w, "Label1", QStringLiteral("Address"), {4680, 360, 1215, 255});
    m_c.resultHeading = label(w, "Label3", QStringLiteral("Result"), {7320, 360, 855, 255});
    m_c.monitoredHeading = label(w, "Label6", QStringLiteral("Monitored"), {8640, 360, 735, 255});
    buildLists();
    m_c.totalCaption = label(w, "Label2", QStringLiteral("Total Addresses:"), {4680, 5280, 1455, 255});
    m_c.totalCount = label(w, "total", QString(), {6120, 5280, 495, 255});
    m_c.ignoredCaption = label(w, "label4", QStringLiteral("Ignored:"), {6840, 5280, 735, 255});
    m_c.ignoredCount = label(w, "ilabel", QString(), {7560, 5280, 495, 255});
    m_c.monitoredCaption = label(w, "Label7", QStringLiteral("Monitored:"), {8280, 5280, 975, 255});
    m_c.monitoredCount = label(w, "mlabel", QString(), {9240, 5280, 495, 255});
    m_c.pingAll = button(w, "Command1", QStringLiteral("Ping All"), {960, 3720, 1095, 375});
    m_c.pingIp = button(w, "Run_Ping", QStringLiteral("Ping IP"), {2280, 3720, 1095, 375});
    m_c.pingIp->setEnabled(false);
    m_c.noteCaption = label(w, "Label11", QStringLiteral("Additional IP Info:"), {2280, 5880, 1575, 255});
    m_c.noteBox = new QLineEdit(w);
    m_c.noteBox->setObjectName(QStringLiteral("addinfo"));
    m_c.noteBox->setGeometry(m_scale.toPixels(QRectF(3960, 5880, 3855, 285)));
    m_c.saveNote = button(w, "Command2", QStringLiteral("Save"), {8040, 5820, 735, 375});
    for (QWidget *hidden : std::initializer_list<QWidget *>{m_c.noteCaption, m_c.noteBox, m_c.saveNote})
        hidden->hide();
    buildFrame();
    nameForReaders();
    // "Ping All" and "Ping IP" lie over the frame's lower part; they stay on top of it.
    m_c.pingAll->raise();
    m_c.pingIp->raise();
}

void ListView::buildLists()
{
    for (Group g : {First, Second})
        m_rows[g] = new AddressRows(this);
    for (int n = 1; n <= 6; ++n) {
        auto *l = new QListView(centralWidget());
        l->setObjectName(QStringLiteral("List%1").arg(n));
        l->setGeometry(m_scale.toPixels(ListRects[size_t(n - 1)]));
        l->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
        l->setSelectionMode(QAbstractItemView::SingleSelection);
        l->setEditTriggers(QAbstractItemView::NoEditTriggers);
        l->setModel(m_rows[groupOf(n)]);
        l->setModelColumn((n - 1) % 3);
        m_c.lists[size_t(n - 1)] = l;
        // Selection, not the current row: focus alone moves the current row without selecting it.
        connect(l->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this, n] { rowClicked(n, selectedRow(n)); });
        connect(l, &QListView::clicked, this, [this, n](const QModelIndex &index) { rowClicked(n, index.row()); });
        connect(l, &QListView::pressed, this, [this, n] {
            setGroupFlags(groupOf(n));
            syncTopRow(n);
        });
        connect(l->verticalScrollBar(), &QScrollBar::valueChanged, this, [this, n] {
            setGroupFlags(groupOf(n));
            syncTopRow(n);
        });
    }
}

void ListView::buildFrame()
{
    m_c.locationFrame = new QGroupBox(centralWidget());
    m_c.locationFrame->setObjectName(QStringLiteral("Frame1"));
    m_c.locationFrame->setGeometry(m_scale.toPixels(QRectF(600, 480, 3495, 4935)));
    QWidget *f = m_c.locationFrame;
    m_c.enabledFrame = new QGroupBox(QStringLiteral("LOCATION ENABLED"), f);
    m_c.enabledFrame->setObjectName(QStringLiteral("Frame2"));
    m_c.enabledFrame->setGeometry(m_scale.toPixels(QRectF(480, 360, 2535, 735)));
    m_c.enabledYes = option(m_c.enabledFrame, "Option1", QStringLiteral("yes"), {360, 240, 735, 270});
    m_c.enabledNo = option(m_c.enabledFrame, "Option2", QStringLiteral("no"), {1200, 240, 615, 255});
    m_c.addressCaption = label(f, "Label8", QStringLiteral("Hostname/IP:"), {120, 1200, 1215, 255});
    m_c.addressLabel = label(f, "Address", QString(), {1440, 1200, 1695, 255});
    m_c.statusCaption = label(f, "Label10", QStringLiteral("Status:"), {360, 1560, 975, 255});
    m_c.resultLabel = label(f, "Result", QString(), {1440, 1560, 1335, 255});
    m_c.ignoreCaption = label(f, "ignorelabel", QStringLiteral("Ignore IP:"), {480, 1920, 855, 255});
    m_c.ignoreCaption2 = label(f, "ignorelabel2", QStringLiteral("Ignore IP:"), {480, 1920, 855, 255});
    // Each pair is exclusive on its own, not with the other pair nor the location's pair.
    auto *pair1 = new QWidget(f);
    auto *pair2 = new QWidget(f);
    for (QWidget *pair : {pair1, pair2})
        pair->setGeometry(m_scale.toPixels(QRectF(1440, 1920, 1215, 255)));
    m_c.ignoreYes = option(pair1, "ignoreyes", QStringLiteral("yes"), {0, 0, 615, 255});
    m_c.ignoreNo = option(pair1, "ignoreno", QStringLiteral("no"), {600, 0, 615, 255});
    m_c.ignoreYes2 = option(pair2, "ignoreyes2", QStringLiteral("yes"), {0, 0, 615, 255});
    m_c.ignoreNo2 = option(pair2, "ignoreno2", QStringLiteral("no"), {600, 0, 615, 255});
    const std::array<std::tuple<QRadioButton *, Group, bool>, 4> pairs{{{m_c.ignoreYes, First, true},
                                                                        {m_c.ignoreNo, First, false},
                                                                        {m_c.ignoreYes2, Second, true},
                                                                        {m_c.ignoreNo2, Second, false}}};
    for (const auto &[button, g, i] : pairs) {
        connect(button, &QRadioButton::toggled, this, [this, group = g, ignore = i](bool on) {
            if (on)
                ignoreOptionToggled(group, ignore);
        });
    }
    m_c.removeIp = button(f, "removeip", QStringLiteral("Remove IP"), {1080, 2280, 975, 375});
    m_c.addIps = button(f, "addip", QStringLiteral("Add IP(s)"), {1080, 2760, 975, 375});
    m_c.stopPing = button(f, "Command4", QStringLiteral("Stop Ping"), {360, 3240, 1095, 375});
    m_c.mapView = button(f, "Command3", QStringLiteral("Map View"), {960, 3720, 1215, 375});
    m_c.resolvedLabel = label(f, "IPAddress", QString(), {120, 3960, 1455, 255});
    m_c.timeoutCaption = label(f, "Label5", QStringLiteral("Ping Timeout:"), {600, 4200, 1215, 255});
    m_c.timeoutValue = label(f, "displaytimeout", QString(), {1800, 4200, 615, 255});
    m_c.packetsCaption = label(f, "Label9", QStringLiteral("Ping Packets:"), {600, 4440, 1260, 255});
    m_c.packetsValue = label(f, "packetlabel", QString(), {1800, 4440, 375, 255});
    for (QWidget *hidden : std::initializer_list<QWidget *>{m_c.removeIp, m_c.stopPing, m_c.resolvedLabel})
        hidden->hide();
    m_c.stopPing->setEnabled(false);
    hideSelectionPanel();
    connect(m_c.mapView, &QPushButton::clicked, this, [this] {
        m_run.MonitorPaused = 0;
        close(); // the close handling shows the Map View
    });
}

// A value shown beside its caption is read as one: "Total Addresses: 4", "Status: ONLINE". A change
// of the name is announced.
void ListView::nameByCaption(const QLabel *caption, QLabel *value)
{
    QString name = caption->text().trimmed();
    if (!name.endsWith(QLatin1Char(':')))
        name += QLatin1Char(':');
    value->setAccessibleName(name + QLatin1Char(' ') + value->text());
}

// What a screen reader says of the controls whose meaning is in a caption beside them.
void ListView::nameForReaders()
{
    const std::array<const char *, 3> columns{"Address", "Result", "Monitored"};
    for (int n = 1; n <= 6; ++n)
        m_c.lists[size_t(n - 1)]->setAccessibleName(
            QLatin1String(columns[size_t((n - 1) % 3)]) +
            QLatin1String(n <= 3 ? ", addresses answering or not probed" : ", addresses ignored or failing"));
    m_c.noteCaption->setBuddy(m_c.noteBox);
    for (QRadioButton *r : {m_c.ignoreYes, m_c.ignoreYes2})
        r->setAccessibleName(QStringLiteral("Ignore IP: yes"));
    for (QRadioButton *r : {m_c.ignoreNo, m_c.ignoreNo2})
        r->setAccessibleName(QStringLiteral("Ignore IP: no"));
}

void ListView::buildMenus()
{
    m_c.siteMenu = AddSiteMenu(menuBar(), m_cfg.table, this, [this](int k) { chooseLocation(k); });
    m_c.settings = AddSettingsMenu(menuBar(), this);
    m_c.removeLocation = NamedAction(this, "RemoveLocation", QStringLiteral("Remove Location"));
    menuBar()->addAction(m_c.removeLocation);
}

void ListView::LoadListView()
{
    AddressDialogOpen = 0;
    m_pings->reset();
    if (LocationItems(m_c.siteMenu).isEmpty()) {
        QStringList captions;
        for (int k = 1; k <= m_cfg.table.LocationCount(); ++k)
            captions << m_cfg.table[k].site;
        MakeList(m_c.siteMenu, captions, m_sortList);
    }
    showDisplaySettings();
    const LocationRecord &rec = m_cfg.table[location()];
    m_pings->setAddresses(SplitAddressList(rec.siteip));
    hideSelectionPanel();
    m_c.locationFrame->setTitle(QStringLiteral("location: ") + rec.site);
    (rec.sitedisabled != QLatin1String("1") ? m_c.enabledYes : m_c.enabledNo)->setChecked(true);
    setResult(QStringLiteral("Parsing List"));
    m_c.resultLabel->repaint(); // painted now: the fill runs without returning to the event loop
    FillLists();
    Q_EMIT locationLoaded();
}

void ListView::showDisplaySettings()
{
    m_c.packetsValue->setText(QString::number(m_cfg.settings.PINGPACKETS));
    m_c.timeoutValue->setText(QString::number(m_cfg.settings.PINGTIMEOUT));
}

void ListView::FillLists()
{
    clearLists();
    showPingAll(false);
    const int k = location();
    const FilledGroups groups = FillGroups(m_pings->addresses(), m_run.SelectedIgnoreList,
                                           [this, k](const QString &address) {
                                               return KnownAddress{m_states.health(k, address),
                                                                   m_states.latestStatus(k, address)};
                                           });
    for (const AddressRow &r : groups.first)
        m_rows[First]->append(r);
    for (const AddressRow &r : groups.second)
        m_rows[Second]->append(r);
    showCounts();
    fitAddressColumns();
    setAddress(QString());
    setIPAddress(QString());
    setResult(QStringLiteral("Ready"));
    showPingAll(true);
}

void ListView::fitAddressColumns()
{
    const QFontMetrics lists = m_c.lists[0]->fontMetrics();
    const QFontMetrics label = m_c.addressLabel->fontMetrics();
    int widest = 0, labelWidest = 0;
    for (const QString &entry : m_pings->addresses()) {
        const QString address = TrimSpaces(entry);
        widest = qMax(widest, lists.horizontalAdvance(address));
        labelWidest = qMax(labelWidest, label.horizontalAdvance(address));
    }
    // The frame on both sides, the item's text margins, and a pixel or two of rounding.
    const int margins =
        2 * m_c.lists[0]->frameWidth() + 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1) + 2;
    const int listExtra = qMax(0, widest + margins - m_scale.toPixelsX(ListRects[0].width() - ListOverlap));
    const int frameExtra = qMax(0, labelWidest + 2 - m_scale.toPixelsX(1695));
    QWidget *client = centralWidget();
    // Growing, the lists make way before the frame widens; narrowing, the frame goes first, so that it
    // never reaches across the space inserted beside it.
    const int frameDelta = frameExtra - m_frameExtra;
    if (frameDelta > 0)
        insertSpace(client, m_scale.toPixelsX(FrameSpaceX), frameDelta);
    insertSpace(m_c.locationFrame, m_scale.toPixelsX(FrameLabelSpaceX), frameDelta);
    if (frameDelta < 0)
        insertSpace(client, m_scale.toPixelsX(FrameSpaceX), frameDelta);
    m_frameExtra = frameExtra;
    insertSpace(client, m_scale.toPixelsX(ListsSpaceX) + m_frameExtra, listExtra - m_listExtra);
    m_listExtra = listExtra;
}

void ListView::showCounts()
{
    const AddressCounts counts = CountAddresses(m_pings->addresses(), m_run.SelectedIgnoreList);
    const std::array<std::pair<QLabel *, int>, 3> shown{
        {{m_c.monitoredCount, counts.monitored},
         {m_c.ignoredCount, counts.ignored},
         {m_c.totalCount, counts.monitored + counts.ignored}}};
    for (const auto &[label, count] : shown)
        label->setText(QString::number(count));
    nameByCaption(m_c.monitoredCaption, m_c.monitoredCount);
    nameByCaption(m_c.ignoredCaption, m_c.ignoredCount);
    nameByCaption(m_c.totalCaption, m_c.totalCount);
}

void ListView::chooseLocation(int k)
{
    if (m_pings->pingAllRunning())
        return;
    m_run.MonitorPaused = 1;
    m_run.SelectedLocation = k;
    m_run.SelectedIgnoreList = SplitAddressList(m_cfg.table[k].ignore);
    LoadListView();
}

// ---- Rows ----

void ListView::clearLists()
{
    for (AddressRows *rows : m_rows)
        rows->clear();
    m_selectedEntry.clear();
}

bool ListView::anyIgnoredRow() const
{
    return m_rows[Second]->anyRole(QLatin1String(RoleIgnored));
}

// ---- Selection and scrolling ----

void ListView::setGroupFlags(Group g)
{
    FirstGroupSelected = g == First ? 1 : 0;
    SecondGroupSelected = g == Second ? 1 : 0;
}

int ListView::selectedRow(int n) const
{
    const QModelIndexList rows = list(n)->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ListView::selectRow(int n, int r)
{
    QListView *l = list(n);
    if (r < l->model()->rowCount() && selectedRow(n) != r)
        l->setCurrentIndex(l->model()->index(r, l->modelColumn())); // runs that list's handler
}

void ListView::rowClicked(int n, int r)
{
    const Group g = groupOf(n);
    const AddressRows &rows = *m_rows[g];
    if (r < 0 || r >= rows.size())
        return;
    const auto cols = columnsOf(g);
    setGroupFlags(g);
    // The clicked list's partners, in the order the role list's option pair ends up set.
    if (n == cols[0]) {
        selectRow(cols[2], r);
        selectRow(cols[1], r);
    } else {
        selectRow(cols[0], r);
        selectRow(n == cols[1] ? cols[2] : cols[1], r);
    }
    const QString roleWord = rows.at(r).role;
    if (n == cols[2]) {
        for (int other : columnsOf(g == First ? Second : First))
            list(other)->clearSelection();
        setOptionPair(g, roleWord);
    }
    if (g == First && n == 2)
        return; // the address and status come through List1's handler
    if (g == First && n == 3) {
        setResult(QLatin1String(RoleMonitored), Green);
        return;
    }
    m_selectedEntry = rows.at(r).entry;
    setAddress(rows.at(r).address);
    setResult(roleWord, g == First ? Green : Red);
}

void ListView::setOptionPair(Group g, const QString &role)
{
    QRadioButton *yes = g == First ? m_c.ignoreYes : m_c.ignoreYes2;
    QRadioButton *no = g == First ? m_c.ignoreNo : m_c.ignoreNo2;
    IgnoreClickGuard[g] = 1;
    yes->setAutoExclusive(false);
    no->setAutoExclusive(false);
    yes->setChecked(false);
    no->setChecked(false);
    yes->setAutoExclusive(true);
    no->setAutoExclusive(true);
    (role == QLatin1String(RoleMonitored) ? no : yes)->setChecked(true); // the guard takes this one
}

void ListView::ignoreOptionToggled(Group g, bool ignore)
{
    if (IgnoreClickGuard[g] == 1) {
        IgnoreClickGuard[g] = 0;
        return;
    }
    Q_EMIT ignoreOptionChosen(g, ignore);
}

void ListView::syncTopRow(int n)
{
    const int top = list(n)->verticalScrollBar()->value();
    for (int other : columnsOf(groupOf(n)))
        if (other != n)
            list(other)->verticalScrollBar()->setValue(top);
}

// ---- Panel ----

QString ListView::address() const
{
    return m_c.addressLabel->text();
}

void ListView::setAddress(const QString &text)
{
    const bool changed = text != m_c.addressLabel->text();
    m_c.addressLabel->setText(text);
    nameByCaption(m_c.addressCaption, m_c.addressLabel);
    if (changed) {
        addressChanged();
        Q_EMIT addressShown(text);
    }
}

void ListView::addressChanged()
{
    const std::initializer_list<QWidget *> notes{m_c.noteCaption, m_c.noteBox, m_c.saveNote};
    if (TrimSpaces(address()).isEmpty()) {
        hideSelectionPanel();
        for (QWidget *w : notes)
            w->hide();
        m_c.pingIp->setEnabled(false);
        return;
    }
    m_c.pingIp->setEnabled(m_pings->pingSelectedAllowed());
    if (m_pings->pingAllRunning() || (FirstGroupSelected != 1 && SecondGroupSelected != 1))
        return; // the panel keeps its state
    const bool first = FirstGroupSelected == 1;
    showIgnorePair(First, first);
    showIgnorePair(Second, !first);
    m_c.removeIp->show();
    for (QWidget *w : notes)
        w->show();
    m_edits->loadNote();
}

void ListView::setResult(const QString &text, const QColor &colour)
{
    const bool blank = TrimSpaces(text).isEmpty();
    m_c.resultLabel->setText(blank ? QStringLiteral("Ready") : text);
    fitText(m_c.resultLabel, m_scale.toPixelsX(1335), m_c.locationFrame->width()); // the longest status words
    nameByCaption(m_c.statusCaption, m_c.resultLabel);
    m_resultColour = blank ? QColor(Qt::black) : colour;
    showLook();
}

// With shapes on, a colour that does not stand out from the window (bright green on grey) gives way
// to a readable one of the same hue.
void ListView::showLook()
{
    QPalette pal = m_c.resultLabel->palette();
    const QColor background = pal.color(m_c.resultLabel->backgroundRole());
    pal.setColor(QPalette::WindowText,
                 m_cfg.settings.SHAPES != 0 ? ReadableColour(m_resultColour, background) : m_resultColour);
    m_c.resultLabel->setPalette(pal);
}

QString ListView::result() const
{
    return m_c.resultLabel->text();
}

void ListView::setIPAddress(const QString &text)
{
    m_c.resolvedLabel->setText(text);
    // A resolved IPv6 address may reach on to the frame's right edge; nothing lies beside the label.
    fitText(m_c.resolvedLabel, m_scale.toPixelsX(1455), m_c.locationFrame->width());
}

void ListView::showPingAll(bool shown)
{
    QPushButton *on = shown ? m_c.pingAll : m_c.stopPing;
    QPushButton *off = shown ? m_c.stopPing : m_c.pingAll;
    off->setEnabled(false);
    off->hide();
    on->setEnabled(true);
    on->show();
}

void ListView::hideSelectionPanel()
{
    showIgnorePair(First, false);
    showIgnorePair(Second, false);
    m_c.removeIp->hide();
}

void ListView::showIgnorePair(Group g, bool shown)
{
    QRadioButton *yes = g == First ? m_c.ignoreYes : m_c.ignoreYes2;
    QRadioButton *no = g == First ? m_c.ignoreNo : m_c.ignoreNo2;
    // The two pairs share one place: the hidden one's holder must not take the other's clicks.
    for (QWidget *w : std::initializer_list<QWidget *>{g == First ? m_c.ignoreCaption : m_c.ignoreCaption2,
                                                       yes, no, yes->parentWidget()})
        w->setVisible(shown);
}

void ListView::closeEvent(QCloseEvent *event)
{
    event->accept();
    m_pings->reset(); // answers still on their way are dropped
    if (!m_closed) {
        m_closed = true;
        Q_EMIT closing(AddressDialogOpen == 0);
    }
}

} // namespace qos
