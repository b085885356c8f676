#pragma once

#include <QByteArray>
#include <QKeySequence>
#include <QString>

// The page "Raccourcis clavier": every key of every command, menu by menu in the menus' order, made
// from the command table itself (at build time, by tavorin-shortcuts), so that it cannot disagree with
// the menus. HTML in UTF-8.
QByteArray shortcutsPage(const QString& strVersion);

// A key as the page names it, in French: "Ctrl+Maj+E", "Pavé num. 4", "Suppr".
QString frenchKeyText(const QKeySequence& key);
