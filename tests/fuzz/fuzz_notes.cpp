// Feeds arbitrary bytes as info.txt to loading a note and to one note change, and checks that the
// change either refuses and leaves the file as it was, or touches only the note line it names, and
// that what was saved loads back.
#include "fuzzrig.h"
#include "store/graphfile.h"
#include "store/notesfile.h"
#include "store/text.h"

#include <arpa/inet.h>
#include <fuzzer/FuzzedDataProvider.h>

using namespace qos;
using namespace qos::fuzz;

namespace {

enum class Op { Save, Drop, DropLocation, kMaxValue = DropLocation };

// The n-th of the values that lines starting with prefix hold (the text after prefix, or before the
// first "=" when prefix is empty), or fallback when there are none.
QString Pick(const QList<QByteArray> &lines, const QByteArray &prefix, unsigned n,
             const std::string &fallback)
{
    QList<QByteArray> values;
    for (const QByteArray &line : lines) {
        if (!prefix.isEmpty() && line.startsWith(prefix))
            values << line.mid(prefix.size());
        else if (prefix.isEmpty() && line.indexOf('=') > 0)
            values << line.left(line.indexOf('='));
    }
    if (values.isEmpty() || n % 4 == 0)
        return QString::fromLatin1(fallback.data(), qsizetype(fallback.size()));
    return QString::fromLatin1(values[n % values.size()]);
}

// The 16 bytes and the zone ("%eth0" or empty) of an IPv6 literal; false when text is none.
bool ParseIpv6(QByteArrayView text, QByteArray &bytes, QByteArrayView &zone)
{
    const qsizetype percent = text.indexOf('%');
    const QByteArray literal = text.first(percent < 0 ? text.size() : percent).toByteArray();
    zone = percent < 0 ? QByteArrayView() : text.sliced(percent);
    bytes.resize(sizeof(in6_addr));
    return !literal.contains('\0') && ::inet_pton(AF_INET6, literal.constData(), bytes.data()) == 1;
}

// Whether a line's key names the address: the same text, or another spelling of the same IPv6
// address and zone ("0::" and "::").
bool NamesAddress(QByteArrayView key, QByteArrayView address)
{
    if (key == address)
        return true;
    QByteArray a, b;
    QByteArrayView zoneA, zoneB;
    return ParseIpv6(key, a, zoneA) && ParseIpv6(address, b, zoneB) && a == b && zoneA == zoneB;
}

// after is before less note lines of the address, with at most one note line written, in place of one
// of them, in the section or as a block appended at the end.
void CheckNoteChange(const QList<QByteArray> &before, QList<QByteArray> after, const QByteArray &siteLine,
                     const QByteArray &address, const QByteArray &noteLine)
{
    const QList<QByteArray> block{LocationBeginLine, siteLine, noteLine, LocationEndLine};
    int written = 0;
    if (after.size() >= block.size() && after.mid(after.size() - block.size()) == block &&
        !before.contains(siteLine)) {
        after.resize(after.size() - block.size());
        ++written;
    }
    const auto isNoteLine = [&](const QByteArray &line) {
        const qsizetype eq = line.indexOf('=');
        return eq > 0 && NamesAddress(QByteArrayView(line).first(eq), address);
    };
    qsizetype i = 0;
    for (const QByteArray &line : after) {
        if (i < before.size() && line == before[i]) {
            ++i;
            continue;
        }
        if (line == noteLine && ++written == 1) {
            if (i < before.size() && isNoteLine(before[i]))
                ++i; // replaced; otherwise inserted
            continue;
        }
        while (i < before.size() && isNoteLine(before[i]) && line != before[i])
            ++i; // dropped
        if (i == before.size() || line != before[i])
            Fault("a line the change does not name changed");
        ++i;
    }
    for (; i < before.size(); ++i)
        if (!isNoteLine(before[i]))
            Fault("lines were lost");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const auto op = in.ConsumeEnum<Op>();
    const auto pickSite = in.ConsumeIntegral<quint8>();
    const auto pickAddress = in.ConsumeIntegral<quint8>();
    const bool absent = in.ConsumeIntegralInRange(0, 15) == 0;
    const std::string siteText = in.ConsumeRandomLengthString(16);
    const std::string addressText = in.ConsumeRandomLengthString(16);
    const std::string noteText = in.ConsumeRandomLengthString(48);
    const std::string file = in.ConsumeRemainingBytesAsString();
    const QString folder = Folder();
    const QByteArray before(file.data(), qsizetype(file.size()));
    QFile::remove(NotesFilePath(folder));
    if (!absent)
        WriteFile(NotesFilePath(folder), before);
    const QList<QByteArray> lines = Lines(before);
    const QString site = Pick(lines, "SITEID=", pickSite, siteText);
    const QString address = Pick(lines, {}, pickAddress, addressText);
    const QString note = QString::fromLatin1(noteText.data(), qsizetype(noteText.size()));

    FastOps ops;
    QString loaded;
    if (!LoadAddressNote(folder, site, address, loaded, nullptr, &ops).ok())
        Fault("loading a note failed");
    Status s;
    switch (op) {
    case Op::Save:
        s = SaveAddressNote(folder, site, address, note, nullptr, &ops);
        break;
    case Op::Drop:
        s = DropAddressNote(folder, site, address, nullptr, &ops);
        break;
    case Op::DropLocation:
        s = DropLocationNotes(folder, site, nullptr, &ops);
        break;
    }
    if (QFile::exists(NotesTwinPath(folder)))
        Fault("the twin was left behind");
    const bool exists = QFile::exists(NotesFilePath(folder));
    const QByteArray after = exists ? ReadFile(NotesFilePath(folder)) : QByteArray();
    if (!s.ok()) {
        if (s.kind != Status::Kind::Refused || (absent ? exists : after != before))
            Fault("a refused change touched the file");
        return 0;
    }
    if (absent && op != Op::Save) {
        if (exists)
            Fault("dropping created the file");
        return 0;
    }
    const QByteArray siteLine = "SITEID=" + site.toLatin1();
    const QByteArray noteLine = address.toLatin1() + '=' + note.toLatin1();
    if (op == Op::DropLocation) {
        if (after != before &&
            !OneBlockRemoved(Lines(before), Lines(after), LocationBeginLine, LocationEndLine, siteLine))
            Fault("not exactly one block of the location was removed");
        return 0;
    }
    CheckNoteChange(absent ? QList<QByteArray>() : lines, Lines(after), siteLine, address.toLatin1(),
                    noteLine);
    if (!LoadAddressNote(folder, site, address, loaded, nullptr, &ops).ok())
        Fault("loading the changed file failed");
    if (op == Op::Save && (TrimSpaces(note).isEmpty() ? !TrimSpaces(loaded).isEmpty() : loaded != note))
        Fault("the saved note does not load back");
    return 0;
}
