#include "vare/XmlPlatform.h"

#include <mutex>
#include <xercesc/util/PlatformUtils.hpp>

void ensureXmlPlatform() {
    static std::once_flag s_once;
    std::call_once(s_once, [] { xercesc::XMLPlatformUtils::Initialize(); });
}
