// Feeds arbitrary bytes as graph.txt to the loader and to one location rewrite, and checks that the
// rewrite either refuses and leaves the file as it was, or writes a file that loads and differs from
// the old one only in the lines the rewrite names.
#include "fuzzrig.h"
#include "store/graphfile.h"
#include "store/locationrewrite.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace qos;
using namespace qos::fuzz;

namespace {

enum class Op { Ignore, Address, Dialog, Disabled, Delete, kMaxValue = Delete };

struct Change {
    Key key;
    QByteArray newLine;
};

Status Apply(Op op, const QString &folder, LocationTable &table, int index, const QString &value,
             Change &change, FileOps &ops)
{
    LocationRecord &rec = table[index];
    switch (op) {
    case Op::Ignore:
        rec.ignore = value;
        change = {Key::Ignore, "IGNORE=" + value.toLatin1()};
        return RewriteIgnoreLine(folder, table, index, nullptr, &ops);
    case Op::Address:
        rec.siteip = value;
        change = {Key::SiteIp, "SITEIP=" + value.toLatin1()};
        return RewriteAddressLine(folder, table, index, nullptr, &ops);
    case Op::Dialog:
        rec.siteip = DialogAddressList(value);
        change = {Key::SiteIp, "SITEIP=" + rec.siteip.toLatin1()};
        return RewriteAddressLineFromDialog(folder, table, index, value, nullptr, &ops);
    case Op::Disabled:
        rec.sitedisabled = value;
        change = {Key::Disabled, "DISABLED=" + value.toLatin1()};
        return RewriteDisabledLine(folder, table, index, nullptr, &ops);
    case Op::Delete:
        return DeleteLocationBlock(folder, table, index, nullptr, &ops);
    }
    return Status::success();
}

bool IsKeyLine(const QByteArray &line, Key key)
{
    const auto keyed = ReadKeyedLine(line);
    return keyed && keyed->key == key;
}

// after is before with key lines replaced by change.newLine and at most one newLine inserted.
void CheckKeyedChange(const QList<QByteArray> &before, const QList<QByteArray> &after, const Change &change)
{
    qsizetype i = 0;
    int inserted = 0;
    for (const QByteArray &line : after) {
        if (i < before.size() && line == before[i]) {
            ++i;
        } else if (line != change.newLine) {
            Fault("a line the rewrite does not name changed");
        } else if (i < before.size() && IsKeyLine(before[i], change.key)) {
            ++i;
        } else if (++inserted > 1) {
            Fault("more than one line inserted");
        }
    }
    if (i != before.size())
        Fault("lines were lost");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const auto op = in.ConsumeEnum<Op>();
    const auto pick = in.ConsumeIntegral<quint16>();
    const std::string value = in.ConsumeRandomLengthString(48);
    const std::string file = in.ConsumeRemainingBytesAsString();
    const QString folder = Folder();
    const QByteArray before(file.data(), qsizetype(file.size()));
    WriteFile(GraphFilePath(folder), before);

    FastOps ops;
    Configuration cfg;
    if (!LoadConfiguration(folder, cfg, &ops).error.isEmpty())
        Fault("an existing file did not load");
    if (cfg.table.LocationCount() == 0)
        return 0;
    const int index = 1 + pick % cfg.table.LocationCount();
    const QByteArray siteLine = "SITEID=" + cfg.table[index].site.toLatin1();
    Change change{};
    const Status s = Apply(op, folder, cfg.table, index,
                           QString::fromLatin1(value.data(), qsizetype(value.size())), change, ops);
    if (QFile::exists(GraphTwinPath(folder)))
        Fault("the twin was left behind");
    const QByteArray after = ReadFile(GraphFilePath(folder));
    if (!s.ok()) {
        if (s.kind == Status::Kind::IoFailure || s.error.isEmpty())
            Fault("a failure that is not the file's or the value's");
        if (after != before)
            Fault("a refused rewrite changed the file");
        return 0;
    }
    Configuration reloaded;
    if (!LoadConfiguration(folder, reloaded, &ops).error.isEmpty())
        Fault("the rewritten file does not load");
    if (op == Op::Delete) {
        if (!OneBlockRemoved(Lines(before), Lines(after), LocationBeginLine, LocationEndLine, siteLine))
            Fault("not exactly one block of the location was removed");
        return 0;
    }
    if (reloaded.table.LocationCount() != cfg.table.LocationCount())
        Fault("a keyed rewrite changed the number of locations");
    CheckKeyedChange(Lines(before), Lines(after), change);
    return 0;
}
