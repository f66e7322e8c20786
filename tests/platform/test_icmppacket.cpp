// Reading packets from a raw ICMP socket, byte by byte, and the status table rows no test host makes.
#include "platform/icmppacket.h"
#include "platform/icmpstatus.h"

#include <QTest>

#include <arpa/inet.h>
#include <cerrno>

using namespace qos;
using Kind = icmp::Message::Kind;

namespace {

constexpr quint16 kId = 0x1234;
constexpr quint16 kSeq = 0xfffe;

QByteArray ipHeader(const char *from, const char *to, quint8 protocol, int words = 5)
{
    QByteArray h(words * 4, '\0');
    h[0] = char(0x40 | words);
    h[9] = char(protocol);
    const in_addr_t source = ::inet_addr(from), destination = ::inet_addr(to);
    std::memcpy(h.data() + 12, &source, 4);
    std::memcpy(h.data() + 16, &destination, 4);
    return h;
}

QByteArray echo(quint8 type, quint16 id = kId, quint16 seq = kSeq)
{
    QByteArray e(icmp::kEchoSize, '\0');
    icmp::writeEchoRequest(reinterpret_cast<quint8 *>(e.data()), id, seq);
    e[0] = char(type);
    e[2] = e[3] = 0;
    const quint16 sum = icmp::checksum(reinterpret_cast<const quint8 *>(e.constData()), e.size());
    e[2] = char(sum >> 8);
    e[3] = char(sum);
    return e;
}

// An ICMP error (type, code) from a router quoting `quoted`, inside its IPv4 header.
QByteArray error(quint8 type, quint8 code, const QByteArray &quoted, int outerWords = 5)
{
    QByteArray body(8, '\0');
    body[0] = char(type);
    body[1] = char(code);
    body += quoted;
    const quint16 sum = icmp::checksum(reinterpret_cast<const quint8 *>(body.constData()), body.size());
    body[2] = char(sum >> 8);
    body[3] = char(sum);
    return ipHeader("10.213.1.2", "10.213.1.1", 1, outerWords) + body;
}

// ICMPv6 as a socket of that family reads it: no IP header, the checksum left to the kernel.
constexpr char kV6From[] = "fd00:213:1::2";

QByteArray ip6Header(const char *to, quint8 nextHeader = 58)
{
    QByteArray h(40, '\0');
    h[0] = char(0x60);
    h[6] = char(nextHeader);
    ::inet_pton(AF_INET6, "fd00:213:1::1", h.data() + 8);
    ::inet_pton(AF_INET6, to, h.data() + 24);
    return h;
}

QByteArray echo6(quint8 type, quint16 id = kId, quint16 seq = kSeq)
{
    QByteArray e(icmp::kEchoSize, '\0');
    icmp::writeEcho6Request(reinterpret_cast<quint8 *>(e.data()), id, seq);
    e[0] = char(type);
    return e;
}

QByteArray error6(quint8 type, quint8 code, const QByteArray &quoted)
{
    QByteArray body(8, '\0');
    body[0] = char(type);
    body[1] = char(code);
    return body + quoted;
}

EchoAddress address6(const char *text)
{
    quint8 bytes[16];
    ::inet_pton(AF_INET6, text, bytes);
    return EchoAddress::ipv6(bytes);
}

// Packets whose first byte is 0x6? are ICMPv6 messages here (no IPv4 header starts so).
bool isV6(const QByteArray &packet)
{
    return !packet.isEmpty() && (quint8(packet[0]) >> 4) != 4;
}

icmp::Message parse(const QByteArray &packet)
{
    const auto *data = reinterpret_cast<const quint8 *>(packet.constData());
    if (isV6(packet))
        return icmp::parse6Packet(data, std::size_t(packet.size()), address6(kV6From));
    return icmp::parseRawPacket(data, std::size_t(packet.size()));
}

EchoAddress expectedAddress(const QString &text)
{
    if (text.contains(QLatin1Char(':')))
        return address6(text.toLatin1().constData());
    return EchoAddress::ipv4Network(::inet_addr(text.toLatin1().constData()));
}

} // namespace

class TestIcmpPacket : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsWhatEndsAnEcho_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("type");
        const QByteArray request = ipHeader("10.213.1.1", "10.213.2.9", 1) + echo(8);
        QTest::newRow("reply") << ipHeader("10.213.3.5", "10.213.1.1", 1) + echo(0) << int(Kind::Reply)
                               << "10.213.3.5" << 0;
        QTest::newRow("reply after ip options")
            << ipHeader("10.213.3.5", "10.213.1.1", 1, 7) + echo(0) << int(Kind::Reply) << "10.213.3.5" << 0;
        QTest::newRow("unreachable") << error(3, 1, request) << int(Kind::Error) << "10.213.2.9" << 3;
        QTest::newRow("time exceeded, options inside and out")
            << error(11, 0, ipHeader("10.213.1.1", "10.213.2.9", 1, 6) + echo(8), 8) << int(Kind::Error)
            << "10.213.2.9" << 11;
        QTest::newRow("error quoting more than 8 bytes")
            << error(12, 0, request + QByteArray(40, 'x')) << int(Kind::Error) << "10.213.2.9" << 12;
        const QByteArray request6 = ip6Header("fd00:213:2::9") + echo6(128);
        QTest::newRow("ICMPv6 reply") << echo6(129) << int(Kind::Reply) << kV6From << 0;
        QTest::newRow("ICMPv6 unreachable") << error6(1, 3, request6) << int(Kind::Error) << "fd00:213:2::9" << 1;
        QTest::newRow("ICMPv6 packet too big")
            << error6(2, 0, request6 + QByteArray(64, 'x')) << int(Kind::Error) << "fd00:213:2::9" << 2;
        QTest::newRow("ICMPv6 hop limit") << error6(3, 0, request6) << int(Kind::Error) << "fd00:213:2::9" << 3;
    }
    void readsWhatEndsAnEcho()
    {
        QFETCH(QByteArray, packet);
        QFETCH(int, kind);
        QFETCH(QString, address);
        QFETCH(int, type);
        const icmp::Message m = parse(packet);
        QCOMPARE(int(m.kind), kind);
        QCOMPARE(m.identifier, kId);
        QCOMPARE(m.sequence, kSeq);
        QVERIFY(m.address == expectedAddress(address));
        if (kind == int(Kind::Error))
            QCOMPARE(m.type, type);
    }

    void ignoresTheRest_data()
    {
        QTest::addColumn<QByteArray>("packet");
        const QByteArray request = ipHeader("10.213.1.1", "10.213.2.9", 1) + echo(8);
        QByteArray damaged = ipHeader("10.213.3.5", "10.213.1.1", 1) + echo(0);
        damaged[25] = char(damaged[25] ^ 1);
        QByteArray shortHeader = ipHeader("10.213.3.5", "10.213.1.1", 1) + echo(0);
        shortHeader[0] = char(0x44);
        QByteArray version6 = ipHeader("10.213.3.5", "10.213.1.1", 1) + echo(0);
        version6[0] = char(0x65);
        QTest::newRow("echo request") << ipHeader("10.213.1.1", "10.213.3.5", 1) + echo(8);
        QTest::newRow("bad checksum") << damaged;
        QTest::newRow("header length below 20") << shortHeader;
        QTest::newRow("not ipv4") << version6;
        QTest::newRow("redirect type") << error(5, 1, request);
        QTest::newRow("error quoting udp") << error(3, 3, ipHeader("10.213.1.1", "10.213.2.9", 17) + echo(8));
        QTest::newRow("error quoting a reply")
            << error(3, 1, ipHeader("10.213.1.1", "10.213.2.9", 1) + echo(0));
        QTest::newRow("error quoting a short header") << error(3, 1, request.left(24));
        const QByteArray request6 = ip6Header("fd00:213:2::9") + echo6(128);
        QByteArray coded = echo6(129);
        coded[1] = 1;
        QTest::newRow("ICMPv6 echo request") << echo6(128);
        QTest::newRow("ICMPv6 reply with a code") << coded;
        QTest::newRow("ICMPv6 neighbour solicitation") << error6(135, 0, request6);
        QTest::newRow("ICMPv6 error quoting UDP") << error6(1, 4, ip6Header("fd00:213:2::9", 17) + echo6(128));
        QTest::newRow("ICMPv6 error quoting a reply") << error6(1, 4, ip6Header("fd00:213:2::9") + echo6(129));
        QTest::newRow("ICMPv6 error quoting a short header") << error6(1, 4, request6.left(44));
        QByteArray notSix = request6;
        notSix[0] = char(0x40);
        QTest::newRow("ICMPv6 error quoting IPv4") << error6(1, 4, notSix);
    }
    void ignoresTheRest()
    {
        QFETCH(QByteArray, packet);
        QCOMPARE(int(parse(packet).kind), int(Kind::Other));
    }

    // Every prefix of a valid packet is turned away without reading past its end (checked by ASan:
    // each prefix lives in a buffer of exactly its size).
    void truncatedPacketsAreIgnored()
    {
        const QByteArray request = ipHeader("10.213.1.1", "10.213.2.9", 1) + echo(8);
        for (const QByteArray &whole : {ipHeader("10.213.3.5", "10.213.1.1", 1) + echo(0), error(3, 1, request),
                                        echo6(129), error6(1, 3, ip6Header("fd00:213:2::9") + echo6(128))}) {
            for (int size = 0; size < whole.size(); ++size) {
                std::vector<quint8> exact(whole.begin(), whole.begin() + size);
                const icmp::Message m = isV6(whole) ? icmp::parse6Packet(exact.data(), exact.size(), address6(kV6From))
                                                    : icmp::parseRawPacket(exact.data(), exact.size());
                QVERIFY2(m.kind == Kind::Other, qPrintable(QString::number(size)));
            }
        }
    }

    // Rows of the status table that the namespace test hosts cannot produce.
    void statusesWithoutTestHost_data()
    {
        QTest::addColumn<bool>("v6");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("status");
        QTest::newRow("ICMPv6 unknown unreachable code") << true << 1 << 99 << IpDestHostUnreachable;
        QTest::newRow("ICMPv6 reassembly time exceeded") << true << 3 << 1 << IpTtlExpiredReassembly;
        QTest::newRow("ICMPv6 echo reply is no error") << true << 129 << 0 << IpSuccess;
        QTest::newRow("ICMPv4 codes are not ICMPv6 ones") << true << 3 << 3 << IpTtlExpiredTransit;
        QTest::newRow("fragmentation needed") << false << 3 << 4 << IpPacketTooBig;
        QTest::newRow("source route failed") << false << 3 << 5 << IpBadRoute;
        QTest::newRow("unknown unreachable code") << false << 3 << 99 << IpDestHostUnreachable;
        QTest::newRow("reassembly time exceeded") << false << 11 << 1 << IpTtlExpiredReassembly;
        QTest::newRow("parameter problem") << false << 12 << 0 << IpParamProblem;
        QTest::newRow("source quench") << false << 4 << 0 << IpSourceQuench;
        QTest::newRow("redirect is no outcome") << false << 5 << 0 << IpSuccess;
        QTest::newRow("echo reply is no error") << false << 0 << 0 << IpSuccess;
    }
    void statusesWithoutTestHost()
    {
        QFETCH(bool, v6);
        QFETCH(int, type);
        QFETCH(int, code);
        QFETCH(int, status);
        QCOMPARE(statusForIcmpError(type, code, v6), status);
    }

    void sendErrors_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("status");
        QTest::newRow("no buffer space") << ENOBUFS << IpNoResources;
        QTest::newRow("message too long") << EMSGSIZE << IpPacketTooBig;
        QTest::newRow("network down") << ENETDOWN << IpDestNetUnreachable;
        QTest::newRow("anything else") << EBADF << IpGeneralFailure;
    }
    void sendErrors()
    {
        QFETCH(int, error);
        QFETCH(int, status);
        QCOMPARE(statusForSendError(error), status);
    }
};

QTEST_APPLESS_MAIN(TestIcmpPacket)
#include "test_icmppacket.moc"
