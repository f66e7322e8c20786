#include "store/locationrewrite.h"

#include "store/graphfile.h"
#include "store/text.h"

namespace qos {

namespace {

Status Run(const QString &folder, LineRule &rule, PleaseWait *pleaseWait, FileOps *ops)
{
    return RewriteViaTemporary(GraphFilePath(folder), GraphTwinPath(folder), &rule, {}, pleaseWait, ops);
}

Status RewriteKeyLine(const QString &folder, const LocationTable &table, int index, Key key,
                      const QString &value, PleaseWait *pleaseWait, FileOps *ops)
{
    LocationTarget target;
    if (Status s = TargetOf(table, index, target); !s)
        return s;
    QByteArray line;
    if (Status s = KeyLine(key, value, line); !s)
        return s;
    KeyedLineRule rule(target, key, line);
    return Run(folder, rule, pleaseWait, ops);
}

Status RewriteField(const QString &folder, const LocationTable &table, int index, Key key,
                    QString LocationRecord::*field, PleaseWait *pleaseWait, FileOps *ops)
{
    const bool known = index >= 1 && index <= table.LocationCount();
    return RewriteKeyLine(folder, table, index, key, known ? table[index].*field : QString(), pleaseWait,
                          ops);
}

} // namespace

Status TargetOf(const LocationTable &table, int index, LocationTarget &target)
{
    if (index < 1 || index > table.LocationCount())
        return Status::refused(QStringLiteral("There is no location number %1.").arg(index));
    const QString &site = table[index].site;
    for (const QChar c : site) {
        if (c.unicode() > 0xff) {
            return Status::notFound(
                QStringLiteral("The name of location %1 cannot stand in graph.txt, so no block holds it.")
                    .arg(site));
        }
    }
    target.siteLine = KeyText(Key::SiteId).toByteArray() + site.toLatin1();
    target.occurrence = 0;
    for (int k = 1; k <= index; ++k)
        target.occurrence += table[k].site == site ? 1 : 0;
    return Status::success();
}

QString DialogAddressList(const QString &dialogText)
{
    return NormaliseAddressText(dialogText).toLower();
}

Status RewriteIgnoreLine(const QString &folder, const LocationTable &table, int index, PleaseWait *pleaseWait,
                         FileOps *ops)
{
    return RewriteField(folder, table, index, Key::Ignore, &LocationRecord::ignore, pleaseWait, ops);
}

Status RewriteAddressLine(const QString &folder, const LocationTable &table, int index,
                          PleaseWait *pleaseWait, FileOps *ops)
{
    return RewriteField(folder, table, index, Key::SiteIp, &LocationRecord::siteip, pleaseWait, ops);
}

Status RewriteAddressLineFromDialog(const QString &folder, const LocationTable &table, int index,
                                    const QString &dialogText, PleaseWait *pleaseWait, FileOps *ops)
{
    return RewriteKeyLine(folder, table, index, Key::SiteIp, DialogAddressList(dialogText), pleaseWait, ops);
}

Status RewriteDisabledLine(const QString &folder, const LocationTable &table, int index,
                           PleaseWait *pleaseWait, FileOps *ops)
{
    return RewriteField(folder, table, index, Key::Disabled, &LocationRecord::sitedisabled, pleaseWait, ops);
}

Status RewriteParentLine(const QString &folder, const LocationTable &table, int index, PleaseWait *pleaseWait,
                         FileOps *ops)
{
    return RewriteField(folder, table, index, Key::Parent, &LocationRecord::parent, pleaseWait, ops);
}

Status DeleteLocationBlock(const QString &folder, const LocationTable &table, int index,
                           PleaseWait *pleaseWait, FileOps *ops)
{
    LocationTarget target;
    if (Status s = TargetOf(table, index, target); !s)
        return s;
    BlockRemovalRule rule(target);
    return Run(folder, rule, pleaseWait, ops);
}

} // namespace qos
