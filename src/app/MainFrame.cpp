#include "app/MainFrame.h"

#include "app/Commands.h"
#include "app/TavorinApp.h"
#include "app/VarEDoc.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QProxyStyle>

namespace {
// Key helpers: the numeric keypad is told apart from the main keys.
QKeySequence pad(int nKey, int nModifiers = 0) {
    return QKeySequence(
        QKeyCombination(Qt::KeyboardModifiers(nModifiers) | Qt::KeypadModifier, Qt::Key(nKey)));
}
QKeySequence key(int nKey, int nModifiers = 0) {
    return QKeySequence(QKeyCombination(Qt::KeyboardModifiers(nModifiers), Qt::Key(nKey)));
}
constexpr int CTRL = Qt::ControlModifier, SHIFT = Qt::ShiftModifier, ALT = Qt::AltModifier;

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
    rebuildRecentEntries();
    resize(1280, 800);
    restorePlacement();
    m_pPanes->setFullScreen(m_app.settings().get(Settings::FullScreen) != 0);
    m_app.commands().action(Cmd::VIEW_FULL_SCREEN)->setChecked(m_pPanes->isFullScreen());
    updateTitle();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::setPaneWidget(EPane ePane, QWidget* pWidget) {
    m_pPanes->setPane(ePane, pWidget);
}

void CMainFrame::buildMenus() {
    CCommands& c = m_app.commands();
    QMenuBar* pBar = menuBar();
    auto menu = [&](const QString& strTitle) {
        QMenu* p = pBar->addMenu(strTitle);
        m_menus.push_back(p);
        return p;
    };
    auto item = [&](QMenu* pMenu, int nId, const char* pszCaption, const QList<QKeySequence>& keys = {},
                    bool bCheckable = false) {
        QAction* p = c.add(nId, QString::fromUtf8(pszCaption), keys, bCheckable);
        pMenu->addAction(p);
        return p;
    };

    QMenu* m = m_pFileMenu = menu(QStringLiteral("&Fichier"));
    item(m, Cmd::FILE_NEW, "&Nouveau\tCtrl+N", {key(Qt::Key_N, CTRL)});
    item(m, Cmd::FILE_OPEN, "&Ouvrir...\tCtrl+O", {key(Qt::Key_O, CTRL)});
    item(m, Cmd::FILE_OPEN_BACKUP, "Ouvrir une sauvegarde...");
    item(m, Cmd::FILE_SAVE, "&Enregistrer\tCtrl+S", {key(Qt::Key_S, CTRL)});
    item(m, Cmd::FILE_SAVE_AS, "Enregistrer &sous...\tCtrl+Maj+S", {key(Qt::Key_S, CTRL | SHIFT)});
    item(m, Cmd::FILE_SAVE_COPY, "Enregistrer une copie sous...\tCtrl+Alt+S", {key(Qt::Key_S, CTRL | ALT)});
    m->addSeparator();
    QMenu* sub = m->addMenu(QStringLiteral("&Importer"));
    item(sub, Cmd::FILE_IMPORT_DETECTION, "Détection...");
    item(sub, Cmd::FILE_IMPORT_ROLES, "Liste de rôles...");
    sub = m->addMenu(QStringLiteral("E&xporter"));
    item(sub, Cmd::FILE_EXPORT_SCRIPT, "Script et croisillé...\tCtrl+E", {key(Qt::Key_E, CTRL)});
    item(sub, Cmd::FILE_EXPORT_SUBTITLES, "Sous-titrage UER...\tCtrl+Maj+E", {key(Qt::Key_E, CTRL | SHIFT)});
    m->addSeparator();
    item(m, Cmd::FILE_VIDEO, "Ou&vrir l'image...\tCtrl+Maj+V", {key(Qt::Key_V, CTRL | SHIFT)});
    item(m, Cmd::FILE_PROPERTIES, "&Propriétés\tCtrl+P", {key(Qt::Key_P, CTRL)});
    m->addSeparator();
    m_pRecentPlaceholder = m->addAction(QStringLiteral("Fichier récent"));
    m_pRecentPlaceholder->setEnabled(false);
    m->addSeparator();
    item(m, Cmd::APP_EXIT, "&Quitter");

    m = menu(QStringLiteral("&Edition"));
    item(m, Cmd::EDIT_UNDO, "&Annuler\tCtrl+Z", {key(Qt::Key_Z, CTRL)});
    m->addSeparator();
    item(m, Cmd::EDIT_CUT, "&Couper\tCtrl+X", {key(Qt::Key_X, CTRL)});
    item(m, Cmd::EDIT_COPY, "C&opier\tCtrl+C", {key(Qt::Key_C, CTRL)});
    item(m, Cmd::EDIT_PASTE, "Co&ller\tCtrl+V", {key(Qt::Key_V, CTRL)});
    item(m, Cmd::EDIT_SELECT_ALL, "Sélectionner tout\tCtrl+A", {key(Qt::Key_A, CTRL)});
    m->addSeparator();
    item(m, Cmd::EDIT_FIND, "&Rechercher...\tCtrl+F", {key(Qt::Key_F, CTRL)});
    sub = m->addMenu(QStringLiteral("&Piste"));
    item(sub, Cmd::EDIT_NEXT_TRACK, "Piste suivante\tCtrl+Bas", {key(Qt::Key_Down, CTRL)});
    item(sub, Cmd::EDIT_PREVIOUS_TRACK, "Piste précédente\tCtrl+Haut", {key(Qt::Key_Up, CTRL)});
    sub->addSeparator();
    item(sub, Cmd::EDIT_TRACK_1, "Piste 1\tF5", {key(Qt::Key_F5)});
    item(sub, Cmd::EDIT_TRACK_2, "Piste 2\tF6", {key(Qt::Key_F6)});
    item(sub, Cmd::EDIT_TRACK_3, "Piste 3\tF7", {key(Qt::Key_F7)});
    item(sub, Cmd::EDIT_TRACK_4, "Piste 4\tF8", {key(Qt::Key_F8)});
    m->addSeparator();
    sub = m->addMenu(QStringLiteral("Ajouter un signe"));
    item(sub, Cmd::SIGN_OPEN_START, "Début de phrase ouverte\tEntrée/2",
         {pad(Qt::Key_Enter), pad(Qt::Key_2)});
    item(sub, Cmd::SIGN_OPEN_END, "Fin de phrase ouverte\tEntrée/3", {pad(Qt::Key_3)});
    sub->addSeparator();
    item(sub, Cmd::SIGN_CLOSED_START, "Début de phrase fermée\tCtrl+Entrée/Ctrl+2",
         {pad(Qt::Key_Enter, CTRL), pad(Qt::Key_2, CTRL)});
    item(sub, Cmd::SIGN_CLOSED_END, "Fin de phrase fermée\tCtrl+Entrée/Ctrl+3", {pad(Qt::Key_3, CTRL)});
    sub->addSeparator();
    item(sub, Cmd::SIGN_LABIAL, "Labiale m,b,p\t4", {pad(Qt::Key_4)});
    item(sub, Cmd::SIGN_HALF_LABIAL, "Demi-labiale f,v,r\t5", {pad(Qt::Key_5)});
    item(sub, Cmd::SIGN_NEUTRAL, "Neutre\t6", {pad(Qt::Key_6)});
    item(sub, Cmd::SIGN_VOWEL_A, "Voyelle A\t7", {pad(Qt::Key_7)});
    item(sub, Cmd::SIGN_VOWEL_I, "Voyelle I\tCtrl+6", {pad(Qt::Key_6, CTRL)});
    item(sub, Cmd::SIGN_VOWEL_O, "Voyelle O\t8", {pad(Qt::Key_8)});
    item(sub, Cmd::SIGN_ROUND, "Cul de poule w, eu, que\t9", {pad(Qt::Key_9)});
    sub->addSeparator();
    item(sub, Cmd::SIGN_LOOP, "Boucle\t0", {pad(Qt::Key_0)});
    sub->addSeparator();
    item(sub, Cmd::SIGN_SHOT, "Changement de plan\t1", {pad(Qt::Key_1)});
    item(m, Cmd::EDIT_SIGN_LEFT, "Déplacer le signe à gauche\tCtrl+Gauche", {key(Qt::Key_Left, CTRL)});
    item(m, Cmd::EDIT_SIGN_RIGHT, "Déplacer le signe à droite\tCtrl+Droite", {key(Qt::Key_Right, CTRL)});
    item(m, Cmd::EDIT_SIGN_DELETE, "Supprimer le signe\tSuppr", {key(Qt::Key_Delete)});
    item(m, Cmd::EDIT_UNLINK_ALL, "&Décrocher tous les signes\tCtrl+Maj+D", {key(Qt::Key_D, CTRL | SHIFT)});
    m->addSeparator();
    item(m, Cmd::EDIT_MODE, "Mode Édition/Mode Détection\tEntrée", {key(Qt::Key_Return)});
    item(m, Cmd::EDIT_LINE_CANCEL, "Annuler la phrase\tEsc", {key(Qt::Key_Escape)});
    item(m, Cmd::EDIT_LINE_DELETE, "Supprimer la phrase \tCtrl+Suppr", {key(Qt::Key_Delete, CTRL)});
    sub = m->addMenu(QStringLiteral("Déplacer la phrase"));
    item(sub, Cmd::EDIT_MOVE_TRACK_1, "Piste 1\tCtrl+F5", {key(Qt::Key_F5, CTRL)});
    item(sub, Cmd::EDIT_MOVE_TRACK_2, "Piste 2\tCtrl+F6", {key(Qt::Key_F6, CTRL)});
    item(sub, Cmd::EDIT_MOVE_TRACK_3, "Piste 3\tCtrl+F7", {key(Qt::Key_F7, CTRL)});
    item(sub, Cmd::EDIT_MOVE_TRACK_4, "Piste 4\tCtrl+F8", {key(Qt::Key_F8, CTRL)});
    item(m, Cmd::EDIT_VOICE_OVER, "Voix off\tCtrl+U", {key(Qt::Key_U, CTRL)});
    m->addSeparator();
    item(m, Cmd::EDIT_ROLES, "Rôles...\tCtrl+R", {key(Qt::Key_R, CTRL)});
    item(m, Cmd::EDIT_SHOT_DETECTION, "Détection des changements de plan...");
    item(m, Cmd::EDIT_VERIFY, "Vérifier\tF4", {key(Qt::Key_F4)});
    item(m, Cmd::EDIT_SHIFT, "Décaler la rythmo...");
    m->addSeparator();
    item(m, Cmd::EDIT_PREFERENCES, "Préférences...");

    m = menu(QStringLiteral("&Contrôle"));
    item(m, Cmd::CONTROL_PLAY_PAUSE, "&Lecture/Pause\tEspace", {key(Qt::Key_Space), key(Qt::Key_MediaPlay)});
    item(m, Cmd::CONTROL_PLAY, "Lecture avant\tHaut", {key(Qt::Key_Up)});
    item(m, Cmd::CONTROL_REVERSE, "Lecture &inverse\tBas", {key(Qt::Key_Down)});
    item(m, Cmd::CONTROL_STOP, "&Stop", {key(Qt::Key_Pause)});
    item(m, Cmd::CONTROL_NEXT_FRAME, "Image sui&vante\tAlt+Droite", {key(Qt::Key_Right, ALT)});
    item(m, Cmd::CONTROL_PREVIOUS_FRAME, "Image &précédente\tAlt+Gauche", {key(Qt::Key_Left, ALT)});
    m->addSeparator();
    item(m, Cmd::CONTROL_JOG_FORWARD, "Jog avant", {key(Qt::Key_F18)});
    item(m, Cmd::CONTROL_JOG_BACKWARD, "Jog arrière", {key(Qt::Key_F17)});
    sub = m->addMenu(QStringLiteral("Shu&ttle"));
    static const char* const SHUTTLE[14] = {
        "Arrière x10",   "Arrière x3",     "Arrière x1",   "Arrière x0.75", "Arrière x0.5",
        "Arrière x0.25", "Arrière x0.125", "Avant x0.125", "Avant x0.25",   "Avant x0.5",
        "Avant x0.75",   "Avant x1",       "Avant x3",     "Avant x10"};
    for (int i = 0; i < 14; ++i) {
        // Reverse speeds on Alt+F13 to Alt+F19, forward ones on Shift+F13 to Shift+F19.
        const QKeySequence k = i < 7 ? key(Qt::Key_F13 + i, ALT) : key(Qt::Key_F13 + (i - 7), SHIFT);
        item(sub, Cmd::CONTROL_SHUTTLE_FIRST + i, SHUTTLE[i], {k});
    }
    m->addSeparator();
    item(m, Cmd::CONTROL_PREVIOUS_SIGN, "Signe précédent\tGauche", {key(Qt::Key_Left)});
    item(m, Cmd::CONTROL_NEXT_SIGN, "Signe suivant\tDroite", {key(Qt::Key_Right)});
    item(m, Cmd::CONTROL_PREVIOUS_LINE, "Phrase précédente\tTab/F9", {key(Qt::Key_Tab), key(Qt::Key_F9)});
    item(m, Cmd::CONTROL_NEXT_LINE, "Phrase suivante\tMaj+Tab/F10",
         {key(Qt::Key_Backtab, SHIFT), key(Qt::Key_F10)});
    item(m, Cmd::CONTROL_PREVIOUS_ROLE_LINE, "Phrase précédente de ce rôle\tCtrl+F9",
         {key(Qt::Key_F9, CTRL)});
    item(m, Cmd::CONTROL_NEXT_ROLE_LINE, "Phrase suivante de ce rôle\tCtrl+F10", {key(Qt::Key_F10, CTRL)});
    item(m, Cmd::CONTROL_PREVIOUS_LOOP, "Boucle précédente\tF11", {key(Qt::Key_F11)});
    item(m, Cmd::CONTROL_NEXT_LOOP, "Boucle suivante\tF12", {key(Qt::Key_F12)});
    m->addSeparator();
    item(m, Cmd::CONTROL_TIMESTAMP, "Changer le timestamp...");
    m->addSeparator();
    item(m, Cmd::CONTROL_CORVEL, "Machine Corvel...");
    // Steps that only the video view's scroll bar sends; they have no menu entry.
    c.add(Cmd::CONTROL_NEXT_SECOND, QString());
    c.add(Cmd::CONTROL_PREVIOUS_SECOND, QString());
    c.add(Cmd::CONTROL_NEXT_10_SECONDS, QString());
    c.add(Cmd::CONTROL_PREVIOUS_10_SECONDS, QString());
    c.add(Cmd::CONTROL_FAST_FORWARD, QString());
    c.add(Cmd::CONTROL_REWIND, QString());

    m = m_pPositionMenu = menu(QStringLiteral("Position"));
    item(m, Cmd::CONTROL_GOTO, "Aller au timecode... \tCtrl+G", {key(Qt::Key_G, CTRL)});
    m->addSeparator();
    item(m, Cmd::POSITION_MARK, "Marquer cette position...\tCtrl+D", {key(Qt::Key_D, CTRL)});
    item(m, Cmd::POSITION_DELETE, "Supprimer une position...");

    m = menu(QStringLiteral("&Affichage"));
    item(m, Cmd::VIEW_DETECTION, "Détection\tCtrl+Alt+F9", {key(Qt::Key_F9, CTRL | ALT)});
    item(m, Cmd::VIEW_GRID, "Grille et Signes\tCtrl+Alt+F10", {key(Qt::Key_F10, CTRL | ALT)});
    item(m, Cmd::VIEW_FULL_SCREEN, "&Plein écran\tAlt+Entrée",
         {key(Qt::Key_Return, ALT), pad(Qt::Key_Enter, ALT)}, true);
    m->addSeparator();
    item(m, Cmd::VIEW_ZOOM_IN, "&Zoom avant\tPlus", {pad(Qt::Key_Plus)});
    item(m, Cmd::VIEW_ZOOM_OUT, "Zoom &arrière\tMoins", {pad(Qt::Key_Minus)});
    m->addSeparator();
    item(m, Cmd::VIEW_DEINTERLACE, "Désentrelacer", {}, true);
    item(m, Cmd::VIEW_HIGH_QUALITY, "Haute qualité", {}, true);
    item(m, Cmd::VIEW_WORKING_COPY, "Copie de travail", {}, true);
    m->addSeparator();
    item(m, Cmd::VIEW_CONTROL_SCREEN, "Écran de contrôle", {}, true);

    m = menu(QStringLiteral("Audio"));
    item(m, Cmd::AUDIO_VI, "Passer en &VI\tF2", {key(Qt::Key_F2)});
    m->addSeparator();
    item(m, Cmd::AUDIO_VOLUME_UP, "&Monter le volume\tCtrl+Plus", {pad(Qt::Key_Plus, CTRL)});
    item(m, Cmd::AUDIO_VOLUME_DOWN, "&Baisser le volume\tCtrl+Moins", {pad(Qt::Key_Minus, CTRL)});
    item(m, Cmd::AUDIO_MUTE, "&Couper le son\tCtrl+*", {pad(Qt::Key_Asterisk, CTRL)}, true);
    m->addSeparator();
    item(m, Cmd::AUDIO_RECORD, "En&registrer");

    m = menu(QStringLiteral("&Aide"));
    item(m, Cmd::HELP_DOCUMENTATION, "&Documentation\tF1", {key(Qt::Key_F1)});
    item(m, Cmd::HELP_SHORTCUTS, "Raccourcis clavier");
    item(m, Cmd::HELP_WEB, "Page web de Tavorin");
    m->addSeparator();
    item(m, Cmd::HELP_UPDATES, "Rechercher des mises à jour");
    m->addSeparator();
    item(m, Cmd::HELP_RELEASE_NOTES, "Notes de version");
    item(m, Cmd::APP_ABOUT, "&À propos de Tavorin");

    // Commands without a menu entry still need a widget for their keys.
    for (const auto& [nId, pAction] : c.all())
        if (pAction->associatedObjects().isEmpty()) addAction(pAction);
    for (QAction* pAction : c.keyOnlyActions())
        addAction(pAction);
}

void CMainFrame::removeControlScreenEntry() {
    QMenu* pView = menu(4);
    QAction* pEntry = m_app.commands().action(Cmd::VIEW_CONTROL_SCREEN);
    if (!pView || !pEntry) return;
    pView->removeAction(pEntry);
    const QList<QAction*> actions = pView->actions();
    if (!actions.isEmpty() && actions.last()->isSeparator()) pView->removeAction(actions.last());
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
        connect(p, &QAction::triggered, this, [this, nId] { m_app.gotoBookmark(nId); });
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
    m_pRecentPlaceholder->setVisible(files.isEmpty());
    for (int i = 0; i < files.size(); ++i) {
        const QString strPath = files[i];
        auto* p = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(strPath).fileName()), this);
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
    m_app.commands().action(Cmd::VIEW_FULL_SCREEN)->setChecked(m_pPanes->isFullScreen());
}

void CMainFrame::startAutoSave(int nPeriodMs) {
    m_autoSaveTimer.start(nPeriodMs > 0 ? nPeriodMs : 300000);
}

void CMainFrame::showWithCommand(int nShowCmd) {
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
    return m_app.document().openDocumentFile(urls.first().toLocalFile());
}
