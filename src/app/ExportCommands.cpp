#include "app/ExportCommands.h"

#include "app/Commands.h"
#include "app/ScriptTypeDlg.h"
#include "app/SyncApp.h"
#include "app/VarEDoc.h"
#include "app/WaitCursor.h"
#include "export/ScriptExport.h"
#include "export/SubtitleExport.h"
#include "vare/Dapt.h"

#include <QDir>
#include <QFileInfo>

CExportCommands::CExportCommands(IAppServices& app, CVarEDoc& doc, QWidget* pWindow, QObject* pParent)
    : QObject(pParent),
      m_runOptionsDialog([](CScriptTypeDlg& dlg) { return dlg.exec() == QDialog::Accepted; }), m_app(app),
      m_doc(doc), m_pWindow(pWindow) {}

void CExportCommands::bindCommands(CCommandTable& c) {
    c.bind(Cmd::FILE_EXPORT_SCRIPT, [this] { OnFileExportScript(); });
    c.bind(Cmd::FILE_EXPORT_SUBTITLES, [this] { OnFileExportSubtitles(); });
    c.bind(Cmd::FILE_EXPORT_DAPT, [this] { OnFileExportDapt(); });
}

QString CExportCommands::scriptBaseName() const {
    return m_doc.GetPathName().isEmpty() ? QDir(m_app.dataFolder()).filePath(m_doc.GetTitle())
                                         : m_doc.GetPathName();
}

QString CExportCommands::proposedPath(const QString& strDefaultName) const {
    const QString strFolder = m_app.settings().get(Settings::ExportPath);
    if (strFolder.isEmpty() || !QFileInfo(strFolder).isDir()) return strDefaultName;
    return QDir(strFolder).filePath(QFileInfo(strDefaultName).fileName());
}

void CExportCommands::exported(const QString& strPath, const QString& strQuestion) {
    m_app.settings().set(Settings::ExportPath, QFileInfo(strPath).absolutePath());
    if (m_app.prompts().yesNo(strQuestion)) m_app.shell().openFile(strPath);
}

bool CExportCommands::OnFileExportScript() {
    CSettingsStore& settings = m_app.settings();
    CScriptTypeDlg dlg(m_doc.script(), m_pWindow);
    dlg.setOptions(loadScriptExportOptions(settings));
    if (!m_runOptionsDialog(dlg)) return false;
    const CScriptExportOptions options = dlg.options();

    const QString strPath =
        m_app.prompts().getSaveFileName(QStringLiteral("Exporter le script sous..."),
                                        proposedPath(defaultScriptExportName(scriptBaseName(), options)),
                                        QString::fromLatin1(RTF_FILTER), QStringLiteral("rtf"));
    if (strPath.isEmpty()) return false;
    bool bOk;
    QString strError;
    {
        CWaitCursor wait;
        bOk = exportScript(m_doc.script(), strPath, scriptExportGenerator(), options, m_shading, &strError);
    }
    if (!bOk) {
        m_app.prompts().error(
            QStringLiteral("Impossible d'exporter le script dans « %1 » : %2.").arg(strPath, strError));
        return false;
    }
    exported(strPath, QStringLiteral("Le script a été exporté. Voulez-vous ouvrir ce fichier maintenant ?"));
    storeScriptExportOptions(settings, options);
    return true;
}

bool CExportCommands::OnFileExportSubtitles() {
    const QString strFilters =
        QString::fromLatin1(TEXT_FILTER) + QStringLiteral(";;") + QString::fromLatin1(SUBRIP_FILTER);
    QString strFilter;
    const QString strPath =
        m_app.prompts().getSaveFileNameAndFilter(QStringLiteral("Exporter les sous-titres sous..."),
                                                 proposedPath(defaultSubtitleExportName(scriptBaseName())),
                                                 strFilters, QStringLiteral("txt"), strFilter);
    if (strPath.isEmpty()) return false;
    // A ".srt" file is SubRip, whichever filter was left selected: subtitle programs read nothing else
    // under that name.
    const bool bSubRip = strFilter == QLatin1String(SUBRIP_FILTER) ||
                         QFileInfo(strPath).suffix().compare(QStringLiteral("srt"), Qt::CaseInsensitive) == 0;
    bool bOk;
    QString strError;
    {
        CWaitCursor wait;
        bOk =
            exportSubtitles(m_doc.script(), strPath, &strError, bSubRip ? SUBTITLES_SUBRIP : SUBTITLES_TEXT);
    }
    if (!bOk) {
        m_app.prompts().error(
            QStringLiteral("Impossible d'exporter les sous-titres dans « %1 » : %2.").arg(strPath, strError));
        return false;
    }
    exported(strPath,
             QStringLiteral("Les sous-titres ont été exportés.\nVoulez-vous ouvrir ce fichier maintenant ?"));
    return true;
}

bool CExportCommands::OnFileExportDapt() {
    SDaptOptions options;
    options.strLanguage = m_app.settings().get(Settings::DaptLanguage);
    options.strScriptType = m_app.settings().get(Settings::DaptScriptType);
    // A setting edited by hand falls back on the default rather than making an invalid document.
    if (!dapt::isLanguageTag(options.strLanguage)) options.strLanguage = SDaptOptions().strLanguage;
    if (!dapt::scriptTypes().contains(options.strScriptType))
        options.strScriptType = SDaptOptions().strScriptType;

    QString strBase = scriptBaseName();
    if (strBase.endsWith(QLatin1String(".vare"))) strBase.chop(5);
    const QString strPath =
        m_app.prompts().getSaveFileName(QStringLiteral("Exporter le script DAPT sous..."),
                                        proposedPath(strBase + QStringLiteral(" - DAPT.xml")),
                                        QString::fromLatin1(DAPT_FILTER), QStringLiteral("xml"));
    if (strPath.isEmpty()) return false;
    QString strError;
    bool bOk;
    {
        CWaitCursor wait;
        bOk = storeDapt(m_doc.script(), strPath, options, &strError);
    }
    if (!bOk) {
        m_app.prompts().error(
            QStringLiteral("Impossible d'exporter le script DAPT dans « %1 » : %2.").arg(strPath, strError));
        return false;
    }
    exported(strPath,
             QStringLiteral(
                 "Le script a été exporté au format DAPT.\nVoulez-vous ouvrir ce fichier maintenant ?"));
    return true;
}
