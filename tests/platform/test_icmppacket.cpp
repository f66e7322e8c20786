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

icmp::Message parse(const QByteArray &packet)
{
    return icmp::parseRawPacket(reinterpret_cast<const quint8 *>(packet.constData()), std::size_t(packet.size()));
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
        QTest::newRow("reply after ip options") << ipHeader("10.213.3.5", "10.213.1.1", 1, 7) + echo(0)
                                                << int(Kind::Reply) << "10.213.3.5" << 0;
        QTest::newRow("unreachable") << error(3, 1, request) << int(Kind::Error) << "10.213.2.9" << 3;
        QTest::newRow("time exceeded, options inside and out")
            << error(11, 0, ipHeader("10.213.1.1", "10.213.2.9", 1, 6) + echo(8), 8) << int(Kind::Error)
            << "10.213.2.9" << 11;
        QTest::newRow("error quoting more than 8 bytes")
            << error(12, 0, request + QByteArray(40, 'x')) << int(Kind::Error) << "10.213.2.9" << 12;
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
        QCOMPARE(m.address, ::inet_addr(address.toLatin1().constData()));
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
        QTest::newRow("error quoting a reply") << error(3, 1, ipHeader("10.213.1.1", "10.213.2.9", 1) + echo(0));
        QTest::newRow("error quoting a short header") << error(3, 1, request.left(24));
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
        for (const QByteArray &whole : {ipHeader("10.213.3.5", "10.213.1.1", 1) + echo(0), error(3, 1, request)}) {
            for (int size = 0; size < whole.size(); ++size) {
                std::vector<quint8> exact(whole.begin(), whole.begin() + size);
                const icmp::Message m = icmp::parseRawPacket(exact.data(), exact.size());
                QVERIFY2(m.kind == Kind::Other, qPrintable(QString::number(size)));
            }
        }
    }

    // Rows of the status table that the namespace test hosts cannot produce.
    void statusesWithoutTestHost_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("status");
        QTest::newRow("fragmentation needed") << 3 << 4 << IpPacketTooBig;
        QTest::newRow("source route failed") << 3 << 5 << IpBadRoute;
        QTest::newRow("unknown unreachable code") << 3 << 99 << IpDestHostUnreachable;
        QTest::newRow("reassembly time exceeded") << 11 << 1 << IpTtlExpiredReassembly;
        QTest::newRow("parameter problem") << 12 << 0 << IpParamProblem;
        QTest::newRow("source quench") << 4 << 0 << IpSourceQuench;
        QTest::newRow("redirect is no outcome") << 5 << 0 << IpSuccess;
        QTest::newRow("echo reply is no error") << 0 << 0 << IpSuccess;
    }
    void statusesWithoutTestHost()
    {
        QFETCH(int, type);
        QFETCH(int, code);
        QFETCH(int, status);
        QCOMPARE(statusForIcmpError(type, code), status);
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
