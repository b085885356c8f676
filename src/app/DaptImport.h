#pragma once

class CCommandTable;
class CVarEDoc;
class IAppServices;

// "Fichier > Importer > Script DAPT...": a new script made from a W3C DAPT document of another dubbing
// tool, read through the document as any script is opened, and saved later under a VarE name of its own.
// When an event holds texts in several languages, the one of the setting "DaptLanguage" is kept.
class CDaptImport {
public:
    static constexpr const char* DAPT_FILTER = "Script DAPT (*.xml *.ttml *.dapt)";

    CDaptImport(IAppServices& app, CVarEDoc& doc) : m_app(app), m_doc(doc) {}
    void bindCommands(CCommandTable& commands);

    // False when nothing was read (cancelled, or refused with the reason shown).
    bool OnFileImportDapt();

private:
    IAppServices& m_app;
    CVarEDoc& m_doc;
};
