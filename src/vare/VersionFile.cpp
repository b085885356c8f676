#include "vare/VersionFile.h"

#include "vare/XmlPlatform.h"

#include <QStringList>
#include <xercesc/dom/DOM.hpp>

using namespace xercesc;

namespace {
// The text of the first element of that name, empty when there is none.
QString firstText(DOMDocument* doc, const char16_t* name) {
    DOMNodeList* list = doc->getElementsByTagName(reinterpret_cast<const XMLCh*>(name));
    if (!list || list->getLength() == 0) return {};
    return toQString(list->item(0)->getTextContent()).trimmed();
}

// A component's number (its leading digits, saturated) and what follows them.
std::pair<qint64, QString> splitComponent(const QString& str) {
    qint64 n = 0;
    qsizetype i = 0;
    for (; i < str.size() && str.at(i).isDigit() && str.at(i).unicode() < 128; ++i)
        n = std::min<qint64>(n * 10 + (str.at(i).unicode() - '0'), qint64(1) << 40);
    return {n, str.mid(i)};
}
} // namespace

bool SVersionFile::read(const QByteArray& data) {
    *this = {};
    if (data.isEmpty() || data.size() > MAX_SIZE) return false;
    CSafeDomParser parser;
    DOMDocument* doc = parser.parse(data, "version");
    if (!doc) return false;
    strNumber = firstText(doc, u"number");
    strPath = firstText(doc, u"path");
    strSha256 = firstText(doc, u"sha256");
    return true;
}

int compareVersions(const QString& a, const QString& b) {
    const QStringList pa = a.trimmed().split(QLatin1Char('.'));
    const QStringList pb = b.trimmed().split(QLatin1Char('.'));
    for (qsizetype i = 0; i < std::max(pa.size(), pb.size()); ++i) {
        const auto [na, ra] = splitComponent(i < pa.size() ? pa.at(i) : QString());
        const auto [nb, rb] = splitComponent(i < pb.size() ? pb.at(i) : QString());
        if (na != nb) return na < nb ? -1 : 1;
        // A text after the digits marks a pre-release ("3.8.0-rc1" comes before "3.8.0").
        if (ra.isEmpty() != rb.isEmpty()) return ra.isEmpty() ? 1 : -1;
        if (const int c = ra.compare(rb); c != 0) return c < 0 ? -1 : 1;
    }
    return 0;
}
