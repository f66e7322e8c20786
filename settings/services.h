#pragma once
// What the settings dialogs work with. The program hands these in; the dialogs create none of them.
#include "platform/messagebox.h"
#include "platform/sound.h"
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

} // namespace qos
