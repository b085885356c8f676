// Writing a script as a DAPT document. The document is written as a stream of text (a DOM of a large
// script would cost more than the script itself); every text from the script goes through the same
// filter as the VarE writer's, so that nothing XML cannot hold reaches the file.

#include "base/SystemError.h"
#include "vare/Dapt.h"
#include "vare/VarE.h"
#include "vare/XmlText.h"

#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <cstdio>

namespace {
// The text of a document being written, in UTF-8.
class CXmlOut {
public:
    explicit CXmlOut(QByteArray& out) : m_out(out) {}

    void raw(const char* psz) { m_out.append(psz); }
    void raw(const QByteArray& bytes) { m_out.append(bytes); }

    // Escaped character data; in an attribute, tabs and line breaks are kept as references (a parser
    // would turn them into spaces).
    void text(QStringView s, bool bAttribute = false) {
        char16_t high = 0;
        forEachXmlUnit(s.data(), s.size(), [&](char16_t c) {
            if (QChar::isHighSurrogate(c)) {
                high = c;
                return;
            }
            if (high) {
                utf8(QChar::surrogateToUcs4(high, c));
                high = 0;
                return;
            }
            switch (c) {
            case '&':
                raw("&amp;");
                break;
            case '<':
                raw("&lt;");
                break;
            case '>':
                raw("&gt;");
                break;
            case '"':
                raw(bAttribute ? "&quot;" : "\"");
                break;
            case '\r':
                raw("&#13;");
                break;
            case '\n':
                raw(bAttribute ? "&#10;" : "\n");
                break;
            case '\t':
                raw(bAttribute ? "&#9;" : "\t");
                break;
            default:
                utf8(c);
            }
        });
    }

    void attr(const char* pszName, QStringView value) {
        raw(" ");
        raw(pszName);
        raw("=\"");
        text(value, true);
        raw("\"");
    }
    // Values the program makes itself (names, numbers) need no escaping.
    void attrRaw(const char* pszName, const char* pszValue) {
        raw(" ");
        raw(pszName);
        raw("=\"");
        raw(pszValue);
        raw("\"");
    }
    void attrInt(const char* pszName, long long n, const char* pszSuffix = "") {
        char sz[32];
        std::snprintf(sz, sizeof sz, "%lld%s", n, pszSuffix);
        attrRaw(pszName, sz);
    }

private:
    void utf8(char32_t c) {
        if (c < 0x80) {
            m_out.append(char(c));
        } else if (c < 0x800) {
            m_out.append(char(0xC0 | (c >> 6)));
            m_out.append(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            m_out.append(char(0xE0 | (c >> 12)));
            m_out.append(char(0x80 | ((c >> 6) & 0x3F)));
            m_out.append(char(0x80 | (c & 0x3F)));
        } else {
            m_out.append(char(0xF0 | (c >> 18)));
            m_out.append(char(0x80 | ((c >> 12) & 0x3F)));
            m_out.append(char(0x80 | ((c >> 6) & 0x3F)));
            m_out.append(char(0x80 | (c & 0x3F)));
        }
    }

    QByteArray& m_out;
};

const QString CRLF = QStringLiteral("\r\n");

// Whether a text would change under TTML's default handling of white space (runs of spaces made one,
// spaces at the ends of a line dropped, tabs and lone line feeds made spaces): such a text is written
// with xml:space="preserve" so that it reads back as it is.
bool needsPreserve(QStringView text) {
    for (QStringView line : text.tokenize(CRLF)) {
        if (line.startsWith(u' ') || line.endsWith(u' ') || line.contains(u"  ") || line.contains(u'\t') ||
            line.contains(u'\r') || line.contains(u'\n'))
            return true;
    }
    return false;
}

class CDaptWriter {
public:
    CDaptWriter(const CVarE& script, const SDaptOptions& options, QByteArray& out)
        : m_v(script), m_options(options), m_out(out) {}

    void write() {
        const int nRate = std::clamp(m_v.getFrameRate(), 1, 1000);
        // Media time starts at the media's first frame when every phrase lies after it: other tools
        // place the events on the media's own timeline.
        const CTimeCode& tcStamp = m_v.getTimeStamp();
        if (tcStamp.isValid() &&
            (m_v.getLines().empty() || tcStamp.getFrames() <= m_v.getLines().begin()->getStartFrame()))
            m_nOrigin = tcStamp.getFrames();

        m_out.raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tt xmlns=\"http://www.w3.org/ns/ttml\""
                  " xmlns:ttm=\"http://www.w3.org/ns/ttml#metadata\""
                  " xmlns:ttp=\"http://www.w3.org/ns/ttml#parameter\""
                  " xmlns:daptm=\"http://www.w3.org/ns/ttml/profile/dapt#metadata\""
                  " xmlns:tvm=\"");
        m_out.raw(QString::fromUtf16(dapt::TAVORIN_NS).toUtf8());
        m_out.raw("\"");
        m_out.attrRaw("ttp:contentProfiles", dapt::PROFILE);
        m_out.attrInt("ttp:frameRate", nRate);
        if (m_v.isDropFrame()) m_out.attrRaw("ttp:frameRateMultiplier", "1000 1001");
        m_out.attr("xml:lang", m_options.strLanguage);
        // The language the dialogue was first spoken in: the script's own for a transcript of the
        // original; unknown to the program otherwise, and then left out.
        if (m_options.strScriptType == QLatin1String("originalTranscript"))
            m_out.attr("daptm:langSrc", m_options.strLanguage);
        m_out.attrRaw("daptm:scriptRepresents", "audio.dialogue");
        m_out.attr("daptm:scriptType", m_options.strScriptType);
        m_out.raw(">\n  <head>\n    <metadata>\n      <daptm:daptOriginTimecode>");
        int h, m, s, f;
        CTimeCode::decompose(m_nOrigin, nRate, m_v.isDropFrame(), h, m, s, f);
        char sz[32];
        std::snprintf(sz, sizeof sz, "%02d:%02d:%02d:%02d", h, m, s, f);
        m_out.raw(sz);
        m_out.raw("</daptm:daptOriginTimecode>\n");
        writeAgents();
        m_out.raw("    </metadata>\n    <metadata>\n");
        writeOwnMetadata();
        m_out.raw("    </metadata>\n  </head>\n  <body>\n");
        int nEvent = 0;
        for (const CLine& line : m_v.getLines())
            writeEvent(line, ++nEvent);
        m_out.raw("  </body>\n</tt>\n");
    }

private:
    QByteArray agentId(int i) const { return "character_" + QByteArray::number(i + 1); }

    void writeAgents() {
        int i = 0;
        for (const CRole& role : m_v.getRoles()) {
            m_agents.insert(&role, agentId(i));
            m_out.raw("      <ttm:agent type=\"character\"");
            m_out.attrRaw("xml:id", agentId(i).constData());
            m_out.raw(">\n        <ttm:name type=\"alias\">");
            m_out.text(role.getName());
            m_out.raw("</ttm:name>\n      </ttm:agent>\n");
            ++i;
        }
    }

    void writeOwnMetadata() {
        m_out.raw("      <tvm:script");
        m_out.attrRaw("version", TAVORIN_VERSION);
        for (int e = 0; e < CVarE::H_COUNT; ++e) {
            if (e == CVarE::H_FIRST_LOOP_NUMBER || m_v.get(CVarE::EHeader(e)).isEmpty()) continue;
            m_out.attr(CVarE::headerKey(CVarE::EHeader(e)), m_v.get(CVarE::EHeader(e)));
        }
        if (m_v.getTimeStamp().isValid()) m_out.attrInt("timestamp", m_v.getTimeStamp().getFrames());
        if (m_v.getLastPosition().isValid()) {
            m_out.attrInt("lastPosition", m_v.getLastPosition().getFrames());
            m_out.attrInt("lastTrack", m_v.getLastTrack());
        }
        if (m_v.isDropFrame()) m_out.attrRaw("drop", "on");
        m_out.raw(">\n");
        int i = 0;
        for (const CRole& role : m_v.getRoles()) {
            m_out.raw("        <tvm:role");
            m_out.attrRaw("agent", agentId(i++).constData());
            m_out.attr("id", role.getId());
            char szColor[8];
            std::snprintf(szColor, sizeof szColor, "#%.2X%.2X%.2X", role.getRed(), role.getGreen(),
                          role.getBlue());
            m_out.attrRaw("color", szColor);
            if (role.getGender() == CRole::GENDER_MALE) m_out.attrRaw("gender", "male");
            if (role.getGender() == CRole::GENDER_FEMALE) m_out.attrRaw("gender", "female");
            if (!role.getDescription().isEmpty()) m_out.attr("description", role.getDescription());
            if (role.getImage().isEmpty()) {
                m_out.raw("/>\n");
            } else {
                m_out.raw("><tvm:image>");
                m_out.text(role.getImage());
                m_out.raw("</tvm:image></tvm:role>\n");
            }
        }
        for (const CLoop& loop : m_v.getLoops()) {
            m_out.raw("        <tvm:loop");
            m_out.attrInt("frame", loop.getFrames());
            m_out.attrInt("number", loop.getNumber());
            m_out.raw("/>\n");
        }
        for (const CBalise& shot : m_v.getShots()) {
            m_out.raw("        <tvm:shot");
            m_out.attrInt("frame", shot.getFrames());
            m_out.raw("/>\n");
        }
        m_out.raw("      </tvm:script>\n");
    }

    void writeEvent(const CLine& line, int nEvent) {
        const int nBegin = line.getStartFrame();
        // An event ends after it begins: a phrase whose signs share one frame lasts that frame.
        const int nEnd = std::max(line.getEndFrame(), nBegin + 1);
        m_out.raw("    <div");
        char szId[16];
        std::snprintf(szId, sizeof szId, "e%d", nEvent);
        m_out.attrRaw("xml:id", szId);
        m_out.attrInt("begin", nBegin - m_nOrigin, "f");
        m_out.attrInt("end", nEnd - m_nOrigin, "f");
        if (const CRole* pRole = line.getRolePtr())
            m_out.attrRaw("ttm:agent", m_agents.value(pRole).constData());
        m_out.attrRaw("daptm:represents", "audio.dialogue");
        m_out.attrInt("tvm:track", line.getTrack());
        if (line.isVoiceOff()) m_out.attrRaw("tvm:voice", "off");
        if (line.isReaction()) m_out.attrRaw("tvm:type", "reac");
        // Each sign as its type, its frame from the event's begin and its link (-1: not linked).
        m_signs.clear();
        for (const CLipSync& sign : line.getSigns()) {
            if (!m_signs.isEmpty()) m_signs.append(' ');
            const char* pszType = CLipSync::typeName(sign.getType());
            m_signs.append(pszType && *pszType ? pszType : "neutral");
            char sz[32];
            std::snprintf(sz, sizeof sz, ":%d:%d", sign.getFrames() - nBegin, sign.getLink());
            m_signs.append(sz);
        }
        m_out.attrRaw("tvm:signs", m_signs.constData());
        m_out.raw(">\n      <p");
        m_out.attr("xml:lang", m_options.strLanguage);
        const QString& strText = line.getText();
        if (needsPreserve(strText)) m_out.attrRaw("xml:space", "preserve");
        if (strText.isEmpty()) {
            m_out.raw("/>\n    </div>\n");
            return;
        }
        m_out.raw(">");
        bool bFirst = true;
        for (QStringView piece : QStringView(strText).tokenize(CRLF)) {
            if (!bFirst) m_out.raw("<br/>");
            bFirst = false;
            m_out.text(piece);
        }
        m_out.raw("</p>\n    </div>\n");
    }

    const CVarE& m_v;
    const SDaptOptions& m_options;
    CXmlOut m_out;
    int m_nOrigin = 0;
    QHash<const CRole*, QByteArray> m_agents;
    QByteArray m_signs;
};
} // namespace

QStringList dapt::scriptTypes() {
    return {QStringLiteral("originalTranscript"), QStringLiteral("translatedTranscript"),
            QStringLiteral("preRecording"), QStringLiteral("asRecorded")};
}

bool dapt::isLanguageTag(const QString& str) {
    static const QRegularExpression s_re(QStringLiteral("^[A-Za-z]{1,8}(-[A-Za-z0-9]{1,8})*$"));
    return str.size() <= 35 && s_re.match(str).hasMatch();
}

QByteArray daptDocument(const CVarE& script, const SDaptOptions& options) {
    QByteArray out;
    // About 300 bytes a phrase: one allocation for most scripts.
    out.reserve(4096 + qsizetype(script.getLineCount()) * 320);
    CDaptWriter(script, options, out).write();
    return out;
}

bool storeDapt(const CVarE& script, const QString& strPath, const SDaptOptions& options, QString* pstrError) {
    QSaveFile file(strPath);
    if (!openForSaving(file, pstrError)) return false;
    const QByteArray data = daptDocument(script, options);
    if (file.write(data) != data.size() || !file.commit()) {
        if (pstrError) *pstrError = fileErrorReason(file);
        file.cancelWriting();
        return false;
    }
    return true;
}
