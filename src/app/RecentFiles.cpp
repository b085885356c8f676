#include "app/RecentFiles.h"

#include "base/Settings.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString SECTION = QStringLiteral("Recent File List");
QString key(int n) {
    return QStringLiteral("File%1").arg(n + 1);
}
} // namespace

void CRecentFiles::load(const CSettingsStore& settings) {
    m_files.clear();
    for (int i = 0; i < SIZE; ++i) {
        const QString str = settings.GetProfileString(SECTION, key(i));
        if (!str.isEmpty() && !m_files.contains(str)) m_files << str;
    }
    emit changed();
}

void CRecentFiles::save(CSettingsStore& settings) const {
    for (int i = 0; i < SIZE; ++i)
        settings.WriteProfileString(SECTION, key(i), i < m_files.size() ? m_files[i] : QString());
}

void CRecentFiles::add(const QString& strPath) {
    const QString str = QFileInfo(strPath).absoluteFilePath();
    m_files.removeAll(str);
    m_files.prepend(str);
    while (m_files.size() > SIZE)
        m_files.removeLast();
    emit changed();
}

void CRecentFiles::remove(const QString& strPath) {
    if (m_files.removeAll(strPath)) emit changed();
}

QStringList CRecentFiles::displayNames(const QStringList& files) {
    QStringList names;
    for (const QString& str : files)
        names << QFileInfo(str).fileName();
    QStringList shown;
    for (int i = 0; i < files.size(); ++i)
        shown << (names.count(names[i]) > 1
                      ? names[i] + QStringLiteral(" (") +
                            QDir::toNativeSeparators(QFileInfo(files[i]).absolutePath()) + QLatin1Char(')')
                      : names[i]);
    return shown;
}
