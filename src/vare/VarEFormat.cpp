// Reading and writing VarE files (.vare): an XML document with a header, the roles and the body
// (loops, shot changes and phrases with their text and signs), through the Xerces DOM.

#include "vare/VarE.h"
#include "vare/XmlPlatform.h"

#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/Wrapper4InputSource.hpp>
#include <xercesc/framework/XMLFormatter.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLUni.hpp>

using namespace xercesc;

namespace {

// A script larger than this is not a script.
constexpr qint64 MAX_FILE_SIZE = 512LL * 1024 * 1024;
// Internal entities may be used, but never to blow a small file up.
constexpr XMLSize_t MAX_ENTITY_EXPANSIONS = 10000;

QByteArray utf8(const QString& str) { return str.toUtf8(); }

// --------------------------------------------------------------------------- reading helpers

bool isElement(const DOMNode* p) { return p && p->getNodeType() == DOMNode::ELEMENT_NODE; }

bool hasName(const DOMElement* e, const char16_t* name) {
    return XMLString::equals(e->getTagName(), reinterpret_cast<const XMLCh*>(name));
}

const XMLCh* attr(const DOMElement* e, const char16_t* name) {
    return e->getAttribute(reinterpret_cast<const XMLCh*>(name));
}

QString attrString(const DOMElement* e, const char16_t* name) { return toQString(attr(e, name)); }

bool attrIs(const DOMElement* e, const char16_t* name, const char16_t* value) {
    return XMLString::equals(attr(e, name), reinterpret_cast<const XMLCh*>(value));
}

// The text of an element: its text and CDATA children (usually one).
QString textOf(const DOMElement* e) {
    const DOMNode* p = e->getFirstChild();
    if (p && !p->getNextSibling() && p->getNodeType() == DOMNode::TEXT_NODE) return toQString(p->getNodeValue());
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

// Standard leading-integer conversion ("12abc" is 12, "" is 0).
int leadingInt(const XMLCh* p) {
    if (!p) return 0;
    char sz[16];
    int n = 0;
    while (p[n] && n < 15) {
        sz[n] = p[n] < 128 ? char(p[n]) : '?';
        ++n;
    }
    sz[n] = 0;
    return int(std::strtol(sz, nullptr, 10));
}

CTimeCode parseTimeCode(const XMLCh* p, const CTimeCode& def = TC_INVALID) {
    CTimeCode tc(def);
    if (!p || !*p) return tc;
    char sz[12];
    int n = 0;
    while (p[n] && n < 11) {
        sz[n] = p[n] < 128 ? char(p[n]) : '?';
        ++n;
    }
    sz[n] = 0;
    tc.parse(sz);
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
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        rgb = rgb << 4 | std::uint32_t(d);
    }
    return rgb & 0xFFFFFF;
}

QString withCrLf(QString str) {
    str.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return str;
}

// Elements of a name under a node, in document order.
DOMElement* firstElement(const DOMDocument* doc, const char16_t* name) {
    DOMNodeList* list = doc->getElementsByTagName(reinterpret_cast<const XMLCh*>(name));
    return list && list->getLength() ? static_cast<DOMElement*>(list->item(0)) : nullptr;
}

// Collects the parser's fatal errors; the parse stops at the first one.
class CErrorHandler : public DOMErrorHandler {
public:
    bool handleError(const DOMError& err) override {
        if (err.getSeverity() == DOMError::DOM_SEVERITY_WARNING) return true;
        if (m_strFirst.isEmpty()) {
            m_strFirst = QStringLiteral("%1 (ligne %2, colonne %3)")
                             .arg(toQString(err.getMessage()))
                             .arg(err.getLocation() ? err.getLocation()->getLineNumber() : 0)
                             .arg(err.getLocation() ? err.getLocation()->getColumnNumber() : 0);
        }
        return false;
    }
    QString m_strFirst;
};

// No external resource is ever fetched: every external entity or DTD reads as empty.
class CNoExternalResources : public DOMLSResourceResolver {
public:
    DOMLSInput* resolveResource(const XMLCh*, const XMLCh*, const XMLCh*, const XMLCh*, const XMLCh*) override {
        static const XMLByte s_empty[1] = {0};
        auto* pSource = new MemBufInputSource(s_empty, 0, "empty", false);
        return new Wrapper4InputSource(pSource, true);
    }
};

// --------------------------------------------------------------------------- writing helpers

// Hands the serialiser's bytes to a file written beside the target and renamed over it once complete,
// so that a failed write leaves the previous file as it was.
class MyFormatTarget : public XMLFormatTarget {
public:
    explicit MyFormatTarget(const QString& strPath) : m_file(strPath) { m_bOk = m_file.open(QIODevice::WriteOnly); }
    ~MyFormatTarget() override {
        if (!m_bCommitted) m_file.cancelWriting();
    }
    void writeChars(const XMLByte* const toWrite, const XMLSize_t count, XMLFormatter* const) override {
        if (!m_bOk) return;
        if (m_file.write(reinterpret_cast<const char*>(toWrite), qint64(count)) != qint64(count)) m_bOk = false;
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
    QString errorString() const { return m_file.errorString(); }

private:
    QSaveFile m_file;
    bool m_bOk = false;
    bool m_bCommitted = false;
};

// XML 1.0 cannot hold most control characters or lone surrogates: they would make the file unreadable.
QString xmlSafe(const QString& str) {
    auto bad = [](const QChar* p, const QChar* end) {
        const char16_t c = p->unicode();
        if (c < 0x20) return c != '\t' && c != '\n' && c != '\r';
        if (c == 0xFFFE || c == 0xFFFF) return true;
        if (QChar::isHighSurrogate(c)) return p + 1 >= end || !QChar::isLowSurrogate(p[1].unicode());
        if (QChar::isLowSurrogate(c)) return true; // pairs are skipped whole below
        return false;
    };
    const QChar* b = str.constData();
    const QChar* e = b + str.size();
    bool bClean = true;
    for (const QChar* p = b; p < e; ++p) {
        if (bad(p, e)) {
            bClean = false;
            break;
        }
        if (p->isHighSurrogate()) ++p;
    }
    if (bClean) return str;
    QString out;
    out.reserve(str.size());
    for (const QChar* p = b; p < e; ++p) {
        if (bad(p, e)) {
            out += QChar(0xFFFD);
        } else if (p->isHighSurrogate()) {
            out += *p++;
            out += *p;
        } else {
            out += *p;
        }
    }
    return out;
}

class CWriter {
public:
    explicit CWriter(DOMDocument* doc) : m_doc(doc) {}

    DOMElement* element(DOMElement* parent, const char16_t* name) {
        DOMElement* e = m_doc->createElement(reinterpret_cast<const XMLCh*>(name));
        parent->appendChild(e);
        return e;
    }
    DOMElement* textElement(DOMElement* parent, const char16_t* name, const QString& text) {
        DOMElement* e = element(parent, name);
        e->appendChild(m_doc->createTextNode(toXml(xmlSafe(text))));
        return e;
    }
    void set(DOMElement* e, const char16_t* name, const QString& value) {
        e->setAttribute(reinterpret_cast<const XMLCh*>(name), toXml(xmlSafe(value)));
    }
    void set(DOMElement* e, const char16_t* name, const char* value) {
        set(e, name, QString::fromLatin1(value));
    }
    void setIfNotEmpty(DOMElement* e, const char16_t* name, const QString& value) {
        if (!value.isEmpty()) set(e, name, value);
    }

    // A run of phrase text: every non-empty piece between line breaks becomes "text", every CR LF "br".
    void writeRun(DOMElement* line, const QString& str) {
        qsizetype from = 0;
        while (from <= str.size()) {
            const qsizetype cr = str.indexOf(QLatin1String("\r\n"), from);
            const qsizetype end = cr < 0 ? str.size() : cr;
            if (end > from) textElement(line, u"text", str.mid(from, end - from));
            if (cr < 0) break;
            element(line, u"br");
            from = cr + 2;
        }
    }

private:
    DOMDocument* m_doc;
};

void writeLine(CWriter& w, DOMElement* body, const CLine& line) {
    DOMElement* e = w.element(body, u"line");
    if (line.hasRole()) w.set(e, u"role", line.getRole().m_strId);
    if (line.m_bVoiceOff) w.set(e, u"voice", "off");
    if (line.m_bReaction) w.set(e, u"type", "reac");
    w.set(e, u"track", QString::number(line.getTrack()));

    int nFrom = 0; // the position after the previous linked sign
    for (const CLipSync& sign : line.m_liste) {
        if (sign.isLinked()) {
            w.writeRun(e, line.getTextBetween(nFrom, sign.getLink()));
            nFrom = sign.getLink() + 1;
        }
        DOMElement* s = w.element(e, u"lipsync");
        w.set(s, u"timecode", sign.getTimeCode().getText());
        w.set(s, u"type", CLipSync::typeName(sign.getType()));
        if (!sign.isLinked()) w.set(s, u"link", "off");
    }
    w.writeRun(e, line.getTextBetween(nFrom, -1));
}

} // namespace

// =========================================================================== load

bool CVarE::load(const QString& strPath, IBookmarkSink* pBookmarks) {
    const QByteArray path = utf8(strPath);
    m_log.Log("CVarE::load(%s) => Lecture du fichier...\n", path.constData());
    ensureXmlPlatform();
    clear();

    QFile file(strPath);
    QByteArray data;
    if (file.open(QIODevice::ReadOnly) && file.size() <= MAX_FILE_SIZE) data = file.read(MAX_FILE_SIZE + 1);
    if (data.isEmpty() || data.size() > MAX_FILE_SIZE) {
        m_log.Log("parseURI(%s) renvoie NULL\n", path.constData());
        return false;
    }

    DOMImplementation* impl = DOMImplementationRegistry::getDOMImplementation(u"LS");
    std::unique_ptr<DOMLSParser, void (*)(DOMLSParser*)> parser(
        static_cast<DOMImplementationLS*>(impl)->createLSParser(DOMImplementationLS::MODE_SYNCHRONOUS, nullptr),
        [](DOMLSParser* p) { p->release(); });
    CErrorHandler errors;
    CNoExternalResources resolver;
    SecurityManager security;
    security.setEntityExpansionLimit(MAX_ENTITY_EXPANSIONS);
    DOMConfiguration* config = parser->getDomConfig();
    config->setParameter(XMLUni::fgDOMErrorHandler, &errors);
    config->setParameter(XMLUni::fgDOMResourceResolver, &resolver);
    config->setParameter(XMLUni::fgDOMValidate, false);
    config->setParameter(XMLUni::fgDOMNamespaces, false);
    config->setParameter(XMLUni::fgDOMComments, false);
    config->setParameter(XMLUni::fgXercesLoadExternalDTD, false);
    config->setParameter(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    config->setParameter(XMLUni::fgXercesSecurityManager, &security);

    MemBufInputSource source(reinterpret_cast<const XMLByte*>(data.constData()), XMLSize_t(data.size()),
                             "vare", false);
    Wrapper4InputSource input(&source, false);
    DOMDocument* doc = nullptr;
    try {
        doc = parser->parse(&input);
    } catch (...) {
        doc = nullptr;
    }
    if (!doc || !errors.m_strFirst.isEmpty()) {
        m_log.Log("parseURI(%s) renvoie NULL\n", path.constData());
        if (!errors.m_strFirst.isEmpty()) m_log.Log("%s\n", utf8(errors.m_strFirst).constData());
        return false;
    }

    DOMElement* roles = firstElement(doc, u"roles");
    if (!roles) {
        m_log.Log("Absence de l'élément <roles>\n");
        return false;
    }
    DOMElement* body = firstElement(doc, u"body");
    if (!body) {
        m_log.Log("Absence de l'élément <body>\n");
        return false;
    }

    // Bookmarks, anywhere in the document.
    {
        DOMNodeList* list = doc->getElementsByTagName(u"bookmark");
        m_log.Log("CVarE::load(%s) => Reading %i bookmarks...\n", path.constData(), int(list->getLength()));
        for (XMLSize_t i = 0, n = list->getLength(); i < n; ++i) {
            auto* b = static_cast<DOMElement*>(list->item(i));
            CTimeCode tc = TC_INVALID;
            QString strLabel;
            for (DOMNode* c = b->getFirstChild(); c; c = c->getNextSibling()) {
                if (!isElement(c)) continue;
                auto* ce = static_cast<DOMElement*>(c);
                if (hasName(ce, u"tc")) tc.parse(textOf(ce));
                else if (hasName(ce, u"label")) strLabel = textOf(ce);
            }
            if (tc.isValid() && pBookmarks) pBookmarks->addBookmark(tc, strLabel);
        }
    }

    // Roles.
    {
        DOMNodeList* list = doc->getElementsByTagName(u"role");
        m_log.Log("CVarE::load(%s) => Lecture de %i rôles...\n", path.constData(), int(list->getLength()));
        for (XMLSize_t i = 0, n = list->getLength(); i < n; ++i) {
            auto* r = static_cast<DOMElement*>(list->item(i));
            CRole role(attrString(r, u"name"));
            role.m_strId = attrString(r, u"id");
            if (role.m_strId.isEmpty()) role.m_strId = CRole::makeId(role.m_strName);
            for (DOMNode* c = r->getFirstChild(); c; c = c->getNextSibling())
                if (isElement(c) && hasName(static_cast<DOMElement*>(c), u"image"))
                    role.m_strImage = textOf(static_cast<DOMElement*>(c));
            if (attrIs(r, u"gender", u"male")) role.m_nGender = CRole::GENDER_MALE;
            else if (attrIs(r, u"gender", u"female")) role.m_nGender = CRole::GENDER_FEMALE;
            role.m_strDescription = attrString(r, u"description");
            role.setColor(parseColor(attr(r, u"color")));
            m_log.Log("%s\n", utf8(role.m_strName).constData());
            if (!addRole(role).second) m_log.Log("Role en doublon : %s\n", utf8(role.m_strName).constData());
        }
    }

    // Phrases. Ids are looked up in name order: the first role holding an id wins.
    {
        QHash<QString, const CRole*> byId;
        for (const CRole& role : m_roles)
            if (!byId.contains(role.m_strId)) byId.insert(role.m_strId, &role);

        DOMNodeList* list = body->getElementsByTagName(u"line");
        m_log.Log("CVarE::load(%s) => Chargement de %i lignes:\n", path.constData(), int(list->getLength()));
        for (XMLSize_t i = 0, n = list->getLength(); i < n; ++i) {
            auto* l = static_cast<DOMElement*>(list->item(i));
            CLine line;
            int nTrack = leadingInt(attr(l, u"track"));
            if (nTrack < 0 || nTrack > 3) {
                m_log.Log("Piste invalide (%i) ramenée dans les limites\n", nTrack);
                nTrack = std::clamp(nTrack, 0, 3);
            }
            line.setTrack(nTrack);
            line.m_bVoiceOff = attrIs(l, u"voice", u"off");
            line.m_bReaction = attrIs(l, u"type", u"reac");
            for (DOMNode* c = l->getFirstChild(); c; c = c->getNextSibling()) {
                if (!isElement(c)) continue;
                auto* ce = static_cast<DOMElement*>(c);
                if (hasName(ce, u"text")) {
                    line.m_strText += textOf(ce);
                } else if (hasName(ce, u"br")) {
                    line.m_strText += QLatin1String("\r\n");
                } else if (hasName(ce, u"lipsync")) {
                    int nType = CLipSync::typeFromName(attrString(ce, u"type"));
                    if (nType < 0) nType = CLipSync::NEUTRAL;
                    const bool bLinked = !attrIs(ce, u"link", u"off");
                    const CTimeCode tc = markerTime(ce);
                    if (!line.insertSign(tc, nType, bLinked, -1))
                        m_log.Log("Signe ignoré (%s)\n", tc.getText());
                }
            }
            const QString strRole = attrString(l, u"role");
            m_log.LogIf(CTraceLog::MASK_UPDATES, "%s\t: %s\n", utf8(strRole).constData(),
                        utf8(line.m_strText).constData());
            if (!strRole.isEmpty()) {
                const CRole* pRole = byId.value(strRole, nullptr);
                if (pRole)
                    line.setRole(pRole);
                else
                    m_log.Log("id inconnu : %s\n", utf8(strRole).constData());
            } else {
                m_log.Log("phrase non attribuée (%s) : %s\n",
                          line.m_liste.empty() ? TC_INVALID.getText() : line.m_liste.front().getTimeCode().getText(),
                          utf8(line.m_strText).constData());
            }
            if (line.m_liste.empty()) {
                // Without a sign a phrase has no time and no place in the script.
                m_log.Log("Ligne sans signe ignorée : %s\n", utf8(line.m_strText).constData());
                continue;
            }
            addLine(line);
        }
    }

    // Shot changes.
    {
        DOMNodeList* list = body->getElementsByTagName(u"shot");
        m_log.Log("CVarE::load(%s) => Chargement de %i changement de plans:\n", path.constData(),
                  int(list->getLength()));
        for (XMLSize_t i = 0, n = list->getLength(); i < n; ++i) {
            const CTimeCode tc = markerTime(static_cast<DOMElement*>(list->item(i)));
            m_log.LogIf(CTraceLog::MASK_UPDATES, "%s\n", tc.getText());
            if (tc.isValid()) addShot(tc);
        }
    }

    // Loops.
    {
        DOMNodeList* list = body->getElementsByTagName(u"loop");
        m_log.Log("CVarE::load(%s) => Chargement de %i boucles:\n", path.constData(), int(list->getLength()));
        for (XMLSize_t i = 0, n = list->getLength(); i < n; ++i) {
            auto* e = static_cast<DOMElement*>(list->item(i));
            const CTimeCode tc = markerTime(e);
            if (tc.isValid()) addLoop(CLoop(tc, leadingInt(attr(e, u"number"))));
        }
    }

    // Header: the first element of each name.
    m_log.Log("CVarE::load(%s) => Lecture de l'entête...\n", path.constData());
    if (DOMElement* e = firstElement(doc, u"title")) set(H_TITLE, textOf(e));
    if (DOMElement* e = firstElement(doc, u"title2")) set(H_TITLE2, textOf(e));
    if (DOMElement* e = firstElement(doc, u"episode")) {
        QString strNumber = textOf(e);
        if (strNumber.isEmpty()) strNumber = attrString(e, u"number");
        set(H_EPISODE_NUMBER, strNumber);
        set(H_SEASON, attrString(e, u"season"));
        set(H_EPISODE_TITLE, attrString(e, u"title"));
        set(H_EPISODE_TITLE2, attrString(e, u"title2"));
    }
    if (DOMElement* e = firstElement(doc, u"detector")) {
        set(H_DETECTOR_NAME, attrString(e, u"name"));
        set(H_DETECTOR_FIRST_NAME, attrString(e, u"firstname"));
    }
    for (const char16_t* name : {u"author", u"first-author"}) {
        if (DOMElement* e = firstElement(doc, name)) {
            set(H_FIRST_AUTHOR_NAME, attrString(e, u"name"));
            set(H_FIRST_AUTHOR_FIRST_NAME, attrString(e, u"firstname"));
        }
    }
    if (DOMElement* e = firstElement(doc, u"second-author")) {
        set(H_SECOND_AUTHOR_NAME, attrString(e, u"name"));
        set(H_SECOND_AUTHOR_FIRST_NAME, attrString(e, u"firstname"));
    }
    if (DOMElement* e = firstElement(doc, u"production")) {
        set(H_COUNTRY, attrString(e, u"country"));
        set(H_DIFFUSER, attrString(e, u"diffuser"));
        set(H_DIRECTOR, attrString(e, u"director"));
        set(H_ACTORS, attrString(e, u"actors"));
        set(H_DISTRIBUTOR, attrString(e, u"distributor"));
        set(H_YEAR, attrString(e, u"year"));
        set(H_PRODUCER, attrString(e, u"producer"));
    }
    if (DOMElement* e = firstElement(doc, u"notes")) set(H_NOTES, withCrLf(textOf(e)));
    if (DOMElement* e = firstElement(doc, u"summary")) set(H_SUMMARY, withCrLf(textOf(e)));
    if (DOMElement* e = firstElement(doc, u"videofile")) {
        set(H_VIDEO_FILE, textOf(e));
        m_tcTimeStamp = parseTimeCode(attr(e, u"timestamp"));
        m_tcLastPosition = parseTimeCode(attr(e, u"last_position"));
    }
    if (DOMElement* e = firstElement(doc, u"audiofile")) set(H_AUDIO_FILE, textOf(e));
    if (DOMElement* e = firstElement(doc, u"last_position")) {
        m_tcLastPosition = markerTime(e);
        m_nLastTrack = leadingInt(attr(e, u"track"));
    }

    m_log.Log("CVarE::load(%s) => success!\n", path.constData());
    return true;
}

// =========================================================================== store

bool CVarE::store(const QString& strPath, const QString& strVersion) {
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
    if (!get(H_NOTES).isEmpty()) w.textElement(header, u"notes", QString(get(H_NOTES)).remove(QLatin1Char('\r')));
    if (!get(H_SUMMARY).isEmpty())
        w.textElement(header, u"summary", QString(get(H_SUMMARY)).remove(QLatin1Char('\r')));
    if (!get(H_VIDEO_FILE).isEmpty()) {
        DOMElement* e = w.textElement(header, u"videofile", get(H_VIDEO_FILE));
        if (m_tcTimeStamp.isValid()) w.set(e, u"timestamp", m_tcTimeStamp.getText());
    }
    if (!get(H_AUDIO_FILE).isEmpty()) w.textElement(header, u"audiofile", get(H_AUDIO_FILE));
    if (m_tcLastPosition.isValid()) {
        DOMElement* e = w.element(header, u"last_position");
        w.set(e, u"track", QString::number(m_nLastTrack));
        w.set(e, u"timecode", m_tcLastPosition.getText());
    }

    m_log.Log("CVarE::store(%s) => Écriture des rôles...\n", path.constData());
    DOMElement* roles = w.element(root, u"roles");
    for (const CRole& role : m_roles) {
        DOMElement* e = w.element(roles, u"role");
        if (role.m_nGender == CRole::GENDER_MALE) w.set(e, u"gender", "male");
        else if (role.m_nGender == CRole::GENDER_FEMALE) w.set(e, u"gender", "female");
        w.set(e, u"description", role.m_strDescription);
        char szColor[8];
        std::snprintf(szColor, sizeof szColor, "#%.2X%.2X%.2X", role.m_red, role.m_green, role.m_blue);
        w.set(e, u"color", szColor);
        w.set(e, u"id", role.m_strId);
        e->setIdAttribute(u"id", true);
        w.set(e, u"name", role.m_strName);
        if (!role.m_strImage.isEmpty()) w.textElement(e, u"image", role.m_strImage);
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
            w.set(e, u"timecode", loop->getTimeCode().getText());
            w.set(e, u"number", QString::number(loop->getNumber()));
            ++loop;
        } else if (fShot <= fLine) {
            w.set(w.element(body, u"shot"), u"timecode", shot->getTimeCode().getText());
            ++shot;
        } else {
            writeLine(w, body, *line);
            ++line;
        }
    }

    m_log.Log("CVarE::store(%s) => Enregistrement du fichier\n", path.constData());
    bool bOk = false;
    {
        MyFormatTarget target(strPath);
        std::unique_ptr<DOMLSSerializer, void (*)(DOMLSSerializer*)> serializer(
            static_cast<DOMImplementationLS*>(impl)->createLSSerializer(), [](DOMLSSerializer* s) { s->release(); });
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
        if (!bOk) m_log.Log("CVarE::store(%s) => Échec : %s\n", path.constData(), utf8(target.errorString()).constData());
    }
    if (bOk) m_log.Log("CVarE::store(%s) => Succès!\n", path.constData());
    return bOk;
}
