// Reading a DAPT document into a script. The document is parsed by the same hardened parser as VarE
// files (bytes read by the program with a bound, no external resources, no entity declarations, bounded
// nesting), with XML namespaces, which TTML needs. A document of another tool gives roles from its
// characters and phrases from its script events; a document this program wrote gives back the very
// script it came from, from its own metadata.

#include "vare/Dapt.h"
#include "vare/DaptTiming.h"
#include "vare/VarE.h"
#include "vare/XmlPlatform.h"

#include <QFile>
#include <QHash>
#include <algorithm>
#include <array>
#include <xercesc/dom/DOM.hpp>

using namespace xercesc;

namespace {
constexpr qint64 MAX_FILE_SIZE = 256LL * 1024 * 1024;
constexpr int MAX_FRAME_RATE = 120;

const XMLCh* x(const char16_t* psz) {
    return reinterpret_cast<const XMLCh*>(psz);
}

bool isElement(const DOMNode* p, const char16_t* ns, const char16_t* local) {
    return p && p->getNodeType() == DOMNode::ELEMENT_NODE && XMLString::equals(p->getNamespaceURI(), x(ns)) &&
           XMLString::equals(p->getLocalName(), x(local));
}

// An attribute without prefix, or one in a namespace.
QString attr(const DOMElement* e, const char16_t* name) {
    return toQString(e->getAttribute(x(name)));
}
QString attr(const DOMElement* e, const char16_t* ns, const char16_t* local) {
    return toQString(e->getAttributeNS(x(ns), x(local)));
}
bool hasAttr(const DOMElement* e, const char16_t* ns, const char16_t* local) {
    return e->hasAttributeNS(x(ns), x(local));
}

// A decimal integer, with an optional minus sign, of at most nine digits.
bool parseInt(QStringView s, long long& n) {
    const bool bMinus = s.startsWith(u'-');
    if (bMinus) s = s.mid(1);
    if (s.isEmpty() || s.size() > 9) return false;
    n = 0;
    for (const QChar c : s) {
        if (c < u'0' || c > u'9') return false;
        n = n * 10 + (c.unicode() - u'0');
    }
    if (bMinus) n = -n;
    return true;
}

// A sign type from its name, without making a string of it.
int typeFromName(QStringView name) {
    for (int i = 0; i < CLipSync::TYPE_COUNT; ++i)
        if (name == QLatin1String(CLipSync::typeName(i))) return i;
    return -1;
}

QStringList tokens(const QString& str) {
    return str.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Content descriptors name what a script or an event represents; "audio.dialogue" and what refines it
// are dialogue, and "audio" may hold dialogue.
bool isDialogue(const QString& strDescriptor) {
    return strDescriptor == QLatin1String("audio.dialogue") ||
           strDescriptor.startsWith(QLatin1String("audio.dialogue."));
}

// "fr" matches "fr-FR" and the other way round.
bool sameLanguage(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) return false;
    const QString strA = a.section(QLatin1Char('-'), 0, 0), strB = b.section(QLatin1Char('-'), 0, 0);
    return strA.compare(strB, Qt::CaseInsensitive) == 0;
}

// A text as TTML shows it: by default white space is folded (runs made one space, none at the ends of
// a line); under xml:space="preserve" it is kept and a line feed is a line break.
class CTextBuilder {
public:
    void add(QStringView s, bool bPreserve) {
        for (const QChar c : s) {
            if (bPreserve) {
                flushSpace();
                if (c == QLatin1Char('\n') && !m_str.endsWith(QLatin1Char('\r')))
                    m_str += QStringLiteral("\r\n");
                else
                    m_str += c;
                m_bLineStart = false;
            } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
                       c == QLatin1Char('\r')) {
                if (!m_bLineStart) m_bSpace = true;
            } else {
                flushSpace();
                m_str += c;
                m_bLineStart = false;
            }
        }
    }
    void lineBreak() {
        m_bSpace = false;
        m_str += QStringLiteral("\r\n");
        m_bLineStart = true;
    }
    QString take() { return std::move(m_str); }
    // Where the next character will go (after a space still to come).
    int position() const { return int(m_str.size()) + (m_bSpace ? 1 : 0); }

private:
    void flushSpace() {
        if (m_bSpace) m_str += QLatin1Char(' ');
        m_bSpace = false;
    }
    QString m_str;
    bool m_bSpace = false;
    bool m_bLineStart = true;
};

// What an element passes on to what it holds.
struct SInherited {
    QString strLanguage;
    QString strRepresents;
    bool bPreserve = false;
    long long nBegin = 0; // frames from the origin
};

SInherited inherit(const DOMElement* e, SInherited in) {
    if (hasAttr(e, dapt::XML_NS, u"lang")) in.strLanguage = attr(e, dapt::XML_NS, u"lang");
    if (hasAttr(e, dapt::XML_NS, u"space"))
        in.bPreserve = attr(e, dapt::XML_NS, u"space") == QLatin1String("preserve");
    if (hasAttr(e, dapt::DAPTM_NS, u"represents")) in.strRepresents = attr(e, dapt::DAPTM_NS, u"represents");
    return in;
}

struct SEvent {
    QString strId;
    int nBegin = 0;
    int nEnd = -1; // -1: the event does not say
    QString strText;
    QStringList agents;
    const DOMElement* pDiv = nullptr;
    // Spans timed inside the text: (text index, frame), in text order.
    std::vector<std::pair<int, long long>> marks;
};

const std::array<std::uint32_t, 8> s_palette = {0xE53935, 0x1E88E5, 0x43A047, 0xFB8C00,
                                                0x8E24AA, 0x00ACC1, 0xC0CA33, 0x6D4C41};

class CDaptReader {
public:
    CDaptReader(CVarE& v, const QString& strLanguage, SDaptReadInfo& info)
        : m_v(v), m_strWanted(strLanguage), m_info(info) {}

    bool read(const DOMDocument* doc) {
        const DOMElement* tt = doc->getDocumentElement();
        if (!isElement(tt, dapt::TTML_NS, u"tt"))
            return fail(
                QStringLiteral("ce n'est pas un document DAPT (son élément racine n'est pas le « tt » "
                               "de TTML)"));
        const QStringList profiles = tokens(attr(tt, dapt::TTP_NS, u"contentProfiles"));
        if (std::none_of(profiles.begin(), profiles.end(), [](const QString& str) {
                return str.startsWith(QLatin1String("http://www.w3.org/ns/ttml/profile/dapt"));
            }))
            return fail(QStringLiteral("ce document TTML ne se déclare pas DAPT (ttp:contentProfiles)"));
        const QString strRepresents = attr(tt, dapt::DAPTM_NS, u"scriptRepresents");
        if (strRepresents.trimmed().isEmpty())
            return fail(QStringLiteral("le document DAPT ne dit pas ce qu'il représente "
                                       "(daptm:scriptRepresents)"));
        const QStringList represented = tokens(strRepresents);
        if (std::none_of(represented.begin(), represented.end(),
                         [](const QString& str) { return isDialogue(str) || str == QLatin1String("audio"); }))
            return fail(QStringLiteral("ce script DAPT ne représente pas de dialogues (« %1 »)")
                            .arg(strRepresents.trimmed()));
        const QString strTimeBase = attr(tt, dapt::TTP_NS, u"timeBase");
        if (!strTimeBase.isEmpty() && strTimeBase != QLatin1String("media"))
            return fail(
                QStringLiteral("sa base de temps « %1 » n'est pas celle de DAPT (media)").arg(strTimeBase));
        if (!m_timing.setParameters(attr(tt, dapt::TTP_NS, u"frameRate"),
                                    attr(tt, dapt::TTP_NS, u"frameRateMultiplier"),
                                    attr(tt, dapt::TTP_NS, u"tickRate")) ||
            m_timing.frameRate() > MAX_FRAME_RATE)
            return fail(QStringLiteral("sa cadence d'images (ttp:frameRate) est invalide"));
        m_strDocLanguage = attr(tt, dapt::XML_NS, u"lang");

        SInherited top = inherit(tt, {});
        if (top.strRepresents.isEmpty()) top.strRepresents = strRepresents;
        for (const DOMNode* c = tt->getFirstChild(); c; c = c->getNextSibling())
            if (isElement(c, dapt::TTML_NS, u"head") && !readHead(static_cast<const DOMElement*>(c)))
                return false;
        for (const DOMNode* c = tt->getFirstChild(); c; c = c->getNextSibling()) {
            if (!isElement(c, dapt::TTML_NS, u"body")) continue;
            const auto* body = static_cast<const DOMElement*>(c);
            SInherited in = inherit(body, top);
            if (!timeOf(body, u"begin", in.nBegin, in.nBegin, QStringLiteral("body"))) return false;
            if (!walk(body, in)) return false;
            break;
        }

        m_v.setFrameRate(m_timing.frameRate());
        m_v.setDropFrame(m_bDrop || (m_timing.isNtsc() && m_timing.frameRate() % 30 == 0));
        addRoles();
        if (!addPhrases()) return false;
        if (m_pOwn) readOwnMarkers();
        m_info.strLanguage = m_bWantedFound || m_strDocLanguage.isEmpty() ? m_strWanted : m_strDocLanguage;
        return true;
    }

    const QString& error() const { return m_strError; }

private:
    bool fail(const QString& str) {
        m_strError = str;
        return false;
    }

    // --------------------------------------------------------------------- head

    bool readHead(const DOMElement* head) {
        for (const DOMNode* m = head->getFirstChild(); m; m = m->getNextSibling()) {
            if (!isElement(m, dapt::TTML_NS, u"metadata")) continue;
            for (const DOMNode* c = m->getFirstChild(); c; c = c->getNextSibling()) {
                if (c->getNodeType() != DOMNode::ELEMENT_NODE) continue;
                const auto* e = static_cast<const DOMElement*>(c);
                if (isElement(c, dapt::TTM_NS, u"agent")) {
                    readAgent(e);
                } else if (isElement(c, dapt::DAPTM_NS, u"daptOriginTimecode")) {
                    if (!readOrigin(toQString(e->getTextContent()).trimmed())) return false;
                } else if (isElement(c, dapt::TAVORIN_NS, u"script") && !m_pOwn) {
                    m_pOwn = e;
                    readOwnHeader(e);
                }
            }
        }
        return true;
    }

    void readAgent(const DOMElement* e) {
        if (attr(e, u"type") != QLatin1String("character")) return;
        const QString strId = attr(e, dapt::XML_NS, u"id");
        if (strId.isEmpty() || m_agentNames.contains(strId)) return;
        // The character's name is its alias; a name of another type will do when there is none.
        QString strName, strOther;
        for (const DOMNode* c = e->getFirstChild(); c; c = c->getNextSibling()) {
            if (!isElement(c, dapt::TTM_NS, u"name")) continue;
            const auto* n = static_cast<const DOMElement*>(c);
            CTextBuilder text;
            text.add(toQString(n->getTextContent()), false);
            const QString str = text.take();
            if (attr(n, u"type") == QLatin1String("alias") && strName.isEmpty())
                strName = str;
            else if (strOther.isEmpty())
                strOther = str;
        }
        if (strName.isEmpty()) strName = strOther.isEmpty() ? strId : strOther;
        m_agentNames.insert(strId, strName);
        m_agentOrder.append(strId);
    }

    // "hh:mm:ss:ff" at the document's rate: the timecode of media time zero.
    bool readOrigin(const QString& str) {
        const QStringList parts = str.split(QLatin1Char(':'));
        bool bOk = parts.size() == 4;
        std::array<int, 4> n{};
        for (int i = 0; bOk && i < 4; ++i)
            n[size_t(i)] = parts[i].toInt(&bOk);
        const int nRate = m_timing.frameRate();
        if (!bOk || n[0] < 0 || n[0] > 23 || n[1] < 0 || n[1] > 59 || n[2] < 0 || n[2] > 59 || n[3] < 0 ||
            n[3] >= nRate)
            return fail(QStringLiteral("son timecode d'origine « %1 » est invalide").arg(str));
        long long nFrames = ((n[0] * 60LL + n[1]) * 60 + n[2]) * nRate + n[3];
        if (m_timing.isNtsc() && nRate % 30 == 0) {
            // Drop-frame counting skips two labels (four at 60) every minute but each tenth.
            const long long nMinutes = n[0] * 60LL + n[1];
            nFrames -= (nRate / 15) * (nMinutes - nMinutes / 10);
        }
        m_nOrigin = int(nFrames);
        return true;
    }

    void readOwnHeader(const DOMElement* e) {
        for (int i = 0; i < CVarE::H_COUNT; ++i) {
            const auto h = CVarE::EHeader(i);
            if (h == CVarE::H_FIRST_LOOP_NUMBER) continue;
            const QString strKey = QString::fromLatin1(CVarE::headerKey(h));
            if (e->hasAttribute(toXml(strKey))) m_v.set(h, toQString(e->getAttribute(toXml(strKey))));
        }
        int n;
        if (frameAttr(e, u"timestamp", n)) m_v.setTimeStamp(CTimeCode::fromFrames(n));
        if (frameAttr(e, u"lastPosition", n)) {
            m_v.setLastPosition(CTimeCode::fromFrames(n));
            m_v.setLastTrack(std::clamp(attr(e, u"lastTrack").toInt(), 0, 3));
        }
        m_bDrop = attr(e, u"drop") == QLatin1String("on");
        for (const DOMNode* c = e->getFirstChild(); c; c = c->getNextSibling())
            if (isElement(c, dapt::TAVORIN_NS, u"role")) {
                const auto* r = static_cast<const DOMElement*>(c);
                m_ownRoles.insert(attr(r, u"agent"), r);
            }
    }

    // A frame count of the program's metadata: within a day.
    static bool frameAttr(const DOMElement* e, const char16_t* name, int& n) {
        bool bOk = false;
        n = attr(e, name).toInt(&bOk);
        return bOk && n >= 0 && n < CTimeCode::FRAMES_PER_DAY;
    }

    void readOwnMarkers() {
        for (const DOMNode* c = m_pOwn->getFirstChild(); c; c = c->getNextSibling()) {
            if (c->getNodeType() != DOMNode::ELEMENT_NODE) continue;
            const auto* e = static_cast<const DOMElement*>(c);
            int nFrame;
            if (isElement(c, dapt::TAVORIN_NS, u"loop") && frameAttr(e, u"frame", nFrame))
                m_v.addLoop(CLoop(CTimeCode::fromFrames(nFrame), attr(e, u"number").toInt()));
            else if (isElement(c, dapt::TAVORIN_NS, u"shot") && frameAttr(e, u"frame", nFrame))
                m_v.addShot(CTimeCode::fromFrames(nFrame));
        }
    }

    // --------------------------------------------------------------------- body

    // A time attribute as frames from the origin, relative to nBase; absent leaves nOut as it is.
    bool timeOf(const DOMElement* e, const char16_t* name, long long nBase, long long& nOut,
                const QString& strWhere) {
        const QString str = attr(e, name);
        if (str.isEmpty()) return true;
        long long n;
        if (!m_timing.toFrames(str, &n))
            return fail(QStringLiteral("le temps « %1 » de « %2 » est invalide").arg(str, strWhere));
        nOut = nBase + n;
        return true;
    }

    // Script events are the innermost div elements; the div elements around them shift their times.
    bool walk(const DOMElement* parent, const SInherited& in) {
        for (const DOMNode* c = parent->getFirstChild(); c; c = c->getNextSibling()) {
            if (!isElement(c, dapt::TTML_NS, u"div")) continue;
            const auto* div = static_cast<const DOMElement*>(c);
            SInherited here = inherit(div, in);
            const QString strId = attr(div, dapt::XML_NS, u"id");
            const QString strWhere = strId.isEmpty() ? QStringLiteral("div") : strId;
            if (!timeOf(div, u"begin", in.nBegin, here.nBegin, strWhere)) return false;
            bool bHasDiv = false;
            for (const DOMNode* d = div->getFirstChild(); d && !bHasDiv; d = d->getNextSibling())
                bHasDiv = isElement(d, dapt::TTML_NS, u"div");
            if (bHasDiv) {
                if (!walk(div, here)) return false;
            } else if (!readEvent(div, here, in.nBegin, strWhere)) {
                return false;
            }
        }
        return true;
    }

    bool readEvent(const DOMElement* div, const SInherited& in, long long nParentBegin,
                   const QString& strWhere) {
        const QStringList represented = tokens(in.strRepresents);
        if (std::none_of(represented.begin(), represented.end(), isDialogue)) {
            ++m_nOtherEvents;
            return true;
        }
        SEvent ev;
        ev.strId = strWhere;
        ev.pDiv = div;
        // The end is relative to the parent's begin, as the begin is; the duration to the event's.
        long long nEnd = -1, nDur = -1;
        if (!timeOf(div, u"end", nParentBegin, nEnd, strWhere)) return false;
        if (!timeOf(div, u"dur", in.nBegin, nDur, strWhere)) return false;
        if (nDur >= 0 && (nEnd < 0 || nDur < nEnd)) nEnd = nDur;
        const long long nBegin = m_nOrigin + in.nBegin;
        if (nEnd >= 0) nEnd += m_nOrigin;
        if (nBegin >= CTimeCode::FRAMES_PER_DAY || nEnd >= CTimeCode::FRAMES_PER_DAY)
            return fail(QStringLiteral("l'évènement « %1 » est placé au-delà de 24 heures").arg(strWhere));
        if (nEnd >= 0 && nEnd < nBegin)
            return fail(QStringLiteral("l'évènement « %1 » finit avant de commencer").arg(strWhere));
        ev.nBegin = int(nBegin);
        ev.nEnd = int(nEnd);

        // The text in the wanted language, else in the document's, else the first.
        const DOMElement* pChosen = nullptr;
        SInherited chosen;
        int nRank = 3;
        for (const DOMNode* c = div->getFirstChild(); c; c = c->getNextSibling()) {
            if (!isElement(c, dapt::TTML_NS, u"p")) continue;
            const auto* p = static_cast<const DOMElement*>(c);
            const SInherited pin = inherit(p, in);
            const int nThis = sameLanguage(pin.strLanguage, m_strWanted)        ? 0
                              : sameLanguage(pin.strLanguage, m_strDocLanguage) ? 1
                                                                                : 2;
            if (nThis < nRank) {
                nRank = nThis;
                pChosen = p;
                chosen = pin;
            }
        }
        if (pChosen) {
            if (nRank == 0) m_bWantedFound = true;
            CTextBuilder text;
            if (!gatherText(pChosen, chosen.bPreserve, in.nBegin, text, ev.marks, strWhere)) return false;
            ev.strText = text.take();
        }
        ev.agents = tokens(attr(div, dapt::TTM_NS, u"agent"));
        if (ev.agents.isEmpty() && pChosen) ev.agents = tokens(attr(pChosen, dapt::TTM_NS, u"agent"));
        m_events.push_back(std::move(ev));
        return true;
    }

    // The text of a p and its spans; a span's begin (from the event's) marks where its words are said.
    bool gatherText(const DOMElement* e, bool bPreserve, long long nBegin, CTextBuilder& text,
                    std::vector<std::pair<int, long long>>& marks, const QString& strWhere) {
        for (const DOMNode* c = e->getFirstChild(); c; c = c->getNextSibling()) {
            const auto t = c->getNodeType();
            if (t == DOMNode::TEXT_NODE || t == DOMNode::CDATA_SECTION_NODE) {
                text.add(toQString(c->getNodeValue()), bPreserve);
            } else if (isElement(c, dapt::TTML_NS, u"br")) {
                text.lineBreak();
            } else if (isElement(c, dapt::TTML_NS, u"span")) {
                const auto* span = static_cast<const DOMElement*>(c);
                bool bSpan = bPreserve;
                if (hasAttr(span, dapt::XML_NS, u"space"))
                    bSpan = attr(span, dapt::XML_NS, u"space") == QLatin1String("preserve");
                long long nSpan = nBegin;
                if (!timeOf(span, u"begin", nBegin, nSpan, strWhere)) return false;
                if (span->getAttribute(x(u"begin"))[0]) marks.push_back({text.position(), m_nOrigin + nSpan});
                if (!gatherText(span, bSpan, nSpan, text, marks, strWhere)) return false;
            }
        }
        return true;
    }

    // --------------------------------------------------------------------- the script

    void addRoles() {
        int i = 0;
        for (const QString& strId : m_agentOrder) {
            CRole role(m_agentNames.value(strId));
            role.setColor(s_palette[size_t(i++) % s_palette.size()]);
            if (const DOMElement* r = m_ownRoles.value(strId, nullptr)) {
                role.setId(attr(r, u"id"));
                const QString strColor = attr(r, u"color");
                bool bOk = false;
                const uint rgb = strColor.mid(1).toUInt(&bOk, 16);
                if (strColor.startsWith(QLatin1Char('#')) && strColor.size() == 7 && bOk) role.setColor(rgb);
                const QString strGender = attr(r, u"gender");
                role.setGender(strGender == QLatin1String("male")     ? CRole::GENDER_MALE
                               : strGender == QLatin1String("female") ? CRole::GENDER_FEMALE
                                                                      : CRole::GENDER_NEUTRAL);
                role.setDescription(attr(r, u"description"));
                for (const DOMNode* c = r->getFirstChild(); c; c = c->getNextSibling())
                    if (isElement(c, dapt::TAVORIN_NS, u"image"))
                        role.setImage(toQString(c->getTextContent()));
            }
            const auto [it, bAdded] = m_v.addRole(role);
            // Two characters of one name are one role.
            m_roles.insert(strId, bAdded ? &*it : &*m_v.findRoleByName(role.getName()));
        }
    }

    const CRole* roleOf(const QString& strAgent) {
        if (const CRole* p = m_roles.value(strAgent, nullptr)) return p;
        // A character the document names without declaring it: a role of its identifier.
        m_info.warnings.append(
            QStringLiteral("Le personnage « %1 » n'est pas déclaré : un rôle de ce nom est "
                           "créé.")
                .arg(strAgent));
        auto [it, bAdded] = m_v.addRole(CRole(strAgent));
        const CRole* p = bAdded ? &*it : &*m_v.findRoleByName(strAgent);
        m_roles.insert(strAgent, p);
        return p;
    }

    // The phrase as this program wrote it (its signs with their links), when the event still holds the
    // text those links were made for.
    bool ownPhrase(const SEvent& ev, CLine& line) {
        const QString strSigns = attr(ev.pDiv, dapt::TAVORIN_NS, u"signs");
        if (strSigns.isEmpty()) return false;
        line.insertText(ev.strText, -1);
        int nLinked = 0;
        for (QStringView item : QStringView(strSigns).tokenize(u' ', Qt::SkipEmptyParts)) {
            // type:offset:link
            const qsizetype nColon1 = item.indexOf(u':'), nColon2 = item.lastIndexOf(u':');
            if (nColon1 <= 0 || nColon2 <= nColon1) return false;
            const int nType = typeFromName(item.left(nColon1));
            long long nOffset, nLink;
            if (nType < 0 || !parseInt(item.mid(nColon1 + 1, nColon2 - nColon1 - 1), nOffset) ||
                !parseInt(item.mid(nColon2 + 1), nLink))
                return false;
            const long long nFrame = (long long)ev.nBegin + nOffset;
            if (nOffset < 0 || nFrame >= CTimeCode::FRAMES_PER_DAY || nLink < -1 || nLink > line.getLength())
                return false;
            const CTimeCode tc = CTimeCode::fromFrames(int(nFrame));
            if (!line.insertSign(tc, nType, nLink >= 0, int(nLink))) return false;
            if (line.getLinkAt(tc) != nLink) return false;
            nLinked += nLink >= 0;
        }
        return line.getSignCount() > 0 && line.getLinkedCount() == nLinked;
    }

    void plainPhrase(const SEvent& ev, CLine& line) {
        line.insertText(ev.strText, -1);
        line.insertSign(CTimeCode::fromFrames(ev.nBegin), CLipSync::IN_OPEN, true, 0);
        if (ev.nEnd < 0) return;
        // An event shorter than a frame still needs two frames for its two signs.
        const int nEnd = std::max(ev.nEnd, ev.nBegin + 1);
        line.insertSign(CTimeCode::fromFrames(std::min(nEnd, CTimeCode::FRAMES_PER_DAY - 1)),
                        CLipSync::OUT_OPEN, !ev.strText.isEmpty(), -1);
        // Words timed by the other tool: a neutral sign where each timed span starts, when it falls
        // strictly inside the phrase and after the marks before it.
        long long nLast = ev.nBegin;
        int nLinked = 1;
        for (const auto& [nIndex, nFrame] : ev.marks) {
            if (nFrame <= nLast || nFrame >= nEnd || nIndex <= 0 || nIndex >= ev.strText.size()) continue;
            if (line.insertSign(CTimeCode::fromFrames(int(nFrame)), CLipSync::NEUTRAL, true,
                                nIndex + nLinked)) {
                nLast = nFrame;
                ++nLinked;
            }
        }
    }

    bool addPhrases() {
        struct SPending {
            CLine line;
            int nEnd;
        };
        std::vector<SPending> pending;
        for (const SEvent& ev : m_events) {
            CLine line;
            bool bOwn = ownPhrase(ev, line);
            if (!bOwn) {
                if (ev.pDiv->hasAttributeNS(x(dapt::TAVORIN_NS), x(u"signs")))
                    m_info.warnings.append(
                        QStringLiteral("Les signes de l'évènement « %1 » ne vont plus avec son "
                                       "texte : seuls son début et sa fin sont gardés.")
                            .arg(ev.strId));
                line = CLine();
                plainPhrase(ev, line);
            }
            bool bTrack = false;
            const int nTrack = attr(ev.pDiv, dapt::TAVORIN_NS, u"track").toInt(&bTrack);
            line.setVoiceOff(attr(ev.pDiv, dapt::TAVORIN_NS, u"voice") == QLatin1String("off"));
            line.setReaction(attr(ev.pDiv, dapt::TAVORIN_NS, u"type") == QLatin1String("reac"));
            // Characters who say the same text at the same time: a phrase each.
            const QStringList agents = ev.agents.isEmpty() ? QStringList{QString()} : ev.agents;
            for (const QString& strAgent : agents) {
                CLine one = line;
                one.setRole(strAgent.isEmpty() ? nullptr : roleOf(strAgent));
                if (bTrack && nTrack >= 0 && nTrack <= 3 && agents.size() == 1 &&
                    m_v.findLine({one.getStartFrame(), nTrack}) == m_v.getLines().end()) {
                    one.setTrack(nTrack);
                    m_v.addLine(std::move(one));
                } else {
                    pending.push_back(
                        {std::move(one), ev.nEnd < 0 ? ev.nBegin : std::max(ev.nEnd, ev.nBegin)});
                }
            }
        }
        // Phrases without a track of their own: in time order, each on the first track free since the
        // end of its last phrase, so that no two phrases of a track overlap.
        std::stable_sort(pending.begin(), pending.end(), [](const SPending& a, const SPending& b) {
            return a.line.getStartFrame() < b.line.getStartFrame();
        });
        std::array<int, 4> lastEnd = {-1, -1, -1, -1};
        int nCrowded = 0;
        for (SPending& p : pending) {
            const int nStart = p.line.getStartFrame();
            int nTrack = -1;
            for (int t = 0; t < 4 && nTrack < 0; ++t)
                if (lastEnd[size_t(t)] < nStart && m_v.findLine({nStart, t}) == m_v.getLines().end())
                    nTrack = t;
            if (nTrack < 0) {
                // More voices at once than tracks: the track free the soonest, overlapping.
                ++nCrowded;
                for (int t = 0; t < 4; ++t)
                    if (m_v.findLine({nStart, t}) == m_v.getLines().end() &&
                        (nTrack < 0 || lastEnd[size_t(t)] < lastEnd[size_t(nTrack)]))
                        nTrack = t;
            }
            if (nTrack < 0) {
                m_info.warnings.append(
                    QStringLiteral("Plus de quatre phrases commencent à %1 : celle de « %2 » "
                                   "est ignorée.")
                        .arg(p.line.getTimeCode().toString(), p.line.getText()));
                continue;
            }
            p.line.setTrack(nTrack);
            lastEnd[size_t(nTrack)] = std::max(lastEnd[size_t(nTrack)], p.nEnd);
            m_v.addLine(std::move(p.line));
        }
        if (nCrowded > 0)
            m_info.warnings.append(
                QStringLiteral(
                    "%1 phrase(s) se chevauchent sur une piste : plus de quatre voix parlent à la fois.")
                    .arg(nCrowded));
        if (m_nOtherEvents > 0)
            m_info.warnings.append(
                QStringLiteral("%1 évènement(s) qui ne sont pas des dialogues ont été laissés de côté.")
                    .arg(m_nOtherEvents));
        return true;
    }

    CVarE& m_v;
    QString m_strWanted;
    SDaptReadInfo& m_info;
    QString m_strError;
    QString m_strDocLanguage;
    CDaptTiming m_timing;
    int m_nOrigin = 0;
    bool m_bDrop = false;
    bool m_bWantedFound = false;
    int m_nOtherEvents = 0;
    const DOMElement* m_pOwn = nullptr;
    QHash<QString, QString> m_agentNames;
    QStringList m_agentOrder;
    QHash<QString, const DOMElement*> m_ownRoles;
    QHash<QString, const CRole*> m_roles;
    std::vector<SEvent> m_events;
};
} // namespace

bool loadDapt(const QByteArray& data, CVarE& script, const QString& strLanguage, QString* pstrError,
              SDaptReadInfo* pInfo) {
    auto fail = [&](const QString& str) {
        script.clear();
        if (pstrError) *pstrError = str;
        return false;
    };
    script.clear();
    if (data.isEmpty()) return fail(QStringLiteral("le fichier est vide"));
    CSafeDomParser parser(true);
    const DOMDocument* doc = parser.parse(data, "dapt");
    if (!doc) {
        if (!parser.refusal().isEmpty()) return fail(parser.refusal());
        return fail(QStringLiteral("ce n'est pas un document XML valide : %1").arg(parser.firstError()));
    }
    SDaptReadInfo info;
    CDaptReader reader(script, strLanguage, info);
    if (!reader.read(doc)) return fail(reader.error());
    if (pInfo) *pInfo = std::move(info);
    return true;
}

bool loadDaptFile(const QString& strPath, CVarE& script, const QString& strLanguage, QString* pstrError,
                  SDaptReadInfo* pInfo) {
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        if (pstrError) *pstrError = QStringLiteral("l'accès au fichier est refusé");
        return false;
    }
    if (file.size() > MAX_FILE_SIZE) {
        if (pstrError)
            *pstrError = QStringLiteral("le fichier dépasse %1 Mo").arg(MAX_FILE_SIZE / (1024 * 1024));
        return false;
    }
    // Bounded even when the size said nothing (a pipe, a file still growing).
    const QByteArray data = file.read(MAX_FILE_SIZE + 1);
    if (data.size() > MAX_FILE_SIZE) {
        if (pstrError)
            *pstrError = QStringLiteral("le fichier dépasse %1 Mo").arg(MAX_FILE_SIZE / (1024 * 1024));
        return false;
    }
    return loadDapt(data, script, strLanguage, pstrError, pInfo);
}
