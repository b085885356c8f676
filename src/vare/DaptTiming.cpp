#include "vare/DaptTiming.h"

#include <cmath>

namespace {
constexpr double MAX_SECONDS = 366.0 * 24 * 3600;

// A run of at most 15 decimal digits from i; false when there is none.
bool digits(QStringView s, qsizetype& i, double& value, int* pnCount = nullptr) {
    const qsizetype from = i;
    value = 0;
    while (i < s.size() && s[i] >= u'0' && s[i] <= u'9' && i - from < 15)
        value = value * 10 + (s[i++].unicode() - u'0');
    if (pnCount) *pnCount = int(i - from);
    return i > from && (i >= s.size() || s[i] < u'0' || s[i] > u'9');
}

// "." followed by digits, as a fraction; absent is 0.
bool fraction(QStringView s, qsizetype& i, double& value) {
    value = 0;
    if (i >= s.size() || s[i] != u'.') return true;
    ++i;
    double d;
    int n;
    if (!digits(s, i, d, &n)) return false;
    value = d / std::pow(10.0, n);
    return true;
}

bool positiveInt(QStringView s, int& n) {
    s = s.trimmed();
    qsizetype i = 0;
    double v;
    int nDigits;
    if (!digits(s, i, v, &nDigits) || i != s.size() || v <= 0 || v > 1e9) return false;
    n = int(v);
    return true;
}
} // namespace

bool CDaptTiming::setParameters(QStringView frameRate, QStringView multiplier, QStringView tickRate) {
    CDaptTiming t;
    if (!frameRate.isEmpty() && !positiveInt(frameRate, t.m_nFrameRate)) return false;
    if (!multiplier.isEmpty()) {
        const QStringView m = multiplier.trimmed();
        const qsizetype nSpace = m.indexOf(u' ');
        if (nSpace < 0 || !positiveInt(m.left(nSpace), t.m_nMulNum) ||
            !positiveInt(m.mid(nSpace + 1), t.m_nMulDen))
            return false;
    }
    if (!tickRate.isEmpty()) {
        int n = 0;
        if (!positiveInt(tickRate, n)) return false;
        t.m_dTickRate = n;
    }
    *this = t;
    return true;
}

bool CDaptTiming::toFrames(QStringView expr, long long* pFrames) const {
    const QStringView s = expr.trimmed();
    const double dRate = effectiveFrameRate();
    qsizetype i = 0;
    double dCount;
    int nCount;
    if (!digits(s, i, dCount, &nCount)) return false;
    double dFrames;
    if (i < s.size() && s[i] == u':') {
        // Clock time: hours (two digits or more), minutes and seconds, then a fraction of a second or
        // (which DAPT forbids but tools write) frames.
        double m, sec, f;
        int n;
        if (nCount < 2 || s[i++] != u':' || !digits(s, i, m, &n) || n != 2 || i >= s.size() ||
            s[i++] != u':' || !digits(s, i, sec, &n) || n != 2 || m > 59 || sec > 60)
            return false;
        const double dSeconds = (dCount * 60 + m) * 60 + sec;
        if (i < s.size() && s[i] == u':') {
            ++i;
            if (!digits(s, i, f) || !fraction(s, i, m)) return false;
            dFrames = dSeconds * dRate + f + m;
        } else {
            if (!fraction(s, i, f)) return false;
            dFrames = (dSeconds + f) * dRate;
        }
        if (i != s.size()) return false;
    } else {
        // Offset time: a count, a fraction and a metric.
        double f;
        if (!fraction(s, i, f)) return false;
        const double d = dCount + f;
        const QStringView metric = s.mid(i);
        if (metric == u"h")
            dFrames = d * 3600 * dRate;
        else if (metric == u"m")
            dFrames = d * 60 * dRate;
        else if (metric == u"s")
            dFrames = d * dRate;
        else if (metric == u"ms")
            dFrames = d / 1000 * dRate;
        else if (metric == u"f")
            dFrames = d;
        else if (metric == u"t")
            dFrames = d / (m_dTickRate > 0 ? m_dTickRate : dRate) * dRate;
        else
            return false;
    }
    if (!(dFrames >= 0) || dFrames / dRate > MAX_SECONDS) return false;
    *pFrames = std::llround(dFrames);
    return true;
}
