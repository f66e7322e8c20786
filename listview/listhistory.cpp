#include "listview/listhistory.h"

#include "history/since.h"

#include "platform/mnemonics.h"
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
// Below the counters, right of the latency line.
const QRectF SinceRect(4680, 5550, 5280, 255);

State StateOf(AddressHealth health)
{
    switch (health) {
    case AddressHealth::Answering:
        return State::Answering;
    case AddressHealth::Failing:
        return State::NotAnswering;
    case AddressHealth::NotProbed:
        break;
    }
    return State::Unknown;
}

} // namespace

ListHistory::ListHistory(ListView &view, const History &history, const LocationStates &states,
                         const Configuration &cfg)
    : QObject(&view)
    , m_view(view)
    , m_history(history)
    , m_states(states)
    , m_cfg(cfg)
{
    m_since = new QLabel(view.centralWidget());
    m_since->setObjectName(QStringLiteral("sinceLine"));
    m_since->setGeometry(TwipsScale::forWidget(&view).toPixels(SinceRect));
    m_latency = new QLabel(view.centralWidget());
    m_latency->setObjectName(QStringLiteral("latency"));
    m_latency->setGeometry(TwipsScale::forWidget(&view).toPixels(LatencyRect));
    m_historyAction = NamedAction(&view, "History", QStringLiteral("History"));
    view.menuBar()->addAction(m_historyAction);
    AssignMnemonic(view.menuBar(), m_historyAction);
    connect(m_historyAction, &QAction::triggered, this,
            [this] { Q_EMIT historyRequested(m_view.location()); });

    for (ListView::Group g : {ListView::First, ListView::Second})
        connect(&view.rows(g), &QAbstractItemModel::rowsInserted, this,
                [this, g](const QModelIndex &, int first, int last) { rowsAdded(g, first, last); });
    connect(&view, &ListView::addressShown, this, &ListHistory::showLatency);
    connect(&history, &History::sampleAdded, this, &ListHistory::sampleAdded);
    connect(&history, &History::logLoaded, this, &ListHistory::refreshTips);
    connect(&states, &LocationStates::changed, this, [this](const StateChange &change) {
        if (change.location == m_view.location())
            refreshTips();
    });
    showLatency();
    showSince();
}

QString ListHistory::site() const
{
    const int k = m_view.location();
    return k >= 1 && k <= m_cfg.table.LocationCount() ? m_cfg.table[k].site : QString();
}

QString ListHistory::tooltipFor(const QString &address) const
{
    const QString trimmed = TrimSpaces(address);
    const QString tip = LatencyTooltip(m_history.summary(site(), trimmed));
    const State state = StateOf(m_states.health(m_view.location(), trimmed));
    const QString since = AddressSinceText(state, SinceMs(m_history.log(), site(), trimmed, state),
                                           m_history.now(), QTimeZone::systemTimeZone());
    return since.isEmpty() ? tip : tip + QLatin1Char('\n') + since;
}

void ListHistory::refreshTips()
{
    for (ListView::Group g : {ListView::First, ListView::Second})
        rowsAdded(g, 0, m_view.rows(g).size() - 1);
    showSince();
}

void ListHistory::showSince()
{
    const int k = m_view.location();
    if (k < 1 || k > m_cfg.table.LocationCount()) {
        m_since->clear();
        return;
    }
    m_since->setText(LocationLine(FactsOf(m_cfg, m_states, m_history.log(), k), m_history.now(),
                                  QTimeZone::systemTimeZone()));
}

void ListHistory::rowsAdded(ListView::Group g, int first, int last)
{
    AddressRows &rows = m_view.rows(g);
    for (int r = first; r <= last && r < rows.size(); ++r)
        rows.setTip(r, tooltipFor(rows.at(r).address));
    showSince(); // the rows come when a location is loaded
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
    showSince();
}

void ListHistory::showLatency()
{
    const QString address = TrimSpaces(m_view.address());
    m_latency->setText(address.isEmpty() ? QString() : LatencyLine(m_history.summary(site(), address)));
}

} // namespace qos
