#pragma once

#include <QString>
#include <array>

// A position counted in video frames, kept with its ready-formatted text hh:mm:ss:ff so that views
// can draw it without formatting again. Everything set from a frame count or from text is 25 fps
// non-drop and wrapped into one day; a negative frame count means "no valid timecode".
class CTimeCode {
public:
    static constexpr int FRAMES_PER_DAY = 2160000;
    static constexpr int DEFAULT_RATE = 25;
    static constexpr int MEDIA_TIME_SCALE = 600;

    CTimeCode();
    CTimeCode(bool bDrop, int nRate);
    explicit CTimeCode(const char* pszText);
    explicit CTimeCode(const QString& strText);
    CTimeCode(const CTimeCode&) = default;
    CTimeCode& operator=(const CTimeCode&) = default;
    virtual ~CTimeCode() = default;

    // Builds a 25 fps value from a frame count (wrapped like setFrames).
    static CTimeCode fromFrames(int nFrames);

    void assign(const CTimeCode& tc);
    bool parse(const char* pszText);
    bool parse(const QString& strText);
    bool setHMSF(int h, int m, int s, int f);
    void setFrames(int nFrames);

    int getFrames() const { return m_nFrames; }
    int getRate() const { return m_nRate; }
    bool isDropFrame() const { return m_bDrop; }
    bool isValid() const { return m_nFrames >= 0; }

    // Never more than 11 characters; "88:88:88:88" for an invalid value. No allocation.
    const char* getText() const;
    QString toString() const { return QString::fromLatin1(getText()); }

    // Hours, minutes, seconds and frames of the timecode as shown.
    std::array<int, 4> fields() const;
    int getHours() const;
    int getMinutes() const;
    int getSeconds() const;
    int getFrameOfSecond() const;

    // Decomposition of a frame count at a rate, honouring drop-frame counting.
    static void decompose(int nFrames, int nRate, bool bDrop, int& h, int& m, int& s, int& f);

    void fromMediaTime(long long t);
    long long toMediaTime() const;

    CTimeCode operator+(int n) const;
    CTimeCode operator-(int n) const;
    CTimeCode operator+(const CTimeCode& tc) const;
    CTimeCode operator-(const CTimeCode& tc) const; // a duration: never negative

    bool operator<(const CTimeCode& tc) const { return m_nFrames < tc.m_nFrames; }
    bool operator<=(const CTimeCode& tc) const { return m_nFrames <= tc.m_nFrames; }
    bool operator==(const CTimeCode& tc) const { return m_nFrames == tc.m_nFrames; }
    bool operator!=(const CTimeCode& tc) const { return m_nFrames != tc.m_nFrames; }
    bool operator>(const CTimeCode& tc) const { return m_nFrames > tc.m_nFrames; }
    bool operator>=(const CTimeCode& tc) const { return m_nFrames >= tc.m_nFrames; }

private:
    void format();

    char m_szText[12];
    int m_nFrames = 0;
    int m_nRate = DEFAULT_RATE;
    bool m_bDrop = false;
};

extern const CTimeCode TC_ZERO;
extern const CTimeCode TC_ONE_FRAME;
extern const CTimeCode TC_ONE_SECOND;
extern const CTimeCode TC_TEN_SECONDS;
extern const CTimeCode TC_MAX;
extern const CTimeCode TC_INVALID;
