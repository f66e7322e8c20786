#pragma once
// What the settings dialogs work with. The program hands these in; the dialogs create none of them.
#include "platform/messagebox.h"
#include "platform/sound.h"
#include "store/graphfile.h"
#include "store/model.h"
#include "store/pleasewait.h"

#include <QString>

namespace qos {

class FileOps;

struct SettingsServices {
    MainSettings &settings; // changed only once graph.txt holds the new value
    QString programFolder;  // where graph.txt and the chosen WAV files live
    MessageBoxes &messages;
    PleaseWait *pleaseWait; // shown during every rewrite; may be null
    Sound &sound;           // the sound choosers' "Play"
    FileOps *ops = nullptr; // the file primitives; null means the system's
};

// Writes the main setting key as text into graph.txt. On a failure the operator is told that the setting
// was not changed, and why; the result says whether it was written.
inline bool WriteMainSetting(const SettingsServices &s, Key key, const QString &text)
{
    const Status written = RewriteMainSetting(s.programFolder, s.settings, key, text, s.pleaseWait, s.ops);
    if (!written)
        s.messages.show(QStringLiteral("The setting was not changed. %1").arg(written.error),
                        MessageBoxes::Icon::Critical);
    return written.ok();
}

} // namespace qos
