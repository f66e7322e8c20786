#include "metrics/endpoint.h"

#include "metrics/exposition.h"

#include <prometheus/registry.h>

#include <QHostAddress>

#include <civetweb.h>
#include <cstring>
#include <string>

namespace qos {

std::optional<ListenAddress> ParseListenAddress(const QString &text, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<ListenAddress> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return fail(QStringLiteral("give HOST:PORT or :PORT, e.g. :9374"));
    ListenAddress address;
    const QString host = text.left(colon);
    if (!host.isEmpty()) {
        QHostAddress parsed;
        if (!parsed.setAddress(host) || parsed.protocol() != QAbstractSocket::IPv4Protocol)
            return fail(
                QStringLiteral("the host must be a dotted IPv4 address such as 127.0.0.1 or 0.0.0.0"));
        address.host = parsed.toString();
    }
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    if (!ok || port > 65535)
        return fail(QStringLiteral("the port must be a number from 0 to 65535"));
    address.port = quint16(port);
    return address;
}

MetricsEndpoint::MetricsEndpoint(std::shared_ptr<prometheus::Registry> registry)
    : m_registry(std::move(registry))
{}

MetricsEndpoint::~MetricsEndpoint()
{
    if (m_context)
        mg_stop(m_context); // waits for the requests being served
}

std::unique_ptr<MetricsEndpoint> MetricsEndpoint::Start(const ListenAddress &address,
                                                        std::shared_ptr<prometheus::Registry> registry,
                                                        QString &error)
{
    std::unique_ptr<MetricsEndpoint> endpoint(new MetricsEndpoint(std::move(registry)));
    const std::string ports = address.text().toStdString();
    const char *options[] = {
        "listening_ports", ports.c_str(),       "num_threads", "2",    "request_timeout_ms",
        "10000",           "enable_keep_alive", "no",          nullptr};
    mg_callbacks callbacks;
    std::memset(&callbacks, 0, sizeof callbacks);
    // civetweb would print its own complaint too; the caller tells the one line below.
    callbacks.log_message = [](const mg_connection *, const char *) { return 1; };
    mg_init_data init{&callbacks, endpoint.get(), options};
    char text[256] = {};
    unsigned code = 0;
    mg_error_data failure{&code, text, sizeof text};
    endpoint->m_context = mg_start2(&init, &failure);
    if (!endpoint->m_context) {
        error = QStringLiteral("The metrics endpoint cannot listen on %1: %2")
                    .arg(address.text(), QString::fromLocal8Bit(text).trimmed());
        return nullptr;
    }
    mg_server_port bound[4];
    std::memset(bound, 0, sizeof bound);
    if (mg_get_server_ports(endpoint->m_context, 4, bound) > 0)
        endpoint->m_port = bound[0].port;
    mg_set_request_handler(endpoint->m_context, "/metrics$", &MetricsEndpoint::serve, endpoint.get());
    return endpoint;
}

std::unique_ptr<MetricsEndpoint> ServeMetrics(const QString &address, const QString &source,
                                              std::shared_ptr<prometheus::Registry> registry, QString &error)
{
    QString why;
    const std::optional<ListenAddress> listen = ParseListenAddress(address.trimmed(), &why);
    if (!listen) {
        error = QStringLiteral("%1%2: %3").arg(source, address, why);
        return nullptr;
    }
    return MetricsEndpoint::Start(*listen, std::move(registry), error);
}

int MetricsEndpoint::serve(mg_connection *connection, void *self)
{
    const mg_request_info *request = mg_get_request_info(connection);
    const bool head = std::strcmp(request->request_method, "HEAD") == 0;
    if (!head && std::strcmp(request->request_method, "GET") != 0) {
        mg_printf(connection, "HTTP/1.1 405 Method Not Allowed\r\nAllow: GET, HEAD\r\nContent-Length: 0\r\n"
                              "Connection: close\r\n\r\n");
        return 405;
    }
    const auto *endpoint = static_cast<const MetricsEndpoint *>(self);
    const std::string body = ExpositionText(endpoint->m_registry->Collect());
    mg_printf(connection,
              "HTTP/1.1 200 OK\r\nContent-Type: %s\r\nContent-Length: %zu\r\nConnection: close\r\n\r\n",
              kMetricsContentType, body.size());
    if (!head)
        mg_write(connection, body.data(), body.size());
    return 200;
}

} // namespace qos
