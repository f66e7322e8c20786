#pragma once
// The metrics endpoint: GET /metrics over HTTP, answered in the Prometheus text format by the text
// source it is given.
//
// Invariants:
//  - Requests are served on the endpoint's own thread, by one event loop that waits on every
//    connection at once: the window's thread never waits for a scraper, a scrape calls the text source
//    (which locks what it reads), and clients that connect and send nothing, or send slowly, never hold up
//    the answer to another.
//  - What one connection may cost is bounded: its request head (kMaxRequestHead bytes), its time
//    (kExchangeMs from connecting to the last byte of the answer), and the number of connections
//    (kMaxConnections; one more closes the one open longest).
//  - Listening binds at once: Start() fails, with a one-line reason, when the address is taken or
//    cannot be used; once it returns an endpoint, that endpoint serves until it is destroyed.
//  - It binds where it is told and nowhere else; with no host named that is 127.0.0.1.
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QThread;

namespace qos {

// The exposition text of a scrape; called on the endpoint's thread.
using MetricsText = std::function<std::string()>;

inline constexpr char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";
inline constexpr int kMaxConnections = 512;
inline constexpr int kExchangeMs = 5000;
inline constexpr qsizetype kMaxRequestHead = 8 * 1024;

struct ListenAddress {
    QString host = QStringLiteral("127.0.0.1"); // a dotted IPv4 address; 0.0.0.0 = every interface
    quint16 port = 0;                           // 0: a free port the system picks
    QString text() const { return host + QLatin1Char(':') + QString::number(port); }
};

// "HOST:PORT" or ":PORT"; nothing, with the reason in *error (naming no source), for anything else.
std::optional<ListenAddress> ParseListenAddress(const QString &text, QString *error = nullptr);

class MetricsEndpoint {
public:
    // Listens on address and serves text; null, with a one-line reason in error, when it cannot.
    static std::unique_ptr<MetricsEndpoint> Start(const ListenAddress &address, MetricsText text,
                                                  QString &error);
    ~MetricsEndpoint();
    MetricsEndpoint(const MetricsEndpoint &) = delete;
    MetricsEndpoint &operator=(const MetricsEndpoint &) = delete;

    // The port it listens on (the system's pick when asked for port 0).
    int port() const { return m_port; }

private:
    MetricsEndpoint(std::unique_ptr<QThread> thread, int port);

    std::unique_ptr<QThread> m_thread;
    int m_port = 0;
};

// Parses address (its source, e.g. "--metrics ", goes in front of it in a parse error) and starts
// an endpoint there; null with a one-line reason in error when either fails.
std::unique_ptr<MetricsEndpoint> ServeMetrics(const QString &address, const QString &source, MetricsText text,
                                              QString &error);

} // namespace qos
