#include "app/Dialogs.h"

#include "app/Prompts.h"
#include "app/TimeCodeEdit.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QDialogButtonBox* okCancel(QDialog* pDlg) {
    auto* pBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, pDlg);
    pBox->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    QObject::connect(pBox, &QDialogButtonBox::accepted, pDlg, &QDialog::accept);
    QObject::connect(pBox, &QDialogButtonBox::rejected, pDlg, &QDialog::reject);
    return pBox;
}
} // namespace

CGoToDlg::CGoToDlg(QWidget* pParent, const QString& strCaption)
    : QDialog(pParent), m_pEdit(new CTimeCodeEdit(this)) {
    setWindowTitle(strCaption);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pEdit);
    pLayout->addWidget(okCancel(this));
    m_pEdit->setFocus();
}

void CGoToDlg::setTimeCode(const CTimeCode& tc) {
    m_pEdit->setTimeCode(tc);
}

CTimeCode CGoToDlg::getTimeCode() const {
    return m_pEdit->getTimeCode();
}

void CGoToDlg::accept() {
    if (!m_pEdit->getTimeCode().isValid()) {
        Click::play();
        return;
    }
    QDialog::accept();
}

CAddBookmarkDlg::CAddBookmarkDlg(const QString& strProposed, QWidget* pParent)
    : QDialog(pParent), m_pLabel(new QLineEdit(strProposed, this)) {
    setWindowTitle(QStringLiteral("Marquer cette position"));
    auto* pLayout = new QVBoxLayout(this);
    auto* pForm = new QFormLayout;
    pForm->addRow(QStringLiteral("Libellé :"), m_pLabel);
    pLayout->addLayout(pForm);
    pLayout->addWidget(okCancel(this));
    m_pLabel->selectAll();
    m_pLabel->setFocus();
}

QString CAddBookmarkDlg::label() const {
    return m_pLabel->text();
}

CDeleteBookmarkDlg::CDeleteBookmarkDlg(CBookmarkList& bookmarks, QWidget* pParent)
    : QDialog(pParent), m_bookmarks(bookmarks), m_pList(new QTreeWidget(this)) {
    setWindowTitle(QStringLiteral("Supprimer une position"));
    m_pList->setColumnCount(3);
    m_pList->setHeaderLabels({QStringLiteral(" "), QStringLiteral("Timecode"), QStringLiteral("Libellé")});
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (const auto& [tc, b] : bookmarks.items()) {
        auto* pItem = new QTreeWidgetItem(m_pList, {QString(), tc.toString(), b.strLabel});
        pItem->setCheckState(0, Qt::Unchecked);
        pItem->setData(0, Qt::UserRole, b.nCommand);
    }
    // The tick and the timecode keep the width they need; the label takes the rest.
    m_pList->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_pList->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_pList->header()->setStretchLastSection(true);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pList);
    pLayout->addWidget(okCancel(this));
    resize(std::max(300, sizeHint().width()), 260);
}

void CDeleteBookmarkDlg::accept() {
    for (int i = 0; i < m_pList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* pItem = m_pList->topLevelItem(i);
        if (pItem->checkState(0) == Qt::Checked) m_bookmarks.remove(pItem->data(0, Qt::UserRole).toInt());
    }
    QDialog::accept();
}
