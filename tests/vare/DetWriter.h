#pragma once

// Builds legacy detection files for the import tests and the fuzzing seeds.

#include "base/TextEncoding.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

struct SDetRole {
    QString strName;
    QString strDescription;
    QString strMore; // second part of the description
    std::uint8_t red = 0, green = 0, blue = 0;
    quint16 nTag = 102;
    QString strTrailing; // the extra text of records tagged 102
};

struct SDetLine {
    qint32 nTrack = 0;
    QString strText;
    qint32 nVoiceOff = 0;
    qint32 nRole = -1;
    std::vector<qint32> ignored;                        // the trailing array of a phrase record
    std::optional<qint32> nIgnoredCount = std::nullopt; // written in place of ignored.size()
    quint16 nTag = 102;
};

struct SDetSign {
    qint32 nNumber = 3;
    qint32 nFrame = 0;
    qint32 nChar = -1;
    qint32 nLine = 0;
    quint16 nTag = 102;
};

// Little-endian primitives in the legacy archive's layout.
class CDetBytes {
public:
    CDetBytes& u8(std::uint8_t v) {
        m_data.append(char(v));
        return *this;
    }
    CDetBytes& u16(quint16 v) { return u8(std::uint8_t(v)).u8(std::uint8_t(v >> 8)); }
    CDetBytes& i32(qint32 v) {
        const quint32 u = quint32(v);
        return u16(quint16(u)).u16(quint16(u >> 16));
    }
    // Short texts take an 8-bit length, long ones (or when asked) 255 and a 16-bit length.
    CDetBytes& text(const QString& str, bool bLongLength = false) {
        const QByteArray bytes = Cp1252::encode(str);
        if (bLongLength || bytes.size() >= 255)
            u8(255).u16(quint16(bytes.size()));
        else
            u8(std::uint8_t(bytes.size()));
        m_data.append(bytes);
        return *this;
    }
    CDetBytes& raw(const QByteArray& bytes) {
        m_data.append(bytes);
        return *this;
    }
    const QByteArray& data() const { return m_data; }

private:
    QByteArray m_data;
};

struct SDetFile {
    qint32 nHeader = 0x68;
    QString strClass = QStringLiteral("CRythmo");
    qint32 nVersion = 0x69;
    QString strTitle, strEpisodeTitle, strProducer, strAuthor, strNotes;
    qint32 nRate = 25;
    qint32 nDrop = 0;
    std::vector<SDetRole> roles;
    std::vector<SDetLine> lines;
    std::vector<SDetSign> signs;
    qint32 nLastFrame = 0;
    QString strVideo;
    bool bLongLengths = false; // every text with the 16-bit length form
    // Counts written in place of the real ones; the records written stay those above, and no index is
    // written then.
    std::optional<qint32> nRoleCount, nLineCount, nSignCount;

    QByteArray build() const {
        CDetBytes b;
        const bool L = bLongLengths;
        b.i32(nHeader).text(strClass, L).i32(nVersion);
        b.text(strTitle, L)
            .text(strEpisodeTitle, L)
            .text(strProducer, L)
            .text(strAuthor, L)
            .text(strNotes, L);
        b.i32(nRate).i32(nDrop);
        const qint32 r = nRoleCount.value_or(qint32(roles.size()));
        const qint32 l = nLineCount.value_or(qint32(lines.size()));
        const qint32 s = nSignCount.value_or(qint32(signs.size()));
        b.i32(r).i32(l).i32(s);
        if (!nRoleCount && !nLineCount && !nSignCount) b.raw(QByteArray(8 * (r + l) + 7 * s, '\x5a'));
        for (const SDetRole& role : roles) {
            b.u16(role.nTag).text(role.strDescription, L).text(role.strMore, L).text(role.strName, L);
            b.u8(role.red).u8(role.green).u8(role.blue).u8(0).i32(0);
            if (role.nTag == 102) b.text(role.strTrailing, L);
        }
        for (const SDetLine& line : lines) {
            b.u16(line.nTag).i32(line.nTrack).text(line.strText, L).i32(line.nVoiceOff).i32(line.nRole);
            b.i32(line.nIgnoredCount.value_or(qint32(line.ignored.size())));
            for (qint32 v : line.ignored)
                b.i32(v);
        }
        for (const SDetSign& sign : signs)
            b.u16(sign.nTag).i32(sign.nNumber).i32(0).i32(sign.nFrame).i32(sign.nChar).i32(0).i32(sign.nLine);
        b.i32(nLastFrame).text(strVideo, L);
        return b.data();
    }
};
