#pragma once

#include "vare/VarE.h"

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <memory>

class CCommandTable;
class CMediaSession;
class CRoleImport;
class CVarEDoc;
class IAppServices;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTabWidget;

// The working copy of a script's header that the property sheet edits: the titles and the fifteen
// credits and texts (copied back on OK), the media paths (shown only: the "Fichier" page opens media
// through the document at once), the first loop number and the script whose roles are to be imported.
struct SScriptHeader {
    // H_TITLE to H_SUMMARY, in the header's order.
    static constexpr int EDITED = CVarE::H_SUMMARY + 1;

    std::array<QString, EDITED> texts;
    QString strVideo;
    QString strAudio;
    int nFirstLoop = 1;
    QString strRoles;

    static SScriptHeader fromScript(const CVarE& script);
    // The texts and the first loop number (the loops are renumbered from it when it is above 0).
    void applyTo(CVarE& script) const;

    QString& text(CVarE::EHeader e) { return texts[size_t(e)]; }
    const QString& text(CVarE::EHeader e) const { return texts[size_t(e)]; }
};

// What the "Fichier" page's buttons open: the picture (with the sound beside it), a sound file, and
// the check of a script whose roles are to be imported. The program's is made over the media session.
class IPropFileActions {
public:
    virtual ~IPropFileActions() = default;
    // Opens the picture; true when it is open.
    virtual bool openVideo(const QString& strPath) = 0;
    virtual bool openAudio(const QString& strPath) = 0;
    // The picture and sound paths the script names now.
    virtual QString videoFile() const = 0;
    virtual QString audioFile() const = 0;
    // Whether the file can be read as a script.
    virtual bool isScript(const QString& strPath) const = 0;
};

// "Fichier": the picture, the sound and the script whose roles are to be imported, each with its
// "Parcourir..." button.
class CPropFile : public QWidget {
    Q_OBJECT
public:
    CPropFile(SScriptHeader& header, IAppServices& app, IPropFileActions& actions,
              QWidget* pParent = nullptr);
    void OnBrowseVideo();
    void OnBrowseAudio();
    void OnBrowseRoles();
    QLineEdit* videoEdit() const { return m_pVideo; }
    QLineEdit* audioEdit() const { return m_pAudio; }
    QLineEdit* rolesEdit() const { return m_pRoles; }

private:
    void refresh();

    SScriptHeader& m_header;
    IAppServices& m_app;
    IPropFileActions& m_actions;
    QLineEdit* m_pVideo;
    QLineEdit* m_pAudio;
    QLineEdit* m_pRoles;
};

// A page of header fields: each line edit or text box is bound to one header value.
class CHeaderPage : public QWidget {
    Q_OBJECT
public:
    CHeaderPage(SScriptHeader& header, QWidget* pParent = nullptr);
    // The field bound to a header value (null when this page does not show it).
    QWidget* field(CVarE::EHeader e) const;
    // Writes the fields into the working copy.
    virtual void store();

protected:
    QLineEdit* addLine(CVarE::EHeader e);
    QPlainTextEdit* addText(CVarE::EHeader e);

    SScriptHeader& m_header;

private:
    std::vector<std::pair<CVarE::EHeader, QWidget*>> m_fields;
};

// "Programme": titles, season, episode, the two authors, the detector and the first loop number.
class CPropGeneral : public CHeaderPage {
    Q_OBJECT
public:
    explicit CPropGeneral(SScriptHeader& header, QWidget* pParent = nullptr);
    QSpinBox* firstLoopEdit() const { return m_pFirstLoop; }
    void store() override;

private:
    QSpinBox* m_pFirstLoop;
};

// "Production": the production credits.
class CPropDetail : public CHeaderPage {
    Q_OBJECT
public:
    explicit CPropDetail(SScriptHeader& header, QWidget* pParent = nullptr);
};

// "Description": summary and notes.
class CPropOther : public CHeaderPage {
    Q_OBJECT
public:
    explicit CPropOther(SScriptHeader& header, QWidget* pParent = nullptr);
};

// "Propriétés": the four pages over one working copy of the header; OK writes the pages into it.
class CTavorinProperty : public QDialog {
    Q_OBJECT
public:
    CTavorinProperty(SScriptHeader& header, IAppServices& app, IPropFileActions& actions,
                     QWidget* pParent = nullptr);
    QTabWidget* tabs() const { return m_pTabs; }
    CPropFile* filePage() const { return m_pFile; }
    CPropGeneral* generalPage() const { return m_pGeneral; }
    CPropDetail* detailPage() const { return m_pDetail; }
    CPropOther* otherPage() const { return m_pOther; }
    void accept() override;

private:
    QTabWidget* m_pTabs;
    CPropFile* m_pFile;
    CPropGeneral* m_pGeneral;
    CPropDetail* m_pDetail;
    CPropOther* m_pOther;
};

// "&Propriétés" and what a new document does after it is made: the sheet, the roles it names
// imported, the header copied back as one undoable step; then a script given a title is named after
// it and saved.
class CScriptProperties {
public:
    CScriptProperties(IAppServices& app, CVarEDoc& doc, CMediaSession& media, CRoleImport& roles,
                      QWidget* pWindow);
    ~CScriptProperties();
    void bindCommands(CCommandTable& commands);

    // True when the user accepted the sheet.
    bool OnFileProperties();
    // The steps after a new document: the sheet (except for the first new document since start-up),
    // then the title and the save.
    void afterNewDocument();

    // How the sheet runs (tests answer it).
    std::function<int(CTavorinProperty&)> m_runSheet;

private:
    class CFileActions;

    IAppServices& m_app;
    CVarEDoc& m_doc;
    CRoleImport& m_roles;
    QWidget* m_pWindow;
    std::unique_ptr<CFileActions> m_pActions;
    bool m_bFirstNewDone = false;
};
