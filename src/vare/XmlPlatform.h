#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
XERCES_CPP_NAMESPACE_END

// The XML library is initialised once for the process, on first use, and never torn down while the
// program runs (scripts are read and written from the user-interface and the auto-save threads).
void ensureXmlPlatform();

// Xerces strings are UTF-16, like QString: no transcoding needed.
inline QString toQString(const XMLCh* p) {
    return p ? QString::fromUtf16(reinterpret_cast<const char16_t*>(p)) : QString();
}
inline const XMLCh* toXml(const QString& str) {
    return reinterpret_cast<const XMLCh*>(str.utf16());
}

// A DOM parse of bytes from an untrusted source (a script file, the version file of the update
// check): no external entity or DTD is ever fetched, a text that declares entities or nests elements
// deeper than any of our files is refused before the parse (see CXmlShape), and the first fatal error
// stops the parse. The document lives as long as the parser. Formats built on XML namespaces (DAPT) ask
// for them; the program's own files have none.
class CSafeDomParser {
public:
    explicit CSafeDomParser(bool bNamespaces = false);
    ~CSafeDomParser();
    CSafeDomParser(const CSafeDomParser&) = delete;
    CSafeDomParser& operator=(const CSafeDomParser&) = delete;

    // The document, or null when the bytes are not well-formed XML (see firstError()).
    xercesc::DOMDocument* parse(const QByteArray& data, const char* pszName);
    // The first fatal error, with its line and column; empty when none.
    const QString& firstError() const;
    // Why a text was refused before the parse, in French ("ses éléments sont imbriqués ..."); empty
    // when it was not.
    const QString& refusal() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_p;
};
