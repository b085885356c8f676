#pragma once

#include <QDialog>

class CCommandTable;
class CTimeCodeEdit;
class CVarEDoc;
class IPrompts;
class QPushButton;
class QRadioButton;

// "Décalage": slides the whole script earlier ("Vers la gauche") or later ("Vers la droite") while the
// user types the offset or steps it with "<" and ">"; the script follows at once. OK keeps the shift,
// "Annuler" puts everything back. The whole dialog is one undoable step (none when cancelled).
class CDecalageDlg : public QDialog {
    Q_OBJECT
public:
    CDecalageDlg(CVarEDoc& doc, IPrompts& prompts, QWidget* pParent = nullptr);
    ~CDecalageDlg() override;

    // The signed shift the script holds now, in frames (negative: earlier).
    int appliedOffset() const { return m_nApplied; }
    // Shifts the script to the offset the controls give; false (and the script unchanged) when the
    // offset is invalid or the script refuses it, with the click when bClick.
    bool apply(bool bClick);
    // "<" and ">".
    void OnLeft();
    void OnRight();

    CTimeCodeEdit* offsetEdit() const { return m_pOffset; }
    QRadioButton* leftButton() const { return m_pLeft; }
    QRadioButton* rightButton() const { return m_pRight; }
    void accept() override;
    void reject() override;

private:
    // The signed offset the controls show, in frames; false when the field is invalid.
    bool shownOffset(int& nFrames) const;
    void showOffset(int nFrames);
    void step(int nDelta);
    void controlsChanged();
    // Closes the dialog's undo step.
    void finish();

    CVarEDoc& m_doc;
    IPrompts& m_prompts;
    CTimeCodeEdit* m_pOffset;
    QRadioButton* m_pLeft;
    QRadioButton* m_pRight;
    int m_nApplied = 0;
    bool m_bShowing = false; // the controls are being set by the dialog itself
    bool m_bStepOpen = false;
};

// "Décaler la rythmo...".
void bindShiftCommand(CCommandTable& commands, CVarEDoc& doc, IPrompts& prompts, QWidget* pWindow);
