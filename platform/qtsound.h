#pragma once
#include "platform/sound.h"

#include <QObject>
#include <memory>

class QSoundEffect;

namespace qos {

// WAV playback through Qt Multimedia and the desktop beep. play() checks the file at once (present,
// readable, a RIFF/WAVE file) and returns false otherwise; a file that the decoder rejects later
// plays the default sound instead.
class QtSound : public QObject, public Sound {
    Q_OBJECT
public:
    explicit QtSound(QObject *parent = nullptr);
    ~QtSound() override;

    bool play(const QString &path) override;
    void beep() override;
    void stop() override;

    static bool looksLikeWav(const QString &path);

private:
    std::unique_ptr<QSoundEffect> m_effect; // created at the first play
};

} // namespace qos
