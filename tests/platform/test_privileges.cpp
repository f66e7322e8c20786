// Giving up capabilities, each case in a child process of its own (the drop cannot be undone).
#include "platform/privileges.h"

#include <QFile>
#include <QTest>

#include <cerrno>
#include <linux/capability.h>
#include <netinet/in.h>
#include <optional>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qos;

namespace {

// What the child saw after the drop.
struct After {
    int error = -1;
    bool boundingCleared = false;
    quint64 inheritable = 0, permitted = 0, effective = 0, ambient = 0, bounding = 0;
    int rawSocketError = 0; // errno of a raw ICMP socket tried after the drop, 0 if it opened
};

quint64 statusField(const QByteArray &status, const char *name)
{
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(name))
            return line.mid(int(qstrlen(name))).trimmed().toULongLong(nullptr, 16);
    }
    return ~0ULL;
}

bool capget(__user_cap_data_struct *data)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

bool capset(__user_cap_data_struct *data)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
}

// How the child holds its capabilities before the drop; false when it could not be set up.
bool prepare(const QByteArray &setup)
{
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (!capget(data))
        return false;
    if (setup == "ambient") {
        data[0].inheritable |= 1U << CAP_NET_RAW;
        return capset(data) && ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_RAISE, CAP_NET_RAW, 0, 0) == 0 &&
               ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_IS_SET, CAP_NET_RAW, 0, 0) == 1;
    }
    if (setup == "no setpcap") {
        data[0].effective &= ~(1U << CAP_SETPCAP);
        data[0].permitted &= ~(1U << CAP_SETPCAP);
        return capset(data);
    }
    return true;
}

// Forks, prepares, drops and reports; nothing when the child failed before the drop.
std::optional<After> dropInChild(const QByteArray &setup)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (!prepare(setup))
            ::_exit(3);
        After after;
        const CapabilityDrop drop = DropAllCapabilities();
        after.error = drop.error;
        after.boundingCleared = drop.boundingCleared;
        QFile status(QStringLiteral("/proc/self/status"));
        const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
        after.inheritable = statusField(text, "CapInh:");
        after.permitted = statusField(text, "CapPrm:");
        after.effective = statusField(text, "CapEff:");
        after.ambient = statusField(text, "CapAmb:");
        after.bounding = statusField(text, "CapBnd:");
        const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        after.rawSocketError = fd < 0 ? errno : 0;
        const bool written = ::write(channel[1], &after, sizeof after) == ssize_t(sizeof after);
        ::_exit(written ? 0 : 4);
    }
    ::close(channel[1]);
    After after;
    const bool read = child > 0 && ::read(channel[0], &after, sizeof after) == ssize_t(sizeof after);
    ::close(channel[0]);
    int status = 0;
    if (child > 0)
        ::waitpid(child, &status, 0);
    if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return after;
}

} // namespace

class TestPrivileges : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("needs root: the cases start from root's full set of capabilities");
    }

    void dropEmptiesEverySet_data()
    {
        QTest::addColumn<QByteArray>("setup");
        QTest::addColumn<bool>("boundingCleared");
        QTest::newRow("root as it starts") << QByteArray() << true;
        QTest::newRow("ambient and inheritable raised") << QByteArray("ambient") << true;
        QTest::newRow("without CAP_SETPCAP: bounding set stays") << QByteArray("no setpcap") << false;
    }
    void dropEmptiesEverySet()
    {
        QFETCH(QByteArray, setup);
        QFETCH(bool, boundingCleared);
        const std::optional<After> after = dropInChild(setup);
        QVERIFY2(after, "the child could not set its capabilities up or report them");
        QCOMPARE(after->error, 0);
        QCOMPARE(after->boundingCleared, boundingCleared);
        QCOMPARE(after->inheritable, 0ULL);
        QCOMPARE(after->permitted, 0ULL);
        QCOMPARE(after->effective, 0ULL);
        QCOMPARE(after->ambient, 0ULL);
        QCOMPARE(after->bounding == 0, boundingCleared);
        QCOMPARE(after->rawSocketError, EPERM); // even as root, the right is gone
    }
};

QTEST_GUILESS_MAIN(TestPrivileges)
#include "test_privileges.moc"
