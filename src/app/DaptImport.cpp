#include "app/DaptImport.h"

#include "app/Commands.h"
#include "app/SyncApp.h"
#include "app/VarEDoc.h"
#include "vare/ScriptFile.h"

#include <QFileInfo>

void CDaptImport::bindCommands(CCommandTable& c) {
    c.bind(Cmd::FILE_IMPORT_DAPT, [this] { OnFileImportDapt(); });
}

bool CDaptImport::OnFileImportDapt() {
    if (!m_doc.SaveModified()) return false;
    const QString strPath = m_app.prompts().getOpenFileName(QStringLiteral("Importer un script DAPT"),
                                                            m_app.settings().get(Settings::ExportPath),
                                                            QString::fromUtf8(DAPT_FILTER));
    if (strPath.isEmpty()) return false;
    m_app.settings().set(Settings::ExportPath, QFileInfo(strPath).absolutePath());
    return m_doc.importDocumentFile(strPath, EScriptFormat::DAPT);
}
