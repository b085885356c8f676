#include "app/MainFrame.h"

#include "app/Commands.h"
#include "app/TavorinApp.h"
#include "app/Transport.h"
#include "app/VarEDoc.h"
#include "base/FileArgument.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QProxyStyle>
#include <QStatusBar>

namespace {
// Alt alone must never take the keyboard to the menu bar: the band's keys would stop working.
class CNoAltMenuStyle : public QProxyStyle {
public:
    int styleHint(StyleHint eHint, const QStyleOption* pOption, const QWidget* pWidget,
                  QStyleHintReturn* pReturn) const override {
        if (eHint == SH_MenuBar_AltKeyNavigation) return 0;
        return QProxyStyle::styleHint(eHint, pOption, pWidget, pReturn);
    }
};
} // namespace

CMainFrame::CMainFrame(CTavorinApp& app) : m_app(app), m_pPanes(new CPaneContainer(this)) {
    setObjectName(QStringLiteral("mainFrame"));
    setCentralWidget(m_pPanes);
    setAcceptDrops(true);
    auto* pMenuStyle = new CNoAltMenuStyle;
    pMenuStyle->setParent(this);
    menuBar()->setStyle(pMenuStyle);
    buildMenus();
    connect(&m_app.bookmarks(), &CBookmarkList::changed, this, &CMainFrame::rebuildBookmarkEntries);
    connect(&m_app.recentFiles(), &CRecentFiles::changed, this, &CMainFrame::rebuildRecentEntries);
    connect(&m_app.document(), &CVarEDoc::titleChanged, this, &CMainFrame::updateTitle);
    connect(&m_autoSaveTimer, &QTimer::timeout, &m_app.document(), [this] { m_app.document().autoSave(); });
    // The status bar appears with the first failed auto-save and says it until a backup is written.
    connect(&m_app.document(), &CVarEDoc::autoSaveFailed, this,
            [this](const QString& strText) { statusBar()->showMessage(strText); });
    connect(&m_app.document(), &CVarEDoc::autoSaveRecovered, this, [this] {
        if (QStatusBar* pBar = findChild<QStatusBar*>()) pBar->clearMessage();
    });
    rebuildRecentEntries();
    resize(1280, 800);
    restorePlacement();
    m_pPanes->setFullScreen(m_app.settings().get(Settings::FullScreen) != 0);
    m_app.commands().bind(Cmd::VIEW_FULL_SCREEN,
                          {[this] { OnViewFullScreen(); }, {}, [this] { return m_pPanes->isFullScreen(); }});
    updateTitle();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::setPaneWidget(EPane ePane, QWidget* pWidget) {
    m_pPanes->setPane(ePane, pWidget);
}

void CMainFrame::buildMenus() {
    m_app.commands().fillMenuBar(menuBar(), this, &m_menus, &m_pRecentPlaceholder);
    m_pFileMenu = menu(0);
    m_pPositionMenu = menu(3);
    // The platform's shortcut matching misses the numeric keypad: its keys are handed over here.
    qApp->installEventFilter(this);
}

bool CMainFrame::eventFilter(QObject* pObject, QEvent* pEvent) {
    if (pEvent->type() == QEvent::Hide) {
        // A dialog or message box of this window closed: the keyboard goes back to the band (without a
        // window manager, or with some, nothing would give the window its focus back).
        auto* pDialog = qobject_cast<QDialog*>(pObject);
        QWidget* pOwner = pDialog && pDialog->isWindow() && pDialog->parentWidget()
                              ? pDialog->parentWidget()->window()
                              : nullptr;
        if (pOwner == this) {
            QMetaObject::invokeMethod(this, &CMainFrame::takeKeyboardBack, Qt::QueuedConnection);
        } else if (pOwner && pOwner->isVisible() && qobject_cast<QDialog*>(pOwner)) {
            // A dialog opened from another (a role edited from the role list): the keyboard goes back
            // to the one still open.
            QMetaObject::invokeMethod(
                pOwner, [pOwner] { pOwner->activateWindow(); }, Qt::QueuedConnection);
        }
    }
    if (pEvent->type() == QEvent::ShortcutOverride && !QApplication::activeModalWidget() &&
        !QApplication::activePopupWidget()) {
        // With NumLock off, a pad digit would otherwise run the shortcut of its arrow (the pad's 2 is
        // Down): claimed here, it comes back as the key press handled below.
        auto* pWidget = qobject_cast<QWidget*>(pObject);
        if (pWidget && pWidget->window() == this &&
            m_app.commands().isKeypadCommandKey(*static_cast<QKeyEvent*>(pEvent))) {
            pEvent->accept();
            return true;
        }
    }
    if (pEvent->type() == QEvent::KeyPress && !QApplication::activeModalWidget() &&
        !QApplication::activePopupWidget()) {
        auto* pWidget = qobject_cast<QWidget*>(pObject);
        if (pWidget && pWidget->window() == this &&
            m_app.commands().handleKeypadKey(*static_cast<QKeyEvent*>(pEvent)))
            return true;
    }
    return QMainWindow::eventFilter(pObject, pEvent);
}

void CMainFrame::takeKeyboardBack() {
    if (!isVisible() || QApplication::activeModalWidget()) return;
    activateWindow();
    if (m_pFocusTarget) m_pFocusTarget->setFocus(Qt::OtherFocusReason);
}

void CMainFrame::rebuildBookmarkEntries() {
    for (QAction* p : m_bookmarkEntries) {
        m_pPositionMenu->removeAction(p);
        p->deleteLater();
    }
    m_bookmarkEntries.clear();
    const CBookmarkList& marks = m_app.bookmarks();
    if (marks.isEmpty()) return;
    m_bookmarkEntries.push_back(m_pPositionMenu->addSeparator());
    for (const auto& [tc, b] : marks.items()) {
        QAction* p = m_pPositionMenu->addAction(QStringLiteral("[") + tc.toString() + QStringLiteral("] ") +
                                                b.strLabel);
        const int nId = b.nCommand;
        p->setData(nId);
        connect(p, &QAction::triggered, this, [this, nId] { m_app.transport().gotoBookmark(nId); });
        m_bookmarkEntries.push_back(p);
    }
}

void CMainFrame::rebuildRecentEntries() {
    for (QAction* p : m_recentEntries) {
        m_pFileMenu->removeAction(p);
        p->deleteLater();
    }
    m_recentEntries.clear();
    const QStringList& files = m_app.recentFiles().files();
    const QStringList names = CRecentFiles::displayNames(files);
    m_pRecentPlaceholder->setVisible(files.isEmpty());
    for (int i = 0; i < files.size(); ++i) {
        const QString strPath = files[i];
        auto* p = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(names[i]), this);
        p->setToolTip(strPath);
        connect(p, &QAction::triggered, this, [this, strPath] {
            if (m_app.document().SaveModified()) m_app.document().openDocumentFile(strPath);
        });
        m_pFileMenu->insertAction(m_pRecentPlaceholder, p);
        m_recentEntries.push_back(p);
    }
}

void CMainFrame::updateTitle() {
    setWindowTitle(m_app.document().GetTitle() + QStringLiteral(" - Tavorin"));
}

void CMainFrame::OnViewFullScreen() {
    m_pPanes->setFullScreen(!m_pPanes->isFullScreen());
}

void CMainFrame::startAutoSave(int nPeriodMs) {
    m_autoSaveTimer.start(nPeriodMs > 0 ? nPeriodMs : 300000);
}

void CMainFrame::showWithCommand(int nShowCmd) {
    // The window takes the keyboard when it appears (a desktop without a window manager would leave it
    // to whatever lies under the pointer).
    QMetaObject::invokeMethod(this, &CMainFrame::takeKeyboardBack, Qt::QueuedConnection);
    switch (nShowCmd) {
    case 3:
        showMaximized();
        break; // maximised
    case 2:
    case 6:
    case 7:
        showMinimized();
        break;
    default:
        show();
        break;
    }
}

void CMainFrame::restorePlacement() {
    CSettingsStore& s = m_app.settings();
    if (s.get(Settings::PlacementRemember) == 0) return;
    const QRect r(
        QPoint(s.get(Settings::MainScreenPositionLeft), s.get(Settings::MainScreenPositionTop)),
        QPoint(s.get(Settings::MainScreenPositionRight) - 1, s.get(Settings::MainScreenPositionBottom) - 1));
    if (r.width() > 100 && r.height() > 100) setGeometry(r);
}

void CMainFrame::savePlacement() {
    CSettingsStore& s = m_app.settings();
    const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    s.set(Settings::PlacementFlags, 0);
    s.set(Settings::ShowCmd, isMaximized() ? 3 : 1);
    s.set(Settings::MaxPositionX, -1);
    s.set(Settings::MaxPositionY, -1);
    s.set(Settings::MinPositionX, -1);
    s.set(Settings::MinPositionY, -1);
    s.set(Settings::MainScreenPositionBottom, r.y() + r.height());
    s.set(Settings::MainScreenPositionLeft, r.x());
    s.set(Settings::MainScreenPositionRight, r.x() + r.width());
    s.set(Settings::MainScreenPositionTop, r.y());
    s.set(Settings::PlacementRemember, 1);
    s.set(Settings::FullScreen, m_pPanes->isFullScreen() ? 1 : 0);
}

void CMainFrame::closeEvent(QCloseEvent* pEvent) {
    if (!m_bClosing && !m_app.document().SaveModified()) {
        pEvent->ignore();
        return;
    }
    m_bClosing = true;
    savePlacement();
    m_autoSaveTimer.stop();
    pEvent->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* pEvent) {
    if (pEvent->mimeData()->hasUrls() && !pEvent->mimeData()->urls().isEmpty() &&
        pEvent->mimeData()->urls().first().isLocalFile())
        pEvent->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* pEvent) {
    const QList<QUrl> urls = pEvent->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    pEvent->acceptProposedAction();
    activateWindow();
    openDroppedFiles(urls);
}

bool CMainFrame::openDroppedFiles(const QList<QUrl>& urls) {
    // Like the open command: one file, after the question about unsaved changes.
    if (urls.isEmpty() || !urls.first().isLocalFile()) return false;
    if (!m_app.document().SaveModified()) return false;
    return m_app.document().openDocumentFile(fileArgument(urls.first()));
}
