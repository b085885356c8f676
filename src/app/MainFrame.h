#pragma once

#include "app/PaneLayout.h"

#include <QMainWindow>
#include <QTimer>
#include <vector>

class CTavorinApp;
class QAbstractButton;
class QMenu;

// The program's only window: the menu bar, the four fixed panes, full screen, the window title, the
// placement kept between runs, files dropped on it and the auto-save timer.
//
// The panes are filled through setPaneWidget(): the control view, the picture and the band are
// plugged in there by whoever builds them; until then each pane is an empty placeholder.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(CTavorinApp& app);
    ~CMainFrame() override;

    void setPaneWidget(EPane ePane, QWidget* pWidget);
    // The widget that has the keyboard when the window gets it back (the band).
    void setFocusTarget(QWidget* pWidget) { m_pFocusTarget = pWidget; }
    void takeKeyboardBack();
    QWidget* paneWidget(EPane ePane) const { return m_pPanes->pane(ePane); }
    CPaneContainer& panes() { return *m_pPanes; }

    bool isFullScreenLayout() const { return m_pPanes->isFullScreen(); }
    void OnViewFullScreen();

    void startAutoSave(int nPeriodMs);
    void stopAutoSave() { m_autoSaveTimer.stop(); }
    bool isAutoSaveOn() const { return m_autoSaveTimer.isActive(); }
    int autoSavePeriod() const { return m_autoSaveTimer.interval(); }

    void updateTitle();
    // Shows the window as the "ShowCmd" setting says.
    void showWithCommand(int nShowCmd);

    // Files dropped on the window: the first one is opened.
    bool openDroppedFiles(const QList<QUrl>& urls);

    QMenu* menu(int nIndex) const {
        return nIndex >= 0 && nIndex < int(m_menus.size()) ? m_menus[size_t(nIndex)] : nullptr;
    }

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

private:
    void buildMenus();
    void rebuildBookmarkEntries();
    void rebuildRecentEntries();
    void restorePlacement();
    void savePlacement();

    CTavorinApp& m_app;
    CPaneContainer* m_pPanes;
    QWidget* m_pFocusTarget = nullptr;
    std::vector<QMenu*> m_menus;
    QMenu* m_pPositionMenu = nullptr;
    QMenu* m_pFileMenu = nullptr;
    QAction* m_pRecentPlaceholder = nullptr;
    std::vector<QAction*> m_bookmarkEntries;
    std::vector<QAction*> m_recentEntries;
    QTimer m_autoSaveTimer;
    bool m_bClosing = false;
};
