// Loading graph.txt into the model.
//
// Invariants:
//  - Loading never stops at a bad line: a value that cannot be used leaves the setting or the pending
//    value as it was and adds one warning naming the line.
//  - Pending location values carry from block to block (all but PARENT=); only SITETOP creates a
//    location.
//  - Memory stays bounded by one line whatever the file holds (see LineReader).
#include "store/fileops.h"
#include "store/graphfile.h"
#include "store/linereader.h"
#include "store/numbers.h"
#include "store/parents.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>
#include <utility>

namespace qos {

namespace {

constexpr qsizetype ShownLineLength = 80;

// Largest distance in twips of a position from the window's origin that is loaded. Far beyond the
// client area (9585 x 8145 twips), yet small enough that every pixel geometry computed from it
// stays well inside int.
constexpr float MaxPositionTwips = 1e6f;

QString KeyName(Key key)
{
    return QString::fromLatin1(KeyText(key).chopped(1));
}

class Loader {
public:
    Loader(Configuration &cfg, LoadResult &result, const QString &fileName)
        : m_cfg(cfg)
        , m_result(result)
        , m_fileName(fileName)
    {}

    void read(qint64 number, QByteArrayView line)
    {
        const auto keyed = ReadKeyedLine(line);
        if (!keyed)
            return;
        m_number = number;
        m_line = line;
        const QByteArrayView value = keyed->value;
        MainSettings &s = m_cfg.settings;
        switch (keyed->key) {
        case Key::SiteId:
            m_name = QString::fromLatin1(value);
            break;
        case Key::SiteIp:
            m_addresses = QString::fromLatin1(value);
            for (const QString &literal : InvalidIpv6Literals(SplitAddressList(m_addresses)))
                warnValue(QStringLiteral("\"%1\" is no IPv6 address; it is probed as a name.").arg(literal));
            break;
        case Key::SiteLeft:
            readPosition(Key::SiteLeft, value, m_left);
            break;
        case Key::Disabled:
            m_disabled = QString::fromLatin1(value);
            break;
        case Key::Ignore:
            m_ignore = QString::fromLatin1(value);
            break;
        case Key::PingTimeout:
            readSetting(Key::PingTimeout, value, s.PINGTIMEOUT);
            break;
        case Key::PingInterval:
            readSetting(Key::PingInterval, value, s.PINGINTERVAL);
            break;
        case Key::PingPackets:
            readSetting(Key::PingPackets, value, s.PINGPACKETS);
            break;
        case Key::PingInFlight:
            readSetting(Key::PingInFlight, value, s.PINGINFLIGHT);
            break;
        case Key::AlertWav:
            s.ALERTWAV = QString::fromLatin1(value);
            break;
        case Key::OnlineWav:
            s.ONLINEWAV = QString::fromLatin1(value);
            break;
        case Key::IconText:
            s.ICONTEXT = QString::fromLatin1(value);
            break;
        case Key::Notifications:
            readSetting(Key::Notifications, value, s.NOTIFICATIONS);
            break;
        case Key::OfflineCycles:
            readSetting(Key::OfflineCycles, value, s.OFFLINECYCLES);
            break;
        case Key::Metrics:
            s.METRICS = QString::fromLatin1(value);
            break;
        case Key::AddressHistograms:
            readSetting(Key::AddressHistograms, value, s.ADDRESSHISTOGRAMS);
            break;
        case Key::Parent:
            m_parent = QString::fromLatin1(value);
            break;
        case Key::Partial:
            readSetting(Key::Partial, value, s.PARTIAL);
            break;
        case Key::SlowMs:
            readSetting(Key::SlowMs, value, s.SLOWMS);
            break;
        case Key::SlowLoss:
            readSetting(Key::SlowLoss, value, s.SLOWLOSS);
            break;
        case Key::Shapes:
            readSetting(Key::Shapes, value, s.SHAPES);
            break;
        case Key::SiteTop:
            readPosition(Key::SiteTop, value, m_top);
            addLocation();
            break;
        }
    }

    void warn(qint64 number, const QString &what)
    {
        m_result.warnings << QStringLiteral("%1, line %2: %3").arg(m_fileName).arg(number).arg(what);
    }

    // After the last line: parents that name no location or lead round in a loop; a packet count below
    // 1 would send no echo request at all, and every enabled location would show online.
    void finish()
    {
        for (const QString &warning : ResolveParents(m_cfg.table).warnings)
            m_result.warnings << QStringLiteral("%1: %2").arg(m_fileName, warning);
        if (m_packetsLine.isEmpty() || m_cfg.settings.PINGPACKETS >= 1)
            return;
        warn(m_packetsNumber,
             QStringLiteral("\"%1\": fewer than 1 ping packet, so no echo request is sent and "
                            "every enabled location shows online. Set the number with "
                            "Settings, Ping Packets.")
                 .arg(m_packetsLine));
    }

private:
    QString shownLine() const
    {
        QString shown = QString::fromLatin1(m_line.first(qMin(m_line.size(), ShownLineLength)));
        if (m_line.size() > ShownLineLength)
            shown += QStringLiteral("...");
        return shown;
    }
    void warnValue(const QString &what)
    {
        warn(m_number, QStringLiteral("\"%1\": %2").arg(shownLine(), what));
    }

    void readSetting(Key key, QByteArrayView value, qint16 &field)
    {
        if (const auto number = ToInt16(value)) {
            field = *number;
            if (key == Key::PingPackets) {
                m_packetsNumber = m_number;
                m_packetsLine = shownLine();
            }
            return;
        }
        warnValue(
            QStringLiteral("not a number from -32768 to 32767; %1 stays %2.").arg(KeyName(key)).arg(field));
    }

    void readPosition(Key key, QByteArrayView value, float &pending)
    {
        const auto number = ToPosition(value);
        if (number && std::abs(*number) <= MaxPositionTwips) {
            pending = *number;
            return;
        }
        const QString kept = QString::fromLatin1(PositionText(pending));
        if (!number) {
            warnValue(QStringLiteral("not a number; %1 stays %2.").arg(KeyName(key), kept));
            return;
        }
        const QString bound = QString::fromLatin1(PositionText(MaxPositionTwips));
        warnValue(QStringLiteral("outside the window's reach (-%1 to %1); %2 stays %3.")
                      .arg(bound, KeyName(key), kept));
    }

    void addLocation()
    {
        if (m_cfg.table.LocationCount() >= MaxLocations) {
            if (!m_full)
                warnValue(
                    QStringLiteral("more than %1 locations; this one and any later ones are not loaded.")
                        .arg(MaxLocations));
            m_full = true;
            return;
        }
        LocationRecord rec;
        rec.site = m_name;
        rec.left = m_left;
        rec.top = m_top;
        rec.siteip = m_addresses;
        rec.sitedisabled = m_disabled;
        rec.ignore = m_ignore;
        // Unlike the older values a parent does not carry into the next block: a location names its
        // own, or has none.
        rec.parent = std::exchange(m_parent, QString());
        const auto disabled = ToNumber(m_disabled.toLatin1());
        rec.center = disabled && *disabled == 1.0 ? Indicator::Black : Indicator::White;
        m_cfg.table.records.append(std::move(rec));
    }

    Configuration &m_cfg;
    LoadResult &m_result;
    QString m_fileName;
    qint64 m_number = 0;
    QByteArrayView m_line;
    // Pending location values, carried from block to block.
    QString m_name;
    QString m_addresses;
    QString m_disabled;
    QString m_ignore;
    QString m_parent;
    float m_left = 0;
    float m_top = 0;
    bool m_full = false;
    qint64 m_packetsNumber = 0; // the PINGPACKETS line read last, and its text
    QString m_packetsLine;
};

void ReadFile(const QString &path, Configuration &cfg, LoadResult &result, FileOps &ops)
{
    QFile file(path);
    const QString name = QFileInfo(path).fileName();
    QString error;
    if (!ops.open(file, QIODevice::ReadOnly | QIODevice::Unbuffered, error)) {
        result.error = QStringLiteral("Cannot read %1: %2. No locations were loaded; the file is left as "
                                      "it is and changes cannot be saved until it can be read.")
                           .arg(QDir::toNativeSeparators(path), error);
        return;
    }
    Loader loader(cfg, result, name);
    LineReader reader(file, ops);
    for (;;) {
        switch (reader.next()) {
        case LineReader::Outcome::Line:
            loader.read(reader.lineNumber(), reader.line());
            break;
        case LineReader::Outcome::TooLong:
            loader.warn(reader.lineNumber(),
                        QStringLiteral("longer than %1 bytes; the line was skipped.").arg(MaxLineLength));
            break;
        case LineReader::Outcome::Failed:
            result.error = QStringLiteral("Reading %1 failed at line %2: %3. Only the lines before it were "
                                          "loaded; the file is left as it is.")
                               .arg(QDir::toNativeSeparators(path), QString::number(reader.lineNumber() + 1),
                                    reader.error());
            return;
        case LineReader::Outcome::End:
            loader.finish();
            return;
        }
    }
}

// An update stopped before its twin was put in place: the twin is the only copy, and is taken back
// when it is whole. False, with the reason in result.error, when nothing is to be loaded; otherwise a
// twin that could not be renamed is to be loaded as it is (result.error says so).
bool RecoverTwin(const QString &path, const QString &twin, LoadResult &result, FileOps &ops)
{
    result.fileExisted = true;
    const QString shownTwin = QDir::toNativeSeparators(twin);
    if (const Status whole = CheckCompleteTwin(twin, ops); !whole) {
        result.error = QStringLiteral("%1 is missing and %2 cannot be taken back in its place: %3. No "
                                      "locations were loaded; move %2 away to start afresh.")
                           .arg(QLatin1String(GraphFileName), shownTwin, whole.error);
        return false;
    }
    QString error;
    if (!ops.rename(twin, path, false, error))
        result.error = QStringLiteral("%1 is missing and %2 holds the only copy of the configuration, "
                                      "but it could not be renamed: %3. It was loaded from %2; rename it "
                                      "to %1 before changing anything.")
                           .arg(QLatin1String(GraphFileName), shownTwin, error);
    return true;
}

} // namespace

LoadResult LoadConfiguration(const QString &folder, Configuration &cfg, FileOps *ops)
{
    FileOps system;
    FileOps &files = ops ? *ops : system;
    LoadResult result;
    cfg.settings = MainSettings{};
    cfg.table.clear();
    ++cfg.generation;

    QString path = GraphFilePath(folder);
    if (!QFileInfo::exists(path)) {
        const QString twin = GraphTwinPath(folder);
        if (!QFileInfo::exists(twin)) {
            cfg.settings.PINGTIMEOUT = 2000;
            cfg.settings.PINGINTERVAL = 3;
            cfg.settings.PINGPACKETS = 4;
            return result;
        }
        if (!RecoverTwin(path, twin, result, files))
            return result;
        if (result.error.isEmpty())
            result.warnings << QStringLiteral("%1 was missing. The configuration was recovered from %2, "
                                              "left by an update that did not finish.")
                                   .arg(QLatin1String(GraphFileName), QLatin1String(GraphTwinName));
        else
            path = twin;
    }
    result.fileExisted = true;
    ReadFile(path, cfg, result, files);
    return result;
}

QString StartupWarningsText(const QStringList &warnings)
{
    QString text = warnings.mid(0, MaxShownWarnings).join(QLatin1Char('\n'));
    if (warnings.size() > MaxShownWarnings)
        text += QStringLiteral("\n... and %1 more").arg(warnings.size() - MaxShownWarnings);
    return text;
}

} // namespace qos
