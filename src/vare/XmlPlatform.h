#pragma once

#include <QString>
#include <xercesc/util/XercesDefs.hpp>

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
