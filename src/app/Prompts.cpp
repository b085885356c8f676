#include "app/Prompts.h"

#include "app/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <atomic>

QMessageBox::StandardButton CPrompts::message(const QString& strText, EIcon eIcon,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (eIcon) {
    case ICON_INFORMATION:
        icon = QMessageBox::Information;
        break;
    case ICON_QUESTION:
        icon = QMessageBox::Question;
        break;
    case ICON_EXCLAMATION:
        icon = QMessageBox::Warning;
        break;
    case ICON_ERROR:
        icon = QMessageBox::Critical;
        break;
    case ICON_NONE:
        break;
    }
    QMessageBox box(icon, QStringLiteral("Tavorin"), strText, buttons, m_pParent);
    if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
    // The buttons speak French through Qt's own translations, loaded at start-up.
    // Qt's translations have no short captions for these two; the working copy's question uses them.
    if (QAbstractButton* p = box.button(QMessageBox::YesToAll)) p->setText(QStringLiteral("&Toujours"));
    if (QAbstractButton* p = box.button(QMessageBox::NoToAll)) p->setText(QStringLiteral("&Jamais"));
    return QMessageBox::StandardButton(box.exec());
}

QString CPrompts::getOpenFileName(const QString& strCaption, const QString& strDirOrFile,
                                  const QString& strFilter) {
    return QFileDialog::getOpenFileName(m_pParent, strCaption, strDirOrFile, strFilter);
}

QString CPrompts::getSaveFileName(const QString& strCaption, const QString& strDirOrFile,
                                  const QString& strFilter, const QString& strDefaultSuffix) {
    QFileDialog dialog(m_pParent, strCaption, strDirOrFile, strFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(strDefaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (QFileInfo(strDirOrFile).suffix().size() || !QFileInfo(strDirOrFile).isDir())
        dialog.selectFile(strDirOrFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

CTimeCode CPrompts::askTimeCode(const QString& strCaption, const CTimeCode& tcInitial) {
    CGoToDlg dlg(m_pParent, strCaption);
    dlg.setTimeCode(tcInitial);
    if (dlg.exec() != QDialog::Accepted) return TC_INVALID;
    return dlg.getTimeCode();
}

bool CPrompts::askBookmarkLabel(QString& strLabel) {
    CAddBookmarkDlg dlg(strLabel, m_pParent);
    if (dlg.exec() != QDialog::Accepted) return false;
    strLabel = dlg.label();
    return true;
}

void CPrompts::deleteBookmarks(CBookmarkList& bookmarks) {
    CDeleteBookmarkDlg dlg(bookmarks, m_pParent);
    dlg.exec();
}

namespace {
std::atomic<int> g_nClicks{0};
std::function<void()>& sound() {
    static std::function<void()> s_sound;
    return s_sound;
}
} // namespace

void Click::setSound(std::function<void()> sound) {
    ::sound() = std::move(sound);
}

void Click::play() {
    ++g_nClicks;
    if (sound())
        sound()();
    else
        QApplication::beep();
}

int Click::count() {
    return g_nClicks;
}
