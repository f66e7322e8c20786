#include "listview/listhistory.h"

#include "platform/twips.h"
#include "sitemenu/sortlist.h"
#include "store/text.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>

namespace qos {
namespace {

// Below `Frame1` (which ends at 5415), left of the notes row (from 2280 at 5880, shown on selection).
const QRectF LatencyRect(600, 5520, 3495, 255);

} // namespace

ListHistory::ListHistory(ListView &view, const History &history, const Configuration &cfg)
    : QObject(&view)
    , m_view(view)
    , m_history(history)
    , m_cfg(cfg)
{
    m_latency = new QLabel(view.centralWidget());
    m_latency->setObjectName(QStringLiteral("latency"));
    m_latency->setGeometry(TwipsScale::forWidget(&view).toPixels(LatencyRect));
    m_historyAction = NamedAction(&view, "History", QStringLiteral("History"));
    view.menuBar()->addAction(m_historyAction);
    connect(m_historyAction, &QAction::triggered, this,
            [this] { Q_EMIT historyRequested(m_view.location()); });

    for (ListView::Group g : {ListView::First, ListView::Second})
        connect(&view.rows(g), &QAbstractItemModel::rowsInserted, this,
                [this, g](const QModelIndex &, int first, int last) { rowsAdded(g, first, last); });
    connect(&view, &ListView::addressShown, this, &ListHistory::showLatency);
    connect(&history, &History::sampleAdded, this, &ListHistory::sampleAdded);
    showLatency();
}

QString ListHistory::site() const
{
    const int k = m_view.location();
    return k >= 1 && k <= m_cfg.table.LocationCount() ? m_cfg.table[k].site : QString();
}

QString ListHistory::tooltipFor(const QString &address) const
{
    return LatencyTooltip(m_history.summary(site(), TrimSpaces(address)));
}

void ListHistory::rowsAdded(ListView::Group g, int first, int last)
{
    AddressRows &rows = m_view.rows(g);
    for (int r = first; r <= last && r < rows.size(); ++r)
        rows.setTip(r, tooltipFor(rows.at(r).address));
}

void ListHistory::sampleAdded(const QString &site, const QString &address)
{
    if (site != this->site())
        return;
    for (ListView::Group g : {ListView::First, ListView::Second}) {
        const AddressRows &rows = m_view.rows(g);
        for (int r = 0; r < rows.size(); ++r)
            if (TrimSpaces(rows.at(r).address) == address)
                rowsAdded(g, r, r);
    }
    if (TrimSpaces(m_view.address()) == address)
        showLatency();
}

void ListHistory::showLatency()
{
    const QString address = TrimSpaces(m_view.address());
    m_latency->setText(address.isEmpty() ? QString() : LatencyLine(m_history.summary(site(), address)));
}

} // namespace qos
