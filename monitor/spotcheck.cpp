#include "monitor/spotcheck.h"

#include <QTimer>

namespace qos {

SpotCheck::SpotCheck(Prober &prober, StartupNotice &notice, const Configuration &cfg, int k, Done done,
                     QObject *parent)
    : QObject(parent)
    , m_k(k)
    , m_done(std::move(done))
    , m_token(CancelToken::Watching(cfg.generation, this, {}))
{
    const LocationRecord &rec = cfg.table[k];
    const QStringList ignores = SplitAddressList(rec.ignore);
    for (const QString &entry : SplitAddressList(rec.siteip)) {
        if (ContainsAddress(ignores, entry))
            m_partialIgnore = true;
        else
            m_entries.append({entry, {}});
    }
    m_waiting = int(m_entries.size());
    const MainSettings &s = cfg.settings;
    for (int i = 0; i < m_entries.size(); ++i) {
        auto *probe = new AddressProbe(prober, notice, this);
        probe->setToken(m_token);
        connect(probe, &AddressProbe::finished, this,
                [this, i](const AddressOutcome &outcome) { finished(i, outcome); });
        probe->start(m_entries.at(i).address, s.PINGPACKETS, s.PINGTIMEOUT);
    }
    if (m_waiting == 0) // nothing to probe: told from the event loop all the same
        QTimer::singleShot(0, this, [this] {
            if (!m_token.cancelled())
                m_done(m_k, m_entries, m_partialIgnore);
        });
}

void SpotCheck::finished(int index, const AddressOutcome &outcome)
{
    if (m_token.cancelled())
        return;
    m_entries[index].outcome = outcome;
    if (--m_waiting == 0)
        m_done(m_k, m_entries, m_partialIgnore);
}

} // namespace qos
