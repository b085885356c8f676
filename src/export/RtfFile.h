#pragma once

#include "base/FileSaver.h"
#include <QByteArray>
#include <QString>
#include <memory>

// Writer of the studio's Rich Text Format documents: the fixed header, a few paragraph, field and
// cell writers over one text routine, and the closing brace. The exports write their own section,
// page and table control words through write().
//
// The document goes to a temporary file beside the target that replaces the target only when
// close() succeeds, so a failed export never leaves half a document. Output is Windows-1252 with
// CR LF line ends; user text is escaped so that it can never break the document.
class CRtfFile {
public:
    enum { STYLE_PLAIN = 0, STYLE_BOLD = 1, STYLE_ITALIC = 2 };
    enum { ALIGN_LEFT = 0, ALIGN_CENTER = 1, ALIGN_RIGHT = 2 };

    CRtfFile();
    CRtfFile(const CRtfFile&) = delete;
    CRtfFile& operator=(const CRtfFile&) = delete;
    // Closes an open document like close(); while an exception unwinds it abandons it instead.
    virtual ~CRtfFile();

    // Closes a document still open, then starts the new one and writes its header.
    bool open(const QString& strPath, const QString& strGenerator, const QString& strAuthor);
    // Writes the closing brace and puts the file in place. False when anything failed to be written.
    bool close();
    // Drops the document: the target is left as it was.
    void cancel();
    bool isOpen() const { return m_pFile != nullptr; }
    // Why the last open() or close() failed, in French ("fichier ou dossier introuvable").
    const QString& errorReason() const { return m_strError; }

    // Control words as they are; each "\n" becomes CR LF.
    void write(const char* psz);
    void write(const QByteArray& data);
    void writeInt(const char* pszControl, int n); // "\cellx" and 9180 give "\cellx9180"

    void writeText(int nSize, const QString& strText, int nStyle = STYLE_PLAIN, int nAlign = ALIGN_LEFT);
    void writeParagraph(const QString& strText, int nStyle = STYLE_PLAIN, int nAlign = ALIGN_LEFT,
                        int nSize = 18);
    void writeTitle(const QString& strText, int nLevel, bool bBorders, bool bKeepNext, int nAlign);
    void writeField(const QString& strLabel, const QString& strValue);
    void writeField(const QString& strLabel, int nValue);
    void writeFieldSpaced(const QString& strLabel, const QString& strValue);
    void writeCell(const QString& strText, int nStyle = STYLE_PLAIN, int nAlign = ALIGN_LEFT, int nSize = 18);

    // Starts a section: "\sect" unless it is the document's first, then "\sectd\sbkodd".
    void beginSection();

    // The text as it goes into the document after "\plain...": the typographic replacements, RTF
    // escapes, and "\uN?" for what Windows-1252 cannot hold. LF is not handled here.
    static QByteArray encodeText(QStringView text);

private:
    void writeField(const char* pszStart, const QString& strLabel, const QString& strValue);
    void flush();

    std::unique_ptr<CFileSaver> m_pFile;
    QByteArray m_buffer;
    bool m_bFirstSection = false;
    QString m_strError;
};
