#include "store/notesfile.h"

#include "store/blockrules.h"
#include "store/fileops.h"
#include "store/graphfile.h"
#include "store/linereader.h"
#include "store/model.h"
#include "store/text.h"

#include <QDir>
#include <QFileInfo>

namespace qos {

namespace {

constexpr QByteArrayView kSiteIdKey("SITEID=");

QString Shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// No note line is a separator (both lack "=") or begins with "SITEID=" (that address is refused).
bool EndsSection(QByteArrayView line)
{
    return line == LocationEndLine || line == LocationBeginLine || line.startsWith(kSiteIdKey);
}

// The length of the line's key when it is the note line of address, else -1. An IPv6 address matches
// its other spellings ("2001:DB8:0::1" and "2001:db8::1").
qsizetype NoteKeyOf(QByteArrayView line, QByteArrayView address)
{
    if (line.size() > address.size() && line.startsWith(address) && line[address.size()] == '=')
        return address.size();
    if (!address.contains(':'))
        return -1;
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0 || !line.first(eq).contains(':'))
        return -1;
    return SameAddress(QString::fromLatin1(line.first(eq)), QString::fromLatin1(address)) ? eq : -1;
}

// Refuses a text info.txt cannot hold as it is.
Status CheckText(const QString &what, const QString &text)
{
    for (const QChar c : text) {
        if (IsControlCharacter(c))
            return Status::refused(QStringLiteral("The %1 \"%2\" cannot be stored in info.txt: it contains a "
                                                  "line break or another control character (code %3).")
                                       .arg(what, text, QString::number(c.unicode())));
        if (c.unicode() > 0xff)
            return Status::refused(QStringLiteral("The %1 \"%2\" cannot be stored in info.txt: the character "
                                                  "\"%3\" has no place in the file's code page.")
                                       .arg(what, text, c));
    }
    return Status::success();
}

Status CheckAddress(const QString &address)
{
    if (address.isEmpty() || address.contains(QLatin1Char('=')) || address == QLatin1String("SITEID"))
        return Status::refused(
            QStringLiteral("\"%1\" cannot carry a note: an address is not empty and holds no \"=\", and "
                           "\"SITEID\" would read back as the start of another location.")
                .arg(address));
    return CheckText(QStringLiteral("address"), address);
}

// The texts of one note operation in the file's bytes, checked.
struct NoteTexts {
    QByteArray siteLine;
    QByteArray address;
    QByteArray noteLine; // address + "=" + note
};

Status MakeTexts(const QString &site, const QString &address, const QString &note, NoteTexts &texts)
{
    Status s = CheckText(QStringLiteral("location name"), site);
    if (s)
        s = CheckAddress(address);
    if (s)
        s = CheckText(QStringLiteral("note"), note);
    if (!s)
        return s;
    texts.siteLine = kSiteIdKey.toByteArray() + site.toLatin1();
    texts.address = address.toLatin1();
    texts.noteLine = texts.address + '=' + note.toLatin1();
    return Status::success();
}

// An update cut short before the twin was renamed back leaves infotmp.txt as the only copy.
Status RecoverTwin(const QString &path, const QString &twin, FileOps &ops)
{
    if (QFileInfo::exists(path) || !QFileInfo::exists(twin))
        return Status::success();
    if (const Status whole = CheckCompleteTwin(twin, ops); !whole)
        return Status::failure(QStringLiteral("%1 is missing and %2 cannot be taken back in its place: %3. "
                                              "Move %2 away to start afresh.")
                                   .arg(Shown(path), Shown(twin), whole.error));
    QString error;
    if (ops.rename(twin, path, false, error))
        return Status::success();
    return Status::failure(QStringLiteral("%1 is missing and %2 holds the only copy of the notes, but it "
                                          "could not be renamed: %3. Rename it to %1 to keep the notes.")
                               .arg(Shown(path), Shown(twin), error));
}

// What saving or dropping does with the note line of one address.
struct NoteChange {
    bool replace = false;     // an existing line becomes the note line; otherwise it is dropped
    bool insert = false;      // a section without the line gets it before its end
    bool appendBlock = false; // a location without a section gets a new block holding the line
};

// Replaces, drops or inserts the note line of one address in the location's section.
class NoteRule : public LineRule {
public:
    NoteRule(const NoteTexts &texts, NoteChange change)
        : m_texts(texts)
        , m_change(change)
    {}

    void line(const QByteArray &line, LinePlace, LineOut &out) override
    {
        if (m_state == State::Before && line == m_texts.siteLine) {
            m_state = State::InSection;
        } else if (m_state == State::InSection && NoteKeyOf(line, m_texts.address) >= 0) {
            // Loading reads the first line; a dropped one takes any copies later in the section along,
            // so none of them comes to light instead.
            m_changed = true;
            if (m_change.replace) {
                out.write(m_texts.noteLine);
                m_state = State::Done;
            }
            return;
        } else if (m_state == State::InSection && EndsSection(line)) {
            closeSection(out);
        }
        out.keep(line);
    }

    Status end(LineOut &out) override
    {
        if (m_state == State::InSection)
            closeSection(out);
        if (m_state == State::Before && m_change.appendBlock) {
            out.write(LocationBeginLine);
            out.write(m_texts.siteLine);
            out.write(m_texts.noteLine);
            out.write(LocationEndLine);
            m_changed = true;
        }
        return m_changed ? Status::success() : Status::notFound(QStringLiteral("nothing to change."));
    }

private:
    void closeSection(LineOut &out)
    {
        if (!m_changed && m_change.insert) {
            out.write(m_texts.noteLine);
            m_changed = true;
        }
        m_state = State::Done;
    }

    enum class State { Before, InSection, Done };
    const NoteTexts &m_texts;
    NoteChange m_change;
    State m_state = State::Before;
    bool m_changed = false;
};

// Runs rule over info.txt; a rule that found nothing to change leaves the file as it was.
Status RewriteNotes(const QString &folder, LineRule &rule, PleaseWait *pleaseWait, FileOps &ops)
{
    const QString path = NotesFilePath(folder);
    if (Status s = RecoverTwin(path, NotesTwinPath(folder), ops); !s || !QFileInfo::exists(path))
        return s;
    const Status s = RewriteViaTemporary(path, NotesTwinPath(folder), &rule, {}, pleaseWait, &ops);
    return s.kind == Status::Kind::NotFound ? Status::success() : s;
}

// The note of texts.address in the section, read line by line until the section ends.
Status ReadNote(const QString &path, const NoteTexts &texts, QString &note, FileOps &ops)
{
    QFile file(path);
    QString error;
    if (!ops.open(file, QIODevice::ReadOnly | QIODevice::Unbuffered, error))
        return Status::failure(QStringLiteral("Cannot read %1: %2.").arg(Shown(path), error));
    LineReader reader(file, ops);
    bool inSection = false;
    for (;;) {
        const auto outcome = reader.next();
        if (outcome == LineReader::Outcome::End)
            return Status::success();
        if (outcome == LineReader::Outcome::Failed)
            return Status::failure(reader.failureText(Shown(path)));
        if (outcome == LineReader::Outcome::TooLong)
            continue;
        const QByteArray &line = reader.line();
        if (!inSection) {
            inSection = line == texts.siteLine;
        } else if (const qsizetype key = NoteKeyOf(line, texts.address); key >= 0) {
            note = QString::fromLatin1(line.sliced(key + 1));
            return Status::success();
        } else if (EndsSection(line)) {
            return Status::success();
        }
    }
}

} // namespace

QString NotesFilePath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(NotesFileName));
}

QString NotesTwinPath(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(NotesTwinName));
}

Status LoadAddressNote(const QString &folder, const QString &site, const QString &address, QString &note,
                       PleaseWait *pleaseWait, FileOps *ops)
{
    note.clear();
    FileOps system;
    FileOps &files = ops ? *ops : system;
    NoteTexts texts;
    if (!MakeTexts(site, address, QString(), texts))
        return Status::success(); // such a note cannot have been saved
    const QString path = NotesFilePath(folder);
    if (Status s = RecoverTwin(path, NotesTwinPath(folder), files); !s || !QFileInfo::exists(path))
        return s;
    PleaseWaitGuard shown(pleaseWait);
    return ReadNote(path, texts, note, files);
}

Status SaveAddressNote(const QString &folder, const QString &site, const QString &address,
                       const QString &note, PleaseWait *pleaseWait, FileOps *ops)
{
    FileOps system;
    FileOps &files = ops ? *ops : system;
    NoteTexts texts;
    if (Status s = MakeTexts(site, address, note, texts); !s)
        return s;
    const QString path = NotesFilePath(folder);
    if (Status s = RecoverTwin(path, NotesTwinPath(folder), files); !s)
        return s;
    if (!QFileInfo::exists(path)) {
        return CreateViaTemporary(path, NotesTwinPath(folder),
                                  {LocationBeginLine, texts.siteLine, texts.noteLine, LocationEndLine},
                                  pleaseWait, &files);
    }
    const bool blank = TrimSpaces(note).isEmpty();
    NoteRule rule(texts, NoteChange{!blank, true, !blank}); // a blank note deletes its line
    return RewriteNotes(folder, rule, pleaseWait, files);
}

Status DropAddressNote(const QString &folder, const QString &site, const QString &address,
                       PleaseWait *pleaseWait, FileOps *ops)
{
    FileOps system;
    NoteTexts texts;
    if (!MakeTexts(site, address, QString(), texts))
        return Status::success(); // such a note cannot have been saved
    NoteRule rule(texts, NoteChange{});
    return RewriteNotes(folder, rule, pleaseWait, ops ? *ops : system);
}

Status DropLocationNotes(const QString &folder, const QString &site, PleaseWait *pleaseWait, FileOps *ops)
{
    FileOps system;
    NoteTexts texts;
    if (!MakeTexts(site, QStringLiteral("-"), QString(), texts))
        return Status::success(); // such a location cannot have notes
    BlockRemovalRule rule(LocationTarget{texts.siteLine, 1});
    return RewriteNotes(folder, rule, pleaseWait, ops ? *ops : system);
}

} // namespace qos
