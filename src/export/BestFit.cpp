#include "export/BestFit.h"

#include "base/TextEncoding.h"

#include <QString>

char cp1252BestFit(char32_t ucs) {
    if (ucs < 0x10000) {
        // Canonical decomposition: the first character is the base letter.
        const QString strBase = QString(QChar(char16_t(ucs))).normalized(QString::NormalizationForm_D);
        if (!strBase.isEmpty() && strBase.at(0).unicode() != ucs && strBase.at(0).unicode() != 0) {
            const char b = Cp1252::encodeChar(strBase.at(0).unicode());
            if (b) return b;
        }
    }
    return '?';
}

QByteArray encodeCp1252BestFit(QStringView text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (Cp1252::canEncode(c)) {
            out.append(Cp1252::encodeChar(c));
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out.append('?');
            ++i;
        } else {
            out.append(cp1252BestFit(c));
        }
    }
    return out;
}
