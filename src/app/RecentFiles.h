#pragma once

#include <QObject>
#include <QStringList>

class CSettingsStore;

// The four most recent scripts ("Recent File List", "File1" to "File4"), newest first.
class CRecentFiles : public QObject {
    Q_OBJECT
public:
    static constexpr int SIZE = 4;

    explicit CRecentFiles(QObject* pParent = nullptr) : QObject(pParent) {}
    void load(const CSettingsStore& settings);
    void save(CSettingsStore& settings) const;
    void add(const QString& strPath);
    void remove(const QString& strPath);
    const QStringList& files() const { return m_files; }
    // The menu's names: the file name, followed by its folder when another entry has the same name.
    static QStringList displayNames(const QStringList& files);

signals:
    void changed();

private:
    QStringList m_files;
};
