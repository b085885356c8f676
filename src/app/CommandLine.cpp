#include "app/CommandLine.h"

#include <QFileInfo>

CHelpPage CommandLine::help() {
    CHelpPage page;
    page.m_strProgram = QStringLiteral("tavorin");
    page.m_strSummary = QStringLiteral("bande rythmo pour les studios de doublage");
    page.m_usage = {QStringLiteral("[OPTION]... [FICHIER]")};
    page.m_description = {
        QStringLiteral(
            "Tavorin montre l'image, la joue avec son son et fait défiler au-dessous une bande de "
            "quatre pistes sur laquelle chaque phrase du script de doublage est écrite à l'endroit "
            "exact où elle doit être dite. Les détecteurs construisent le script sur la bande ; "
            "les comédiens la lisent en studio."),
        QStringLiteral("FICHIER est un script VarE (.vare, ou une sauvegarde .vare.bak) ou un fichier de "
                       "détection de l'ancien format (.det) à ouvrir ; sans fichier, Tavorin commence un "
                       "nouveau script. Quand plusieurs fichiers sont donnés, le premier est ouvert. Si "
                       "Tavorin est déjà lancé, le fichier est ouvert dans la fenêtre existante."),
    };
    page.m_sections.append(
        {QStringLiteral("Options"),
         {},
         {{QStringLiteral("-h, --help"), QStringLiteral("affiche cette aide et quitte")},
          {QStringLiteral("-v, --version"), QStringLiteral("affiche la version et quitte")},
          {QStringLiteral("--"), QStringLiteral("la suite n'est faite que de noms de fichiers")}}});
    page.m_sections.append(
        {QStringLiteral("Options de Qt"),
         {QStringLiteral("Les options de Qt sont acceptées aussi, par exemple -platform xcb ou -style "
                         "Fusion.")},
         {}});
    page.m_sections.append(
        {QStringLiteral("Fichiers"),
         {},
         {{QStringLiteral("~/Documents/Tavorin"),
           QStringLiteral("les données de l'utilisateur : sauvegardes automatiques (Autosave) et journaux "
                          "(Log)")},
          {QStringLiteral("Tavorin.ini"),
           QStringLiteral("les réglages, quand ce fichier existe à côté du programme et peut être modifié ; "
                          "sinon ~/.config/Morvath/Tavorin.conf")}}});
    page.m_sections.append({QStringLiteral("Voir aussi"), {QStringLiteral("tavorin-cli(1)")}, {}});
    return page;
}

CommandLine::SParsed CommandLine::parse(const QStringList& args) {
    SParsed parsed;
    bool bFilesOnly = false;
    QString strUnknown;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& str = args[i];
        if (bFilesOnly || !str.startsWith(QLatin1Char('-')) || str == QLatin1String("-")) {
            if (parsed.strFile.isEmpty()) parsed.strFile = QFileInfo(str).absoluteFilePath();
        } else if (str == QLatin1String("--")) {
            bFilesOnly = true;
        } else if (str == QLatin1String("-h") || str == QLatin1String("--help")) {
            parsed.eAction = ACTION_HELP;
            parsed.strMessage = help().toText();
            return parsed;
        } else if (str == QLatin1String("-v") || str == QLatin1String("--version")) {
            parsed.eAction = ACTION_VERSION;
        } else if (strUnknown.isEmpty()) {
            strUnknown = str;
        }
    }
    if (parsed.eAction == ACTION_VERSION) {
        parsed.strMessage = QStringLiteral("Tavorin " TAVORIN_VERSION "\n");
    } else if (!strUnknown.isEmpty()) {
        parsed.eAction = ACTION_ERROR;
        parsed.strMessage =
            QStringLiteral("tavorin : option inconnue « %1 » (aide : tavorin --help)\n").arg(strUnknown);
    }
    return parsed;
}
