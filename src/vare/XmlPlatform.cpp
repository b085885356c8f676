#include "vare/XmlPlatform.h"

#include "vare/XmlShape.h"

#include <mutex>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/Wrapper4InputSource.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLUni.hpp>

using namespace xercesc;

void ensureXmlPlatform() {
    static std::once_flag s_once;
    std::call_once(s_once, [] { XMLPlatformUtils::Initialize(); });
}

namespace {
// Internal entities may be used, but never to blow a small file up.
constexpr XMLSize_t MAX_ENTITY_EXPANSIONS = 10000;

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
    DOMLSInput* resolveResource(const XMLCh*, const XMLCh*, const XMLCh*, const XMLCh*,
                                const XMLCh*) override {
        static const XMLByte s_empty[1] = {0};
        auto* pSource = new MemBufInputSource(s_empty, 0, "empty", false);
        return new Wrapper4InputSource(pSource, true);
    }
};
} // namespace

struct CSafeDomParser::Impl {
    CErrorHandler errors;
    CNoExternalResources resolver;
    SecurityManager security;
    QString strRefusal;
    std::unique_ptr<DOMLSParser, void (*)(DOMLSParser*)> parser{nullptr,
                                                                [](DOMLSParser* p) { p->release(); }};
};

CSafeDomParser::CSafeDomParser(bool bNamespaces) : m_p(std::make_unique<Impl>()) {
    ensureXmlPlatform();
    DOMImplementation* impl = DOMImplementationRegistry::getDOMImplementation(u"LS");
    m_p->parser.reset(static_cast<DOMImplementationLS*>(impl)->createLSParser(
        DOMImplementationLS::MODE_SYNCHRONOUS, nullptr));
    m_p->security.setEntityExpansionLimit(MAX_ENTITY_EXPANSIONS);
    DOMConfiguration* config = m_p->parser->getDomConfig();
    config->setParameter(XMLUni::fgDOMErrorHandler, &m_p->errors);
    config->setParameter(XMLUni::fgDOMResourceResolver, &m_p->resolver);
    config->setParameter(XMLUni::fgDOMValidate, false);
    config->setParameter(XMLUni::fgDOMNamespaces, bNamespaces);
    config->setParameter(XMLUni::fgDOMComments, false);
    config->setParameter(XMLUni::fgXercesLoadExternalDTD, false);
    config->setParameter(XMLUni::fgXercesDisableDefaultEntityResolution, true);
    config->setParameter(XMLUni::fgXercesSecurityManager, &m_p->security);
}

CSafeDomParser::~CSafeDomParser() = default;

DOMDocument* CSafeDomParser::parse(const QByteArray& data, const char* pszName) {
    m_p->errors.m_strFirst.clear();
    m_p->strRefusal.clear();
    switch (CXmlShape::check(data)) {
    case CXmlShape::OK:
        break;
    case CXmlShape::TOO_DEEP:
        m_p->strRefusal =
            QStringLiteral("ses éléments sont imbriqués sur plus de %1 niveaux").arg(CXmlShape::MAX_DEPTH);
        return nullptr;
    case CXmlShape::DECLARES_ENTITIES:
        m_p->strRefusal = QStringLiteral("il déclare des entités XML, que le programme refuse");
        return nullptr;
    }
    MemBufInputSource source(reinterpret_cast<const XMLByte*>(data.constData()), XMLSize_t(data.size()),
                             pszName, false);
    Wrapper4InputSource input(&source, false);
    DOMDocument* doc = nullptr;
    try {
        doc = m_p->parser->parse(&input);
    } catch (...) {
        doc = nullptr;
    }
    if (!m_p->errors.m_strFirst.isEmpty()) return nullptr;
    return doc;
}

const QString& CSafeDomParser::firstError() const {
    return m_p->errors.m_strFirst;
}

const QString& CSafeDomParser::refusal() const {
    return m_p->strRefusal;
}
