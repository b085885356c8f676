#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What a program says of itself: its --help and its manual page are both made from one page, so
// that they cannot disagree.
class CHelpPage {
public:
    struct SEntry {
        QString strTerm; // "--at TIMECODE", "render-band FICHIER ..."
        QString strText; // what it does; may hold several paragraphs separated by "\n\n"
    };
    struct SSection {
        QString strTitle;       // "Options", "Commandes"; printed "Options :" and "OPTIONS"
        QStringList paragraphs; // before the entries
        QList<SEntry> entries;
    };

    QString m_strProgram; // "tavorin-cli"
    QString m_strSummary; // one line, without a final full stop: "bande rythmo en ligne de commande"
    QStringList m_usage;  // what follows the program's name on each usage line
    QStringList m_description;
    QList<SSection> m_sections;
    // Pages of the program's commands ("tavorin-cli render-band"): their own --help, and a part of
    // the program's manual page.
    QList<CHelpPage> m_commands;

    // The text of --help, wrapped for an 80-column terminal.
    QString toText() const;
    // The manual page (man(7) macros, section 1), in UTF-8.
    QByteArray toMan(const QString& strVersion, const QString& strDate) const;
};
