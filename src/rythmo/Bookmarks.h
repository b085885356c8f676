#pragma once

#include "vare/TimeCode.h"

#include <QString>
#include <map>

// The marked positions of the current script, in time order, each with its menu command identifier
// (45000 + n) and its label. The application owns the list; the band draws it.
struct CBookmark {
    int nCommand = 0;
    QString strLabel;
};
using CBookmarks = std::map<CTimeCode, CBookmark>;
