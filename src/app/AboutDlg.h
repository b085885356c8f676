#pragma once

#include <QDialog>
#include <QString>
#include <vector>

// "À propos de Tavorin": the program's name and version, its licence, and the libraries it runs on with
// the versions found at run time and their licences.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    struct SLibrary {
        QString strName;
        QString strVersion;
        QString strLicence;
    };
    // Qt, Xerces-C, libmpv and FFmpeg's libraries, as linked into this program.
    static std::vector<SLibrary> libraries();
    // The same as plain text, one library a line.
    static QString text();

    explicit CAboutDlg(QWidget* pParent = nullptr);
};
