#pragma once
// A private test network in two network namespaces of the test's own, so that no traffic leaves the
// machine and nothing is added to the machine's own namespace (parallel tests never collide).
//
//   client namespace                       target namespace (a host, and a router behind it)
//   v0 10.213.1.1/24  <------ veth ------>  v1 10.213.1.2/24
//                                           lo 10.213.3.0/24   every 10.213.3.x answers echoes
//                                           s0 10.213.0.0/17   a link whose far end is down: a sink
//
// Seen from the client, where the socket under test is opened (NetnsScope):
//   10.213.1.2, 10.213.3.x  reply
//   10.213.2.3 (and any other address below 10.213.128.0 without a rule)  silent
//   10.213.2.6, 10.213.7.x  time to live exceeded in transit (ttl set to 1 before forwarding) ICMP 11/0
//   10.213.2.7 .. 2.13      nft reject with the types in kRejects below
//   10.213.6.x              nft reject host-unreachable                                     ICMP 3/1
//   10.213.8.x              nft reject net-unreachable                                      ICMP 3/0
//   10.213.2.1              route of type unreachable in the target                         ICMP 3/1
//   10.213.2.2              route of type prohibit in the target                            ICMP 3/13
//   10.213.5.x              no route in the target                                          ICMP 3/0
//   10.213.4.1 / 4.2 / 4.3  sendto fails: client routes unreachable / prohibit / blackhole
//   10.213.200.x            sendto fails: the client has no route there
// IPv6 beside it, where the kernel has it (hasIpv6()):
//   v0 fd00:213:1::1/64  <-- veth -->  v1 fd00:213:1::2/64, lo fd00:213:3::5
//   fd00:213:1::2, fd00:213:3::5  reply
//   fd00:213:2::3                 silent (nft drop)
//   fd00:213:2::6                 hop limit exceeded (set to 1 before forwarding)             ICMPv6 3/0
//   fd00:213:2::7 .. 2::10        nft reject with the types in kRejects6
//   fd00:213:4::1                 sendto fails: client route unreachable
// ICMP rate limits are off in the target, but errors that come from its routing table (the last
// three ICMP rows) still pass at about five at once and one a second per sender: a lab serves a few
// of those, so each test that needs more builds its own lab.
//
// Construction builds nothing; start() does. The destructor tears everything down, also after a
// failed check; namespaces left by a test process that died are removed by the next one.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <atomic>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace qos::test {

class NetLab {
public:
    struct Reject {
        const char *address;
        const char *icmpType; // nft name
        int type;
        int code;
    };
    static constexpr Reject kRejects[] = {
        {"10.213.2.7", "port-unreachable", 3, 3},  {"10.213.2.8", "admin-prohibited", 3, 13},
        {"10.213.2.9", "net-prohibited", 3, 9},    {"10.213.2.10", "prot-unreachable", 3, 2},
        {"10.213.2.11", "host-prohibited", 3, 10}, {"10.213.2.12", "net-unreachable", 3, 0},
        {"10.213.2.13", "host-unreachable", 3, 1},
    };

    static constexpr Reject kRejects6[] = {
        {"fd00:213:2::7", "admin-prohibited", 1, 1},
        {"fd00:213:2::8", "addr-unreachable", 1, 3},
        {"fd00:213:2::9", "no-route", 1, 0},
        {"fd00:213:2::10", "port-unreachable", 1, 4},
    };

    NetLab()
    {
        static std::atomic<int> counter{0};
        const QString stem = QStringLiteral("qoslab%1x%2").arg(::getpid()).arg(counter++);
        m_client = stem + QLatin1Char('c');
        m_target = stem + QLatin1Char('t');
        removeStale();
    }
    ~NetLab() { stop(); }
    NetLab(const NetLab &) = delete;
    NetLab &operator=(const NetLab &) = delete;

    // Why labs cannot be built here; empty when they can.
    static QString unavailableReason()
    {
        if (::geteuid() != 0)
            return QStringLiteral("needs root to create network namespaces (ip netns, veth)");
        QProcess ip;
        ip.start(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("list")});
        if (!ip.waitForFinished(10000) || ip.exitStatus() != QProcess::NormalExit || ip.exitCode() != 0)
            return QStringLiteral("'ip netns' is unavailable here: %1")
                .arg(ip.errorString() + QString::fromLocal8Bit(ip.readAllStandardError()));
        return {};
    }

    bool start()
    {
        const QString c = m_client, t = m_target;
        m_started = true;
        const auto in = [](const QString &ns, const char *command) {
            return QStringLiteral("-n %1 %2").arg(ns, QLatin1String(command));
        };
        return ip({QStringLiteral("netns add ") + c,
                   QStringLiteral("netns add ") + t,
                   QStringLiteral("-n %1 link add v0 type veth peer name v1 netns %2").arg(c, t),
                   in(c, "addr add 10.213.1.1/24 dev v0"),
                   in(c, "link set v0 up"),
                   in(c, "link set lo up"),
                   in(c, "route add 10.213.0.0/17 via 10.213.1.2"),
                   in(c, "route add unreachable 10.213.4.1"),
                   in(c, "route add prohibit 10.213.4.2"),
                   in(c, "route add blackhole 10.213.4.3"),
                   in(t, "addr add 10.213.1.2/24 dev v1"),
                   in(t, "link set v1 up"),
                   in(t, "link set lo up"),
                   in(t, "addr add 10.213.3.0/24 dev lo"),
                   in(t, "link add s0 type veth peer name s1"),
                   in(t, "link set s0 arp off"),
                   in(t, "link set s0 up"),
                   in(t, "route add 10.213.0.0/17 dev s0"),
                   in(t, "route add unreachable 10.213.2.1"),
                   in(t, "route add prohibit 10.213.2.2"),
                   in(t, "route add throw 10.213.5.0/24")}) &&
               sysctl(c, {"net.ipv4.ping_group_range=0 2147483647"}) &&
               sysctl(t, {"net.ipv4.ip_forward=1", "net.ipv4.icmp_ratelimit=0",
                          "net.ipv4.icmp_msgs_per_sec=1000000", "net.ipv4.icmp_msgs_burst=1000000",
                          "net.ipv4.conf.all.send_redirects=0", "net.ipv4.conf.v1.send_redirects=0"}) &&
               inNamespace(t, {QStringLiteral("nft"), QStringLiteral("-f"), QStringLiteral("-")}, rules()) &&
               (startIpv6(), true); // without IPv6 the IPv4 cases still run; the IPv6 ones skip
    }

    // Builds the IPv6 half where the kernel has IPv6; hasIpv6() tells whether it stands.
    bool startIpv6()
    {
        const QString c = m_client, t = m_target;
        const auto in = [](const QString &ns, const char *command) {
            return QStringLiteral("-n %1 %2").arg(ns, QLatin1String(command));
        };
        if (!QFile::exists(QStringLiteral("/proc/net/if_inet6")))
            return false; // no IPv6 here
        m_hasIpv6 = ip({in(c, "addr add fd00:213:1::1/64 dev v0 nodad"),
                        in(c, "route add fd00:213::/32 via fd00:213:1::2"),
                        in(c, "route add unreachable fd00:213:4::1"),
                        in(t, "addr add fd00:213:1::2/64 dev v1 nodad"),
                        in(t, "addr add fd00:213:3::5/128 dev lo nodad"),
                        in(t, "route add fd00:213:2::/48 dev s0")}) &&
                    sysctl(t, {"net.ipv6.conf.all.forwarding=1", "net.ipv6.icmp.ratelimit=0"}) &&
                    inNamespace(t, {QStringLiteral("nft"), QStringLiteral("-f"), QStringLiteral("-")}, rules6());
        return m_hasIpv6;
    }
    bool hasIpv6() const { return m_hasIpv6; }

    const QString &client() const { return m_client; }
    const QString &target() const { return m_target; }
    const QString &error() const { return m_error; }

    // Runs a command in a namespace of the lab; input goes to its standard input.
    bool inNamespace(const QString &ns, QStringList command, const QByteArray &input = {})
    {
        command.prepend(ns);
        command.prepend(QStringLiteral("exec"));
        command.prepend(QStringLiteral("netns"));
        return run(QStringLiteral("ip"), command, input);
    }

    bool sysctl(const QString &ns, std::initializer_list<const char *> settings)
    {
        QStringList command{QStringLiteral("sysctl"), QStringLiteral("-qw")};
        for (const char *setting : settings)
            command << QString::fromLatin1(setting);
        return inNamespace(ns, command);
    }

    // The resolver configuration that `ip netns exec <client>` puts in place of /etc/resolv.conf.
    bool setClientResolver(const QByteArray &content)
    {
        const QString dir = QStringLiteral("/etc/netns/") + m_client;
        QFile file(dir + QStringLiteral("/resolv.conf"));
        if (!QDir().mkpath(dir) || !file.open(QIODevice::WriteOnly) ||
            file.write(content) != content.size()) {
            m_error = QStringLiteral("cannot write ") + file.fileName();
            return false;
        }
        return true;
    }

    bool run(const QString &program, const QStringList &arguments, const QByteArray &input = {})
    {
        QProcess process;
        process.start(program, arguments);
        if (!input.isEmpty())
            process.write(input);
        process.closeWriteChannel();
        if (!process.waitForFinished(20000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            m_error = QStringLiteral("%1 %2 failed: %3%4")
                          .arg(program, arguments.join(QLatin1Char(' ')), process.errorString(),
                               QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
            return false;
        }
        return true;
    }

    void stop()
    {
        if (!m_started)
            return;
        m_started = false;
        remove(m_client);
        remove(m_target);
    }

private:
    static QByteArray rules()
    {
        QByteArray text = "table ip lab {\n"
                          "  chain incoming { type filter hook prerouting priority -150;\n"
                          "    ip daddr { 10.213.2.6, 10.213.7.0/24 } ip ttl set 1; }\n"
                          "  chain passing { type filter hook forward priority 0;\n";
        for (const Reject &r : kRejects)
            text += QByteArray("    ip daddr ") + r.address + " reject with icmp type " + r.icmpType + ";\n";
        return text + "    ip daddr 10.213.6.0/24 reject with icmp type host-unreachable;\n"
                      "    ip daddr 10.213.8.0/24 reject with icmp type net-unreachable;\n  }\n}\n";
    }

    static QByteArray rules6()
    {
        QByteArray text = "table ip6 lab6 {\n"
                          "  chain incoming { type filter hook prerouting priority -150;\n"
                          "    ip6 daddr fd00:213:2::6 ip6 hoplimit set 1; }\n"
                          "  chain passing { type filter hook forward priority 0;\n"
                          "    ip6 daddr fd00:213:2::3 drop;\n";
        for (const Reject &r : kRejects6)
            text += QByteArray("    ip6 daddr ") + r.address + " reject with icmpv6 type " + r.icmpType + ";\n";
        return text + "  }\n}\n";
    }

    bool ip(const QStringList &commands)
    {
        for (const QString &command : commands) {
            if (!run(QStringLiteral("ip"), command.split(QLatin1Char(' '))))
                return false;
        }
        return true;
    }

    static void remove(const QString &ns)
    {
        QProcess::execute(QStringLiteral("ip"), {QStringLiteral("netns"), QStringLiteral("del"), ns});
        QDir(QStringLiteral("/etc/netns/") + ns).removeRecursively();
    }

    // Namespaces of labs whose test process is gone.
    static void removeStale()
    {
        const QStringList names = QDir(QStringLiteral("/run/netns")).entryList({QStringLiteral("qoslab*")});
        for (const QString &name : names) {
            const QString pid = name.mid(6).section(QLatin1Char('x'), 0, 0);
            if (!pid.isEmpty() && !QFile::exists(QStringLiteral("/proc/") + pid))
                remove(name);
        }
    }

    QString m_client;
    QString m_target;
    QString m_error;
    bool m_started = false;
    bool m_hasIpv6 = false;
};

// Puts the calling thread into a named network namespace for the scope; sockets opened meanwhile
// stay in that namespace after it ends.
class NetnsScope {
public:
    explicit NetnsScope(const QString &ns)
        : m_home(::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC))
    {
        const int fd =
            ::open(QFile::encodeName(QStringLiteral("/run/netns/") + ns).constData(), O_RDONLY | O_CLOEXEC);
        m_entered = m_home >= 0 && fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
        if (fd >= 0)
            ::close(fd);
    }
    ~NetnsScope()
    {
        if (m_entered)
            ::setns(m_home, CLONE_NEWNET);
        if (m_home >= 0)
            ::close(m_home);
    }
    NetnsScope(const NetnsScope &) = delete;
    NetnsScope &operator=(const NetnsScope &) = delete;
    bool entered() const { return m_entered; }

private:
    int m_home;
    bool m_entered = false;
};

} // namespace qos::test

// In a test function: skips the test where namespaces cannot be made here, else declares the lab
// `name` and starts it, failing the test when that fails.
#define QOS_START_NETLAB(name)                                                                               \
    if (const QString name##Unavailable = qos::test::NetLab::unavailableReason();                            \
        !name##Unavailable.isEmpty())                                                                        \
        QSKIP(qPrintable(name##Unavailable));                                                                \
    qos::test::NetLab name;                                                                                  \
    QVERIFY2(name.start(), qPrintable(name.error()))
