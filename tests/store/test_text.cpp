#include "store/text.h"

#include <QTest>

using namespace qos;

class TestText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void trimSpaces_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trimmed");
        QTest::newRow("both ends") << QStringLiteral("  a b  ") << QStringLiteral("a b");
        QTest::newRow("only spaces") << QStringLiteral("   ") << QString();
        QTest::newRow("tabs stay") << QStringLiteral("\t a \t") << QStringLiteral("\t a \t");
        QTest::newRow("no-break space stays") << QStringLiteral("\u00a0a ") << QStringLiteral("\u00a0a");
    }
    void trimSpaces()
    {
        QFETCH(QString, text);
        QFETCH(QString, trimmed);
        QCOMPARE(TrimSpaces(text), trimmed);
        // The byte form used on file lines trims the same way.
        QCOMPARE(TrimSpaces(QByteArrayView(text.toLatin1())).toByteArray(), trimmed.toLatin1());
    }

    void normaliseAddressText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalised");
        QTest::newRow("spaces, empty entries, CR LF") << QStringLiteral(" 10.0.0.1 ,, host1,\r\n,10.0.0.2, ")
                                                      << QStringLiteral("10.0.0.1,host1,10.0.0.2");
        QTest::newRow("IPv6 literals, one with its zone, as written")
            << QStringLiteral("2001:DB8::1,\nfe80::1%eth0, ::ffff:10.0.0.1")
            << QStringLiteral("2001:DB8::1,fe80::1%eth0,::ffff:10.0.0.1");
        QTest::newRow("only commas") << QStringLiteral(",,,") << QString();
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("case kept") << QStringLiteral("Host1,HOST2") << QStringLiteral("Host1,HOST2");
        QTest::newRow("lone CR and LF") << QStringLiteral("a\rb,\nc") << QStringLiteral("ab,c");
        QTest::newRow("line breaks of the text box")
            << QStringLiteral("10.0.0.1,\n10.0.0.2\n") << QStringLiteral("10.0.0.1,10.0.0.2");
        QTest::newRow("tab, vertical tab, DEL, NUL")
            << QStringLiteral("a\tb,c\vd,e") + QChar(0x7f) + QChar(0) + QStringLiteral("f")
            << QStringLiteral("ab,cd,ef");
        QTest::newRow("other white space") << QStringLiteral("a") + QChar(0xa0) + QStringLiteral("b,c") +
                                                  QChar(0x2028) + QStringLiteral("d") + QChar(0x3000)
                                           << QStringLiteral("ab,cd");
        QTest::newRow("comma runs around removed characters")
            << QStringLiteral(",\t, ,a,\r,b") << QStringLiteral("a,b");
        QTest::newRow("characters graph.txt cannot hold")
            << QStringLiteral("h\u00e9,x\u20acy,") + QString::fromUtf8("\xf0\x9f\x98\x80")
            << QStringLiteral("h\u00e9,x?y,?");
    }
    void normaliseAddressText()
    {
        QFETCH(QString, text);
        QFETCH(QString, normalised);
        QCOMPARE(NormaliseAddressText(text), normalised);
    }
    void joinLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("each break one space")
            << QStringLiteral("a\r\nb\nc\rd\u2028e") << QStringLiteral("a b c d e");
        QTest::newRow("other controls go, blanks stay")
            << QStringLiteral(" a\tb\x01 ") << QStringLiteral(" ab ");
    }
    void joinLines()
    {
        QFETCH(QString, text);
        QFETCH(QString, line);
        QCOMPARE(JoinLines(text), line);
    }
};

QTEST_APPLESS_MAIN(TestText)
#include "test_text.moc"
