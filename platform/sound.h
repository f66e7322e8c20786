#pragma once
#include <QString>

namespace qos {

// Sound output. play() returns at once; a sound started later replaces one still playing.
class Sound {
public:
    virtual ~Sound() = default;
    // Plays a WAV file; returns false when it cannot be played (missing or unreadable file).
    virtual bool play(const QString &path) = 0;
    virtual void beep() = 0; // the desktop's simple beep
};

} // namespace qos
