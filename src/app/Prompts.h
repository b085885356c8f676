#pragma once

#include "vare/TimeCode.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class CBookmarkList;
class QWidget;

// Every question, message and file dialog the application shows goes through this interface, so
// that tests can answer them. CPrompts shows the real boxes and dialogs.
class IPrompts {
public:
    enum EIcon { ICON_NONE, ICON_INFORMATION, ICON_QUESTION, ICON_EXCLAMATION, ICON_ERROR };

    virtual ~IPrompts() = default;

    // Shows a message with the given buttons and returns the button chosen.
    virtual QMessageBox::StandardButton
    message(const QString& strText, EIcon eIcon, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) = 0;
    // File dialogs; an empty string when cancelled. The filter uses Qt's ";;" form.
    virtual QString getOpenFileName(const QString& strCaption, const QString& strDirOrFile,
                                    const QString& strFilter) = 0;
    virtual QString getSaveFileName(const QString& strCaption, const QString& strDirOrFile,
                                    const QString& strFilter, const QString& strDefaultSuffix) = 0;
    // A save dialog offering several filters; strChosenFilter receives the one the user left selected.
    // By default, the first filter whose patterns match the name chosen.
    virtual QString getSaveFileNameAndFilter(const QString& strCaption, const QString& strDirOrFile,
                                             const QString& strFilters, const QString& strDefaultSuffix,
                                             QString& strChosenFilter);
    // The "À propos" box for the program strText describes (CAboutDlg::text()); by default an
    // information message. The program shows CAboutDlg.
    virtual void about(const QString& strText) { message(strText, ICON_INFORMATION); }

    // The "Aller à" dialog with a caption and a first value; invalid when cancelled.
    virtual CTimeCode askTimeCode(const QString& strCaption, const CTimeCode& tcInitial) = 0;
    // "Marquer cette position": the label, proposed in strLabel; false when cancelled.
    virtual bool askBookmarkLabel(QString& strLabel) = 0;
    // "Supprimer une position": removes the marks the user ticks.
    virtual void deleteBookmarks(CBookmarkList& bookmarks) = 0;

    // Shorthands.
    void error(const QString& strText) { message(strText, ICON_ERROR); }
    void information(const QString& strText) { message(strText, ICON_INFORMATION); }
    bool yesNo(const QString& strText, EIcon eIcon = ICON_QUESTION,
               QMessageBox::StandardButton defaultButton = QMessageBox::Yes) {
        return message(strText, eIcon, QMessageBox::Yes | QMessageBox::No, defaultButton) == QMessageBox::Yes;
    }
};

class CPrompts : public IPrompts {
public:
    void setParent(QWidget* pParent) { m_pParent = pParent; }

    QMessageBox::StandardButton message(const QString& strText, EIcon eIcon,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    QString getOpenFileName(const QString& strCaption, const QString& strDirOrFile,
                            const QString& strFilter) override;
    QString getSaveFileName(const QString& strCaption, const QString& strDirOrFile, const QString& strFilter,
                            const QString& strDefaultSuffix) override;
    QString getSaveFileNameAndFilter(const QString& strCaption, const QString& strDirOrFile,
                                     const QString& strFilters, const QString& strDefaultSuffix,
                                     QString& strChosenFilter) override;
    void about(const QString& strText) override;
    CTimeCode askTimeCode(const QString& strCaption, const CTimeCode& tcInitial) override;
    bool askBookmarkLabel(QString& strLabel) override;
    void deleteBookmarks(CBookmarkList& bookmarks) override;

private:
    QWidget* m_pParent = nullptr;
};

// The patterns of a file dialog filter ("Fichier Texte (*.txt)" gives "*.txt").
QStringList filterPatterns(const QString& strFilter);

// The short click of a refused command (volume at a limit, an impossible timecode).
namespace Click {
void play();
// What plays it (the program's click sound); without one, the desktop's bell.
void setSound(std::function<void()> sound);
// How many clicks were played since start-up (tests).
int count();
} // namespace Click
