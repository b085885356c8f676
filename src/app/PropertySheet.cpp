#include "app/PropertySheet.h"

#include "app/Commands.h"
#include "app/MediaSession.h"
#include "app/RoleImport.h"
#include "app/SyncApp.h"
#include "app/VarEDoc.h"
#include "vare/ScriptFile.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
const char* const VIDEO_FILTER = "Fichier vidéo (*.mov *.avi *.mpg *.mpeg *.mp4 *.dv);;Tous les fichiers (*)";
const char* const AUDIO_FILTER = "Fichier audio (*.bwf, *.aif, *.aiff, *.wav, *.mp3) (*.bwf *.aif *.aiff "
                                 "*.wav *.mp3);;Tous les fichiers (*)";
const char* const VARE_FILTER = "Fichier VarE (*.vare)";

QString utf8(const char* psz) {
    return QString::fromUtf8(psz);
}
} // namespace

// ------------------------------------------------------------------------------------------ the header

SScriptHeader SScriptHeader::fromScript(const CVarE& script) {
    SScriptHeader h;
    for (int i = 0; i < EDITED; ++i)
        h.texts[size_t(i)] = script.get(CVarE::EHeader(i));
    h.strVideo = script.get(CVarE::H_VIDEO_FILE);
    h.strAudio = script.get(CVarE::H_AUDIO_FILE);
    h.nFirstLoop = script.getFirstLoopNumber();
    return h;
}

void SScriptHeader::applyTo(CVarE& script) const {
    for (int i = 0; i < EDITED; ++i)
        if (script.get(CVarE::EHeader(i)) != texts[size_t(i)])
            script.set(CVarE::EHeader(i), texts[size_t(i)]);
    if (script.get(CVarE::H_FIRST_LOOP_NUMBER) != QString::number(nFirstLoop) ||
        (nFirstLoop > 0 && script.getFirstLoopNumber() != nFirstLoop))
        script.setFirstLoopNumber(nFirstLoop);
}

// ------------------------------------------------------------------------------------------ "Fichier"

CPropFile::CPropFile(SScriptHeader& header, IAppServices& app, IPropFileActions& actions, QWidget* pParent)
    : QWidget(pParent), m_header(header), m_app(app), m_actions(actions), m_pVideo(new QLineEdit(this)),
      m_pAudio(new QLineEdit(this)), m_pRoles(new QLineEdit(this)) {
    auto* pGrid = new QGridLayout(this);
    const auto row = [&](int nRow, const char* pszLabel, QLineEdit* pEdit, void (CPropFile::*browse)()) {
        pEdit->setReadOnly(true);
        pEdit->setMinimumWidth(320);
        auto* pButton = new QPushButton(QStringLiteral("Parcourir..."), this);
        connect(pButton, &QPushButton::clicked, this, browse);
        pGrid->addWidget(new QLabel(utf8(pszLabel), this), nRow, 0);
        pGrid->addWidget(pEdit, nRow, 1);
        pGrid->addWidget(pButton, nRow, 2);
    };
    row(0, "Image :", m_pVideo, &CPropFile::OnBrowseVideo);
    row(1, "Son :", m_pAudio, &CPropFile::OnBrowseAudio);
    row(2, "Liste des rôles :", m_pRoles, &CPropFile::OnBrowseRoles);
    pGrid->setRowStretch(3, 1);
    m_pVideo->setText(m_header.strVideo);
    m_pAudio->setText(m_header.strAudio);
    m_pRoles->setText(m_header.strRoles);
}

void CPropFile::refresh() {
    m_header.strVideo = m_actions.videoFile();
    m_header.strAudio = m_actions.audioFile();
    m_pVideo->setText(m_header.strVideo);
    m_pAudio->setText(m_header.strAudio);
}

void CPropFile::OnBrowseVideo() {
    const QString strPath = m_app.prompts().getOpenFileName(
        QStringLiteral("Ouvrir l'image"), m_app.settings().get(Settings::VideoPath), utf8(VIDEO_FILTER));
    if (strPath.isEmpty()) return;
    m_pAudio->clear();
    m_actions.openVideo(strPath);
    refresh();
}

void CPropFile::OnBrowseAudio() {
    const QString strPath = m_app.prompts().getOpenFileName(
        QStringLiteral("Ouvrir le son"), m_app.settings().get(Settings::AudioPath), utf8(AUDIO_FILTER));
    if (strPath.isEmpty()) return;
    if (m_actions.openAudio(strPath)) refresh();
}

void CPropFile::OnBrowseRoles() {
    const QString strPath = m_app.prompts().getOpenFileName(
        utf8("Liste des rôles"), m_app.settings().get(Settings::VarEPath), utf8(VARE_FILTER));
    if (strPath.isEmpty()) return;
    if (!m_actions.isScript(strPath)) {
        m_app.prompts().error(QStringLiteral("Le fichier n'est pas valide."));
        return;
    }
    m_header.strRoles = strPath;
    m_pRoles->setText(strPath);
}

// ------------------------------------------------------------------------------------------ header pages

CHeaderPage::CHeaderPage(SScriptHeader& header, QWidget* pParent) : QWidget(pParent), m_header(header) {}

QLineEdit* CHeaderPage::addLine(CVarE::EHeader e) {
    auto* pEdit = new QLineEdit(m_header.text(e), this);
    m_fields.emplace_back(e, pEdit);
    return pEdit;
}

QPlainTextEdit* CHeaderPage::addText(CVarE::EHeader e) {
    // The script keeps its line breaks as CR LF; the box shows plain lines.
    QString str = m_header.text(e);
    str.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    auto* pEdit = new QPlainTextEdit(str, this);
    m_fields.emplace_back(e, pEdit);
    return pEdit;
}

QWidget* CHeaderPage::field(CVarE::EHeader e) const {
    for (const auto& [eField, pWidget] : m_fields)
        if (eField == e) return pWidget;
    return nullptr;
}

void CHeaderPage::store() {
    for (const auto& [e, pWidget] : m_fields) {
        if (auto* pLine = qobject_cast<QLineEdit*>(pWidget)) {
            m_header.text(e) = pLine->text();
        } else if (auto* pText = qobject_cast<QPlainTextEdit*>(pWidget)) {
            // An untouched text keeps its bytes (a file may hold bare line feeds); a changed one is kept
            // with CR LF.
            QString strKept = m_header.text(e);
            strKept.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            const QString strShown = pText->toPlainText();
            if (strShown != strKept)
                m_header.text(e) = QString(strShown).replace(QLatin1Char('\n'), QLatin1String("\r\n"));
        }
    }
}

CPropGeneral::CPropGeneral(SScriptHeader& header, QWidget* pParent)
    : CHeaderPage(header, pParent), m_pFirstLoop(new QSpinBox(this)) {
    const auto pair = [&](const char* pszTitle, const char* pszFirst, CVarE::EHeader eFirst,
                          const char* pszSecond, CVarE::EHeader eSecond) {
        auto* pBox = new QGroupBox(utf8(pszTitle), this);
        auto* pForm = new QFormLayout(pBox);
        pForm->addRow(utf8(pszFirst), addLine(eFirst));
        pForm->addRow(utf8(pszSecond), addLine(eSecond));
        return pBox;
    };
    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(pair("Titre du programme", "VO :", CVarE::H_TITLE, "VF :", CVarE::H_TITLE2), 0, 0);
    pLayout->addWidget(
        pair("Titre de l'épisode", "VO :", CVarE::H_EPISODE_TITLE, "VF :", CVarE::H_EPISODE_TITLE2), 0, 1);
    pLayout->addWidget(pair("Épisode", "Saison :", CVarE::H_SEASON, "Épisode :", CVarE::H_EPISODE_NUMBER), 1,
                       0);
    // Each author's fields edit that author's own values.
    pLayout->addWidget(pair("Premier auteur", "Nom :", CVarE::H_FIRST_AUTHOR_NAME,
                            "Prénom :", CVarE::H_FIRST_AUTHOR_FIRST_NAME),
                       1, 1);
    pLayout->addWidget(pair("Second auteur", "Nom :", CVarE::H_SECOND_AUTHOR_NAME,
                            "Prénom :", CVarE::H_SECOND_AUTHOR_FIRST_NAME),
                       2, 0);
    pLayout->addWidget(
        pair("Détecteur", "Nom :", CVarE::H_DETECTOR_NAME, "Prénom :", CVarE::H_DETECTOR_FIRST_NAME), 2, 1);
    m_pFirstLoop->setRange(0, 99999);
    m_pFirstLoop->setValue(std::clamp(header.nFirstLoop, 0, 99999));
    auto* pLoop = new QFormLayout;
    pLoop->addRow(utf8("Numéro de la première boucle :"), m_pFirstLoop);
    pLayout->addLayout(pLoop, 3, 0, 1, 2);
    pLayout->setRowStretch(4, 1);
}

void CPropGeneral::store() {
    CHeaderPage::store();
    m_header.nFirstLoop = m_pFirstLoop->value();
}

CPropDetail::CPropDetail(SScriptHeader& header, QWidget* pParent) : CHeaderPage(header, pParent) {
    auto* pForm = new QFormLayout(this);
    pForm->addRow(QStringLiteral("Producteur :"), addLine(CVarE::H_PRODUCER));
    pForm->addRow(utf8("Année de production :"), addLine(CVarE::H_YEAR));
    pForm->addRow(QStringLiteral("Distributeur : "), addLine(CVarE::H_DISTRIBUTOR));
    pForm->addRow(QStringLiteral("Diffuseur :"), addLine(CVarE::H_DIFFUSER));
    pForm->addRow(utf8("Réalisateur :"), addLine(CVarE::H_DIRECTOR));
    pForm->addRow(QStringLiteral("Acteurs principaux :"), addLine(CVarE::H_ACTORS));
    pForm->addRow(QStringLiteral("Pays d'origine :"), addLine(CVarE::H_COUNTRY));
}

CPropOther::CPropOther(SScriptHeader& header, QWidget* pParent) : CHeaderPage(header, pParent) {
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(new QLabel(utf8("Résumé :"), this));
    pLayout->addWidget(addText(CVarE::H_SUMMARY));
    pLayout->addWidget(new QLabel(QStringLiteral("Notes :"), this));
    pLayout->addWidget(addText(CVarE::H_NOTES));
}

// ------------------------------------------------------------------------------------------ the sheet

CTavorinProperty::CTavorinProperty(SScriptHeader& header, IAppServices& app, IPropFileActions& actions,
                                   QWidget* pParent)
    : QDialog(pParent), m_pTabs(new QTabWidget(this)), m_pFile(new CPropFile(header, app, actions)),
      m_pGeneral(new CPropGeneral(header)), m_pDetail(new CPropDetail(header)),
      m_pOther(new CPropOther(header)) {
    setWindowTitle(utf8("Propriétés"));
    m_pTabs->addTab(m_pFile, QStringLiteral("Fichier"));
    m_pTabs->addTab(m_pGeneral, QStringLiteral("Programme"));
    m_pTabs->addTab(m_pDetail, QStringLiteral("Production"));
    m_pTabs->addTab(m_pOther, QStringLiteral("Description"));
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    connect(pButtons, &QDialogButtonBox::accepted, this, &CTavorinProperty::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &CTavorinProperty::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pTabs);
    pLayout->addWidget(pButtons);
}

void CTavorinProperty::accept() {
    for (CHeaderPage* pPage : {static_cast<CHeaderPage*>(m_pGeneral), static_cast<CHeaderPage*>(m_pDetail),
                               static_cast<CHeaderPage*>(m_pOther)})
        pPage->store();
    QDialog::accept();
}

// ------------------------------------------------------------------------------------------ the command

class CScriptProperties::CFileActions : public IPropFileActions {
public:
    CFileActions(CVarEDoc& doc, CMediaSession& media) : m_doc(doc), m_media(media) {}
    bool openVideo(const QString& strPath) override { return m_media.openVideoWithSound(strPath); }
    bool openAudio(const QString& strPath) override { return m_media.openAudioFile(strPath); }
    QString videoFile() const override { return m_doc.script().get(CVarE::H_VIDEO_FILE); }
    QString audioFile() const override { return m_doc.script().get(CVarE::H_AUDIO_FILE); }
    bool isScript(const QString& strPath) const override {
        CVarE other;
        return readScriptFile(strPath, scriptFormatOf(strPath, false), other, nullptr, nullptr);
    }

private:
    CVarEDoc& m_doc;
    CMediaSession& m_media;
};

CScriptProperties::CScriptProperties(IAppServices& app, CVarEDoc& doc, CMediaSession& media,
                                     CRoleImport& roles, QWidget* pWindow)
    : m_runSheet([](CTavorinProperty& sheet) { return sheet.exec(); }), m_app(app), m_doc(doc),
      m_roles(roles), m_pWindow(pWindow), m_pActions(std::make_unique<CFileActions>(doc, media)) {}

CScriptProperties::~CScriptProperties() = default;

void CScriptProperties::bindCommands(CCommandTable& c) {
    c.bind(Cmd::FILE_PROPERTIES, [this] { OnFileProperties(); });
}

bool CScriptProperties::OnFileProperties() {
    CTraceLog& log = m_app.log();
    log.Log("CVarEDoc::OnFileProperties()\n");
    SScriptHeader header = SScriptHeader::fromScript(m_doc.script());
    CTavorinProperty sheet(header, m_app, *m_pActions, m_pWindow);
    const bool bAccepted = m_runSheet(sheet) == QDialog::Accepted;
    if (bAccepted) {
        {
            CScriptChange change(m_doc, utf8("Propriétés"));
            if (!header.strRoles.isEmpty()) m_roles.importRole(header.strRoles);
            header.applyTo(m_doc.script());
        }
        m_doc.UpdateAllViews(nullptr, NEW_DOC);
        m_doc.SetModifiedFlag(true);
    }
    log.Log("CVarEDoc::OnFileProperties() => Ok\n");
    return bAccepted;
}

void CScriptProperties::afterNewDocument() {
    // The document that start-up makes (or the first "Nouveau" after a start with a file) is left empty.
    if (m_bFirstNewDone)
        OnFileProperties();
    else
        m_bFirstNewDone = true;

    const CVarE& script = m_doc.script();
    if (script.get(CVarE::H_TITLE).isEmpty()) return;
    QString strTitle = script.get(CVarE::H_TITLE);
    if (!script.get(CVarE::H_EPISODE_NUMBER).isEmpty()) strTitle += script.getEpisodeLabel();
    CTraceLog& log = m_app.log();
    log.Log("Title : %s\n", qUtf8Printable(strTitle));
    m_doc.SetTitle(strTitle);
    log.Log("Saving...");
    m_doc.DoFileSave();
    log.Log("OK\n");
}
