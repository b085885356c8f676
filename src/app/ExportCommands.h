#pragma once

#include "export/ExportShading.h"

#include <QObject>
#include <functional>

class CCommandTable;
class CScriptTypeDlg;
class CVarEDoc;
class IAppServices;
class QWidget;

// "Script et croisillé..." and "Sous-titrage UER...": the options, the file dialog in the last export
// folder, the export itself (the same code and options as tavorin-cli's export-script and
// export-subtitles), and the offer to open what was written.
class CExportCommands : public QObject {
    Q_OBJECT
public:
    static constexpr const char* RTF_FILTER = "Fichier RTF (*.rtf)";
    static constexpr const char* TEXT_FILTER = "Fichier Texte (*.txt)";
    static constexpr const char* SUBRIP_FILTER = "Fichier de sous-titre (*.srt)";
    static constexpr const char* DAPT_FILTER = "Script DAPT (*.xml *.ttml *.dapt)";

    CExportCommands(IAppServices& app, CVarEDoc& doc, QWidget* pWindow, QObject* pParent = nullptr);
    void bindCommands(CCommandTable& commands);

    // False when nothing was written (cancelled or failed).
    bool OnFileExportScript();
    bool OnFileExportSubtitles();
    // The script as a W3C DAPT document, in the language and of the type the settings say.
    bool OnFileExportDapt();

    // The options dialog (tests answer it): true to go on.
    std::function<bool(CScriptTypeDlg&)> m_runOptionsDialog;

private:
    // Where the file dialog opens: the default name in the last export folder, else beside the script.
    QString proposedPath(const QString& strDefaultName) const;
    // The script's path; for a script never saved, its title in the data folder.
    QString scriptBaseName() const;
    void exported(const QString& strPath, const QString& strQuestion);

    IAppServices& m_app;
    CVarEDoc& m_doc;
    QWidget* m_pWindow;
    // The rows' shading carries on from one export to the next while the program runs.
    CExportShading m_shading;
};
