#include "vare/DetImport.h"

#include "base/TextEncoding.h"
#include "vare/VarE.h"

#include <QFile>
#include <algorithm>
#include <vector>

namespace {

// Little-endian values and length-prefixed texts from a buffer; a read that would pass the end fails
// and leaves the cursor where it was.
class CDetCursor {
public:
    CDetCursor(const char* p, qsizetype n) : m_p(reinterpret_cast<const unsigned char*>(p)), m_nSize(n) {}

    qint64 remaining() const { return m_nSize - m_nPos; }

    bool skip(qint64 n) {
        if (n < 0 || n > remaining()) return false;
        m_nPos += qsizetype(n);
        return true;
    }
    bool readU8(quint8& v) {
        if (remaining() < 1) return false;
        v = m_p[m_nPos++];
        return true;
    }
    bool readU16(quint16& v) {
        if (remaining() < 2) return false;
        v = quint16(m_p[m_nPos] | (m_p[m_nPos + 1] << 8));
        m_nPos += 2;
        return true;
    }
    bool readI32(qint32& v) {
        if (remaining() < 4) return false;
        const quint32 u = quint32(m_p[m_nPos]) | (quint32(m_p[m_nPos + 1]) << 8) |
                          (quint32(m_p[m_nPos + 2]) << 16) | (quint32(m_p[m_nPos + 3]) << 24);
        v = qint32(u);
        m_nPos += 4;
        return true;
    }
    // An 8-bit length, or 255 and a 16-bit length, then that many Windows-1252 bytes.
    bool readText(QString& str) {
        const qsizetype nStart = m_nPos;
        quint8 n8 = 0;
        if (!readU8(n8)) return false;
        qint64 n = n8;
        if (n8 == 255) {
            quint16 n16 = 0;
            if (!readU16(n16)) {
                m_nPos = nStart;
                return false;
            }
            n = n16;
        }
        if (n > remaining()) {
            m_nPos = nStart;
            return false;
        }
        str = Cp1252::decode(reinterpret_cast<const char*>(m_p + m_nPos), qsizetype(n));
        m_nPos += qsizetype(n);
        return true;
    }

private:
    const unsigned char* m_p;
    qsizetype m_nSize;
    qsizetype m_nPos = 0;
};

constexpr qint32 HEADER_A = 0x68;
constexpr qint32 HEADER_B = 0x66;
constexpr qint32 OBJECT_VERSION = 0x69;
constexpr quint16 TAG_ROLE_SHORT = 101;
constexpr quint16 TAG_RECORD = 102; // roles with a trailing text, phrases and signs
constexpr int TRACK_LAST = 3;
constexpr qint32 SIGN_LAST = 25;

// Sign numbers of the legacy format that become signs of a phrase.
int lipType(int nNumber) {
    switch (nNumber) {
    case 3:
        return CLipSync::IN_OPEN;
    case 5:
        return CLipSync::IN_CLOSE;
    case 4:
        return CLipSync::OUT_OPEN;
    case 6:
        return CLipSync::OUT_CLOSE;
    case 7:
        return CLipSync::MPB;
    case 8:
        return CLipSync::FVR;
    case 9:
        return CLipSync::WEUQUE;
    case 16:
        return CLipSync::VOWEL_A;
    case 17:
        return CLipSync::VOWEL_I;
    case 18:
        return CLipSync::VOWEL_O;
    default:
        return CLipSync::NEUTRAL;
    }
}

// Reads one detection file into a script. Phrases are gathered in a local array while their signs
// arrive, and only then added to the script, whose set is ordered by each phrase's first sign.
class CDetReader {
public:
    CDetReader(CVarE& script, const char* p, qsizetype n)
        : m_script(script), m_log(script.log()), m_in(p, n) {}

    bool read() {
        qint32 nRoles = 0, nLines = 0, nSigns = 0;
        return readHeader(nRoles, nLines, nSigns) && readRoles(nRoles) && readLines(nLines) &&
               readSigns(nSigns) && addLines() && readTail();
    }

private:
    bool truncated() {
        m_log.Log("Fin de fichier inattendue\n");
        return false;
    }
    bool readCount(qint32& n) {
        if (!m_in.readI32(n)) return truncated();
        return true;
    }
    bool checkCount(qint32 n) {
        if (n >= 0) return true;
        m_log.Log("Nombre corrompu : %i\n", n);
        return false;
    }

    bool readHeader(qint32& nRoles, qint32& nLines, qint32& nSigns) {
        m_log.Log("Lecture de l'entête du fichier det\n");
        qint32 nHeader = 0;
        if (!m_in.readI32(nHeader)) return truncated();
        if (nHeader != HEADER_A && nHeader != HEADER_B) {
            m_log.Log("En tête corrompu : 0x%X\n", unsigned(nHeader));
            return false;
        }
        QString strClass;
        if (!m_in.readText(strClass)) return truncated();
        if (strClass != QLatin1String("CRythmo")) {
            m_log.Log("Absence de l'objet CRythmo!\n");
            return false;
        }
        m_log.Log("Création de la structure du document XML\n");
        qint32 nVersion = 0;
        if (!m_in.readI32(nVersion)) return truncated();
        if (nVersion != OBJECT_VERSION) {
            m_log.Log("CRythmo corrompu : 0x%X\n", unsigned(nVersion));
            return false;
        }

        m_log.Log("Lecture des attributs : \n");
        for (CVarE::EHeader e : {CVarE::H_TITLE, CVarE::H_EPISODE_TITLE, CVarE::H_PRODUCER,
                                 CVarE::H_FIRST_AUTHOR_NAME, CVarE::H_NOTES}) {
            QString str;
            if (!m_in.readText(str)) return truncated();
            m_script.set(e, str);
        }
        m_log.Log("Lecture de l'attribut fps\n");
        qint32 nRate = 0, nDrop = 0;
        if (!m_in.readI32(nRate) || !m_in.readI32(nDrop)) return truncated();
        m_script.setFrameRate(nRate);
        m_script.setDropFrame(nDrop != 0);

        if (!readCount(nRoles) || !readCount(nLines) || !readCount(nSigns)) return false;
        m_log.Log("Nombre de role : %i\n", nRoles);
        m_log.Log("Nombre de ligne : %i\n", nLines);
        m_log.Log("Nombre de signe : %i\n", nSigns);
        if (!checkCount(nRoles) || !checkCount(nLines) || !checkCount(nSigns)) return false;
        // The object index of the archive: 8 bytes per role and phrase, 7 per sign.
        if (!m_in.skip(8 * (qint64(nRoles) + nLines) + 7 * qint64(nSigns))) return truncated();
        return true;
    }

    bool readRoles(qint32 nCount) {
        m_log.Log("Lecture des %i roles\n", nCount);
        for (qint32 i = 0; i < nCount; ++i) {
            quint16 nTag = 0;
            if (!m_in.readU16(nTag)) return truncated();
            if (nTag != TAG_ROLE_SHORT && nTag != TAG_RECORD) {
                m_log.Log("CActeur corrompu : 0x%X\n", unsigned(nTag));
                return false;
            }
            QString strDescription, strMore, strName;
            quint8 red = 0, green = 0, blue = 0, unused = 0;
            qint32 nIgnored = 0;
            if (!m_in.readText(strDescription) || !m_in.readText(strMore) || !m_in.readText(strName) ||
                !m_in.readU8(red) || !m_in.readU8(green) || !m_in.readU8(blue) || !m_in.readU8(unused) ||
                !m_in.readI32(nIgnored))
                return truncated();
            if (nTag == TAG_RECORD) {
                QString strDiscarded;
                if (!m_in.readText(strDiscarded)) return truncated();
            }
            if (!strMore.isEmpty()) strDescription += QLatin1Char('\n') + strMore;

            CRole role(strName);
            role.setDescription(strDescription);
            role.setColor(std::uint32_t(red) << 16 | std::uint32_t(green) << 8 | blue);
            m_log.Log("role : %s\n", qUtf8Printable(strName));
            // A second record with a name already taken refers to the role of that name.
            m_roles.push_back(&*m_script.mergeRole(role).first);
        }
        return true;
    }

    bool readLines(qint32 nCount) {
        m_log.Log("Lecture des %i lignes\n", nCount);
        for (qint32 i = 0; i < nCount; ++i) {
            quint16 nTag = 0;
            if (!m_in.readU16(nTag)) return truncated();
            if (nTag != TAG_RECORD) {
                m_log.Log("CLigne corrompu : 0x%X\n", unsigned(nTag));
                return false;
            }
            qint32 nTrack = 0, nVoiceOff = 0, nRole = 0, nIgnored = 0;
            QString strText;
            if (!m_in.readI32(nTrack) || !m_in.readText(strText) || !m_in.readI32(nVoiceOff) ||
                !m_in.readI32(nRole) || !m_in.readI32(nIgnored))
                return truncated();
            if (!checkCount(nIgnored)) return false;
            if (!m_in.skip(4 * qint64(nIgnored))) return truncated();

            // The band has four tracks; a phrase elsewhere could never be shown or reached.
            if (nTrack < 0 || nTrack > TRACK_LAST) {
                m_log.Log("Piste hors limites : %i\n", nTrack);
                const int nRead = nTrack;
                nTrack = std::clamp(nTrack, 0, TRACK_LAST);
                m_script.noteLoadChange(
                    QStringLiteral("Phrase %1 : la piste %2 n'existe pas, elle passe sur la piste %3.")
                        .arg(m_lines.size() + 1)
                        .arg(qint64(nRead) + 1)
                        .arg(nTrack + 1));
            }
            CLine line;
            line.setTrack(nTrack);
            line.insertText(strText, -1);
            line.setVoiceOff(nVoiceOff != 0);
            if (nRole >= 0 && nRole < qint32(m_roles.size())) line.setRole(m_roles[size_t(nRole)]);
            m_lines.push_back(std::move(line));
            m_ends.push_back({int(strText.size())});
        }
        return true;
    }

    bool readSigns(qint32 nCount) {
        m_log.Log("Lecture des %i signes\n", nCount);
        for (qint32 i = 0; i < nCount; ++i) {
            quint16 nTag = 0;
            if (!m_in.readU16(nTag)) return truncated();
            if (nTag != TAG_RECORD) {
                m_log.Log("CSigne corrompu : 0x%X\n", unsigned(nTag));
                return false;
            }
            qint32 nNumber = 0;
            if (!m_in.readI32(nNumber)) return truncated();
            if (nNumber < 0 || nNumber > SIGN_LAST) {
                m_log.Log("Numéro de signe non supporté: %i\n", nNumber);
                return false;
            }
            qint32 nIgnored = 0, nFrame = 0, nChar = 0, nLine = 0;
            if (!m_in.readI32(nIgnored) || !m_in.readI32(nFrame) || !m_in.readI32(nChar) ||
                !m_in.readI32(nIgnored) || !m_in.readI32(nLine))
                return truncated();

            const CTimeCode tc = CTimeCode::fromFrames(nFrame);
            if (!tc.isValid()) {
                m_log.Log("Signe hors du temps ignoré : %i\n", nFrame);
                m_script.noteLoadChange(
                    QStringLiteral("Un signe à l'image %1, hors de la journée, est ignoré.").arg(nFrame));
                continue;
            }
            if (nNumber == 0) {
                m_script.addShot(tc);
                continue;
            }
            if (nNumber == 1) {
                m_script.addLoop(CLoop(tc, 0));
                continue;
            }
            if (nLine < 0 || nLine >= qint32(m_lines.size())) {
                m_log.Log("Signe sans ligne ignoré : %i\n", nLine);
                m_script.noteLoadChange(
                    QStringLiteral("Un signe à %1 ne renvoie à aucune phrase (%2) : il est ignoré.")
                        .arg(QString::fromLatin1(tc.getText()))
                        .arg(nLine));
                continue;
            }
            CLine& line = m_lines[size_t(nLine)];
            SEnd& end = m_ends[size_t(nLine)];
            if (appendSign(line, end, tc, lipType(nNumber), nChar)) continue;
            const bool bPlaced = placeSign(line, tc, lipType(nNumber), nChar);
            end.measure(line);
            if (!bPlaced)
                m_script.noteLoadChange(
                    QStringLiteral("Phrase « %1 » : un signe à %2, temps déjà pris, est ignoré.")
                        .arg(CVarE::excerpt(line.getText()), QString::fromLatin1(tc.getText())));
        }
        return true;
    }

    // The end of a phrase while its signs are read: what the common case, a sign later than every sign
    // read so far, needs to be placed at once.
    struct SEnd {
        int nText = 0;       // characters of the phrase
        int nLinked = 0;     // linked signs
        int nLastLink = -1;  // link of the latest linked sign: links grow with time
        int nLastFrame = -1; // frame of the latest sign
        void measure(const CLine& line) {
            nLinked = 0;
            nLastLink = -1;
            for (const CLipSync& s : line.getSigns())
                if (s.isLinked()) {
                    ++nLinked;
                    nLastLink = s.getLink();
                }
            nLastFrame = line.getEndFrame();
        }
    };

    // placeSign() in constant time for a sign later than every sign of the phrase whose place is after
    // every linked sign; false when the sign is not such a one (placeSign() then places it).
    static bool appendSign(CLine& line, SEnd& end, const CTimeCode& tc, int nType, qint32 nChar) {
        if (tc.getFrames() <= end.nLastFrame) return false;
        int nLink = -1;
        if (nType == CLipSync::IN_OPEN || nType == CLipSync::IN_CLOSE) {
            if (end.nLinked > 0) return false;
            nLink = 0;
        } else if (nType == CLipSync::OUT_OPEN || nType == CLipSync::OUT_CLOSE) {
            nLink = end.nText + end.nLinked;
        } else if (nChar >= 0) {
            // Every linked sign stands before the character (or at it, earlier in time): all count.
            const int nIndex = std::min(int(nChar), end.nText);
            const int nLastIndex = end.nLinked > 0 ? end.nLastLink - (end.nLinked - 1) : -1;
            if (nLastIndex > nIndex) return false;
            nLink = nIndex + end.nLinked;
        }
        line.appendSign(tc, nType, nLink);
        end.nLastFrame = tc.getFrames();
        if (nLink >= 0) {
            ++end.nLinked;
            end.nLastLink = nLink;
        }
        return true;
    }

    // Openings go to the start of the phrase and closings to its end; other signs sit before the
    // character they name. That character's position counts the linked signs before it, and a sign
    // already standing just before it stays first when it is earlier in time.
    static bool placeSign(CLine& line, const CTimeCode& tc, int nType, qint32 nChar) {
        if (nType == CLipSync::IN_OPEN || nType == CLipSync::IN_CLOSE)
            return line.insertSign(tc, nType, true, 0);
        if (nType == CLipSync::OUT_OPEN || nType == CLipSync::OUT_CLOSE)
            return line.insertSign(tc, nType, true, -1);
        if (nChar < 0) return line.insertSign(tc, nType, false);
        int nPos = int(std::min<qsizetype>(nChar, line.getText().size()));
        for (const CLipSync& s : line.getSigns()) {
            if (!s.isLinked()) continue;
            if (s.getLink() < nPos || (s.getLink() == nPos && s.getFrames() < tc.getFrames())) ++nPos;
        }
        return line.insertSign(tc, nType, true, nPos);
    }

    bool addLines() {
        for (size_t i = 0; i < m_lines.size(); ++i) {
            const CLine& line = m_lines[i];
            if (line.getSigns().empty()) {
                m_log.Log("Ligne sans signe ignorée : %i\n", int(i));
                m_script.noteLoadChange(
                    QStringLiteral("Une phrase sans aucun signe (« %1 ») n'a pas de place "
                                   "dans le temps : elle est ignorée.")
                        .arg(CVarE::excerpt(line.getText())));
            } else {
                m_script.addReadLine(std::move(m_lines[i]));
            }
        }
        m_lines.clear();
        m_ends.clear();
        m_log.Log("Nettoyage de la mémoire\n");
        return true;
    }

    bool readTail() {
        qint32 nLastFrame = 0;
        QString strVideo;
        if (!m_in.readI32(nLastFrame) || !m_in.readText(strVideo)) return truncated();
        if (!strVideo.isEmpty()) m_script.setVideoFile(strVideo);
        m_script.setLastPosition(CTimeCode::fromFrames(nLastFrame));
        return true;
    }

    CVarE& m_script;
    CTraceLog& m_log;
    CDetCursor m_in;
    std::vector<const CRole*> m_roles; // by record index, into the script's role set
    std::vector<CLine> m_lines;        // by record index, until every sign is placed
    std::vector<SEnd> m_ends;          // beside m_lines
};

// The whole file in memory, refusing one above the size limit without reading it all.
bool readFile(CTraceLog& log, const QString& strPath, QByteArray& data) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        log.Log("Fichier inexistant!\n");
        return false;
    }
    char buffer[64 * 1024];
    for (;;) {
        const qint64 n = file.read(buffer, sizeof buffer);
        if (n < 0) {
            log.Log("Erreur de lecture\n");
            return false;
        }
        if (n == 0) break;
        if (data.size() + n > DetImport::MAX_FILE_SIZE) {
            log.Log("Fichier trop volumineux\n");
            return false;
        }
        data.append(buffer, qsizetype(n));
    }
    return true;
}

} // namespace

bool DetImport::parse(CVarE& script, const char* pData, qsizetype nSize) {
    return CDetReader(script, pData, nSize).read();
}

bool CVarE::importDet(const QString& strPath) {
    const QByteArray path = strPath.toUtf8();
    m_log.Log("VarE::importDet(%s)\n", path.constData());
    bool bOk = false;
    {
        CLogIndent indent(m_log);
        // Read through the same operations as any change, without telling anyone of each item; the
        // phrases come in file order, so the look-up index is built once, on the first look-up.
        CQuiet quiet(*this);
        clear();
        indexChanged();
        m_loadChanges.clear();
        QByteArray data;
        bOk = readFile(m_log, strPath, data) && DetImport::parse(*this, data.constData(), data.size());
    }
    m_log.Log("VarE::importDet(%s) => %s\n", path.constData(), bOk ? "Ok" : "Failed");
    return bOk;
}
