#include "app/ShortcutsPage.h"

#include "app/Commands.h"

#include <map>
#include <set>

namespace {
QString keyName(Qt::Key key) {
    static const std::map<int, const char*> names = {{Qt::Key_Return, "Entrée"},
                                                     {Qt::Key_Enter, "Entrée"},
                                                     {Qt::Key_Escape, "Échap"},
                                                     {Qt::Key_Delete, "Suppr"},
                                                     {Qt::Key_Insert, "Inser"},
                                                     {Qt::Key_Space, "Espace"},
                                                     {Qt::Key_Tab, "Tab"},
                                                     {Qt::Key_Backtab, "Tab"},
                                                     {Qt::Key_Up, "Haut"},
                                                     {Qt::Key_Down, "Bas"},
                                                     {Qt::Key_Left, "Gauche"},
                                                     {Qt::Key_Right, "Droite"},
                                                     {Qt::Key_Pause, "Pause"},
                                                     {Qt::Key_Plus, "Plus"},
                                                     {Qt::Key_Minus, "Moins"},
                                                     {Qt::Key_Asterisk, "*"},
                                                     {Qt::Key_MediaPlay, "Lecture (touche multimédia)"},
                                                     {Qt::Key_PageUp, "Page préc."},
                                                     {Qt::Key_PageDown, "Page suiv."},
                                                     {Qt::Key_Home, "Début"},
                                                     {Qt::Key_End, "Fin"}};
    const auto it = names.find(key);
    if (it != names.end()) return QString::fromUtf8(it->second);
    return QKeySequence(key).toString(QKeySequence::PortableText);
}

// The caption as the menu shows it: without the '&' of its access key and without the keys after the tab.
QString menuText(const QString& strCaption) {
    QString str = strCaption.section(QLatin1Char('\t'), 0, 0).trimmed();
    str.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    str.remove(QLatin1Char('&'));
    str.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return str;
}

QString plainTitle(const char* pszTitle) {
    return menuText(QString::fromUtf8(pszTitle));
}

void row(QString& out, const QString& strWhere, const SCommandDef& def) {
    QStringList keys;
    for (const QKeySequence& k : def.keys)
        keys.append(QStringLiteral("<kbd>%1</kbd>").arg(frenchKeyText(k).toHtmlEscaped()));
    out += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>\n")
               .arg((strWhere.isEmpty() ? QString() : strWhere + QString::fromUtf8(" › ")).toHtmlEscaped() +
                        menuText(def.strCaption).toHtmlEscaped(),
                    keys.join(QStringLiteral(", ")));
}
} // namespace

QString frenchKeyText(const QKeySequence& key) {
    if (key.isEmpty()) return {};
    const QKeyCombination c = key[0];
    const Qt::KeyboardModifiers m = c.keyboardModifiers();
    QString str;
    if (m & Qt::ControlModifier) str += QStringLiteral("Ctrl+");
    if (m & Qt::AltModifier) str += QStringLiteral("Alt+");
    if (m & Qt::ShiftModifier) str += QStringLiteral("Maj+");
    if (m & Qt::KeypadModifier) str += QString::fromUtf8("Pavé num. ");
    return str + keyName(c.key());
}

QByteArray shortcutsPage(const QString& strVersion) {
    std::map<int, const SCommandDef*> defs;
    for (const SCommandDef& def : commandDefs())
        defs[def.nId] = &def;

    QString out = QString::fromUtf8(
        "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>Raccourcis clavier de Tavorin</title>\n<style>\n"
        "body { font-family: sans-serif; margin: 2em auto; max-width: 52em; color: #222; }\n"
        "table { border-collapse: collapse; width: 100%; margin-bottom: 1.5em; }\n"
        "td { border-bottom: 1px solid #ddd; padding: 0.3em 0.6em; }\n"
        "td:last-child { width: 45%; }\n"
        "kbd { background: #f3f3f3; border: 1px solid #bbb; border-radius: 3px; padding: 0 0.3em; }\n"
        "</style>\n</head>\n<body>\n<h1>Raccourcis clavier de Tavorin</h1>\n");
    out += QString::fromUtf8("<p>Tavorin %1. Les touches « Pavé num. » sont celles du pavé numérique, "
                             "que le verrouillage numérique soit actif ou non.</p>\n")
               .arg(strVersion.toHtmlEscaped());

    std::set<int> listed;
    QStringList submenus;
    QString strTable;
    auto flush = [&](const QString& strTitle) {
        if (!strTable.isEmpty())
            out +=
                QStringLiteral("<h2>%1</h2>\n<table>\n%2</table>\n").arg(strTitle.toHtmlEscaped(), strTable);
        strTable.clear();
    };
    QString strMenu;
    for (const SMenuEntry& e : menuBarLayout()) {
        switch (e.eKind) {
        case SMenuEntry::MENU:
            flush(strMenu);
            strMenu = plainTitle(e.pszTitle);
            submenus.clear();
            break;
        case SMenuEntry::SUBMENU:
            submenus.append(plainTitle(e.pszTitle));
            break;
        case SMenuEntry::END:
            if (!submenus.isEmpty()) submenus.removeLast();
            break;
        case SMenuEntry::COMMAND: {
            const auto it = defs.find(e.nId);
            if (it == defs.end() || it->second->keys.isEmpty() || !listed.insert(e.nId).second) break;
            row(strTable, submenus.join(QString::fromUtf8(" › ")), *it->second);
            break;
        }
        default:
            break;
        }
    }
    flush(strMenu);
    // Keys of commands that no menu shows (the band's own).
    for (const SCommandDef& def : commandDefs())
        if (!def.keys.isEmpty() && !listed.count(def.nId) && !menuText(def.strCaption).isEmpty())
            row(strTable, {}, def);
    flush(QStringLiteral("Autres touches"));
    out += QStringLiteral("</body>\n</html>\n");
    return out.toUtf8();
}
