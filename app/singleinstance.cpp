#include "app/singleinstance.h"

#include "platform/messagebox.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <climits>

namespace qos {
namespace {

constexpr char kRequest[] = "show\n";
constexpr char kAnswer[] = "shown\n";
constexpr int kRetryMs = 50;

int remainingMs(const QDeadlineTimer &deadline)
{
    return int(qBound(qint64(0), deadline.remainingTime(), qint64(INT_MAX)));
}

} // namespace

SingleInstance::SingleInstance(QString folder, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(folder))
    , m_name(ServerName(m_folder))
    , m_lock(QDir(m_folder).filePath(QLatin1String(kLockFileName)))
{
    // Held for months: only a holder that is gone makes the lock stale, never its age.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    delete m_server; // stops listening before the lock goes
}

QString SingleInstance::ServerName(const QString &folder)
{
    const QFileInfo info(folder);
    const QString path =
        info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex().left(32);
    // In the user's own runtime folder: no other user can take the name or reach the socket.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return QDir(runtime).filePath(QStringLiteral("qor-online-status-") + QString::fromLatin1(hash));
}

QString SingleInstance::holder() const
{
    qint64 pid = 0;
    QString host;
    if (m_lock.getLockInfo(&pid, &host, nullptr))
        return QStringLiteral(" (process %1 on %2)").arg(pid).arg(host);
    return {};
}

QString SingleInstance::noAnswerText() const
{
    return QStringLiteral("QOR Online Status is already running on the folder %1%2, but it does not answer.\n"
                          "End that program, or try again in a moment.")
        .arg(QDir::toNativeSeparators(m_folder), holder());
}

QString SingleInstance::heldText() const
{
    return QStringLiteral("QOR Online Status is already running on the folder %1%2; one program per folder.")
        .arg(QDir::toNativeSeparators(m_folder), holder());
}

SingleInstance::Claim SingleInstance::claimQuietly()
{
    if (m_lock.tryLock(0))
        return Claim::Owner;
    return m_lock.error() == QLockFile::LockFailedError ? Claim::NoAnswer : Claim::Unguarded;
}

bool SingleInstance::listening() const
{
    return m_server && m_server->isListening();
}

SingleInstance::Claim SingleInstance::claim(int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        // A lock whose holder no longer runs is removed and taken here.
        if (m_lock.tryLock(0)) {
            listen();
            return Claim::Owner;
        }
        if (m_lock.error() != QLockFile::LockFailedError)
            return Claim::Unguarded;
        switch (ask(remainingMs(deadline))) {
        case Asked::Shown:
            return Claim::HandedOver;
        case Asked::Silent:
            return Claim::NoAnswer;
        case Asked::NoServer:
            break; // the holder is still starting, or has just ended: try the lock again
        }
        if (deadline.hasExpired())
            return Claim::NoAnswer;
        // No window exists yet in this process: a short sleep keeps nothing waiting.
        QThread::msleep(kRetryMs);
    }
}

SingleInstance::Asked SingleInstance::ask(int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(remainingMs(deadline))) {
        const QLocalSocket::LocalSocketError error = socket.error();
        const bool nobody =
            error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError;
        return nobody ? Asked::NoServer : Asked::Silent;
    }
    socket.write(kRequest);
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() <= kMaxRequest) {
        if (!socket.waitForReadyRead(remainingMs(deadline))) {
            // Closed without a word: the holder is ending, and its lock with it.
            return socket.state() == QLocalSocket::UnconnectedState && !deadline.hasExpired()
                       ? Asked::NoServer
                       : Asked::Silent;
        }
        answer += socket.read(kMaxRequest + 1);
    }
    return answer == kAnswer ? Asked::Shown : Asked::Silent;
}

void SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptPending);
    // We hold the lock, so a socket under our name is one a crashed holder left behind. Should
    // listening fail all the same, later starts report that this program does not answer.
    QLocalServer::removeServer(m_name);
    m_server->listen(m_name);
}

void SingleInstance::acceptPending()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A connection that never says its request is not kept.
        QTimer::singleShot(kRequestWaitMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    }
}

void SingleInstance::readRequest(QLocalSocket *socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxRequest) {
            socket->abort();
            socket->deleteLater();
        }
        return;
    }
    const QByteArray request = socket->readLine(kMaxRequest + 1);
    if (request != kRequest) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    Q_EMIT showRequested();
    socket->write(kAnswer);
    socket->disconnectFromServer(); // once the answer is written
}

std::optional<int> ClaimFolder(SingleInstance &single, MessageBoxes &messages)
{
    switch (single.claim()) {
    case SingleInstance::Claim::Owner:
    case SingleInstance::Claim::Unguarded:
        return std::nullopt;
    case SingleInstance::Claim::HandedOver:
        return 0;
    case SingleInstance::Claim::NoAnswer:
        break;
    }
    messages.show(single.noAnswerText(), MessageBoxes::Icon::Exclamation, [] { QCoreApplication::exit(1); });
    return QCoreApplication::exec();
}

} // namespace qos
