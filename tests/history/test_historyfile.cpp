// The history file on disk: damaged, cut and foreign files read as far as they make sense and never
// rewritten, appending after them, rotation with one previous file read back in order, and writes
// that fail.
#include "history/historyfile.h"
#include "tests/history/rig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace qos;
using namespace qos::test;

namespace {

QByteArray Line(int i, const char *site = "L")
{
    return FormatChange({T0 + i * 1000, QString::fromLatin1(site), QStringLiteral("10.0.0.%1").arg(i % 250),
                         i % 2 ? State::Answering : State::NotAnswering,
                         i % 2 ? State::NotAnswering : State::Answering, QStringLiteral("OFFLINE"), -1});
}

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
}

bool Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestHistoryFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void reading_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("events");
        QTest::addColumn<int>("badLines");
        QTest::addColumn<int>("firstBad");
        QTest::addColumn<bool>("ours");
        QTest::addColumn<QByteArray>("afterAppend"); // what one more line makes of the file

        const QByteArray h = HistoryHeader();
        const QByteArray a = Line(1), b = Line(2), c = Line(3);
        QTest::newRow("missing") << QByteArray("<absent>") << 0 << 0 << 0 << true << h + c;
        QTest::newRow("empty") << QByteArray() << 0 << 0 << 0 << true << h + c;
        QTest::newRow("header only") << h << 0 << 0 << 0 << true << h + c;
        QTest::newRow("cut inside the header") << h.left(20) << 0 << 0 << 0 << true << h + c;
        QTest::newRow("whole") << h + a + b << 2 << 0 << 0 << true << h + a + b + c;
        QTest::newRow("LF line ends") << QByteArray(h + a + b).replace("\r\n", "\n") << 2 << 0 << 0 << true
                                      << QByteArray(h + a + b).replace("\r\n", "\n") + c;
        QTest::newRow("cut in its last line")
            << h + a + b.left(30) << 1 << 1 << 3 << true << h + a + b.left(30) + "\r\n" + c;
        QTest::newRow("last line without its line end")
            << h + a + b.chopped(2) << 2 << 0 << 0 << true << h + a + b.chopped(2) + "\r\n" + c;
        QTest::newRow("hand-edited lines")
            << h + a + "hello\r\n\r\n" + b + "1,2,3\r\n"
            << 2 << 2 << 3 << true << h + a + "hello\r\n\r\n" + b + "1,2,3\r\n" + c;
        const QByteArray twoLines = "2024-05-01T14:00:00.000Z,\"Leeds\r\nWest\",,waiting,online,,\r\n";
        QTest::newRow("quoted line break") << h + twoLines + a << 2 << 0 << 0 << true << h + twoLines + a + c;
        QTest::newRow("quote never closes")
            << h + a + "2024-05-01T14:00:00.000Z,\"L,,waiting,online,,\r\n" + b << 1 << 1 << 3 << true
            << h + a + "2024-05-01T14:00:00.000Z,\"L,,waiting,online,,\r\n" + b + c;
        const QByteArray huge = QByteArray(MaxHistoryLine + 1, 'x') + "\r\n";
        QTest::newRow("a line beyond the cap") << h + huge + a << 1 << 1 << 2 << true << h + huge + a + c;
        const QByteArray open = "2024-05-01T14:00:00.000Z,\"L\r\n" + QByteArray(MaxHistoryLine / 2, 'x') + "\r\n";
        QTest::newRow("a quoted record beyond the cap")
            << h + open + QByteArray(MaxHistoryLine / 2, 'y') + "\",,waiting,online,,\r\n" + a << 1 << 1 << 2
            << true << h + open + QByteArray(MaxHistoryLine / 2, 'y') + "\",,waiting,online,,\r\n" + a + c;
        QTest::newRow("not ours") << QByteArray("name,phone\r\nAnn,123\r\n") << 0 << 0 << 0 << false
                                  << QByteArray("name,phone\r\nAnn,123\r\n");
        QTest::newRow("our lines without the header") << a + b << 0 << 0 << 0 << false << a + b;
    }
    void reading()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, ours);
        QTemporaryDir dir;
        const QString path = HistoryFilePath(dir.path());
        if (content != "<absent>")
            QVERIFY(Write(path, content));

        const LoadedHistory loaded = LoadHistory(dir.path());
        QTEST(int(loaded.log->size()), "events");
        QTEST(loaded.current.badLines, "badLines");
        QTEST(loaded.current.firstBadLine, "firstBad");
        QCOMPARE(loaded.current.ours, ours);
        QCOMPARE(loaded.warning.isEmpty(), ours && loaded.current.badLines == 0);
        QCOMPARE(Read(path), content); // reading changes nothing

        HistoryWriter writer(dir.path());
        writer.setFound(loaded.current, loaded.previous);
        const Status s = writer.append(Line(3));
        QCOMPARE(s.ok(), ours);
        if (!ours)
            QCOMPARE(s.kind, Status::Kind::Refused);
        QTEST(Read(path), "afterAppend");
        QVERIFY(!QFile::exists(PreviousHistoryFilePath(dir.path())));
    }

    void rotation_data()
    {
        QTest::addColumn<int>("rotateBytes");
        QTest::addColumn<int>("lines");
        const int line = int(Line(0).size()), header = int(HistoryHeader().size());
        QTest::newRow("never full") << 1 << 0;
        QTest::newRow("exactly full") << header + 3 * line << 3;
        QTest::newRow("one past full") << header + 3 * line << 4;
        QTest::newRow("many rotations") << header + 5 * line + 10 << 57;
        QTest::newRow("a line longer than a file") << 10 << 3;
    }
    void rotation()
    {
        QFETCH(int, rotateBytes);
        QFETCH(int, lines);
        QTemporaryDir dir;
        HistoryWriter writer(dir.path(), rotateBytes);
        QList<QByteArray> written;
        for (int i = 0; i < lines; ++i) {
            written << Line(i);
            QVERIFY2(writer.append(written.back()), qPrintable(QString::number(i)));
        }
        const QByteArray current = Read(HistoryFilePath(dir.path()));
        const QByteArray previous = Read(PreviousHistoryFilePath(dir.path()));
        // Each file starts with the header and stays within the size, unless one line alone is bigger.
        QList<QByteArray> kept;
        for (const QByteArray &file : {previous, current}) {
            if (file == "<absent>")
                continue;
            QVERIFY(file.startsWith(HistoryHeader()));
            const QList<QByteArray> body = file.mid(HistoryHeader().size()).split('\n');
            QVERIFY(file.size() <= qMax<qint64>(rotateBytes, HistoryHeader().size() + Line(0).size()) ||
                    body.size() == 2);
            for (const QByteArray &l : body)
                if (!l.isEmpty())
                    kept << l + '\n';
        }
        // The newest lines are kept, in order, and nothing else; at most one previous file.
        QVERIFY(kept.size() <= written.size());
        QCOMPARE(kept, written.mid(written.size() - kept.size()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), lines == 0               ? 0
                                                                 : previous == "<absent>" ? 1
                                                                                          : 2);
        if (lines > 0)
            QVERIFY(current.endsWith(written.back()));

        // Read back: the previous file's lines, then the current one's, as they were written.
        const LoadedHistory loaded = LoadHistory(dir.path());
        QVERIFY(loaded.warning.isEmpty());
        QCOMPARE(loaded.log->size(), kept.size());
        for (qsizetype i = 0; i < kept.size(); ++i)
            QCOMPARE(FormatChange(loaded.log->record(loaded.log->events().at(i))), kept.at(i));
    }

    void foreignPreviousIsNeverReplaced()
    {
        QTemporaryDir dir;
        const QByteArray foreign = "someone else's\r\n";
        QVERIFY(Write(PreviousHistoryFilePath(dir.path()), foreign));
        const LoadedHistory loaded = LoadHistory(dir.path());
        QVERIFY(loaded.warning.contains(QLatin1String(PreviousHistoryFileName)));
        HistoryWriter writer(dir.path(), HistoryHeader().size() + Line(0).size());
        writer.setFound(loaded.current, loaded.previous);
        QVERIFY(writer.append(Line(0)));
        const Status full = writer.append(Line(1));
        QCOMPARE(full.kind, Status::Kind::IoFailure);
        QVERIFY(full.error.contains(QLatin1String("not replaced")));
        QCOMPARE(Read(PreviousHistoryFilePath(dir.path())), foreign);
        QCOMPARE(Read(HistoryFilePath(dir.path())), HistoryHeader() + Line(0));
    }

    void writeFailures()
    {
        QTemporaryDir dir;
        const QString path = HistoryFilePath(dir.path());
        QVERIFY(QDir().mkdir(path)); // a folder where the file should be
        const LoadedHistory loaded = LoadHistory(dir.path());
        QVERIFY(loaded.warning.isEmpty()); // the writer tells, not the reading
        HistoryWriter writer(dir.path());
        writer.setFound(loaded.current, loaded.previous);
        const Status s = writer.append(Line(0));
        QCOMPARE(s.kind, Status::Kind::IoFailure);
        QVERIFY(!s.error.isEmpty());
        // Once the folder has gone, the next line starts a file of its own.
        QVERIFY(QDir().rmdir(path));
        QVERIFY(writer.append(Line(1)));
        QCOMPARE(Read(path), HistoryHeader() + Line(1));

        // A rename that fails leaves both files as they were.
        struct NoRename : FileOps {
            bool rename(const QString &, const QString &, bool, QString &error) override
            {
                error = QStringLiteral("Device or resource busy");
                return false;
            }
        };
        HistoryWriter full(dir.path(), 1, std::make_unique<NoRename>());
        const Status r = full.append(Line(2));
        QCOMPARE(r.error, QStringLiteral("Device or resource busy"));
        QCOMPARE(Read(path), HistoryHeader() + Line(1));
        QVERIFY(!QFile::exists(PreviousHistoryFilePath(dir.path())));
    }
};

QTEST_APPLESS_MAIN(TestHistoryFile)
#include "test_historyfile.moc"
