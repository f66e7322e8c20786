#include "platform/qtsound.h"

#include <QApplication>
#include <QFile>
#include <QSoundEffect>
#include <QUrl>

namespace qos {

QtSound::QtSound(QObject *parent)
    : QObject(parent)
{}

QtSound::~QtSound() = default;

bool QtSound::looksLikeWav(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

bool QtSound::play(const QString &path)
{
    if (!looksLikeWav(path))
        return false;
    if (!m_effect) {
        m_effect = std::make_unique<QSoundEffect>();
        connect(m_effect.get(), &QSoundEffect::statusChanged, this, [this] {
            if (m_effect->status() == QSoundEffect::Error)
                PlayDefaultSound(*this);
        });
    }
    // A new sound cuts the one still playing.
    m_effect->stop();
    m_effect->setSource(QUrl::fromLocalFile(path));
    m_effect->play();
    return true;
}

void QtSound::beep()
{
    QApplication::beep();
}

void QtSound::stop()
{
    if (m_effect)
        m_effect->stop();
}

} // namespace qos
