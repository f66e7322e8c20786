#include "mapview/addlocation.h"

#include "platform/twips.h"
#include "store/graphfile.h"
#include "store/text.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace qos {

namespace {

// n / d rounded to the nearest integer, halves to even; d > 0.
qint64 DivideHalfEven(qint64 n, qint64 d)
{
    qint64 q = n / d;
    qint64 r = n % d;
    if (r < 0) { // floor division
        --q;
        r += d;
    }
    if (2 * r > d || (2 * r == d && (q & 1) != 0))
        ++q;
    return q;
}

qint32 ClampToInt32(qint64 v)
{
    return qint32(
        std::clamp<qint64>(v, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

// The factor used when the display reports none that makes sense.
constexpr double DefaultTwipsPerPixel = 15.0;

double UsableFactor(double f)
{
    return (std::isfinite(f) && f > 0) ? f : DefaultTwipsPerPixel;
}

} // namespace

QString CleanName(const QString &text)
{
    return TrimSpaces(ToFileCharacters(RemoveControlCharacters(text))).left(MaxNameLength);
}

bool NameInUse(const LocationTable &table, const QString &name)
{
    return FindLocationByName(table, name) != 0;
}

QPoint PlacementPoint(double xTwips, double yTwips, double twipsPerPixelX, double twipsPerPixelY)
{
    const qint64 px = RoundHalfEven(xTwips / UsableFactor(twipsPerPixelX));
    const qint64 py = RoundHalfEven(yTwips / UsableFactor(twipsPerPixelY));
    // 14.75 and 14.94 in hundredths, so the halves are exact.
    return {ClampToInt32(DivideHalfEven(px * 1475, 100)), ClampToInt32(DivideHalfEven(py * 1494, 100))};
}

QString SubmitOutcome::message() const
{
    switch (kind) {
    case Kind::Added:
        return {};
    case Kind::NameInUse:
        return QStringLiteral("Site name already in use.") + QStringLiteral("\r\n\r\n") +
               QStringLiteral("Please enter unique name.");
    case Kind::BlankName:
        return QStringLiteral("Please enter a display name for the location (up to %1 characters).")
            .arg(MaxNameLength);
    case Kind::NoAddresses:
        return QStringLiteral("Please enter at least one host name or IP address for the location.");
    case Kind::TableFull:
        return QStringLiteral("No more locations can be added: the map already holds %1 locations.")
            .arg(MaxLocations);
    case Kind::StoreFailed:
        return QStringLiteral("The location could not be added to graph.txt.") + QStringLiteral("\r\n\r\n") +
               error;
    }
    return {};
}

LocationAppender GraphFileAppender(const QString &folder, const Configuration &cfg, PleaseWait *pleaseWait)
{
    return [folder, &cfg, pleaseWait](const LocationRecord &rec) {
        return AppendLocation(folder, cfg.settings, rec, pleaseWait);
    };
}

SubmitOutcome SubmitLocation(Configuration &cfg, const RunState &run, const QString &nameText,
                             const QString &addressText, const AddLocationSeams &seams)
{
    SubmitOutcome out;
    out.name = nameText;
    out.addresses = addressText;
    LocationTable &table = cfg.table;
    if (table.LocationCount() >= MaxLocations) {
        out.kind = SubmitOutcome::Kind::TableFull;
        return out;
    }

    const QString name = CleanName(nameText);
    if (name.isEmpty()) {
        out.kind = SubmitOutcome::Kind::BlankName;
        return out;
    }
    out.name = name;
    // Checked as typed and as it will be stored, so a case variant of an existing lower-case
    // name cannot create a second location with the same marker text.
    const QString storedName = name.toLower();
    if (NameInUse(table, name) || NameInUse(table, storedName)) {
        out.kind = SubmitOutcome::Kind::NameInUse;
        out.name.clear();
        return out;
    }

    const QString addresses = NormaliseAddressText(addressText);
    if (SplitAddressList(addresses).join(QString()).trimmed().isEmpty()) {
        out.kind = SubmitOutcome::Kind::NoAddresses;
        out.name = nameText;
        return out;
    }
    out.addresses = addresses;

    const int k = table.LocationCount() + 1;
    LocationRecord rec;
    rec.site = storedName;
    rec.left = float(qint64(run.PlacementX) + 200);
    rec.top = float(run.PlacementY);
    rec.siteip = out.addresses.toLower();
    rec.ignore.clear();
    rec.sitedisabled = QStringLiteral("0");
    table.records.append(rec);
    if (seams.createMarker)
        seams.createMarker(k);

    const Status written = seams.append
                               ? seams.append(table[k])
                               : Status::failure(QStringLiteral("No configuration file to write to."));
    if (!written) {
        if (seams.removeMarker)
            seams.removeMarker(k);
        table.records.removeLast();
        out.kind = SubmitOutcome::Kind::StoreFailed;
        out.error = written.error;
        return out;
    }

    if (seams.addMenuItem)
        seams.addMenuItem(k);
    out.kind = SubmitOutcome::Kind::Added;
    out.index = k;
    return out;
}

} // namespace qos
