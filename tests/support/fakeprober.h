#pragma once
// A scripted prober: no network. Answers come from the event loop (zero-delay timers, or timers of
// the address's `delays`), or wait until the test releases them when `manual` is set.
#include "monitor/addressprobe.h"
#include "probe/prober.h"
#include "tests/support/fakes.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>
#include <climits>
#include <optional>

namespace qos::test {

class FakeProber : public Prober {
public:
    // Statuses per dotted address, one per echo; the last one repeats. Others answer `fallback`.
    QHash<QString, QList<ProbeStatus>> script;
    ProbeStatus fallback = StatusReply;
    QHash<QString, QString> names;  // host name -> address; any other name does not resolve
    int startupsThatWork = INT_MAX; // SocketsStartup succeeds this many times, then fails
    bool manual = false;            // echoes wait for answerNext() / answer()
    QHash<QString, int> delays;     // ms an echo to this dotted address waits for its answer

    // What was asked, in order.
    QStringList echoes;
    QList<int> timeouts;
    int startups = 0;
    int failedStartups = 0;
    int inFlight = 0; // echoes asked for and not answered yet (dropped answers included)
    int maxInFlight = 0;

    struct Pending {
        QPointer<QObject> context;
        std::function<void(const EchoResult &)> done;
        EchoResult result;
        QString address;
    };
    QList<Pending> pending;

    bool SocketsStartup() override
    {
        if (startups >= startupsThatWork) {
            ++failedStartups;
            return false;
        }
        ++startups;
        return true;
    }
    QString SocketsStartupFailureText() const override { return QStringLiteral("No echo facility."); }

    void ResolveHostAddress(const QString &name, QObject *context,
                            std::function<void(const QString &)> done) override
    {
        const QString dotted = isLiteral(name) ? name : names.value(name);
        QTimer::singleShot(0, context, [done = std::move(done), dotted] { done(dotted); });
    }

    void EchoProbe(const QString &address, int timeoutMs, QObject *context,
                   std::function<void(const EchoResult &)> done) override
    {
        echoes << address;
        timeouts << timeoutMs;
        maxInFlight = qMax(maxInFlight, ++inFlight);
        EchoResult result;
        result.status = isLiteral(address) ? nextStatus(address) : StatusInvalidHost;
        result.roundTripUs = result.status == StatusReply ? 100 : -1;
        if (manual) {
            pending << Pending{context, std::move(done), result, address};
            return;
        }
        QTimer::singleShot(delays.value(address), context, [this, done = std::move(done), result] {
            --inFlight;
            done(result);
        });
    }

    // Delivers the oldest waiting answer (dropped when its context is gone).
    void answerNext()
    {
        Q_ASSERT(!pending.isEmpty());
        deliver(0);
    }
    // Delivers the oldest waiting answer to an echo sent to address; false when none waits.
    bool answer(const QString &address)
    {
        for (int i = 0; i < pending.size(); ++i) {
            if (pending.at(i).address == address) {
                deliver(i);
                return true;
            }
        }
        return false;
    }

    // A dotted IPv4 address or an IPv6 literal: what needs no name lookup.
    static bool isLiteral(const QString &text)
    {
        static const QRegularExpression dotted(QStringLiteral("^\\d{1,3}(\\.\\d{1,3}){3}$"));
        return dotted.match(text).hasMatch() ||
               (text.contains(QLatin1Char(':')) &&
                QHostAddress(text).protocol() == QAbstractSocket::IPv6Protocol);
    }

private:
    void deliver(int i)
    {
        Pending p = pending.takeAt(i);
        --inFlight;
        if (p.context)
            p.done(p.result);
    }
    ProbeStatus nextStatus(const QString &address)
    {
        auto it = script.find(address);
        if (it == script.end() || it->isEmpty())
            return fallback;
        return it->size() > 1 ? it->takeFirst() : it->first();
    }
};

// What the address probe makes of address's attempts over prober, run on the event loop; an empty
// outcome when it does not finish within 5 s.
inline AddressOutcome ProbeOutcome(Prober &prober, const QString &address, int attempts)
{
    FakeMessageBoxes boxes;
    StartupNotice notice(boxes);
    AddressProbe probe(prober, notice);
    std::optional<AddressOutcome> outcome;
    QObject::connect(&probe, &AddressProbe::finished, &probe,
                     [&outcome](const AddressOutcome &o) { outcome = o; });
    probe.start(address, attempts, 1000);
    const QDeadlineTimer deadline(5000);
    while (!outcome && !deadline.hasExpired())
        QCoreApplication::processEvents();
    return outcome.value_or(AddressOutcome{});
}

} // namespace qos::test
