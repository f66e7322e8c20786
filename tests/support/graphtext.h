#pragma once
// graph.txt files in the program's own layout and program folders with the bundled pictures, for the
// window tests and the benchmarks.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

namespace qos::test {

struct GraphLocation {
    explicit GraphLocation(QByteArray siteName = {})
        : name(std::move(siteName))
    {}
    QByteArray name;
    QByteArray siteip = "127.0.0.1";
    QByteArray ignore;
    QByteArray disabled = "0";
    QByteArray left = "1500";
    QByteArray top = "1500";
    QByteArray parent; // PARENT=, a line only when set
};

inline GraphLocation Site(const QByteArray &name, const QByteArray &siteip, const QByteArray &ignore = {},
                          const QByteArray &disabled = "0")
{
    GraphLocation l{name};
    l.siteip = siteip;
    l.ignore = ignore;
    l.disabled = disabled;
    return l;
}

inline QByteArray LocationBlock(const GraphLocation &l)
{
    return "------------LOCATION BEGIN-----------\r\nSITEID=" + l.name + "\r\nIGNORE=" + l.ignore +
           "\r\nSITEIP=" + l.siteip + "\r\nDISABLED=" + l.disabled + "\r\nSITELEFT=" + l.left +
           (l.parent.isEmpty() ? QByteArray() : "\r\nPARENT=" + l.parent) + "\r\nSITETOP=" + l.top +
           "\r\n------------LOCATION END-----------\r\n";
}

inline QByteArray GraphText(const QList<GraphLocation> &locations, const QByteArray &settingsExtra = {})
{
    QByteArray text = "------------MAIN SETTINGS-----------\r\nPINGTIMEOUT=2000\r\nPINGINTERVAL=3\r\n"
                      "PINGPACKETS=4\r\nALERTWAV=\r\nONLINEWAV=\r\n" +
                      settingsExtra + "------------MAIN SETTINGS-----------\r\n";
    for (const GraphLocation &l : locations)
        text += LocationBlock(l);
    return text;
}

inline bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The file's bytes; empty when it cannot be read.
inline QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteGraph(const QString &folder, const QList<GraphLocation> &locations,
                       const QByteArray &settingsExtra = {})
{
    return WriteFile(QDir(folder).filePath(QStringLiteral("graph.txt")), GraphText(locations, settingsExtra));
}

// Copies the bundled pictures into a program folder.
inline bool CopyAssets(const QString &assetsDir, const QString &folder)
{
    for (const char *name : {"map.gif", "swag.ico", "swar.ico"}) {
        const QString to = QDir(folder).filePath(QLatin1String(name));
        QFile::remove(to);
        if (!QFile::copy(QDir(assetsDir).filePath(QLatin1String(name)), to))
            return false;
    }
    return true;
}

} // namespace qos::test
