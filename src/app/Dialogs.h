#pragma once

#include "app/BookmarkList.h"
#include "vare/TimeCode.h"

#include <QDialog>

class CTimeCodeEdit;
class QLineEdit;
class QTreeWidget;

// "Aller à" (also "Changer le timestamp"): one timecode field; OK with an invalid value clicks and
// stays.
class CGoToDlg : public QDialog {
    Q_OBJECT
public:
    explicit CGoToDlg(QWidget* pParent = nullptr, const QString& strCaption = QStringLiteral("Aller à"));
    void setTimeCode(const CTimeCode& tc);
    CTimeCode getTimeCode() const;
    CTimeCodeEdit* edit() const { return m_pEdit; }
    void accept() override;

private:
    CTimeCodeEdit* m_pEdit;
};

// "Marquer cette position": the label of a new mark, proposed as "Position %d".
class CAddBookmarkDlg : public QDialog {
    Q_OBJECT
public:
    CAddBookmarkDlg(const QString& strProposed, QWidget* pParent = nullptr);
    QString label() const;
    QLineEdit* labelEdit() const { return m_pLabel; }

private:
    QLineEdit* m_pLabel;
};

// "Supprimer une position": the marks with tick boxes; OK removes the ticked ones.
class CDeleteBookmarkDlg : public QDialog {
    Q_OBJECT
public:
    CDeleteBookmarkDlg(CBookmarkList& bookmarks, QWidget* pParent = nullptr);
    QTreeWidget* list() const { return m_pList; }
    void accept() override;

private:
    CBookmarkList& m_bookmarks;
    QTreeWidget* m_pList;
};
