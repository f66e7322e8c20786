#include "metrics/endpoint.h"

#include "metrics/exposition.h"

#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

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

namespace {

QByteArray Reply(const char *status, const char *headers, const std::string &body, bool withBody)
{
    QByteArray reply = QByteArrayLiteral("HTTP/1.1 ") + status + "\r\n" + headers +
                       QByteArrayLiteral("Content-Length: ") + QByteArray::number(qulonglong(body.size())) +
                       "\r\nConnection: close\r\n\r\n";
    if (withBody)
        reply.append(body.data(), qsizetype(body.size()));
    return reply;
}

// The answer to a request whose head (up to its blank line) is head.
QByteArray Answer(QByteArrayView head, const MetricsText &text)
{
    const QList<QByteArray> words = head.first(head.indexOf('\n')).toByteArray().trimmed().split(' ');
    if (words.size() != 3 || !words[2].startsWith("HTTP/"))
        return Reply("400 Bad Request", "", {}, false);
    const QByteArray &method = words[0];
    const QByteArray path = words[1].split('?').front();
    if (path != "/metrics")
        return Reply("404 Not Found", "", {}, false);
    if (method != "GET" && method != "HEAD")
        return Reply("405 Method Not Allowed", "Allow: GET, HEAD\r\n", {}, false);
    const QByteArray type = QByteArrayLiteral("Content-Type: ") + kMetricsContentType + "\r\n";
    return Reply("200 OK", type.constData(), text(), method == "GET");
}

// Serves the listening socket it is given on the thread it is made in: every connection is a socket
// of this thread's event loop, so none waits for another.
class Server : public QObject {
public:
    Server(qintptr listening, MetricsText text)
        : m_text(std::move(text))
    {
        m_listener.setMaxPendingConnections(kMaxConnections);
        m_listener.setSocketDescriptor(listening);
        connect(&m_listener, &QTcpServer::newConnection, this, &Server::accept);
    }
    ~Server() override
    {
        for (QTcpSocket *socket : std::as_const(m_open)) {
            socket->disconnect(this);
            delete socket;
        }
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = m_listener.nextPendingConnection()) {
            if (m_open.size() >= kMaxConnections)
                drop(m_open.front());
            m_open.append(socket);
            socket->setReadBufferSize(kMaxRequestHead);
            QTimer::singleShot(kExchangeMs, socket, [this, socket] { drop(socket); });
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
            read(socket); // what came with the connection
        }
    }

    void read(QTcpSocket *socket)
    {
        const QByteArray buffered = socket->peek(kMaxRequestHead);
        qsizetype end = buffered.indexOf("\r\n\r\n");
        if (end < 0)
            end = buffered.indexOf("\n\n");
        if (end < 0 && buffered.size() < kMaxRequestHead)
            return; // the rest of the head is still on its way
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        socket->write(end < 0 ? Reply("431 Request Header Fields Too Large", "", {}, false)
                              : Answer(QByteArrayView(buffered).first(end + 1), m_text));
        socket->disconnectFromHost(); // once the answer is out
    }

    void drop(QTcpSocket *socket)
    {
        if (!m_open.removeOne(socket))
            return;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }

    MetricsText m_text;
    QTcpServer m_listener;
    QList<QTcpSocket *> m_open; // oldest first
};

class ServerThread : public QThread {
public:
    ServerThread(int listening, MetricsText text)
        : m_listening(listening)
        , m_text(std::move(text))
    {
        setObjectName(QStringLiteral("metrics endpoint"));
    }

private:
    void run() override
    {
        Server server(m_listening, m_text);
        exec();
    }

    int m_listening;
    MetricsText m_text;
};

// A listening socket on address, bound here so that a taken port is told at once; -1 with the
// system's reason in error otherwise.
int Listen(const ListenAddress &address, int &port, QString &error)
{
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(address.port);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    socklen_t size = sizeof where;
    if (fd < 0 || ::inet_pton(AF_INET, address.host.toLatin1().constData(), &where.sin_addr) != 1 ||
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr *>(&where), sizeof where) != 0 ||
        ::listen(fd, SOMAXCONN) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr *>(&where), &size) != 0) {
        error = qt_error_string(errno);
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    port = ntohs(where.sin_port);
    return fd;
}

} // namespace

MetricsEndpoint::MetricsEndpoint(std::unique_ptr<QThread> thread, int port)
    : m_thread(std::move(thread))
    , m_port(port)
{}

MetricsEndpoint::~MetricsEndpoint()
{
    m_thread->quit(); // ends the scrape being answered first
    m_thread->wait();
}

std::unique_ptr<MetricsEndpoint> MetricsEndpoint::Start(const ListenAddress &address, MetricsText text,
                                                        QString &error)
{
    int port = 0;
    QString why;
    const int listening = Listen(address, port, why);
    if (listening < 0) {
        error = QStringLiteral("The metrics endpoint cannot listen on %1: %2").arg(address.text(), why);
        return nullptr;
    }
    auto thread = std::make_unique<ServerThread>(listening, std::move(text));
    thread->start();
    return std::unique_ptr<MetricsEndpoint>(new MetricsEndpoint(std::move(thread), port));
}

std::unique_ptr<MetricsEndpoint> ServeMetrics(const QString &address, const QString &source, MetricsText text,
                                              QString &error)
{
    QString why;
    const std::optional<ListenAddress> listen = ParseListenAddress(address.trimmed(), &why);
    if (!listen) {
        error = QStringLiteral("%1%2: %3").arg(source, address, why);
        return nullptr;
    }
    return MetricsEndpoint::Start(*listen, std::move(text), error);
}

} // namespace qos
