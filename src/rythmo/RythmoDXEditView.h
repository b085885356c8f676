#pragma once

#include "BandEditor.h"
#include "RythmoDXView.h"

#include <QTimer>

// The band view in which the author works: the band of CRythmoDXView with the editing of
// CBandEditor. The keys no command takes (Backspace, Home, End, Shift with the arrows, characters,
// the menu key...) and their releases arrive here; the commands whose keys type in edit mode (Space,
// the arrows, Delete) ask the editor through the application. While a caret shows, the band draws
// again at the caret's blink pace.
//
// GUI thread only.
class CRythmoDXEditView : public CRythmoDXView {
    Q_OBJECT
public:
    explicit CRythmoDXEditView(IBandEditHost& host, QWidget* pParent = nullptr);

    CBandEditor& editor() { return m_editor; }
    bool isEditMode() const { return m_editor.isEditMode(); }

    void OnInitialUpdate() override;
    void OnUpdate(int nHint, const void* pObject = nullptr) override;
    void aboutToReplay() { m_editor.aboutToReplay(); }
    // The point of the screen under a point of the band.
    QPoint globalPointOf(int x, int y);

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void keyReleaseEvent(QKeyEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;

private:
    void onEditorChanged();

    IBandEditHost& m_host;
    CBandEditor m_editor;
    QTimer m_blink;
};
