#include "vare/TimeCode.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {
const char INVALID_TEXT[] = "88:88:88:88";

// Standard leading-integer conversion of a two-character group (as atoi would read it).
int readGroup(const char* p) {
    char sz[3] = {p[0], p[1], 0};
    return std::atoi(sz);
}
} // namespace

const CTimeCode TC_ZERO("00:00:00:00");
const CTimeCode TC_ONE_FRAME("00:00:00:01");
const CTimeCode TC_ONE_SECOND("00:00:01:00");
const CTimeCode TC_TEN_SECONDS("00:00:10:00");
const CTimeCode TC_MAX("23:59:59:00");
const CTimeCode TC_INVALID("88:88:88:88");

CTimeCode::CTimeCode() {
    format();
}

CTimeCode::CTimeCode(bool bDrop, int nRate) : m_nRate(nRate), m_bDrop(bDrop) {
    format();
}

CTimeCode::CTimeCode(const char* pszText) {
    format();
    parse(pszText);
}

CTimeCode::CTimeCode(const QString& strText) {
    format();
    parse(strText);
}

CTimeCode CTimeCode::fromFrames(int nFrames) {
    CTimeCode tc;
    tc.setFrames(nFrames);
    return tc;
}

void CTimeCode::assign(const CTimeCode& tc) {
    m_nFrames = tc.m_nFrames;
    m_nRate = tc.m_nRate;
    m_bDrop = tc.m_bDrop;
    format();
}

bool CTimeCode::parse(const QString& strText) {
    if (strText.size() < 11) return false;
    char sz[12];
    for (int i = 0; i < 11; ++i) {
        const char16_t c = strText.at(i).unicode();
        sz[i] = c < 128 ? char(c) : '?';
    }
    sz[11] = 0;
    return parse(sz);
}

bool CTimeCode::parse(const char* pszText) {
    if (!pszText || std::strlen(pszText) < 11) return false;
    if (pszText[2] != ':' || pszText[5] != ':' || pszText[8] != ':') return false;
    return setHMSF(readGroup(pszText), readGroup(pszText + 3), readGroup(pszText + 6),
                   readGroup(pszText + 9));
}

bool CTimeCode::setHMSF(int h, int m, int s, int f) {
    m_nRate = DEFAULT_RATE;
    m_bDrop = false;
    if (h > 23 || m > 59 || s > 59 || f > 24) {
        m_nFrames = -1;
        std::memcpy(m_szText, INVALID_TEXT, sizeof INVALID_TEXT);
        return false;
    }
    // Only the upper bounds are checked; a negative field ("-1") can make the count negative (invalid),
    // and the text is always formatted from the count so that it never disagrees with it.
    m_nFrames = ((h * 60 + m) * 60 + s) * DEFAULT_RATE + f;
    format();
    return true;
}

void CTimeCode::setFrames(int nFrames) {
    m_nRate = DEFAULT_RATE;
    m_bDrop = false;
    long long n = nFrames;
    if (n < 0) n += FRAMES_PER_DAY;
    n %= FRAMES_PER_DAY;
    m_nFrames = int(n);
    format();
}

const char* CTimeCode::getText() const {
    return m_nFrames < 0 ? INVALID_TEXT : m_szText;
}

void CTimeCode::decompose(int nFrames, int r, bool bDrop, int& h, int& m, int& s, int& f) {
    if (r <= 0) r = DEFAULT_RATE;
    if (nFrames < 0) {
        h = m = s = f = 88;
        return;
    }
    if (!bDrop) {
        h = nFrames / (3600 * r) % 24;
        m = nFrames / 60 / r % 60;
        s = nFrames / r % 60;
        f = nFrames % r;
        return;
    }
    const int H = 3600 * r - 108, T = 600 * r - 18, M = 60 * r, D = 60 * r - 2;
    h = nFrames / H % 24;
    const int x = nFrames % H;
    const int y = x % T;
    if (y < M) {
        m = 10 * (x / T);
        s = y / r;
        f = y % r;
        return;
    }
    m = 10 * (x / T) + 1 + (y - M) / D;
    const int z = (y - M) % D;
    if (z < r - 2) {
        s = 0;
        f = z + 2;
    } else {
        s = (z - r + 2) / r + 1;
        f = (z - r + 2) % r;
    }
}

std::array<int, 4> CTimeCode::fields() const {
    std::array<int, 4> a{};
    decompose(m_nFrames, m_nRate, m_bDrop, a[0], a[1], a[2], a[3]);
    return a;
}
int CTimeCode::getHours() const {
    return fields()[0];
}
int CTimeCode::getMinutes() const {
    return fields()[1];
}
int CTimeCode::getSeconds() const {
    return fields()[2];
}
int CTimeCode::getFrameOfSecond() const {
    return fields()[3];
}

void CTimeCode::format() {
    if (m_nFrames < 0) {
        std::memcpy(m_szText, INVALID_TEXT, sizeof INVALID_TEXT);
        return;
    }
    int a[4];
    decompose(m_nFrames, m_nRate, m_bDrop, a[0], a[1], a[2], a[3]);
    // Every item of a script carries its text: shifting a script formats every sign, so the usual two
    // digits are written by hand (snprintf was most of the cost of a shift).
    if (std::any_of(std::begin(a), std::end(a), [](int n) { return n < 0 || n > 99; })) {
        std::snprintf(m_szText, sizeof m_szText, "%.2i:%.2i:%.2i:%.2i", a[0], a[1], a[2], a[3]);
        return;
    }
    char* p = m_szText;
    for (int i = 0; i < 4; ++i) {
        *p++ = char('0' + a[i] / 10);
        *p++ = char('0' + a[i] % 10);
        *p++ = i < 3 ? ':' : '\0';
    }
}

void CTimeCode::fromMediaTime(long long t) {
    const int nRate = m_nRate > 0 ? m_nRate : DEFAULT_RATE;
    setFrames(int(t * nRate / MEDIA_TIME_SCALE));
}

long long CTimeCode::toMediaTime() const {
    const int nRate = m_nRate > 0 ? m_nRate : DEFAULT_RATE;
    return (long long)m_nFrames * MEDIA_TIME_SCALE / nRate;
}

CTimeCode CTimeCode::operator+(int n) const {
    CTimeCode tc(*this);
    tc.setFrames(int((long long)m_nFrames + n));
    return tc;
}

CTimeCode CTimeCode::operator-(int n) const {
    CTimeCode tc(*this);
    tc.setFrames(int((long long)m_nFrames - n));
    return tc;
}

CTimeCode CTimeCode::operator+(const CTimeCode& o) const {
    return *this + o.m_nFrames;
}

CTimeCode CTimeCode::operator-(const CTimeCode& o) const {
    CTimeCode tc(*this);
    tc.setFrames(m_nFrames < o.m_nFrames ? 0 : m_nFrames - o.m_nFrames);
    return tc;
}
