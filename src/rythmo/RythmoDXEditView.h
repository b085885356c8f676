#pragma once

#include "BandEditor.h"
#include "BandFinder.h"
#include "BandMouse.h"
#include "BandNavigator.h"
#include "RythmoDXView.h"
#include "ScriptVerifier.h"
#include "SignCommands.h"

#include <QContextMenuEvent>
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
    CSignCommands& signs() { return m_signs; }
    CBandNavigator& navigator() { return m_navigator; }
    CScriptVerifier& verifier() { return m_verifier; }
    CBandFinder& finder() { return m_finder; }
    CBandMouse& mouse() { return m_mouse; }
    // A point of the view in band space.
    QPoint bandPointOf(const QPointF& local) const;
    bool isEditMode() const { return m_editor.isEditMode(); }

    void OnInitialUpdate() override;
    void OnUpdate(int nHint, const void* pObject = nullptr) override;
    void aboutToReplay() { m_editor.aboutToReplay(); }
    // The point of the screen under a point of the band.
    QPoint globalPointOf(int x, int y);
    // The tool tip of a point of the view (empty: none), shown after the pointer rests a moment.
    QString toolTipAt(const QPointF& local);

protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void keyReleaseEvent(QKeyEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;
    // The menus open on the right button's press and on the menu key: nothing more to do here.
    void contextMenuEvent(QContextMenuEvent* pEvent) override { pEvent->accept(); }

private:
    void onEditorChanged();
    // The pointer moved without a button: the tool tip waits for it to rest again.
    void hoverMoved(const QPointF& local, const QPointF& global);

    IBandEditHost& m_host;
    CBandEditor m_editor;
    CSignCommands m_signs;
    CBandNavigator m_navigator;
    CScriptVerifier m_verifier;
    CBandFinder m_finder;
    CBandMouse m_mouse;
    QTimer m_blink;
    QTimer m_toolTipDelay;
    QString m_strToolTip; // what the pointer rests over
    QPoint m_toolTipAt;   // where, on the screen
};
