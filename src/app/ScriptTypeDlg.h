#pragma once

#include "export/ScriptExport.h"

#include <QDialog>

class CVarE;
class QButtonGroup;
class QCheckBox;
class QComboBox;

// "Formatage du document": what the studio document holds. The role list offers "Tous" and every role
// of the script; "TC Out" is for the documentary layout only, the role filter for either script layout.
class CScriptTypeDlg : public QDialog {
    Q_OBJECT
public:
    CScriptTypeDlg(const CVarE& script, QWidget* pParent = nullptr);

    // The choices shown; the role filter opens on "Tous" whatever the options say.
    void setOptions(const CScriptExportOptions& options);
    CScriptExportOptions options() const;

    QButtonGroup* layoutGroup() const { return m_pLayout; }
    QButtonGroup* roleListGroup() const { return m_pRoleList; }
    QCheckBox* tcOutBox() const { return m_pTCOut; }
    QCheckBox* croisilleBox() const { return m_pCroisille; }
    QCheckBox* frontPageBox() const { return m_pFrontPage; }
    QComboBox* roleCombo() const { return m_pRole; }

private:
    void updateEnabled();

    QButtonGroup* m_pLayout;
    QButtonGroup* m_pRoleList;
    QCheckBox* m_pTCOut;
    QCheckBox* m_pCroisille;
    QCheckBox* m_pFrontPage;
    QComboBox* m_pRole;
};
