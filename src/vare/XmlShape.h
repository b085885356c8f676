#pragma once

#include <QByteArray>

// A look at an XML text before the parser gets it, for what the parser itself does not bound: the
// nesting of elements (each level costs the parser stack; a few hundred thousand levels overflow it)
// and entity declarations (whose expansions the parser counts but does not weigh: a small file may
// grow into gigabytes). A script needs a handful of levels and no entities. Linear in the text.
class CXmlShape {
public:
    enum EVerdict { OK, TOO_DEEP, DECLARES_ENTITIES };
    static constexpr int MAX_DEPTH = 64;

    static EVerdict check(const QByteArray& text, int nMaxDepth = MAX_DEPTH);
};
