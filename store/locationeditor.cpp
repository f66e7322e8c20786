#include "store/locationeditor.h"

#include "store/locationrewrite.h"
#include "store/notesfile.h"

namespace qos {

LocationEditor::LocationEditor(Configuration &cfg, QString folder, PleaseWait *pleaseWait,
                               MessageBoxes &messages, FileOps *ops)
    : m_cfg(cfg)
    , m_folder(std::move(folder))
    , m_pleaseWait(pleaseWait)
    , m_messages(messages)
    , m_ops(ops)
{}

bool LocationEditor::report(const Status &s)
{
    if (!s)
        m_messages.show(s.error, MessageBoxes::Icon::Critical);
    return s.ok();
}

bool LocationEditor::change(int k, QString LocationRecord::*field, const QString &value, const Write &write)
{
    if (k < 1 || k > m_cfg.table.LocationCount())
        return false;
    QString &held = m_cfg.table[k].*field;
    const QString before = std::exchange(held, value);
    const Status s = write();
    if (!s)
        m_cfg.table[k].*field = before;
    return report(s);
}

bool LocationEditor::setIgnore(int k, const QString &value)
{
    return change(k, &LocationRecord::ignore, value,
                  [&] { return RewriteIgnoreLine(m_folder, m_cfg.table, k, m_pleaseWait, m_ops); });
}

bool LocationEditor::setAddresses(int k, const QString &value)
{
    return change(k, &LocationRecord::siteip, value,
                  [&] { return RewriteAddressLine(m_folder, m_cfg.table, k, m_pleaseWait, m_ops); });
}

bool LocationEditor::setDisabled(int k, const QString &value)
{
    return change(k, &LocationRecord::sitedisabled, value,
                  [&] { return RewriteDisabledLine(m_folder, m_cfg.table, k, m_pleaseWait, m_ops); });
}

bool LocationEditor::setParent(int k, const QString &value)
{
    return change(k, &LocationRecord::parent, value,
                  [&] { return RewriteParentLine(m_folder, m_cfg.table, k, m_pleaseWait, m_ops); });
}

bool LocationEditor::setAddressesFromDialog(int k, const QString &dialogText)
{
    return change(k, &LocationRecord::siteip, DialogAddressList(dialogText), [&] {
        return RewriteAddressLineFromDialog(m_folder, m_cfg.table, k, dialogText, m_pleaseWait, m_ops);
    });
}

bool LocationEditor::removeLocation(int k)
{
    if (k < 1 || k > m_cfg.table.LocationCount())
        return false;
    // The block goes first: should the notes then fail, the location is gone all the same and its
    // stale notes cost nothing, where the other order could lose the notes of a location that stays.
    if (!report(DeleteLocationBlock(m_folder, m_cfg.table, k, m_pleaseWait, m_ops)))
        return false;
    report(DropLocationNotes(m_folder, m_cfg.table[k].site, m_pleaseWait, m_ops));
    return true;
}

Status LocationEditor::loadNote(int k, const QString &address, QString &note)
{
    note.clear();
    if (k < 1 || k > m_cfg.table.LocationCount())
        return Status::refused(QStringLiteral("No such location"));
    return LoadAddressNote(m_folder, m_cfg.table[k].site, address, note, m_pleaseWait, m_ops);
}

bool LocationEditor::saveNote(int k, const QString &address, const QString &note)
{
    if (k < 1 || k > m_cfg.table.LocationCount())
        return false;
    return report(SaveAddressNote(m_folder, m_cfg.table[k].site, address, note, m_pleaseWait, m_ops));
}

bool LocationEditor::dropNote(int k, const QString &address)
{
    if (k < 1 || k > m_cfg.table.LocationCount())
        return false;
    return report(DropAddressNote(m_folder, m_cfg.table[k].site, address, m_pleaseWait, m_ops));
}

} // namespace qos
