#pragma once

#include "vare/VarE.h"

#include <QComboBox>
#include <QDialog>
#include <functional>

class CPhotoStatic;
class CVarEDoc;
class IPrompts;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The role colours offered, as swatches; the first one is chosen by default.
class CColorComboBox : public QComboBox {
    Q_OBJECT
public:
    static const std::vector<std::uint32_t>& colors();

    explicit CColorComboBox(QWidget* pParent = nullptr);
    std::uint32_t getColor() const;
    // Selects the first swatch of that colour; none when the colour is not offered.
    void setColor(std::uint32_t rgb);
};

// A role's photo (a JPEG picture kept as Base64 text), or the default picture when it has none.
QImage rolePhoto(const QString& strBase64, const QSize& size);

// "Édition d'un rôle": a new role, or the values of an existing one. OK checks the name and makes the
// change through the document (one undoable step).
class CEditRoleDlg : public QDialog {
    Q_OBJECT
public:
    // pRole null: a new role.
    CEditRoleDlg(CVarEDoc& doc, IPrompts& prompts, const CRole* pRole, QWidget* pParent = nullptr);
    // The role made or changed, after OK.
    const CRole* role() const { return m_pResult; }
    // The photo grab of "&Prendre une photo..." (Base64 JPEG, empty when cancelled); the button is
    // disabled without one.
    void setPhotoSource(std::function<QString(QWidget*)> source);

    QLineEdit* nameEdit() const { return m_pName; }
    QComboBox* genderList() const { return m_pGender; }
    CColorComboBox* colorList() const { return m_pColor; }
    QPlainTextEdit* descriptionEdit() const { return m_pDescription; }
    CPhotoStatic* photo() const { return m_pPhoto; }
    void accept() override;

    // Runs of two spaces become one and trailing white space goes.
    static QString cleanName(const QString& str);

private:
    void showPhoto();

    CVarEDoc& m_doc;
    IPrompts& m_prompts;
    const CRole* m_pRole;
    const CRole* m_pResult = nullptr;
    QString m_strImage;
    QLineEdit* m_pName;
    QComboBox* m_pGender;
    CColorComboBox* m_pColor;
    QPlainTextEdit* m_pDescription;
    CPhotoStatic* m_pPhoto;
    QPushButton* m_pTakePhoto;
    std::function<QString(QWidget*)> m_photoSource;
};

// "Rôles": the script's roles, to choose one (for a phrase) and to make, change or delete roles.
class CSelectRoleDlg : public QDialog {
    Q_OBJECT
public:
    CSelectRoleDlg(CVarEDoc& doc, IPrompts& prompts, const CRole* pSelected, QWidget* pParent = nullptr);
    // The chosen role after OK.
    const CRole* selectedRole() const { return m_pChosen; }
    void setPhotoSource(std::function<QString(QWidget*)> source) { m_photoSource = std::move(source); }

    QListWidget* list() const { return m_pList; }
    CPhotoStatic* photo() const { return m_pPhoto; }
    QPushButton* newButton() const { return m_pNew; }
    QPushButton* okButton() const { return m_pOk; }
    void accept() override;
    void OnNew();
    void OnModify();
    void OnDelete();

    // The dialog that makes or changes a role (tests answer it).
    std::function<int(CEditRoleDlg&)> m_runEditDialog = [](CEditRoleDlg& dlg) { return dlg.exec(); };

protected:
    void moveEvent(QMoveEvent* pEvent) override;

private:
    void fill(const CRole* pSelect);
    // The role dialog on a role (null: a new one); on OK the list shows it chosen.
    void editRole(const CRole* pRole);
    const CRole* current() const;
    void showPhoto();
    void makeOkDefault();

    CVarEDoc& m_doc;
    IPrompts& m_prompts;
    const CRole* m_pChosen = nullptr;
    QListWidget* m_pList;
    CPhotoStatic* m_pPhoto;
    QPushButton* m_pNew;
    QPushButton* m_pModify;
    QPushButton* m_pDelete;
    QPushButton* m_pOk;
    std::function<QString(QWidget*)> m_photoSource;
};
