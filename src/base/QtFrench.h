#pragma once

class CDataFolder;
class QCoreApplication;

// Qt's own texts in French: file dialogs, the buttons of message boxes, the context menus of text
// fields. They come from the system's Qt translations (Debian package qt6-translations-l10n), else
// from the data folder's "translations" for an install that brings its own. French also becomes the
// default locale (dates in file dialogs, decimal commas). False when no translation was found: Qt
// then speaks English, and nothing else changes.
bool installQtFrench(QCoreApplication& app, const CDataFolder& data);
