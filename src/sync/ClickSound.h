#pragma once

#include <QByteArray>
#include <QString>

struct mpv_handle;

// The short click of a refused command, played from a sound file through the system's sound output
// (the same libmpv the picture plays with, in a player of its own without picture). A desktop's bell
// is silent in many sessions (Wayland has none for X programs' bells); a sound of our own is heard
// wherever the picture's sound is.
//
// GUI thread only.
class CClickSound {
public:
    CClickSound() = default;
    ~CClickSound();
    CClickSound(const CClickSound&) = delete;
    CClickSound& operator=(const CClickSound&) = delete;

    // Starts the player on the sound file; false (and play() does nothing) when the file is missing
    // or no player can start.
    bool open(const QString& strPath);
    bool isOpen() const { return m_pMpv != nullptr; }
    // Plays the sound from its start without waiting; a click still sounding starts again.
    void play();

private:
    mpv_handle* m_pMpv = nullptr;
    QByteArray m_path;
};
