#include "app/Prompts.h"

#include "app/AboutDlg.h"
#include "app/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QRegularExpression>
#include <atomic>

QStringList filterPatterns(const QString& strFilter) {
    static const QRegularExpression s_patterns(QStringLiteral("\\(([^)]*)\\)"));
    const QRegularExpressionMatch match = s_patterns.match(strFilter);
    return match.hasMatch() ? match.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts) : QStringList();
}

QString IPrompts::getSaveFileNameAndFilter(const QString& strCaption, const QString& strDirOrFile,
                                           const QString& strFilters, const QString& strDefaultSuffix,
                                           QString& strChosenFilter) {
    QString strPath = getSaveFileName(strCaption, strDirOrFile, strFilters, strDefaultSuffix);
    strChosenFilter.clear();
    const QString strName = QFileInfo(strPath).fileName();
    for (const QString& strFilter : strFilters.split(QStringLiteral(";;"))) {
        if (QDir::match(filterPatterns(strFilter), strName)) {
            strChosenFilter = strFilter;
            break;
        }
    }
    return strPath;
}

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
    QString strChosen;
    return getSaveFileNameAndFilter(strCaption, strDirOrFile, strFilter, strDefaultSuffix, strChosen);
}

QString CPrompts::getSaveFileNameAndFilter(const QString& strCaption, const QString& strDirOrFile,
                                           const QString& strFilters, const QString& strDefaultSuffix,
                                           QString& strChosenFilter) {
    QFileDialog dialog(m_pParent, strCaption, strDirOrFile, strFilters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(strDefaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    // A name typed without extension takes the one of the filter selected.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& strFilter) {
        const QStringList patterns = filterPatterns(strFilter);
        if (!patterns.isEmpty() && patterns.first().startsWith(QStringLiteral("*.")))
            dialog.setDefaultSuffix(patterns.first().mid(2));
    });
    if (QFileInfo(strDirOrFile).suffix().size() || !QFileInfo(strDirOrFile).isDir())
        dialog.selectFile(strDirOrFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    strChosenFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().first();
}

void CPrompts::about(const QString&) {
    // The box lays out the same facts as the text, the libraries in a table.
    CAboutDlg dlg(m_pParent);
    dlg.exec();
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
