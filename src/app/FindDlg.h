#pragma once

#include <QDialog>
#include <functional>

class CVarE;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
struct SFindParams;

// "Rechercher": the text, the role ("Tous les rôles" or one of the script's), match case and whole
// word. "Suivant" searches from the current time again; every change of the text or of the role
// searches again at once from the current match. The search itself is the band's (find-next).
//
// GUI thread only.
class CFindDlg : public QDialog {
    Q_OBJECT
public:
    // params receives the fields; search(bStartOver) runs the find-next command.
    CFindDlg(SFindParams& params, std::function<void(bool bStartOver)> search, QWidget* pParent = nullptr);
    // Fills the role list from the script, chooses "Tous les rôles" and selects the text.
    void prepare(const CVarE& script);

    QLineEdit* textEdit() const { return m_pText; }
    QComboBox* roleList() const { return m_pRole; }
    QCheckBox* matchCaseBox() const { return m_pMatchCase; }
    QCheckBox* wholeWordBox() const { return m_pWholeWord; }
    QPushButton* nextButton() const { return m_pNext; }

private:
    void store();
    void onRoleChosen(int nIndex);

    SFindParams& m_params;
    std::function<void(bool)> m_search;
    QLineEdit* m_pText;
    QComboBox* m_pRole;
    QCheckBox* m_pMatchCase;
    QCheckBox* m_pWholeWord;
    QPushButton* m_pNext;
    bool m_bFilling = false;
};
