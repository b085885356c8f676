#pragma once

#include <clocale>
#include <cstring>

// libmpv parses numbers with the C library and refuses to start under another numeric locale. A
// second player (the click) is made while the first one's threads run and read the locale:
// setlocale() rewrites process-wide state, so it is called only when the locale is not "C" yet.
inline void useCNumericLocale() {
    const char* pszNow = std::setlocale(LC_NUMERIC, nullptr);
    if (!pszNow || std::strcmp(pszNow, "C") != 0) std::setlocale(LC_NUMERIC, "C");
}
