#include "base/Settings.h"

#include <QDir>
#include <QSettings>
#include <cstdio>

CSettingsStore::CSettingsStore(const QString& strProgramFolder) {
    const QString strIni = QDir(strProgramFolder).filePath("Tavorin.ini");
    // The INI file is used only when it is there and both readable and writable.
    if (std::FILE* f = std::fopen(QFile::encodeName(strIni).constData(), "r+")) {
        std::fclose(f);
        m_pSettings = std::make_unique<QSettings>(strIni, QSettings::IniFormat);
        m_bIni = true;
    } else {
        m_pSettings =
            std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Morvath", "Tavorin");
    }
}

std::unique_ptr<CSettingsStore> CSettingsStore::fromIniFile(const QString& strPath) {
    std::unique_ptr<CSettingsStore> p(new CSettingsStore());
    p->m_pSettings = std::make_unique<QSettings>(strPath, QSettings::IniFormat);
    p->m_bIni = true;
    return p;
}

CSettingsStore::~CSettingsStore() = default;

QString CSettingsStore::fileName() const {
    return m_pSettings->fileName();
}

static QString keyOf(const QString& section, const QString& key) {
    return section + '/' + key;
}

int CSettingsStore::GetProfileInt(const QString& section, const QString& key, int nDefault) const {
    bool bOk = false;
    const QVariant v = m_pSettings->value(keyOf(section, key));
    if (!v.isValid()) return nDefault;
    const int n = v.toString().trimmed().toInt(&bOk);
    return bOk ? n : nDefault;
}

bool CSettingsStore::WriteProfileInt(const QString& section, const QString& key, int nValue) {
    m_pSettings->setValue(keyOf(section, key), QString::number(nValue));
    return m_pSettings->status() == QSettings::NoError;
}

QString CSettingsStore::GetProfileString(const QString& section, const QString& key,
                                         const QString& strDefault) const {
    const QVariant v = m_pSettings->value(keyOf(section, key));
    return v.isValid() ? v.toString() : strDefault;
}

bool CSettingsStore::WriteProfileString(const QString& section, const QString& key, const QString& strValue) {
    if (strValue.isNull())
        m_pSettings->remove(keyOf(section, key));
    else
        m_pSettings->setValue(keyOf(section, key), strValue);
    return m_pSettings->status() == QSettings::NoError;
}

void CSettingsStore::sync() {
    m_pSettings->sync();
}
