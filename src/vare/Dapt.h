#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class CVarE;

// Exchange of scripts with other dubbing tools in the W3C DAPT format ("Dubbing and Audio description
// Profiles of TTML2"): a TTML2 document whose characters are ttm:agent elements and whose phrases are
// script events (div elements with begin, end, ttm:agent and their text in p elements). What DAPT has no
// words for (signs and their links, tracks, loops, shot changes, reactions, voice-off, role colours and
// photos, the header) travels in the program's own metadata namespace, so that a script written and read
// back is the same script; other tools ignore it.
namespace dapt {
inline constexpr char16_t TTML_NS[] = u"http://www.w3.org/ns/ttml";
inline constexpr char16_t TTM_NS[] = u"http://www.w3.org/ns/ttml#metadata";
inline constexpr char16_t TTP_NS[] = u"http://www.w3.org/ns/ttml#parameter";
inline constexpr char16_t DAPTM_NS[] = u"http://www.w3.org/ns/ttml/profile/dapt#metadata";
inline constexpr char16_t XML_NS[] = u"http://www.w3.org/XML/1998/namespace";
// The program's own metadata.
inline constexpr char16_t TAVORIN_NS[] = u"http://www.morvath.fr/ns/tavorin#metadata";
// The content profile designator every DAPT document declares.
inline constexpr char PROFILE[] = "http://www.w3.org/ns/ttml/profile/dapt1.0";

// The kinds of script DAPT names; the writer accepts these only.
QStringList scriptTypes();
// A language tag as BCP 47 writes it (letters, digits and hyphens, 1 to 35 characters).
bool isLanguageTag(const QString& str);
} // namespace dapt

struct SDaptOptions {
    // The language of the script's text: the document's xml:lang and each text's.
    QString strLanguage = QStringLiteral("fr");
    QString strScriptType = QStringLiteral("translatedTranscript");
};

// Writes the script as a DAPT document. The file is replaced only once complete; on failure *pstrError
// (when given) gets the reason in French. The options must be valid (see dapt::scriptTypes()).
bool storeDapt(const CVarE& script, const QString& strPath, const SDaptOptions& options,
               QString* pstrError = nullptr);
// The document's bytes (UTF-8).
QByteArray daptDocument(const CVarE& script, const SDaptOptions& options);

// What reading a DAPT document gave beside the script.
struct SDaptReadInfo {
    QString strLanguage;  // the language of the texts kept
    QStringList warnings; // in French: what was read but could not be kept as it was
};

// Reads a DAPT document into the (emptied) script. When a script event has texts in several languages,
// the one in strLanguage is kept, else the one in the document's own language, else the first. False
// with the reason in French (for "Impossible de lire le fichier « x » : <reason>.") when the bytes are
// no DAPT document of dialogue; the script is then left empty.
bool loadDapt(const QByteArray& data, CVarE& script, const QString& strLanguage, QString* pstrError,
              SDaptReadInfo* pInfo = nullptr);
// The same from a file, read with a bound on its size.
bool loadDaptFile(const QString& strPath, CVarE& script, const QString& strLanguage, QString* pstrError,
                  SDaptReadInfo* pInfo = nullptr);
