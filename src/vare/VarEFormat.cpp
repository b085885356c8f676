// Reading and writing VarE files (.vare): an XML document with a header, the roles and the body
// (loops, shot changes and phrases with their text and signs), through the Xerces DOM.

#include "base/SystemError.h"
#include "vare/VarE.h"
#include "vare/XmlPlatform.h"
#include "vare/XmlText.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/XMLFormatter.hpp>
#include <xercesc/util/XMLUni.hpp>

using namespace xercesc;

namespace {

// Frame rates a script may carry; anything else in a file reads as the default.
constexpr int MAX_FRAME_RATE = 120;
// A script larger than this is not a script.
constexpr qint64 MAX_FILE_SIZE = 512LL * 1024 * 1024;

QByteArray utf8(const QString& str) {
    return str.toUtf8();
}

// --------------------------------------------------------------------------- reading helpers

bool isElement(const DOMNode* p) {
    return p && p->getNodeType() == DOMNode::ELEMENT_NODE;
}

bool hasName(const DOMElement* e, const char16_t* name) {
    return XMLString::equals(e->getTagName(), reinterpret_cast<const XMLCh*>(name));
}

const XMLCh* attr(const DOMElement* e, const char16_t* name) {
    return e->getAttribute(reinterpret_cast<const XMLCh*>(name));
}

QString attrString(const DOMElement* e, const char16_t* name) {
    return toQString(attr(e, name));
}

bool attrIs(const DOMElement* e, const char16_t* name, const char16_t* value) {
    return XMLString::equals(attr(e, name), reinterpret_cast<const XMLCh*>(value));
}

// The text of an element: its text and CDATA children (usually one).
QString textOf(const DOMElement* e) {
    const DOMNode* p = e->getFirstChild();
    if (p && !p->getNextSibling() && p->getNodeType() == DOMNode::TEXT_NODE)
        return toQString(p->getNodeValue());
    QString str;
    for (; p; p = p->getNextSibling()) {
        const auto t = p->getNodeType();
        if (t == DOMNode::TEXT_NODE || t == DOMNode::CDATA_SECTION_NODE)
            str += toQString(p->getNodeValue());
        else if (t == DOMNode::ENTITY_REFERENCE_NODE || t == DOMNode::ELEMENT_NODE)
            str += toQString(p->getTextContent());
    }
    return str;
}

// The first characters of an attribute as narrow text (anything outside ASCII reads as '?').
template <size_t N> const char* asciiPrefix(const XMLCh* p, char (&sz)[N]) {
    size_t n = 0;
    for (; p && p[n] && n < N - 1; ++n)
        sz[n] = p[n] < 128 ? char(p[n]) : '?';
    sz[n] = 0;
    return sz;
}

// Standard leading-integer conversion ("12abc" is 12, "" is 0), kept within the int range.
int leadingInt(const XMLCh* p) {
    char sz[16];
    return int(std::clamp(std::strtol(asciiPrefix(p, sz), nullptr, 10), long(INT_MIN), long(INT_MAX)));
}

CTimeCode parseTimeCode(const XMLCh* p, const CTimeCode& def = TC_INVALID) {
    CTimeCode tc(def);
    char sz[12];
    if (p && *p) tc.parse(asciiPrefix(p, sz));
    return tc;
}

// Marker times are read from "tc" and, when it is missing or empty, from "timecode".
CTimeCode markerTime(const DOMElement* e) {
    const XMLCh* p = attr(e, u"tc");
    if (!p || !*p) p = attr(e, u"timecode");
    return parseTimeCode(p);
}

// "#RRGGBB" read as one hexadecimal value, red in the high byte; anything else is black.
std::uint32_t parseColor(const XMLCh* p) {
    if (!p || p[0] != u'#') return 0;
    std::uint32_t rgb = 0;
    int n = 0;
    for (const XMLCh* q = p + 1; *q && n < 8; ++q, ++n) {
        const XMLCh c = *q;
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        rgb = rgb << 4 | std::uint32_t(d);
    }
    return rgb & 0xFFFFFF;
}

QString withCrLf(QString str) {
    str.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return str;
}

// One walk over the whole document finds what the reader needs: the first element of each header
// name, the roles and bookmarks anywhere, and the phrases, shot changes and loops inside the first
// "body". (Asking the DOM for each name in turn walks the tree once per name.)
class CScan {
public:
    explicit CScan(const DOMDocument* doc) {
        DOMNode* const top = doc->getDocumentElement();
        DOMNode* n = top;
        bool bInBody = false;
        while (n) {
            if (n->getNodeType() == DOMNode::ELEMENT_NODE) classify(static_cast<DOMElement*>(n), bInBody);
            if (DOMNode* c = n->getFirstChild()) {
                n = c;
                continue;
            }
            while (n != top && !n->getNextSibling()) {
                n = n->getParentNode();
                if (n == m_pBody) bInBody = false;
            }
            if (n == top) break;
            if (n == m_pBody) bInBody = false;
            n = n->getNextSibling();
        }
    }

    DOMElement* first(const char16_t* name) const {
        for (const auto& [pszName, pElement] : m_first)
            if (std::u16string_view(pszName) == std::u16string_view(name)) return pElement;
        return nullptr;
    }

    DOMElement* m_pBody = nullptr;
    std::vector<DOMElement*> m_bookmarks, m_roles, m_lines, m_shots, m_loops;

private:
    static constexpr const char16_t* s_aHeaderNames[] = {
        u"roles",   u"title",        u"title2",        u"episode",       u"detector",
        u"author",  u"first-author", u"second-author", u"production",    u"notes",
        u"summary", u"videofile",    u"audiofile",     u"last_position", u"framerate"};

    void classify(DOMElement* e, bool& bInBody) {
        const std::u16string_view tag(reinterpret_cast<const char16_t*>(e->getTagName()));
        if (tag.empty()) return;
        if (bInBody) {
            if (tag == u"line")
                m_lines.push_back(e);
            else if (tag == u"shot")
                m_shots.push_back(e);
            else if (tag == u"loop")
                m_loops.push_back(e);
        }
        if (tag == u"role") {
            m_roles.push_back(e);
        } else if (tag == u"bookmark") {
            m_bookmarks.push_back(e);
        } else if (tag == u"body") {
            if (!m_pBody) {
                m_pBody = e;
                bInBody = true;
            }
        } else if (tag.size() >= 5 && tag != u"lipsync") {
            for (const char16_t* name : s_aHeaderNames) {
                if (tag != name) continue;
                if (!first(name)) m_first.emplace_back(name, e);
                break;
            }
        }
    }

    std::vector<std::pair<const char16_t*, DOMElement*>> m_first;
};

// --------------------------------------------------------------------------- writing helpers

// Hands the serialiser's bytes to a file written beside the target and renamed over it once complete,
// so that a failed write leaves the previous file as it was.
class MyFormatTarget : public XMLFormatTarget {
public:
    explicit MyFormatTarget(const QString& strPath) : m_file(strPath) {
        m_bOk = openForSaving(m_file, &m_strReason);
        m_bOpened = m_bOk;
    }
    ~MyFormatTarget() override {
        if (!m_bCommitted) m_file.cancelWriting();
    }
    void writeChars(const XMLByte* const toWrite, const XMLSize_t count, XMLFormatter* const) override {
        if (!m_bOk) return;
        if (m_file.write(reinterpret_cast<const char*>(toWrite), qint64(count)) != qint64(count))
            m_bOk = false;
    }
    void flush() override {
        if (m_bOk && !m_file.flush()) m_bOk = false;
    }
    bool commit() {
        m_bCommitted = true;
        if (!m_bOk) {
            m_file.cancelWriting();
            return false;
        }
        return m_file.commit();
    }
    bool isOk() const { return m_bOk; }
    // Why the file could not be written, in French.
    QString reason() const { return m_bOpened ? fileErrorReason(m_file) : m_strReason; }

private:
    QSaveFile m_file;
    QString m_strReason;
    bool m_bOk = false;
    bool m_bOpened = false;
    bool m_bCommitted = false;
};

class CWriter {
public:
    explicit CWriter(DOMDocument* doc) : m_doc(doc) {}

    DOMElement* element(DOMElement* parent, const char16_t* name) {
        DOMElement* e = m_doc->createElement(reinterpret_cast<const XMLCh*>(name));
        parent->appendChild(e);
        return e;
    }
    DOMElement* textElement(DOMElement* parent, const char16_t* name, const QString& text) {
        return textElement(parent, name, text.constData(), text.size());
    }
    // The text of a new element from a run of characters (not necessarily terminated).
    DOMElement* textElement(DOMElement* parent, const char16_t* name, const QChar* p, qsizetype n) {
        DOMElement* e = element(parent, name);
        e->appendChild(m_doc->createTextNode(terminated(p, n)));
        return e;
    }
    void set(DOMElement* e, const char16_t* name, const QString& value) {
        e->setAttribute(reinterpret_cast<const XMLCh*>(name), terminated(value.constData(), value.size()));
    }
    // Attribute values the program makes itself (names, numbers, timecodes) are always valid XML.
    void setRaw(DOMElement* e, const char16_t* name, const char16_t* value) {
        e->setAttribute(reinterpret_cast<const XMLCh*>(name), reinterpret_cast<const XMLCh*>(value));
    }
    void setRaw(DOMElement* e, const char16_t* name, const char* value) {
        char16_t sz[32];
        int i = 0;
        for (; value[i] && i < 31; ++i)
            sz[i] = char16_t(value[i]);
        sz[i] = 0;
        setRaw(e, name, sz);
    }
    void setRaw(DOMElement* e, const char16_t* name, int n) {
        char sz[16];
        std::snprintf(sz, sizeof sz, "%d", n);
        setRaw(e, name, sz);
    }
    void setIfNotEmpty(DOMElement* e, const char16_t* name, const QString& value) {
        if (!value.isEmpty()) set(e, name, value);
    }

    // A run of phrase text: every non-empty piece between line breaks becomes "text", every CR LF "br".
    void writeRun(DOMElement* line, const QChar* p, qsizetype n) {
        qsizetype from = 0;
        for (qsizetype i = 0; i + 1 < n; ++i) {
            if (p[i] != QLatin1Char('\r') || p[i + 1] != QLatin1Char('\n')) continue;
            if (i > from) textElement(line, u"text", p + from, i - from);
            element(line, u"br");
            from = i + 2;
            ++i;
        }
        if (n > from) textElement(line, u"text", p + from, n - from);
    }

private:
    // A terminated copy in a reused buffer, with what XML 1.0 cannot hold (most control characters,
    // lone surrogates) replaced: such characters would make the file unreadable.
    const XMLCh* terminated(const QChar* p, qsizetype n) {
        m_buffer.resize(size_t(n) + 1);
        size_t i = 0;
        forEachXmlUnit(p, n, [&](char16_t c) { m_buffer[i++] = c; });
        m_buffer[size_t(n)] = 0;
        return reinterpret_cast<const XMLCh*>(m_buffer.data());
    }

    DOMDocument* m_doc;
    std::vector<char16_t> m_buffer;
};

const char16_t* const s_aTypeNames[CLipSync::TYPE_COUNT] = {
    u"in_open", u"in_close", u"out_open", u"out_close", u"mpb",    u"fvr",
    u"weuque",  u"a",        u"i",        u"o",         u"neutral"};

void setTimeCode(CWriter& w, DOMElement* e, const CTimeCode& tc) {
    w.setRaw(e, u"timecode", tc.getText());
}

void writeLine(CWriter& w, DOMElement* body, const CLine& line) {
    DOMElement* e = w.element(body, u"line");
    if (line.hasRole()) w.set(e, u"role", line.getRole().getId());
    if (line.isVoiceOff()) w.setRaw(e, u"voice", u"off");
    if (line.isReaction()) w.setRaw(e, u"type", u"reac");
    w.setRaw(e, u"track", line.getTrack());

    // The k-th linked sign (in time order) at position L has L - k characters of text before it.
    const QChar* pText = line.getText().constData();
    const qsizetype nText = line.getText().size();
    qsizetype nCursor = 0;
    int k = 0;
    for (const CLipSync& sign : line.getSigns()) {
        if (sign.isLinked()) {
            const qsizetype nBefore = std::clamp<qsizetype>(sign.getLink() - k, nCursor, nText);
            w.writeRun(e, pText + nCursor, nBefore - nCursor);
            nCursor = nBefore;
            ++k;
        }
        DOMElement* s = w.element(e, u"lipsync");
        setTimeCode(w, s, sign.getTimeCode());
        const int nType = sign.getType();
        w.setRaw(s, u"type",
                 s_aTypeNames[nType >= 0 && nType < CLipSync::TYPE_COUNT ? nType : CLipSync::NEUTRAL]);
        if (!sign.isLinked()) w.setRaw(s, u"link", u"off");
    }
    w.writeRun(e, pText + nCursor, nText - nCursor);
}

} // namespace

// =========================================================================== load

bool CVarE::load(const QString& strPath, IBookmarkSink* pBookmarks) {
    QFile file(strPath);
    QByteArray data;
    // The buffer is sized by the file, not by the cap: a read of the cap would allocate it whole. One
    // byte more than the size tells a file that grew since.
    if (file.open(QIODevice::ReadOnly) && file.size() <= MAX_FILE_SIZE) data = file.read(file.size() + 1);
    if (data.size() > MAX_FILE_SIZE) data.clear();
    return loadFromData(data, strPath, pBookmarks);
}

bool CVarE::loadFromData(const QByteArray& data, const QString& strPath, IBookmarkSink* pBookmarks) {
    const QByteArray path = utf8(strPath);
    m_log.Log("CVarE::load(%s) => Lecture du fichier...\n", path.constData());
    ensureXmlPlatform();
    // The file is read through the same operations as any change, without telling anyone of each item;
    // the look-up index is built once, on the first look-up.
    CQuiet quiet(*this);
    clear();
    indexChanged();
    m_strLoadProblem.clear();
    m_loadChanges.clear();
    if (data.isEmpty()) {
        m_log.Log("parseURI(%s) renvoie NULL\n", path.constData());
        return false;
    }
    CSafeDomParser parser;
    DOMDocument* doc = parser.parse(data, "vare");
    if (!doc) {
        m_log.Log("parseURI(%s) renvoie NULL\n", path.constData());
        if (!parser.refusal().isEmpty()) m_log.Log("%s\n", utf8(parser.refusal()).constData());
        m_strLoadProblem = parser.refusal();
        if (!parser.firstError().isEmpty()) m_log.Log("%s\n", utf8(parser.firstError()).constData());
        return false;
    }

    const CScan scan(doc);
    if (!scan.first(u"roles")) {
        m_log.Log("Absence de l'élément <roles>\n");
        return false;
    }
    if (!scan.m_pBody) {
        m_log.Log("Absence de l'élément <body>\n");
        return false;
    }

    // Bookmarks, anywhere in the document.
    {
        m_log.Log("CVarE::load(%s) => Reading %i bookmarks...\n", path.constData(),
                  int(scan.m_bookmarks.size()));
        for (DOMElement* b : scan.m_bookmarks) {
            CTimeCode tc = TC_INVALID;
            QString strLabel;
            for (DOMNode* c = b->getFirstChild(); c; c = c->getNextSibling()) {
                if (!isElement(c)) continue;
                auto* ce = static_cast<DOMElement*>(c);
                if (hasName(ce, u"tc"))
                    tc.parse(textOf(ce));
                else if (hasName(ce, u"label"))
                    strLabel = textOf(ce);
            }
            if (tc.isValid() && pBookmarks) pBookmarks->addBookmark(tc, strLabel);
        }
    }

    // Roles. The script gives a role whose id another one holds an id of its own, so the phrases are
    // matched with the ids of the file.
    QHash<const CRole*, QString> fileIds;
    QHash<QString, int> nextSuffix; // of names given more than once
    {
        m_log.Log("CVarE::load(%s) => Lecture de %i rôles...\n", path.constData(), int(scan.m_roles.size()));
        for (DOMElement* r : scan.m_roles) {
            CRole role(attrString(r, u"name"));
            role.setId(attrString(r, u"id"));
            if (role.getId().isEmpty()) role.setId(CRole::makeId(role.getName()));
            for (DOMNode* c = r->getFirstChild(); c; c = c->getNextSibling())
                if (isElement(c) && hasName(static_cast<DOMElement*>(c), u"image"))
                    role.setImage(textOf(static_cast<DOMElement*>(c)));
            if (attrIs(r, u"gender", u"male"))
                role.setGender(CRole::GENDER_MALE);
            else if (attrIs(r, u"gender", u"female"))
                role.setGender(CRole::GENDER_FEMALE);
            role.setDescription(attrString(r, u"description"));
            role.setColor(parseColor(attr(r, u"color")));
            if (m_log.isLogOn()) m_log.Log("%s\n", utf8(role.getName()).constData());
            auto [it, bAdded] = addRole(role);
            if (!bAdded) {
                // A name given twice: the second role is kept under a name of its own, its phrases with it.
                m_log.Log("Role en doublon : %s\n", utf8(role.getName()).constData());
                const QString strName = role.getName();
                int& nNext = nextSuffix[strName];
                for (nNext = std::max(nNext, 2); !bAdded; ++nNext) {
                    role.setName(QStringLiteral("%1 (%2)").arg(strName).arg(nNext));
                    std::tie(it, bAdded) = addRole(role);
                }
                noteLoadChange(QStringLiteral("Le nom de rôle « %1 » était donné deux fois : le second rôle "
                                              "s'appelle désormais « %2 ».")
                                   .arg(strName, role.getName()));
            }
            fileIds.insert(&*it, role.getId());
        }
    }

    // Phrases. Ids are looked up in name order: the first role holding an id wins.
    {
        QHash<QString, const CRole*> byId;
        for (const CRole& role : m_roles) {
            const QString& strId = fileIds[&role];
            if (!byId.contains(strId)) byId.insert(strId, &role);
        }

        m_log.Log("CVarE::load(%s) => Chargement de %i lignes:\n", path.constData(),
                  int(scan.m_lines.size()));
        for (DOMElement* l : scan.m_lines) {
            CLine line;
            int nTrack = leadingInt(attr(l, u"track"));
            const int nReadTrack = nTrack;
            nTrack = std::clamp(nTrack, 0, 3);
            line.setTrack(nTrack);
            line.setVoiceOff(attrIs(l, u"voice", u"off"));
            line.setReaction(attrIs(l, u"type", u"reac"));
            CLineAppender append(line);
            int nRefusedSigns = 0;
            for (DOMNode* c = l->getFirstChild(); c; c = c->getNextSibling()) {
                if (!isElement(c)) continue;
                auto* ce = static_cast<DOMElement*>(c);
                if (hasName(ce, u"text")) {
                    append.appendText(textOf(ce));
                } else if (hasName(ce, u"br")) {
                    append.appendText(QStringLiteral("\r\n"));
                } else if (hasName(ce, u"lipsync")) {
                    int nType = CLipSync::typeFromName(attrString(ce, u"type"));
                    if (nType < 0) nType = CLipSync::NEUTRAL;
                    const bool bLinked = !attrIs(ce, u"link", u"off");
                    const CTimeCode tc = markerTime(ce);
                    if (!append.appendSign(tc, nType, bLinked)) ++nRefusedSigns;
                }
            }
            append.finish();
            const QString strWhere =
                line.getSigns().empty()
                    ? QStringLiteral("sans signe")
                    : QString::fromLatin1(line.getSigns().front().getTimeCode().getText());
            if (nRefusedSigns > 0)
                noteLoadChange(QStringLiteral("Phrase à %1 (« %2 ») : %3 signe(s) sans temps valide ou à un "
                                              "temps déjà pris ignoré(s).")
                                   .arg(strWhere, excerpt(line.getText()))
                                   .arg(nRefusedSigns));
            if (nReadTrack != nTrack)
                noteLoadChange(
                    QStringLiteral("Phrase à %1 (« %2 ») : la piste %3 n'existe pas, elle passe sur "
                                   "la piste %4.")
                        .arg(strWhere, excerpt(line.getText()))
                        .arg(nReadTrack + 1)
                        .arg(nTrack + 1));
            const QString strRole = attrString(l, u"role");
            if (m_log.isLogOn(CTraceLog::MASK_UPDATES))
                m_log.LogIf(CTraceLog::MASK_UPDATES, "%s\t: %s\n", utf8(strRole).constData(),
                            utf8(line.getText()).constData());
            if (!strRole.isEmpty()) {
                const CRole* pRole = byId.value(strRole, nullptr);
                if (pRole) {
                    line.setRole(pRole);
                } else {
                    m_log.Log("id inconnu : %s\n", utf8(strRole).constData());
                    noteLoadChange(QStringLiteral("Phrase à %1 (« %2 ») : le rôle « %3 » n'existe pas, elle "
                                                  "reste sans rôle.")
                                       .arg(strWhere, excerpt(line.getText()), strRole));
                }
            } else if (m_log.isLogOn()) {
                m_log.Log("phrase non attribuée (%s) : %s\n",
                          line.getSigns().empty() ? TC_INVALID.getText()
                                                  : line.getSigns().front().getTimeCode().getText(),
                          utf8(line.getText()).constData());
            }
            if (line.getSigns().empty()) {
                // Without a sign a phrase has no time and no place in the script.
                noteLoadChange(QStringLiteral("Une phrase sans aucun signe (« %1 ») n'a pas de place dans le "
                                              "temps : elle est ignorée.")
                                   .arg(excerpt(line.getText())));
                continue;
            }
            addReadLine(std::move(line));
        }
    }

    // Shot changes.
    {
        m_log.Log("CVarE::load(%s) => Chargement de %i changement de plans:\n", path.constData(),
                  int(scan.m_shots.size()));
        for (DOMElement* e : scan.m_shots) {
            const CTimeCode tc = markerTime(e);
            m_log.LogIf(CTraceLog::MASK_UPDATES, "%s\n", tc.getText());
            if (tc.isValid()) addShot(tc);
        }
    }

    // Loops.
    {
        m_log.Log("CVarE::load(%s) => Chargement de %i boucles:\n", path.constData(),
                  int(scan.m_loops.size()));
        for (DOMElement* e : scan.m_loops) {
            const CTimeCode tc = markerTime(e);
            if (!tc.isValid()) continue;
            const int nNumber = leadingInt(attr(e, u"number"));
            if (m_loops.empty() && nNumber == 0) m_bLoopsFromZero = true;
            if (!addLoop(CLoop(tc, nNumber)))
                noteLoadChange(
                    QStringLiteral("La boucle %1 à %2 est à la place d'une autre : elle est ignorée.")
                        .arg(nNumber)
                        .arg(QString::fromLatin1(tc.getText())));
        }
    }

    // Header: the first element of each name.
    m_log.Log("CVarE::load(%s) => Lecture de l'entête...\n", path.constData());
    if (DOMElement* e = scan.first(u"title")) set(H_TITLE, textOf(e));
    if (DOMElement* e = scan.first(u"title2")) set(H_TITLE2, textOf(e));
    if (DOMElement* e = scan.first(u"episode")) {
        QString strNumber = textOf(e);
        if (strNumber.isEmpty()) strNumber = attrString(e, u"number");
        set(H_EPISODE_NUMBER, strNumber);
        set(H_SEASON, attrString(e, u"season"));
        set(H_EPISODE_TITLE, attrString(e, u"title"));
        set(H_EPISODE_TITLE2, attrString(e, u"title2"));
    }
    if (DOMElement* e = scan.first(u"detector")) {
        set(H_DETECTOR_NAME, attrString(e, u"name"));
        set(H_DETECTOR_FIRST_NAME, attrString(e, u"firstname"));
    }
    for (const char16_t* name : {u"author", u"first-author"}) {
        if (DOMElement* e = scan.first(name)) {
            set(H_FIRST_AUTHOR_NAME, attrString(e, u"name"));
            set(H_FIRST_AUTHOR_FIRST_NAME, attrString(e, u"firstname"));
        }
    }
    if (DOMElement* e = scan.first(u"second-author")) {
        set(H_SECOND_AUTHOR_NAME, attrString(e, u"name"));
        set(H_SECOND_AUTHOR_FIRST_NAME, attrString(e, u"firstname"));
    }
    if (DOMElement* e = scan.first(u"production")) {
        set(H_COUNTRY, attrString(e, u"country"));
        set(H_DIFFUSER, attrString(e, u"diffuser"));
        set(H_DIRECTOR, attrString(e, u"director"));
        set(H_ACTORS, attrString(e, u"actors"));
        set(H_DISTRIBUTOR, attrString(e, u"distributor"));
        set(H_YEAR, attrString(e, u"year"));
        set(H_PRODUCER, attrString(e, u"producer"));
    }
    if (DOMElement* e = scan.first(u"notes")) set(H_NOTES, withCrLf(textOf(e)));
    if (DOMElement* e = scan.first(u"summary")) set(H_SUMMARY, withCrLf(textOf(e)));
    if (DOMElement* e = scan.first(u"videofile")) {
        set(H_VIDEO_FILE, textOf(e));
        m_tcTimeStamp = parseTimeCode(attr(e, u"timestamp"));
        m_tcLastPosition = parseTimeCode(attr(e, u"last_position"));
    }
    if (DOMElement* e = scan.first(u"audiofile")) set(H_AUDIO_FILE, textOf(e));
    if (DOMElement* e = scan.first(u"last_position")) {
        m_tcLastPosition = markerTime(e);
        m_nLastTrack = leadingInt(attr(e, u"track"));
    }
    if (DOMElement* e = scan.first(u"framerate")) {
        const int nRate = leadingInt(attr(e, u"rate"));
        if (nRate > 0 && nRate <= MAX_FRAME_RATE) {
            m_nFrameRate = nRate;
            m_bDropFrame = attrIs(e, u"drop", u"on");
        } else {
            m_log.Log("Cadence invalide (%i) : 25 images par seconde\n", nRate);
        }
    }

    m_log.Log("CVarE::load(%s) => success!\n", path.constData());
    return true;
}

// =========================================================================== store

bool CVarE::store(const QString& strPath, const IBookmarkSource* pBookmarks, const QString& strVersion,
                  QString* pstrError) const {
    const QByteArray path = utf8(strPath);
    ensureXmlPlatform();
    m_log.Log("CVarE::store(%s) => Écriture de l'entête...\n", path.constData());

    DOMImplementation* impl = DOMImplementationRegistry::getDOMImplementation(u"LS");
    std::unique_ptr<DOMDocument, void (*)(DOMDocument*)> doc(impl->createDocument(nullptr, u"vare", nullptr),
                                                             [](DOMDocument* d) { d->release(); });
    CWriter w(doc.get());
    DOMElement* root = doc->getDocumentElement();

    DOMElement* header = w.element(root, u"header");
    DOMElement* app = w.element(header, u"tavorin");
    w.setIfNotEmpty(app, u"version", strVersion);
    if (!get(H_TITLE).isEmpty()) w.textElement(header, u"title", get(H_TITLE));
    if (!get(H_TITLE2).isEmpty()) w.textElement(header, u"title2", get(H_TITLE2));
    auto anyOf = [&](std::initializer_list<EHeader> fields) {
        return std::any_of(fields.begin(), fields.end(), [&](EHeader f) { return !get(f).isEmpty(); });
    };
    if (anyOf({H_EPISODE_NUMBER, H_SEASON, H_EPISODE_TITLE, H_EPISODE_TITLE2})) {
        DOMElement* e = w.element(header, u"episode");
        w.setIfNotEmpty(e, u"number", get(H_EPISODE_NUMBER));
        w.setIfNotEmpty(e, u"season", get(H_SEASON));
        w.setIfNotEmpty(e, u"title", get(H_EPISODE_TITLE));
        w.setIfNotEmpty(e, u"title2", get(H_EPISODE_TITLE2));
    }
    if (anyOf({H_COUNTRY, H_DIFFUSER, H_DIRECTOR, H_ACTORS, H_DISTRIBUTOR, H_YEAR, H_PRODUCER})) {
        DOMElement* e = w.element(header, u"production");
        w.setIfNotEmpty(e, u"country", get(H_COUNTRY));
        w.setIfNotEmpty(e, u"diffuser", get(H_DIFFUSER));
        w.setIfNotEmpty(e, u"director", get(H_DIRECTOR));
        w.setIfNotEmpty(e, u"actors", get(H_ACTORS));
        w.setIfNotEmpty(e, u"distributor", get(H_DISTRIBUTOR));
        w.setIfNotEmpty(e, u"year", get(H_YEAR));
        w.setIfNotEmpty(e, u"producer", get(H_PRODUCER));
    }
    const struct {
        const char16_t* name;
        EHeader eName, eFirstName;
    } people[] = {{u"detector", H_DETECTOR_NAME, H_DETECTOR_FIRST_NAME},
                  {u"first-author", H_FIRST_AUTHOR_NAME, H_FIRST_AUTHOR_FIRST_NAME},
                  {u"second-author", H_SECOND_AUTHOR_NAME, H_SECOND_AUTHOR_FIRST_NAME}};
    for (const auto& person : people) {
        if (!anyOf({person.eName, person.eFirstName})) continue;
        DOMElement* e = w.element(header, person.name);
        w.set(e, u"name", get(person.eName));
        w.set(e, u"firstname", get(person.eFirstName));
    }
    if (!get(H_NOTES).isEmpty())
        w.textElement(header, u"notes", QString(get(H_NOTES)).remove(QLatin1Char('\r')));
    if (!get(H_SUMMARY).isEmpty())
        w.textElement(header, u"summary", QString(get(H_SUMMARY)).remove(QLatin1Char('\r')));
    if (!get(H_VIDEO_FILE).isEmpty()) {
        DOMElement* e = w.textElement(header, u"videofile", get(H_VIDEO_FILE));
        if (m_tcTimeStamp.isValid()) w.setRaw(e, u"timestamp", m_tcTimeStamp.getText());
    }
    if (!get(H_AUDIO_FILE).isEmpty()) w.textElement(header, u"audiofile", get(H_AUDIO_FILE));
    {
        DOMElement* e = w.element(header, u"framerate");
        w.setRaw(e, u"rate", m_nFrameRate);
        if (m_bDropFrame) w.setRaw(e, u"drop", u"on");
    }
    if (m_tcLastPosition.isValid()) {
        DOMElement* e = w.element(header, u"last_position");
        w.setRaw(e, u"track", m_nLastTrack);
        setTimeCode(w, e, m_tcLastPosition);
    }

    m_log.Log("CVarE::store(%s) => Écriture des rôles...\n", path.constData());
    // Every role of a script has an id of its own (given when it entered the script).
    DOMElement* roles = w.element(root, u"roles");
    for (const CRole& role : m_roles) {
        DOMElement* e = w.element(roles, u"role");
        if (role.getGender() == CRole::GENDER_MALE)
            w.setRaw(e, u"gender", u"male");
        else if (role.getGender() == CRole::GENDER_FEMALE)
            w.setRaw(e, u"gender", u"female");
        w.set(e, u"description", role.getDescription());
        char szColor[8];
        std::snprintf(szColor, sizeof szColor, "#%.2X%.2X%.2X", role.getRed(), role.getGreen(),
                      role.getBlue());
        w.setRaw(e, u"color", szColor);
        w.set(e, u"id", role.getId());
        e->setIdAttribute(u"id", true);
        w.set(e, u"name", role.getName());
        if (!role.getImage().isEmpty()) w.textElement(e, u"image", role.getImage());
    }

    m_log.Log("CVarE::store(%s) => Écriture de la rythmo...\n", path.constData());
    DOMElement* body = w.element(root, u"body");
    auto loop = m_loops.begin();
    auto shot = m_shots.begin();
    auto line = m_lines.begin();
    constexpr int NONE = INT_MAX;
    while (loop != m_loops.end() || shot != m_shots.end() || line != m_lines.end()) {
        const int fLoop = loop != m_loops.end() ? loop->getFrames() : NONE;
        const int fShot = shot != m_shots.end() ? shot->getFrames() : NONE;
        const int fLine = line != m_lines.end() ? line->getStartFrame() : NONE;
        if (fLoop <= fShot && fLoop <= fLine) {
            DOMElement* e = w.element(body, u"loop");
            setTimeCode(w, e, loop->getTimeCode());
            w.setRaw(e, u"number", loop->getNumber());
            ++loop;
        } else if (fShot <= fLine) {
            setTimeCode(w, w.element(body, u"shot"), shot->getTimeCode());
            ++shot;
        } else {
            writeLine(w, body, *line);
            ++line;
        }
    }

    // Bookmarks after the body, where every reader that knows them finds them.
    for (int i = 0, n = pBookmarks ? pBookmarks->getBookmarkCount() : 0; i < n; ++i) {
        CTimeCode tc;
        QString strLabel;
        pBookmarks->getBookmark(i, tc, strLabel);
        if (!tc.isValid()) continue;
        DOMElement* e = w.element(root, u"bookmark");
        w.textElement(e, u"tc", QString::fromLatin1(tc.getText()));
        w.textElement(e, u"label", strLabel);
    }

    m_log.Log("CVarE::store(%s) => Enregistrement du fichier\n", path.constData());
    bool bOk = false;
    {
        MyFormatTarget target(strPath);
        std::unique_ptr<DOMLSSerializer, void (*)(DOMLSSerializer*)> serializer(
            static_cast<DOMImplementationLS*>(impl)->createLSSerializer(),
            [](DOMLSSerializer* s) { s->release(); });
        serializer->getDomConfig()->setParameter(XMLUni::fgDOMWRTFormatPrettyPrint, true);
        std::unique_ptr<DOMLSOutput, void (*)(DOMLSOutput*)> output(
            static_cast<DOMImplementationLS*>(impl)->createLSOutput(), [](DOMLSOutput* o) { o->release(); });
        output->setByteStream(&target);
        try {
            bOk = target.isOk() && serializer->write(doc.get(), output.get());
        } catch (...) {
            bOk = false;
        }
        // The serialiser's flag alone can report success on a full disk: the file must be complete too.
        bOk = target.commit() && bOk;
        if (!bOk) {
            const QString strReason = target.reason();
            m_log.Log("CVarE::store(%s) => Échec : %s\n", path.constData(), utf8(strReason).constData());
            if (pstrError) *pstrError = strReason;
        }
    }
    if (bOk) m_log.Log("CVarE::store(%s) => Succès!\n", path.constData());
    return bOk;
}
