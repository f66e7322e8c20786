#include "mapview/mapview.h"

#include "platform/contrast.h"
#include "platform/mnemonics.h"
#include "store/parents.h"

#include "mapview/mapplacementview.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <algorithm>
#include <utility>

namespace qos {
namespace {

// The client area and the picture's place in it, in twips.
constexpr double ClientWidth = 9585;
constexpr double ClientHeight = 8145;
constexpr double MapWidth = 9600; // a 640 x 480 picture at 15 twips per pixel
constexpr double MapHeight = 7200;
// Marker and indicator boxes; the indicator sits this far left of its marker.
constexpr double MarkerWidth = 735;
constexpr double MarkerHeight = 255;
constexpr double IndicatorWidth = 255;
constexpr double IndicatorHeight = 135;
constexpr double IndicatorOffset = 200;
constexpr double LegendGlyphSide = 165; // the legend's rows stand 170 twips apart
// The legend, with a margin for the panel drawn behind it.
// The first six entries from 5930; the three of the later keys above them.
const QRectF LegendPanel(7590, 5390, ClientWidth - 7590 - 45, 7185 - 5390);

QFont sansFont(qreal pointSize, bool bold)
{
    QFont f;
    f.setFamilies(
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    return f;
}

QFont serifFont(qreal pointSize, bool bold)
{
    QFont f;
    f.setFamilies({QStringLiteral("Liberation Serif"), QStringLiteral("Times New Roman"),
                   QStringLiteral("DejaVu Serif")});
    f.setStyleHint(QFont::Serif);
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    return f;
}

QPixmap loadPicture(const QString &path)
{
    QPixmap picture;
    return picture.load(path) ? picture : QPixmap();
}

} // namespace

MapView::MapView(QString programFolder, Configuration &cfg, RunState &run, Tray &tray, MessageBoxes &messages,
                 PleaseWait *pleaseWait, QWidget *parent)
    : QMainWindow(parent)
    , m_folder(std::move(programFolder))
    , m_cfg(cfg)
    , m_run(run)
    , m_tray(tray)
    , m_messages(messages)
    , m_scale(TwipsScale::forWidget(this))
    , m_sortList(std::make_unique<SortList>())
{
    setObjectName(QStringLiteral("MapView"));
    setWindowTitle(QStringLiteral("QOR Online Status - Map View"));
    setFont(sansFont(8, false));
    m_markerFont = sansFont(8.25, true);
    m_markers << nullptr;
    m_indicators << nullptr;
    m_indicatorPaint.setSingleShot(true);
    m_indicatorPaint.setInterval(kIndicatorPaintMs);
    connect(&m_indicatorPaint, &QTimer::timeout, this, &MapView::paintIndicators);

    m_canvas = new MapCanvas(this);
    m_canvas->setObjectName(QStringLiteral("MapCanvas"));
    m_canvas->setAccessibleName(QStringLiteral("Map"));
    m_canvas->setFixedSize(m_scale.toPixelsX(ClientWidth), m_scale.toPixelsY(ClientHeight));
    m_canvas->setMapRect(m_scale.toPixels(QRectF(0, 0, MapWidth, MapHeight)));
    m_canvas->setLegendRect(m_scale.toPixels(LegendPanel));
    setCentralWidget(m_canvas);
    connect(m_canvas, &MapCanvas::pressed, this, [this](Qt::MouseButton button, QPoint pixels) {
        Q_EMIT backgroundPressed(button, m_scale.toTwips(pixels));
    });

    buildControls();
    buildMenus();
    AssignMnemonics(menuBar(), {m_c.startMonitor, m_c.stopMonitor, m_c.finishedButton, m_c.exitButton},
                    {m_c.settings.menu});
    // Elements keep their places: the window does not resize.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    m_placement = std::make_unique<MapPlacementView>(*this, m_folder, m_cfg, m_run, m_messages, pleaseWait);
}

MapView::~MapView() = default;

FitLabel *MapView::label(const char *name, const QString &text, const QRectF &twips)
{
    auto *l = new FitLabel(text, m_canvas);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(m_scale.toPixels(twips));
    return l;
}

CircleShape *MapView::shape(const char *name, Indicator colour, const QRectF &twips)
{
    auto *s = new CircleShape(colour, m_canvas);
    s->setObjectName(QLatin1String(name));
    s->setGeometry(m_scale.toPixels(twips));
    m_legendBoxes.append({s, twips});
    return s;
}

QPushButton *MapView::button(const char *name, const QString &text, const QRectF &twips)
{
    auto *b = new QPushButton(text, m_canvas);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(m_scale.toPixels(twips));
    b->setAutoDefault(false);
    return b;
}

void MapView::buildControls()
{
    m_c.titleLabel = label("Label4", QStringLiteral("QOR ONLINE STATUS"), {2760, 0, 3735, 495});
    m_c.titleLabel->setFont(serifFont(18, true));
    m_c.titleLabel->setAlignment(Qt::AlignCenter);
    m_c.titleLabel->setMinimumPointSize(10);
    setTitle(m_c.titleLabel->text(), Qt::white); // on a dark backdrop, readable on any map

    m_c.intervalCaption = label("Label1", QStringLiteral("Interval(mins):"), {240, 7320, 1335, 375});
    m_c.intervalCaption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_c.intervalValue = label("displayinterval", QString(), {1560, 7320, 615, 255});
    m_c.timeoutCaption = label("Label5", QStringLiteral("Ping Timeout:"), {240, 7620, 1215, 255});
    m_c.timeoutValue = label("displaytimeout", QString(), {1560, 7640, 615, 255});
    m_c.packetsCaption = label("Label12", QStringLiteral("Ping Packets:"), {240, 7920, 1215, 255});
    m_c.packetsValue = label("packetlabel", QString(), {1560, 7920, 615, 255});

    m_c.statusCaption = label("Label2", QStringLiteral("Status:"), {2880, 7440, 615, 255});
    // Wider than its first 2535 twips, up to the monitor buttons: it tells the next cycle too.
    m_c.statusLabel = label("Label3", QStringLiteral("IDLE"), {3720, 7440, 3060, 255});
    m_c.statusLabel->setMinimumPointSize(5.5);
    m_c.statusLabel->setAutoFillBackground(true);
    QPalette statusPalette = m_c.statusLabel->palette();
    statusPalette.setColor(QPalette::Window, QColor(224, 224, 224));
    statusPalette.setColor(QPalette::WindowText, Qt::black);
    m_c.statusLabel->setPalette(statusPalette);
    m_c.statusLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_c.statusLabel->setMargin(1);

    // Legend: circles at their table positions, captions from twips 8040 to the window's edge.
    m_c.legendDisabledShape = shape("Shape2", Indicator::Black, {7680, 6000, 375, 135});
    m_c.legendWaitingShape = shape("Shape1", Indicator::White, {7680, 6200, 375, 135});
    m_c.legendOfflinePartialShape = shape("Shape6", Indicator::DarkRed, {7800, 6320, 135, 255});
    m_c.legendOfflineShape = shape("Shape5", Indicator::Red, {7800, 6500, 135, 255});
    m_c.legendOnlinePartialShape = shape("Shape4", Indicator::Cyan, {7800, 6700, 135, 255});
    m_c.legendOnlineShape = shape("Shape3", Indicator::Green, {7800, 6960, 135, 135});
    const double captionWidth = ClientWidth - 8040 - 60;
    m_c.legendDisabled = label("Label7", QStringLiteral("disabled"), {8040, 6000, captionWidth, 195});
    m_c.legendWaiting = label("Label6", QStringLiteral("waiting"), {8040, 6160, captionWidth, 195});
    m_c.legendOfflinePartial =
        label("Label11", QStringLiteral("offline(partial ignore)"), {8040, 6360, captionWidth, 195});
    m_c.legendOffline = label("Label10", QStringLiteral("offline"), {8040, 6570, captionWidth, 195});
    m_c.legendOnlinePartial =
        label("Label9", QStringLiteral("online(partial ignore)"), {8040, 6750, captionWidth, 195});
    m_c.legendOnline = label("Label8", QStringLiteral("online"), {8040, 6945, captionWidth, 195});
    m_c.legendSlowShape = shape("ShapeSlow", Indicator::Slow, {7800, 5460, 135, 135});
    m_c.legendPartlyDownShape = shape("ShapePartlyDown", Indicator::PartlyDown, {7800, 5630, 135, 135});
    m_c.legendUnreachableShape = shape("ShapeUnreachable", Indicator::Unreachable, {7800, 5800, 135, 135});
    m_c.legendSlow = label("LabelSlow", QStringLiteral("slow"), {8040, 5430, captionWidth, 195});
    m_c.legendPartlyDown =
        label("LabelPartlyDown", QStringLiteral("partly down"), {8040, 5600, captionWidth, 195});
    m_c.legendUnreachable =
        label("LabelUnreachable", QStringLiteral("unreachable"), {8040, 5770, captionWidth, 195});
    // A screen reader reads each symbol by its caption, not as a nameless graphic.
    const std::pair<CircleShape *, FitLabel *> legendRows[] = {
        {m_c.legendDisabledShape, m_c.legendDisabled},
        {m_c.legendWaitingShape, m_c.legendWaiting},
        {m_c.legendOfflinePartialShape, m_c.legendOfflinePartial},
        {m_c.legendOfflineShape, m_c.legendOffline},
        {m_c.legendOnlinePartialShape, m_c.legendOnlinePartial},
        {m_c.legendOnlineShape, m_c.legendOnline},
        {m_c.legendSlowShape, m_c.legendSlow},
        {m_c.legendPartlyDownShape, m_c.legendPartlyDown},
        {m_c.legendUnreachableShape, m_c.legendUnreachable}};
    for (const auto &[symbol, caption] : legendRows)
        symbol->setAccessibleName(caption->text() + QStringLiteral(" symbol"));
    // All captions in the size that fits the longest one.
    m_c.legendOfflinePartial->setMinimumPointSize(5.5);
    const QFont legendFont = m_c.legendOfflinePartial->fittedFont();
    for (FitLabel *caption :
         {m_c.legendWaiting, m_c.legendDisabled, m_c.legendOnline, m_c.legendOnlinePartial, m_c.legendOffline,
          m_c.legendOfflinePartial, m_c.legendSlow, m_c.legendPartlyDown, m_c.legendUnreachable}) {
        caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        caption->setFont(legendFont);
    }

    m_c.finishedButton = button("Command2", QStringLiteral("Finished"), {3960, 7440, 1215, 375});
    m_c.finishedButton->hide();
    m_c.finishedButton->setEnabled(false);
    m_c.startMonitor = button("Command3", QStringLiteral("Start Monitor"), {6840, 7440, 1335, 375});
    m_c.stopMonitor = button("Command4", QStringLiteral("Stop Monitor"), {6840, 7440, 1335, 375});
    m_c.stopMonitor->hide();
    m_c.stopMonitor->setEnabled(false);
    m_c.exitButton = button("Command1", QStringLiteral("EXIT"), {8640, 7440, 855, 375});
    connect(m_c.exitButton, &QPushButton::clicked, this, &MapView::Exit);
}

void MapView::buildMenus()
{
    auto action = [this](const char *name, const QString &text) { return NamedAction(this, name, text); };
    m_c.siteMenu = AddSiteMenu(menuBar(), m_cfg.table, this, [this](int k) { Q_EMIT locationChosen(k); });

    m_c.settings = AddSettingsMenu(menuBar(), this);

    m_c.addLocations = action("AddLocations", QStringLiteral("Add Location(s)"));
    menuBar()->addAction(m_c.addLocations);
    m_c.runInBackground = action("bground", QStringLiteral("Run in Background"));
    menuBar()->addAction(m_c.runInBackground);
    connect(m_c.runInBackground, &QAction::triggered, this, &MapView::RunInBackground);
}

void MapView::addMarkers(bool fillMenu)
{
    // The loader gives each record its first colour: black when loaded disabled, else white.
    for (int k = 1; k <= m_cfg.table.LocationCount(); ++k)
        addMarker(k);
    showParentLines();
    orderMarkersForKeyboard();
    if (!fillMenu)
        return;
    QStringList captions;
    for (int k = 1; k < m_markers.size(); ++k)
        captions << (m_markers[k] ? m_markers[k]->text() : m_cfg.table[k].site);
    MakeList(m_c.siteMenu, captions, *m_sortList);
}

void MapView::showDisplaySettings()
{
    m_c.timeoutValue->setText(QString::number(m_cfg.settings.PINGTIMEOUT));
    m_c.intervalValue->setText(QString::number(m_cfg.settings.PINGINTERVAL));
    m_c.packetsValue->setText(QString::number(m_cfg.settings.PINGPACKETS));
}

void MapView::setMonitoring(bool on)
{
    m_monitoring = on;
    updateMonitorButtons();
}

void MapView::updateMonitorButtons()
{
    // Shown before the other is hidden, so the place of the two buttons is never empty.
    QPushButton *shown = m_monitoring ? m_c.stopMonitor : m_c.startMonitor;
    QPushButton *hidden = m_monitoring ? m_c.startMonitor : m_c.stopMonitor;
    shown->setEnabled(true);
    hidden->setEnabled(false);
    if (m_run.PlacementMode == 1) {
        shown->hide();
        hidden->hide();
        return;
    }
    shown->show();
    hidden->hide();
}

bool MapView::reloadMap()
{
    const QPixmap picture = loadPicture(QDir(m_folder).filePath(QLatin1String(MapFileName)));
    m_canvas->setPicture(picture);
    return !picture.isNull();
}

void MapView::setTitle(const QString &text, const QColor &colour)
{
    m_c.titleLabel->setText(text);
    m_titleColour = colour;
    const bool readable = shapesShown();
    // Opaque behind readable colours: their contrast is then the same on every map.
    const QColor backdrop(20, 38, 66, readable ? 255 : 200);
    m_c.titleLabel->setBackdrop(backdrop);
    QPalette pal = m_c.titleLabel->palette();
    pal.setColor(QPalette::WindowText, readable ? ReadableColour(colour, backdrop) : colour);
    m_c.titleLabel->setPalette(pal);
    m_c.titleLabel->update();
}

bool MapView::shapesShown() const
{
    return m_cfg.settings.SHAPES != 0;
}

// With glyphs on the indicator is a circle as tall as its marker, just left of it, so the glyph
// can be read; without, the small circle overlapping the marker's left edge.
QRect MapView::indicatorBox(int k) const
{
    const LocationRecord &rec = m_cfg.table[k];
    if (shapesShown())
        return m_scale.toPixels(QRectF(rec.left - MarkerHeight - 15, rec.top, MarkerHeight, MarkerHeight));
    return m_scale.toPixels(QRectF(rec.left - IndicatorOffset, rec.top, IndicatorWidth, IndicatorHeight));
}

void MapView::showLook()
{
    const bool glyphs = shapesShown();
    setTitle(m_c.titleLabel->text(), m_titleColour);
    // Markers are made in the look of the moment: only a change of it moves the ones there are.
    if (std::exchange(m_glyphsShown, glyphs) == glyphs)
        return;
    for (int k = 1; k < m_indicators.size(); ++k) {
        if (CircleShape *center = m_indicators[k]) {
            center->setGeometry(indicatorBox(k));
            center->setGlyphShown(glyphs);
        }
    }
    // Legend circles with glyphs: one size for all, centred where each circle stands.
    for (const auto &[shape, twips] : std::as_const(m_legendBoxes)) {
        QRectF box = twips;
        if (glyphs)
            box = QRectF(0, 0, LegendGlyphSide, LegendGlyphSide)
                      .translated(twips.center() - QPointF(LegendGlyphSide, LegendGlyphSide) / 2);
        shape->setGeometry(m_scale.toPixels(box));
        shape->setGlyphShown(glyphs);
    }
}

MarkerLabel *MapView::marker(int k) const
{
    return k > 0 && k < m_markers.size() ? m_markers[k] : nullptr;
}

CircleShape *MapView::indicator(int k) const
{
    return k > 0 && k < m_indicators.size() ? m_indicators[k] : nullptr;
}

int MapView::highestMarkerIndex() const
{
    return int(m_markers.size()) - 1;
}

void MapView::addMarker(int k)
{
    if (k <= 0 || k > m_cfg.table.LocationCount())
        return;
    removeMarker(k);
    if (m_markers.size() <= k) {
        m_markers.resize(k + 1, nullptr);
        m_indicators.resize(k + 1, nullptr);
    }
    const LocationRecord &rec = m_cfg.table[k];
    auto *site = new MarkerLabel(k, rec.site, m_canvas);
    site->setObjectName(QStringLiteral("site") + QString::number(k));
    site->setFont(m_markerFont);
    site->setMinimumPointSize(6.5);
    site->setAlignment(Qt::AlignCenter);
    site->setGeometry(m_scale.toPixels(QRectF(rec.left, rec.top, MarkerWidth, MarkerHeight)));
    connect(site, &MarkerLabel::clicked, this, &MapView::markerClicked);
    auto *center = new CircleShape(rec.center, m_canvas);
    center->setObjectName(QStringLiteral("center") + QString::number(k));
    center->setGeometry(indicatorBox(k));
    center->setGlyphShown(shapesShown());
    if (m_canvas->isVisible()) { // at start-up they appear with the window
        site->show();
        center->show();
    }
    m_markers[k] = site;
    m_indicators[k] = center;
}

// Tab takes the markers in reading order: top to bottom, left to right where they stand level.
void MapView::orderMarkersForKeyboard()
{
    std::vector<QWidget *> sites;
    for (MarkerLabel *site : m_markers)
        if (site)
            sites.push_back(site);
    std::stable_sort(sites.begin(), sites.end(), [](const QWidget *a, const QWidget *b) {
        return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
    });
    for (size_t i = 1; i < sites.size(); ++i)
        QWidget::setTabOrder(sites[i - 1], sites[i]);
}

void MapView::contextMenuEvent(QContextMenuEvent *event)
{
    if (event->reason() != QContextMenuEvent::Keyboard)
        return QMainWindow::contextMenuEvent(event);
    const QWidget *focus = focusWidget();
    Q_EMIT commandMenuRequested(focus ? focus->mapToGlobal(focus->rect().center()) : event->globalPos());
    event->accept();
}

void MapView::removeMarker(int k)
{
    if (k <= 0 || k >= m_markers.size())
        return;
    delete m_markers[k];
    delete m_indicators[k];
    m_markers[k] = nullptr;
    m_indicators[k] = nullptr;
    while (m_markers.size() > 1 && !m_markers.last()) {
        m_markers.removeLast();
        m_indicators.removeLast();
    }
}

void MapView::showParentLines()
{
    QList<QPointF> centres(m_markers.size());
    for (int k = 1; k < m_markers.size(); ++k)
        if (m_markers[k])
            centres[k] = QRectF(m_markers[k]->geometry()).center();
    m_canvas->setParentLines(ParentLines(ResolveParents(m_cfg.table).parent, centres));
}

void MapView::removeMarkers()
{
    m_canvas->setParentLines({});
    for (int k = m_markers.size() - 1; k >= 1; --k)
        removeMarker(k);
    qDeleteAll(LocationItems(m_c.siteMenu));
}

void MapView::refreshIndicator(int k)
{
    CircleShape *center = indicator(k);
    if (!center || k > m_cfg.table.LocationCount() || !center->setStateUnpainted(m_cfg.table[k].center))
        return;
    m_unpainted << k;
    if (!m_indicatorPaint.isActive())
        m_indicatorPaint.start();
}

void MapView::paintIndicators()
{
    const qsizetype count = qMin<qsizetype>(m_unpainted.size(), kIndicatorsPerPaint);
    for (qsizetype i = 0; i < count; ++i) {
        if (CircleShape *center = indicator(m_unpainted.at(i)))
            center->update();
    }
    m_unpainted.remove(0, count);
    if (!m_unpainted.isEmpty())
        m_indicatorPaint.start();
}

void MapView::setMarkerDescription(int k, const QString &text)
{
    if (MarkerLabel *site = marker(k)) {
        site->setToolTip(text);
        site->setAccessibleDescription(text);
    }
}

void MapView::setStatusText(const QString &text)
{
    m_c.statusLabel->setText(text);
}

QString MapView::statusText() const
{
    return m_c.statusLabel->text();
}

void MapView::addMenuItem(int k)
{
    const MarkerLabel *site = marker(k);
    AddListSiteItem(m_c.siteMenu, k, site ? site->text() : m_cfg.table[k].site);
    SortLocationItems(m_c.siteMenu, *m_sortList);
}

int MapView::FindLocationByCaption(const QString &caption) const
{
    return FindLocationByName(m_cfg.table, caption);
}

void MapView::RunInBackground()
{
    if (m_tray.available()) {
        hide();
        return;
    }
    // Without a notification area a hidden window could never be brought back.
    showMinimized();
    if (!m_toldNoTray) {
        m_toldNoTray = true;
        m_messages.show(QStringLiteral("This desktop has no notification area, so the Map View cannot be "
                                       "hidden behind a tray icon. It has been minimised instead; "
                                       "monitoring goes on."),
                        MessageBoxes::Icon::Information);
    }
}

void MapView::restore()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
    show();
    // Once mapped, the window manager accepts the request to come to the front.
    raise();
    activateWindow();
}

void MapView::Exit()
{
    close();
    Q_EMIT exitRequested();
}

void MapView::closeEvent(QCloseEvent *event)
{
    event->accept();
    Q_EMIT closed();
}

} // namespace qos
