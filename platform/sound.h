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
    // Ends a sound still playing; beeps already sounded are over.
    virtual void stop() {}
};

// The default sound, used when no file is set or the set file cannot be played: the simple beep
// 100 times, back to back.
inline constexpr int DefaultSoundBeeps = 100;
inline void PlayDefaultSound(Sound &sound)
{
    for (int i = 0; i < DefaultSoundBeeps; ++i)
        sound.beep();
}

} // namespace qos
