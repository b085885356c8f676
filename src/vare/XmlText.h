#pragma once

#include <QChar>
#include <QtGlobal>

// XML 1.0 cannot hold most control characters, lone surrogates, U+FFFE and U+FFFF: a file that held one
// would be unreadable. Writers hand each UTF-16 unit of a text through this filter; what XML cannot hold
// becomes U+FFFD, a well-formed surrogate pair is kept. put(char16_t) receives the units to write.
template <class Put> void forEachXmlUnit(const QChar* p, qsizetype n, Put&& put) {
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c < 0x20) {
            put(c == '\t' || c == '\n' || c == '\r' ? c : char16_t(0xFFFD));
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(p[i + 1].unicode())) {
                put(c);
                put(p[++i].unicode());
            } else {
                put(char16_t(0xFFFD));
            }
        } else {
            put(c == 0xFFFE || c == 0xFFFF ? char16_t(0xFFFD) : c);
        }
    }
}
