#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// What the container says about a media file, read with libavformat without decoding: the streams,
// the video frame rate and duration, the sound's channels and the start timecode of a timecode
// track. The player uses it beside libmpv, which knows none of the timecode track.
class CMediaProbe {
public:
    // Reads the file's header; false when libavformat cannot open it.
    bool open(const QString& strPath);

    bool m_bOpened = false;
    bool m_bHasVideo = false;
    bool m_bHasAudio = false;
    // Seconds: the video stream's duration when there is one, otherwise the container's.
    double m_dDuration = 0.0;
    // Video frame rate as a fraction, 0/1 when unknown.
    int m_nFrameRateNum = 0;
    int m_nFrameRateDen = 1;
    // The first sound stream's channel count and mask (0 when the layout names no positions).
    int m_nAudioChannels = 0;
    unsigned long long m_nChannelMask = 0;
    // Text of the last stream's "timecode" tag (a timecode track), else the container's; may be empty.
    QByteArray m_timeCode;
    // Media type of each stream as four characters: "vide", "soun", "tmcd" or "data".
    QVector<QByteArray> m_trackTypes;

    double frameRate() const { return m_nFrameRateDen > 0 ? double(m_nFrameRateNum) / m_nFrameRateDen : 0.0; }
};
