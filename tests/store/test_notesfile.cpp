#include "graphfiles.h"
#include "store/notesfile.h"
#include "tests/support/fakes.h"

#include <QTemporaryDir>
#include <QTest>

using namespace qos;
using namespace qos::test;

enum Op { Save, Drop, DropLocation };
Q_DECLARE_METATYPE(Op)

namespace {

const QByteArray Begin = "------------LOCATION BEGIN-----------\r\n";
const QByteArray End = "------------LOCATION END-----------\r\n";

QByteArray Notes(const QByteArray &site, const QByteArray &lines)
{
    return Begin + "SITEID=" + site + "\r\n" + lines + End;
}

const QByteArray Absent = "<absent>";

Status Apply(Op op, const QString &folder, const QString &site, const QString &address, const QString &note,
             PleaseWait *wait, FileOps *ops = nullptr)
{
    switch (op) {
    case Save:
        return SaveAddressNote(folder, site, address, note, wait, ops);
    case Drop:
        return DropAddressNote(folder, site, address, wait, ops);
    case DropLocation:
        return DropLocationNotes(folder, site, wait, ops);
    }
    return Status::success();
}

QByteArray Contents(const QString &folder)
{
    return QFile::exists(NotesFilePath(folder)) ? ReadBytes(NotesFilePath(folder)) : Absent;
}

} // namespace

class TestNotesFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void writes_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<Op>("op");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("kind");
        const int ok = int(Status::Kind::Ok);
        const int refused = int(Status::Kind::Refused);
        const QString abc = QStringLiteral("abc");
        const QString ip1 = QStringLiteral("10.0.0.1");
        const QString none;
        const QByteArray one = Notes("abc", "10.0.0.1=first\r\n");
        const QByteArray pair =
            Notes("abc", "110.0.0.1=long\r\n10.0.0.1=short\r\n") + Notes("def", "10.0.0.1=other\r\n");

        QTest::newRow("first save creates four lines")
            << Absent << Save << abc << ip1 << QStringLiteral("first") << one << ok;
        QTest::newRow("first save of a blank note too")
            << Absent << Save << abc << ip1 << none << Notes("abc", "10.0.0.1=\r\n") << ok;
        QTest::newRow("second address goes before END")
            << one << Save << abc << QStringLiteral("h") << QStringLiteral("x")
            << Notes("abc", "10.0.0.1=first\r\nh=x\r\n") << ok;
        QTest::newRow("replace") << one << Save << abc << ip1 << QStringLiteral("a = b")
                                 << Notes("abc", "10.0.0.1=a = b\r\n") << ok;
        QTest::newRow("blank note deletes its line")
            << one << Save << abc << ip1 << QStringLiteral("  ") << Notes("abc", "") << ok;
        QTest::newRow("blank note without a line inserts A=")
            << one << Save << abc << QStringLiteral("h") << none << Notes("abc", "10.0.0.1=first\r\nh=\r\n")
            << ok;
        QTest::newRow("blank note without a block changes nothing")
            << one << Save << QStringLiteral("def") << ip1 << none << one << ok;
        QTest::newRow("new location appends its block")
            << one << Save << QStringLiteral("def") << ip1 << QStringLiteral("y")
            << one + Notes("def", "10.0.0.1=y\r\n") << ok;
        QTest::newRow("exact address: save")
            << pair << Save << abc << ip1 << QStringLiteral("new")
            << QByteArray(pair).replace("10.0.0.1=short", "10.0.0.1=new") << ok;
        QTest::newRow("exact address: drop")
            << pair << Drop << abc << ip1 << none << QByteArray(pair).replace("\r\n10.0.0.1=short", "") << ok;
        QTest::newRow("same address, other location")
            << pair << Drop << QStringLiteral("def") << ip1 << none
            << Notes("abc", "110.0.0.1=long\r\n10.0.0.1=short\r\n") + Notes("def", "") << ok;
        QTest::newRow("drop takes copies along")
            << Notes("abc", "h=1\r\ng=2\r\nh=3\r\n") << Drop << abc << QStringLiteral("h") << none
            << Notes("abc", "g=2\r\n") << ok;
        QTest::newRow("blank note takes copies along")
            << Notes("abc", "h=1\r\nh=3\r\n") << Save << abc << QStringLiteral("h") << none
            << Notes("abc", "") << ok;
        QTest::newRow("save replaces the first of copies")
            << Notes("abc", "h=1\r\nh=3\r\n") << Save << abc << QStringLiteral("h") << QStringLiteral("n")
            << Notes("abc", "h=n\r\nh=3\r\n") << ok;
        QTest::newRow("drop without a note")
            << one << Drop << abc << QStringLiteral("h") << none << one << ok;
        QTest::newRow("drop without a file") << Absent << Drop << abc << ip1 << none << Absent << ok;
        QTest::newRow("drop location")
            << pair << DropLocation << abc << none << none << Notes("def", "10.0.0.1=other\r\n") << ok;
        QTest::newRow("drop location without a file")
            << Absent << DropLocation << abc << none << none << Absent << ok;
        QTest::newRow("drop the first of two blocks of one name")
            << one + Notes("abc", "h=2\r\n") << DropLocation << abc << none << none << Notes("abc", "h=2\r\n")
            << ok;
        QByteArray many;
        for (int k = 0; k < 150; ++k)
            many += "10.0." + QByteArray::number(k) + ".1=note\r\n";
        QTest::newRow("drop a block of 150 notes")
            << Notes("abc", many) + one << DropLocation << abc << none << none << one << ok;
        QTest::newRow("name matched exactly")
            << one << Save << QStringLiteral("ABC") << ip1 << QStringLiteral("z")
            << one + Notes("ABC", "10.0.0.1=z\r\n") << ok;
        QTest::newRow("note holding SITEID= is written")
            << one << Save << abc << QStringLiteral("h") << QStringLiteral("see SITEID=x")
            << Notes("abc", "10.0.0.1=first\r\nh=see SITEID=x\r\n") << ok;
        QTest::newRow("a block without END ends at the next block")
            << Begin + "SITEID=abc\r\n" + Notes("def", "") << Save << abc << ip1 << QStringLiteral("n")
            << Begin + "SITEID=abc\r\n10.0.0.1=n\r\n" + Notes("def", "") << ok;
        QTest::newRow("LF only lines come out CR LF")
            << QByteArray(one).replace("\r\n", "\n") << Save << abc << ip1 << QStringLiteral("n")
            << Notes("abc", "10.0.0.1=n\r\n") << ok;

        QTest::newRow("line break in a note")
            << one << Save << abc << ip1 << QStringLiteral("a\r\nSITEID=x") << one << refused;
        QTest::newRow("line break on first save")
            << Absent << Save << abc << ip1 << QStringLiteral("a\nb") << Absent << refused;
        QTest::newRow("tab in a note")
            << one << Save << abc << ip1 << QStringLiteral("a\tb") << one << refused;
        QTest::newRow("not Latin-1") << one << Save << abc << ip1 << QStringLiteral("\u20ac") << one
                                     << refused;
        QTest::newRow("IPv6 note replaces its other spelling's line")
            << Notes("abc", "2001:DB8:0::1=old\r\n") << Save << abc << QStringLiteral("2001:db8::1")
            << QStringLiteral("new") << Notes("abc", "2001:db8::1=new\r\n") << ok;
        QTest::newRow("= in an address")
            << one << Save << abc << QStringLiteral("a=b") << QStringLiteral("n") << one << refused;
        QTest::newRow("address SITEID")
            << one << Save << abc << QStringLiteral("SITEID") << QStringLiteral("n") << one << refused;
        QTest::newRow("no address") << one << Save << abc << none << QStringLiteral("n") << one << refused;
        QTest::newRow("line break in a name") << one << Save << QStringLiteral("x\r\nSITEID=abc") << ip1
                                              << QStringLiteral("n") << one << refused;
    }
    void writes()
    {
        QFETCH(QByteArray, before);
        QFETCH(Op, op);
        QFETCH(QString, site);
        QFETCH(QString, address);
        QFETCH(QString, note);
        QFETCH(QByteArray, after);
        QFETCH(int, kind);
        QTemporaryDir dir;
        if (before != Absent)
            QVERIFY(WriteBytes(NotesFilePath(dir.path()), before));
        FakePleaseWait wait;
        const Status s = Apply(op, dir.path(), site, address, note, &wait);
        QCOMPARE(int(s.kind), kind);
        QCOMPARE(Contents(dir.path()), after);
        QVERIFY(!QFile::exists(NotesTwinPath(dir.path())));
        QVERIFY(!wait.showing());
        if (!s.ok() || op != Save)
            return;
        QString loaded = QStringLiteral("stale");
        QVERIFY(LoadAddressNote(dir.path(), site, address, loaded, &wait).ok());
        QCOMPARE(loaded, note.trimmed().isEmpty() ? QString() : note); // what is saved loads back
    }

    // A refusal quotes the operator's text as it is, a "%2" in it too.
    void refusalQuotesTheNote()
    {
        QTemporaryDir dir;
        FakePleaseWait wait;
        const Status s = Apply(Save, dir.path(), QStringLiteral("abc"), QStringLiteral("10.0.0.1"),
                               QStringLiteral("100%2 up\tnow"), &wait);
        QVERIFY2(s.error.contains(QStringLiteral("\"100%2 up\tnow\"")) &&
                     s.error.contains(QStringLiteral("(code 9)")),
                 qPrintable(s.error));
    }

    void loads_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("note");
        const QByteArray pair =
            Notes("abc", "110.0.0.1=long\r\n10.0.0.1=short\r\n") + Notes("def", "10.0.0.1=other\r\n");
        const QString abc = QStringLiteral("abc");
        QTest::newRow("no file") << Absent << abc << QStringLiteral("10.0.0.1") << QString();
        QTest::newRow("exact address")
            << pair << abc << QStringLiteral("10.0.0.1") << QStringLiteral("short");
        QTest::newRow("longer address")
            << pair << abc << QStringLiteral("110.0.0.1") << QStringLiteral("long");
        QTest::newRow("other location")
            << pair << QStringLiteral("def") << QStringLiteral("10.0.0.1") << QStringLiteral("other");
        QTest::newRow("no note in this location")
            << pair << QStringLiteral("def") << QStringLiteral("110.0.0.1") << QString();
        QTest::newRow("exact name") << pair << QStringLiteral("ABC") << QStringLiteral("10.0.0.1")
                                    << QString();
        QTest::newRow("= in the note")
            << Notes("abc", "h=a=b=\r\n") << abc << QStringLiteral("h") << QStringLiteral("a=b=");
        QTest::newRow("empty note") << Notes("abc", "h=\r\n") << abc << QStringLiteral("h") << QString();
        QTest::newRow("after a note holding SITEID=") << Notes("abc", "a=see SITEID=x\r\nh=later\r\n") << abc
                                                      << QStringLiteral("h") << QStringLiteral("later");
        QTest::newRow("not past the next SITEID= line")
            << Begin + "SITEID=abc\r\nSITEID=def\r\nh=def's\r\n" + End << abc << QStringLiteral("h")
            << QString();
        QTest::newRow("not past the block's END") << Notes("abc", "") + "h=stray\r\n"
                                                  << abc << QStringLiteral("h") << QString();
        const QByteArray v6 = Notes("abc", "2001:DB8:0::1=six\r\n2001:db8::10=ten\r\n");
        QTest::newRow("IPv6 in another spelling")
            << v6 << abc << QStringLiteral("2001:db8::1") << QStringLiteral("six");
        QTest::newRow("IPv6 that only starts alike")
            << v6 << abc << QStringLiteral("2001:db8::") << QString();
        QTest::newRow("Latin-1 bytes")
            << Notes("K\xf6ln", "h=Stra\xdf"
                                "e\r\n")
            << QStringLiteral("K\u00f6ln") << QStringLiteral("h") << QStringLiteral("Stra\u00dfe");
    }
    void loads()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, site);
        QFETCH(QString, address);
        QFETCH(QString, note);
        QTemporaryDir dir;
        if (file != Absent)
            QVERIFY(WriteBytes(NotesFilePath(dir.path()), file));
        FakePleaseWait wait;
        QString loaded = QStringLiteral("stale");
        QVERIFY(LoadAddressNote(dir.path(), site, address, loaded, &wait).ok());
        QCOMPARE(loaded, note);
        QCOMPARE(wait.begins, file == Absent ? 0 : 1);
        QVERIFY(!wait.showing());
    }

    void loneTwinIsRecovered()
    {
        QTemporaryDir dir;
        const QByteArray one = Notes("abc", "h=kept\r\n");
        QVERIFY(WriteBytes(NotesTwinPath(dir.path()), one));
        QVERIFY(SaveAddressNote(dir.path(), QStringLiteral("abc"), QStringLiteral("g"), QStringLiteral("new"),
                                nullptr)
                    .ok());
        QCOMPARE(ReadBytes(NotesFilePath(dir.path())), Notes("abc", "h=kept\r\ng=new\r\n"));
        QVERIFY(!QFile::exists(NotesTwinPath(dir.path())));
    }

    void failureLeavesFileIntact_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("onCall");
        QTest::addColumn<QString>("named");
        const struct {
            const char *name;
            Op op;
        } ops[] = {{"save", Save}, {"drop", Drop}, {"drop location", DropLocation}};
        for (const auto &o : ops)
            for (const FailureStep &s : RewriteFailureSteps)
                QTest::addRow("%s, %s", o.name, s.name)
                    << o.op << true << int(s.step) << s.onCall
                    << QString::fromLatin1(s.namesTwin ? "infotmp.txt" : "info.txt");
        QTest::newRow("first save, create twin")
            << Save << false << int(FailingOps::OpenTwin) << 1 << QStringLiteral("infotmp.txt");
        QTest::newRow("first save, write")
            << Save << false << int(FailingOps::Write) << 1 << QStringLiteral("infotmp.txt");
        QTest::newRow("first save, sync")
            << Save << false << int(FailingOps::Sync) << 1 << QStringLiteral("infotmp.txt");
        QTest::newRow("first save, rename")
            << Save << false << int(FailingOps::Rename) << 1 << QStringLiteral("info.txt");
    }
    void failureLeavesFileIntact()
    {
        QFETCH(Op, op);
        QFETCH(bool, exists);
        QFETCH(int, step);
        QFETCH(int, onCall);
        QFETCH(QString, named);
        QTemporaryDir dir;
        QByteArray before;
        for (int k = 0; before.size() < 200 * 1024; ++k) // several read and write chunks
            before += Notes("l" + QByteArray::number(k), "10.0.0.1=a note\r\n10.0.0.2=another note\r\n");
        before += Notes("abc", "10.0.0.1=last\r\n"); // the change comes late
        if (exists)
            QVERIFY(WriteBytes(NotesFilePath(dir.path()), before));
        FailingOps files;
        files.step = FailingOps::Step(step);
        files.onCall = onCall;
        files.text = QStringLiteral("No space left on device");
        FakePleaseWait wait;
        const Status s = Apply(op, dir.path(), QStringLiteral("abc"), QStringLiteral("10.0.0.1"),
                               QStringLiteral("changed"), &wait, &files);
        QCOMPARE(s.kind, Status::Kind::IoFailure);
        QVERIFY2(s.error.contains(named) && s.error.contains(files.text), qPrintable(s.error));
        QCOMPARE(Contents(dir.path()), exists ? before : Absent);
        QVERIFY(!QFile::exists(NotesTwinPath(dir.path())));
        QCOMPARE(wait.begins, 1);
        QVERIFY(!wait.showing());
    }

    void loadFailureIsReported_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("onCall");
        QTest::newRow("open") << int(FailingOps::OpenSource) << 1;
        QTest::newRow("first read") << int(FailingOps::Read) << 1;
        QTest::newRow("later read") << int(FailingOps::Read) << 2;
    }
    void loadFailureIsReported()
    {
        QFETCH(int, step);
        QFETCH(int, onCall);
        QTemporaryDir dir;
        QByteArray file;
        while (file.size() < 150 * 1024)
            file += Notes("x", "h=n\r\n");
        QVERIFY(WriteBytes(NotesFilePath(dir.path()), file + Notes("abc", "h=found\r\n")));
        FailingOps files;
        files.step = FailingOps::Step(step);
        files.onCall = onCall;
        QString note;
        const Status s =
            LoadAddressNote(dir.path(), QStringLiteral("abc"), QStringLiteral("h"), note, nullptr, &files);
        QCOMPARE(s.kind, Status::Kind::IoFailure);
        QVERIFY2(s.error.contains(QLatin1String("info.txt")) && s.error.contains(files.text),
                 qPrintable(s.error));
        QVERIFY(note.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestNotesFile)
#include "test_notesfile.moc"
