#include "MediaFiles.h"
#include "WaitFor.h"
#include "sync/QuickTime.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>

namespace {
// Strength of one frequency in one channel of interleaved 16-bit stereo (Goertzel).
double power(const std::vector<int16_t>& samples, int nChannel, double dFrequency, int nRate) {
    const double k = 2.0 * std::cos(2.0 * M_PI * dFrequency / nRate);
    double s1 = 0, s2 = 0;
    size_t n = 0;
    for (size_t i = size_t(nChannel); i < samples.size(); i += 2, ++n) {
        const double s0 = samples[i] / 32768.0 + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return n ? (s1 * s1 + s2 * s2 - k * s1 * s2) / double(n) : 0.0;
}

// Plays a file for a moment with the sound written into a WAV file, and returns its samples.
std::vector<int16_t> playedSound(const QString& strMovie, const QString& strSound, bool bInternational,
                                 const QString& strExtraAudio = {}) {
    const QByteArray out = strSound.toUtf8();
    {
        CQuickTime qt;
        EXPECT_TRUE(qt.initialize(CQuickTime::OUTPUT_NONE, {{"ao", "pcm"},
                                                            {"ao-pcm-file", out.constData()},
                                                            {"audio-format", "s16"},
                                                            {"audio-channels", "stereo"},
                                                            {"audio-samplerate", "48000"}}));
        EXPECT_TRUE(qt.open(strMovie));
        if (!strExtraAudio.isEmpty()) {
            EXPECT_TRUE(qt.addAudio(strExtraAudio));
        }
        qt.setAudioVersion(bInternational);
        // Half a second of sound; a loaded machine only makes it come later.
        const int nFrom = qt.getTime();
        qt.play(1.0f);
        EXPECT_TRUE(waitFor([&] { return qt.getTime() - nFrom >= 300; }));
        qt.play(0.0f);
        qt.close();
    }
    QFile f(strSound);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = f.readAll();
    const int nData = int(bytes.indexOf("data"));
    if (nData < 0) return {};
    std::vector<int16_t> samples(size_t(bytes.size() - nData - 8) / 2);
    std::memcpy(samples.data(), bytes.constData() + nData + 8, samples.size() * 2);
    return samples;
}

// Which of the tones sounds loudest in a channel.
double loudest(const std::vector<int16_t>& samples, int nChannel, std::initializer_list<double> tones) {
    double dBest = 0, dBestPower = -1;
    for (const double d : tones) {
        const double p = power(samples, nChannel, d, 48000);
        if (p > dBestPower) dBestPower = p, dBest = d;
    }
    return dBest;
}
} // namespace

TEST(AudioRoutingTest, StereoDialogueAndInternationalVersions) {
    QTemporaryDir dir;
    // frames.mov: 440 Hz on the first channel, 660 Hz on the second.
    const auto vo = playedSound(testMedia("frames.mov"), dir.filePath("vo.wav"), false);
    ASSERT_GT(vo.size(), 4800u);
    EXPECT_EQ(loudest(vo, 0, {440, 660}), 440);
    EXPECT_EQ(loudest(vo, 1, {440, 660}), 440);
    const auto vi = playedSound(testMedia("frames.mov"), dir.filePath("vi.wav"), true);
    ASSERT_GT(vi.size(), 4800u);
    EXPECT_EQ(loudest(vi, 0, {440, 660}), 660);
    EXPECT_EQ(loudest(vi, 1, {440, 660}), 660);
}

TEST(AudioRoutingTest, FourChannelsAsTwoStereoPairsFromAnAddedSound) {
    QTemporaryDir dir;
    // quad.wav: 300, 500, 700 and 900 Hz on its four channels, replacing the movie's own sound.
    const auto vo =
        playedSound(testMedia("frames.mov"), dir.filePath("vo.wav"), false, testMedia("quad.wav"));
    ASSERT_GT(vo.size(), 4800u);
    const std::initializer_list<double> tones = {300, 440, 500, 660, 700, 900};
    EXPECT_EQ(loudest(vo, 0, tones), 300);
    EXPECT_EQ(loudest(vo, 1, tones), 500);
    const auto vi = playedSound(testMedia("frames.mov"), dir.filePath("vi.wav"), true, testMedia("quad.wav"));
    ASSERT_GT(vi.size(), 4800u);
    EXPECT_EQ(loudest(vi, 0, tones), 700);
    EXPECT_EQ(loudest(vi, 1, tones), 900);
}
