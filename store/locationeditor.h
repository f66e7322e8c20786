#pragma once
// The List View's writes: one field of a location changed in memory and in graph.txt together, the
// removal of a location, and the notes of info.txt.
//
// Invariants:
//  - A change is written at once. When the write fails the record holds its old value again and the
//    operator has seen the store's error text, so the table always holds what graph.txt holds.
//  - Nothing here touches a window; the callers show the outcome of a change that succeeded.
#include "platform/messagebox.h"
#include "store/model.h"
#include "store/pleasewait.h"
#include "store/status.h"

#include <QString>
#include <functional>

namespace qos {

class FileOps;

class LocationEditor {
public:
    LocationEditor(Configuration &cfg, QString folder, PleaseWait *pleaseWait, MessageBoxes &messages,
                   FileOps *ops = nullptr);

    const QString &folder() const { return m_folder; }

    // record k's ignore / siteip / sitedisabled / parent := value, then the matching line of graph.txt.
    bool setIgnore(int k, const QString &value);
    bool setAddresses(int k, const QString &value);
    bool setDisabled(int k, const QString &value);
    // parent := the name of the location k is reached through (empty for none), then PARENT=.
    bool setParent(int k, const QString &value);
    // The Add/Delete Address dialog's text: siteip := DialogAddressList(text), then the SITEIP= line.
    bool setAddressesFromDialog(int k, const QString &dialogText);
    // Drops the location's block from graph.txt, then its notes. The table is left as it is: the
    // caller reloads it, as the indexes change.
    bool removeLocation(int k);

    // note := the note of address in location k (empty when it has none). Shows nothing: a window
    // that loads on every selection tells a failure once.
    Status loadNote(int k, const QString &address, QString &note);
    bool saveNote(int k, const QString &address, const QString &note);
    bool dropNote(int k, const QString &address);

private:
    using Write = std::function<Status()>;
    bool change(int k, QString LocationRecord::*field, const QString &value, const Write &write);
    bool report(const Status &s);

    Configuration &m_cfg;
    QString m_folder;
    PleaseWait *m_pleaseWait;
    MessageBoxes &m_messages;
    FileOps *m_ops;
};

} // namespace qos
