#include "app/Commands.h"
#include "rythmo/SignNames.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace {
constexpr int CTRL = Qt::ControlModifier, SHIFT = Qt::ShiftModifier, ALT = Qt::AltModifier;

QKeySequence key(int nKey, int nModifiers = 0) {
    return QKeySequence(QKeyCombination(Qt::KeyboardModifiers(nModifiers), Qt::Key(nKey)));
}
// A key of the numeric keypad (its digit, whatever the state of NumLock).
QKeySequence pad(int nKey, int nModifiers = 0) {
    return key(nKey, nModifiers | int(Qt::KeypadModifier));
}

std::vector<SCommandDef> makeDefs() {
    std::vector<SCommandDef> d;
    auto add = [&](int nId, const char* pszCaption, QList<QKeySequence> keys = {}, bool bCheckable = false) {
        d.push_back({nId, QString::fromUtf8(pszCaption), std::move(keys), bCheckable});
    };
    // Files
    add(Cmd::FILE_NEW, "&Nouveau\tCtrl+N", {key(Qt::Key_N, CTRL)});
    add(Cmd::FILE_OPEN, "&Ouvrir...\tCtrl+O", {key(Qt::Key_O, CTRL)});
    add(Cmd::FILE_OPEN_BACKUP, "Ouvrir une sauvegarde...");
    add(Cmd::FILE_SAVE, "&Enregistrer\tCtrl+S", {key(Qt::Key_S, CTRL)});
    add(Cmd::FILE_SAVE_AS, "Enregistrer &sous...\tCtrl+Maj+S", {key(Qt::Key_S, CTRL | SHIFT)});
    add(Cmd::FILE_SAVE_COPY, "Enregistrer une copie sous...\tCtrl+Alt+S", {key(Qt::Key_S, CTRL | ALT)});
    add(Cmd::FILE_IMPORT_DETECTION, "Détection...");
    add(Cmd::FILE_IMPORT_ROLES, "Liste de rôles...");
    add(Cmd::FILE_IMPORT_DAPT, "Script DAPT...");
    add(Cmd::FILE_EXPORT_SCRIPT, "Script et croisillé...\tCtrl+E", {key(Qt::Key_E, CTRL)});
    add(Cmd::FILE_EXPORT_SUBTITLES, "Sous-titrage UER...\tCtrl+Maj+E", {key(Qt::Key_E, CTRL | SHIFT)});
    add(Cmd::FILE_EXPORT_DAPT, "Script DAPT...");
    add(Cmd::FILE_VIDEO, "Ou&vrir l'image...\tCtrl+Maj+V", {key(Qt::Key_V, CTRL | SHIFT)});
    add(Cmd::FILE_PROPERTIES, "&Propriétés\tCtrl+P", {key(Qt::Key_P, CTRL)});
    add(Cmd::APP_EXIT, "&Quitter");
    // Editing
    add(Cmd::EDIT_UNDO, "&Annuler\tCtrl+Z", {key(Qt::Key_Z, CTRL)});
    add(Cmd::EDIT_REDO, "&Rétablir\tCtrl+Y", {key(Qt::Key_Y, CTRL), key(Qt::Key_Z, CTRL | SHIFT)});
    add(Cmd::EDIT_CUT, "&Couper\tCtrl+X", {key(Qt::Key_X, CTRL), key(Qt::Key_Delete, SHIFT)});
    add(Cmd::EDIT_COPY, "C&opier\tCtrl+C", {key(Qt::Key_C, CTRL), key(Qt::Key_Insert, CTRL)});
    add(Cmd::EDIT_PASTE, "Co&ller\tCtrl+V", {key(Qt::Key_V, CTRL), key(Qt::Key_Insert, SHIFT)});
    add(Cmd::EDIT_SELECT_ALL, "Sélectionner tout\tCtrl+A", {key(Qt::Key_A, CTRL)});
    add(Cmd::EDIT_FIND, "&Rechercher...\tCtrl+F", {key(Qt::Key_F, CTRL)});
    add(Cmd::EDIT_FIND_NEXT, "Rechercher le suivant\tF3", {key(Qt::Key_F3)});
    add(Cmd::EDIT_NEXT_TRACK, "Piste suivante\tCtrl+Bas", {key(Qt::Key_Down, CTRL)});
    add(Cmd::EDIT_PREVIOUS_TRACK, "Piste précédente\tCtrl+Haut", {key(Qt::Key_Up, CTRL)});
    for (int i = 0; i < 4; ++i) {
        d.push_back({Cmd::EDIT_TRACK_1 + i,
                     QStringLiteral("Piste %1\tF%2").arg(i + 1).arg(i + 5),
                     {key(Qt::Key_F5 + i)},
                     true});
        d.push_back({Cmd::EDIT_MOVE_TRACK_1 + i,
                     QStringLiteral("Piste %1\tCtrl+F%2").arg(i + 1).arg(i + 5),
                     {key(Qt::Key_F5 + i, CTRL)},
                     true});
    }
    add(Cmd::SIGN_OPEN_START, "Début de phrase ouverte\tEntrée/2", {pad(Qt::Key_Enter), pad(Qt::Key_2)});
    add(Cmd::SIGN_OPEN_END, "Fin de phrase ouverte\tEntrée/3", {pad(Qt::Key_3)});
    add(Cmd::SIGN_CLOSED_START, "Début de phrase fermée\tCtrl+Entrée/Ctrl+2",
        {pad(Qt::Key_Enter, CTRL), pad(Qt::Key_2, CTRL)});
    add(Cmd::SIGN_CLOSED_END, "Fin de phrase fermée\tCtrl+Entrée/Ctrl+3", {pad(Qt::Key_3, CTRL)});
    add(Cmd::SIGN_LABIAL, "Labiale m,b,p\t4", {pad(Qt::Key_4)});
    add(Cmd::SIGN_HALF_LABIAL, "Demi-labiale f,v,r\t5", {pad(Qt::Key_5)});
    add(Cmd::SIGN_NEUTRAL, "Neutre\t6", {pad(Qt::Key_6)});
    add(Cmd::SIGN_VOWEL_A, "Voyelle A\t7", {pad(Qt::Key_7)});
    add(Cmd::SIGN_VOWEL_I, "Voyelle I\tCtrl+6", {pad(Qt::Key_6, CTRL)});
    add(Cmd::SIGN_VOWEL_O, "Voyelle O\t8", {pad(Qt::Key_8)});
    add(Cmd::SIGN_ROUND, "Cul de poule w, eu, que\t9", {pad(Qt::Key_9)});
    add(Cmd::SIGN_LOOP, "Boucle\t0", {pad(Qt::Key_0), pad(Qt::Key_0, CTRL)});
    add(Cmd::SIGN_SHOT, "Changement de plan\t1", {pad(Qt::Key_1), pad(Qt::Key_1, CTRL)});
    for (int i = 0; i < 4; ++i)
        add(Cmd::SIGN_TYPE_OPENING_FIRST + i, signTypeCaption(CLipSync::IN_OPEN + i));
    for (int i = 0; i < 7; ++i)
        add(Cmd::SIGN_TYPE_LIP_FIRST + i, signTypeCaption(CLipSync::MPB + i));
    add(Cmd::EDIT_SIGN_LEFT, "Déplacer le signe à gauche\tCtrl+Gauche", {key(Qt::Key_Left, CTRL)});
    add(Cmd::EDIT_SIGN_RIGHT, "Déplacer le signe à droite\tCtrl+Droite", {key(Qt::Key_Right, CTRL)});
    add(Cmd::EDIT_LINK_LEFT, "Déplacer l'accroche à gauche\tCtrl+Alt+Gauche",
        {key(Qt::Key_Left, CTRL | ALT)});
    add(Cmd::EDIT_LINK_RIGHT, "Déplacer l'accroche à droite\tCtrl+Alt+Droite",
        {key(Qt::Key_Right, CTRL | ALT)});
    add(Cmd::EDIT_SIGN_DELETE, "Supprimer le signe\tSuppr", {key(Qt::Key_Delete)});
    add(Cmd::CONTEXT_SIGN_DELETE, "Supprimer le signe");
    add(Cmd::CONTEXT_SIGN_UNLINK, "Décrocher le signe");
    add(Cmd::CONTEXT_MARKER_DELETE, "Supprimer");
    add(Cmd::EDIT_UNLINK_ALL, "&Décrocher tous les signes\tCtrl+Maj+D", {key(Qt::Key_D, CTRL | SHIFT)});
    add(Cmd::EDIT_MODE, "Mode Édition/Mode Détection\tEntrée", {key(Qt::Key_Return)});
    add(Cmd::EDIT_LINE_CANCEL, "Annuler la phrase\tEsc", {key(Qt::Key_Escape)});
    add(Cmd::EDIT_LINE_DELETE, "Supprimer la phrase \tCtrl+Suppr", {key(Qt::Key_Delete, CTRL)});
    add(Cmd::EDIT_VOICE_OVER, "Voix off\tCtrl+U", {key(Qt::Key_U, CTRL)}, true);
    add(Cmd::EDIT_ROLES, "Rôles...\tCtrl+R", {key(Qt::Key_R, CTRL)});
    add(Cmd::EDIT_SHOT_DETECTION, "Détection des changements de plan...");
    add(Cmd::EDIT_VERIFY, "Vérifier\tF4", {key(Qt::Key_F4)});
    add(Cmd::EDIT_SHIFT, "Décaler la rythmo...");
    add(Cmd::EDIT_PREFERENCES, "Préférences...");
    // Transport
    add(Cmd::CONTROL_PLAY_PAUSE, "&Lecture/Pause\tEspace", {key(Qt::Key_Space), key(Qt::Key_MediaPlay)});
    add(Cmd::CONTROL_PLAY, "Lecture avant\tHaut", {key(Qt::Key_Up)});
    add(Cmd::CONTROL_REVERSE, "Lecture &inverse\tBas", {key(Qt::Key_Down)});
    add(Cmd::CONTROL_STOP, "&Stop", {key(Qt::Key_Pause)});
    add(Cmd::CONTROL_NEXT_FRAME, "Image sui&vante\tAlt+Droite", {key(Qt::Key_Right, ALT)});
    add(Cmd::CONTROL_PREVIOUS_FRAME, "Image &précédente\tAlt+Gauche", {key(Qt::Key_Left, ALT)});
    add(Cmd::CONTROL_JOG_FORWARD, "Jog avant", {key(Qt::Key_F18)});
    add(Cmd::CONTROL_JOG_BACKWARD, "Jog arrière", {key(Qt::Key_F17)});
    const std::vector<SShuttleSpeed>& speeds = shuttleSpeeds();
    const int nReverse =
        int(std::count_if(speeds.begin(), speeds.end(), [](auto& s) { return s.nRate < 0; }));
    for (int i = 0; i < int(speeds.size()); ++i) {
        // Reverse speeds on Alt+F13 and later, forward ones on Shift+F13 and later.
        const QKeySequence k =
            i < nReverse ? key(Qt::Key_F13 + i, ALT) : key(Qt::Key_F13 + (i - nReverse), SHIFT);
        d.push_back({Cmd::CONTROL_SHUTTLE_FIRST + i,
                     QString::fromUtf8(speeds[size_t(i)].pszCaption) + QLatin1Char('\t') +
                         k.toString(QKeySequence::NativeText),
                     {k},
                     false});
    }
    add(Cmd::CONTROL_PREVIOUS_SIGN, "Signe précédent\tGauche", {key(Qt::Key_Left)});
    add(Cmd::CONTROL_NEXT_SIGN, "Signe suivant\tDroite", {key(Qt::Key_Right)});
    add(Cmd::CONTROL_PREVIOUS_LINE, "Phrase précédente\tMaj+Tab/F9",
        {key(Qt::Key_Backtab, SHIFT), key(Qt::Key_F9)});
    add(Cmd::CONTROL_NEXT_LINE, "Phrase suivante\tTab/F10", {key(Qt::Key_Tab), key(Qt::Key_F10)});
    add(Cmd::CONTROL_PREVIOUS_ROLE_LINE, "Phrase précédente de ce rôle\tCtrl+F9", {key(Qt::Key_F9, CTRL)});
    add(Cmd::CONTROL_NEXT_ROLE_LINE, "Phrase suivante de ce rôle\tCtrl+F10", {key(Qt::Key_F10, CTRL)});
    add(Cmd::CONTROL_PREVIOUS_LOOP, "Boucle précédente\tF11", {key(Qt::Key_F11)});
    add(Cmd::CONTROL_NEXT_LOOP, "Boucle suivante\tF12", {key(Qt::Key_F12)});
    add(Cmd::CONTROL_TIMESTAMP, "Changer le timestamp...");
    add(Cmd::CONTROL_CORVEL, "Machine Corvel...", {}, true);
    // Steps that only the video view's scroll bar and the control view's buttons send.
    add(Cmd::CONTROL_NEXT_SECOND, "");
    add(Cmd::CONTROL_PREVIOUS_SECOND, "");
    add(Cmd::CONTROL_NEXT_10_SECONDS, "");
    add(Cmd::CONTROL_PREVIOUS_10_SECONDS, "");
    add(Cmd::CONTROL_FAST_FORWARD, "");
    add(Cmd::CONTROL_REWIND, "");
    add(Cmd::CONTROL_GOTO, "Aller au timecode... \tCtrl+G", {key(Qt::Key_G, CTRL)});
    add(Cmd::POSITION_MARK, "Marquer cette position...\tCtrl+D", {key(Qt::Key_D, CTRL)});
    add(Cmd::POSITION_DELETE, "Supprimer une position...");
    // Display. Ctrl+Alt+F9 and Ctrl+Alt+F10 switch consoles on Linux: each has a second key.
    add(Cmd::VIEW_DETECTION, "Détection\tCtrl+Alt+F9, Ctrl+Maj+F9",
        {key(Qt::Key_F9, CTRL | ALT), key(Qt::Key_F9, CTRL | SHIFT)}, true);
    add(Cmd::VIEW_GRID, "Grille et Signes\tCtrl+Alt+F10, Ctrl+Maj+F10",
        {key(Qt::Key_F10, CTRL | ALT), key(Qt::Key_F10, CTRL | SHIFT)}, true);
    add(Cmd::VIEW_FULL_SCREEN, "&Plein écran\tAlt+Entrée",
        {key(Qt::Key_Return, ALT), pad(Qt::Key_Enter, ALT)}, true);
    add(Cmd::VIEW_ZOOM_IN, "&Zoom avant\tPlus", {pad(Qt::Key_Plus)});
    add(Cmd::VIEW_ZOOM_OUT, "Zoom &arrière\tMoins", {pad(Qt::Key_Minus)});
    add(Cmd::VIEW_WORKING_COPY, "Copie de travail", {}, true);
    add(Cmd::VIEW_DEINTERLACE, "Désentrelacer", {}, true);
    add(Cmd::VIEW_HIGH_QUALITY, "Haute qualité", {}, true);
    // Audio
    add(Cmd::AUDIO_VI, "Passer en &VI\tF2", {key(Qt::Key_F2)});
    add(Cmd::AUDIO_VOLUME_UP, "&Monter le volume\tCtrl+Plus", {pad(Qt::Key_Plus, CTRL)});
    add(Cmd::AUDIO_VOLUME_DOWN, "&Baisser le volume\tCtrl+Moins", {pad(Qt::Key_Minus, CTRL)});
    add(Cmd::AUDIO_MUTE, "&Couper le son\tCtrl+*", {pad(Qt::Key_Asterisk, CTRL)}, true);
    add(Cmd::AUDIO_RECORD, "En&registrer");
    // Help
    add(Cmd::HELP_DOCUMENTATION, "&Documentation\tF1", {key(Qt::Key_F1)});
    add(Cmd::HELP_SHORTCUTS, "Raccourcis clavier");
    add(Cmd::HELP_WEB, "Page web de Tavorin");
    add(Cmd::HELP_UPDATES, "Rechercher des mises à jour");
    add(Cmd::HELP_RELEASE_NOTES, "Notes de version");
    add(Cmd::APP_ABOUT, "&À propos de Tavorin");
    return d;
}

std::vector<SMenuEntry> makeLayout() {
    using E = SMenuEntry;
    std::vector<E> v;
    auto menu = [&](const char* psz) { v.push_back({E::MENU, 0, psz}); };
    auto sub = [&](const char* psz) { v.push_back({E::SUBMENU, 0, psz}); };
    auto end = [&] { v.push_back({E::END}); };
    auto sep = [&] { v.push_back({E::SEPARATOR}); };
    auto cmd = [&](std::initializer_list<int> ids) {
        for (int n : ids)
            v.push_back({E::COMMAND, n});
    };

    menu("&Fichier");
    cmd({Cmd::FILE_NEW, Cmd::FILE_OPEN, Cmd::FILE_OPEN_BACKUP, Cmd::FILE_SAVE, Cmd::FILE_SAVE_AS,
         Cmd::FILE_SAVE_COPY});
    sep();
    sub("&Importer");
    cmd({Cmd::FILE_IMPORT_DETECTION, Cmd::FILE_IMPORT_ROLES, Cmd::FILE_IMPORT_DAPT});
    end();
    sub("E&xporter");
    cmd({Cmd::FILE_EXPORT_SCRIPT, Cmd::FILE_EXPORT_SUBTITLES, Cmd::FILE_EXPORT_DAPT});
    end();
    sep();
    cmd({Cmd::FILE_VIDEO, Cmd::FILE_PROPERTIES});
    sep();
    v.push_back({E::RECENT_FILES});
    sep();
    cmd({Cmd::APP_EXIT});

    menu("&Edition");
    cmd({Cmd::EDIT_UNDO, Cmd::EDIT_REDO});
    sep();
    cmd({Cmd::EDIT_CUT, Cmd::EDIT_COPY, Cmd::EDIT_PASTE, Cmd::EDIT_SELECT_ALL});
    sep();
    cmd({Cmd::EDIT_FIND, Cmd::EDIT_FIND_NEXT});
    sub("&Piste");
    cmd({Cmd::EDIT_NEXT_TRACK, Cmd::EDIT_PREVIOUS_TRACK});
    sep();
    cmd({Cmd::EDIT_TRACK_1, Cmd::EDIT_TRACK_1 + 1, Cmd::EDIT_TRACK_1 + 2, Cmd::EDIT_TRACK_1 + 3});
    end();
    sep();
    sub("Ajouter un signe");
    cmd({Cmd::SIGN_OPEN_START, Cmd::SIGN_OPEN_END});
    sep();
    cmd({Cmd::SIGN_CLOSED_START, Cmd::SIGN_CLOSED_END});
    sep();
    cmd({Cmd::SIGN_LABIAL, Cmd::SIGN_HALF_LABIAL, Cmd::SIGN_NEUTRAL, Cmd::SIGN_VOWEL_A, Cmd::SIGN_VOWEL_I,
         Cmd::SIGN_VOWEL_O, Cmd::SIGN_ROUND});
    sep();
    cmd({Cmd::SIGN_LOOP});
    sep();
    cmd({Cmd::SIGN_SHOT});
    end();
    cmd({Cmd::EDIT_SIGN_LEFT, Cmd::EDIT_SIGN_RIGHT, Cmd::EDIT_SIGN_DELETE, Cmd::EDIT_UNLINK_ALL});
    sep();
    cmd({Cmd::EDIT_MODE, Cmd::EDIT_LINE_CANCEL, Cmd::EDIT_LINE_DELETE});
    sub("Déplacer la phrase");
    cmd({Cmd::EDIT_MOVE_TRACK_1, Cmd::EDIT_MOVE_TRACK_1 + 1, Cmd::EDIT_MOVE_TRACK_1 + 2,
         Cmd::EDIT_MOVE_TRACK_1 + 3});
    end();
    cmd({Cmd::EDIT_VOICE_OVER});
    sep();
    cmd({Cmd::EDIT_ROLES, Cmd::EDIT_SHOT_DETECTION, Cmd::EDIT_VERIFY, Cmd::EDIT_SHIFT});
    sep();
    cmd({Cmd::EDIT_PREFERENCES});

    menu("&Contrôle");
    cmd({Cmd::CONTROL_PLAY_PAUSE, Cmd::CONTROL_PLAY, Cmd::CONTROL_REVERSE, Cmd::CONTROL_STOP,
         Cmd::CONTROL_NEXT_FRAME, Cmd::CONTROL_PREVIOUS_FRAME});
    sep();
    cmd({Cmd::CONTROL_JOG_FORWARD, Cmd::CONTROL_JOG_BACKWARD});
    sub("Shu&ttle");
    for (int i = 0; i < int(shuttleSpeeds().size()); ++i)
        v.push_back({E::COMMAND, Cmd::CONTROL_SHUTTLE_FIRST + i});
    end();
    sep();
    cmd({Cmd::CONTROL_PREVIOUS_SIGN, Cmd::CONTROL_NEXT_SIGN, Cmd::CONTROL_PREVIOUS_LINE,
         Cmd::CONTROL_NEXT_LINE, Cmd::CONTROL_PREVIOUS_ROLE_LINE, Cmd::CONTROL_NEXT_ROLE_LINE,
         Cmd::CONTROL_PREVIOUS_LOOP, Cmd::CONTROL_NEXT_LOOP});
    sep();
    cmd({Cmd::CONTROL_TIMESTAMP});
    sep();
    cmd({Cmd::CONTROL_CORVEL});

    menu("Position");
    cmd({Cmd::CONTROL_GOTO});
    sep();
    cmd({Cmd::POSITION_MARK, Cmd::POSITION_DELETE});

    menu("&Affichage");
    cmd({Cmd::VIEW_DETECTION, Cmd::VIEW_GRID, Cmd::VIEW_FULL_SCREEN});
    sep();
    cmd({Cmd::VIEW_ZOOM_IN, Cmd::VIEW_ZOOM_OUT});
    sep();
    cmd({Cmd::VIEW_DEINTERLACE, Cmd::VIEW_HIGH_QUALITY, Cmd::VIEW_WORKING_COPY});

    menu("Audio");
    cmd({Cmd::AUDIO_VI});
    sep();
    cmd({Cmd::AUDIO_VOLUME_UP, Cmd::AUDIO_VOLUME_DOWN, Cmd::AUDIO_MUTE});
    sep();
    cmd({Cmd::AUDIO_RECORD});

    menu("&Aide");
    cmd({Cmd::HELP_DOCUMENTATION, Cmd::HELP_SHORTCUTS, Cmd::HELP_WEB});
    sep();
    cmd({Cmd::HELP_UPDATES});
    sep();
    cmd({Cmd::HELP_RELEASE_NOTES, Cmd::APP_ABOUT});
    return v;
}

// The digit a key of the pad stands for when NumLock is off (the pad then sends navigation keys).
int padDigit(int nKey) {
    switch (nKey) {
    case Qt::Key_Insert:
        return Qt::Key_0;
    case Qt::Key_End:
        return Qt::Key_1;
    case Qt::Key_Down:
        return Qt::Key_2;
    case Qt::Key_PageDown:
        return Qt::Key_3;
    case Qt::Key_Left:
        return Qt::Key_4;
    case Qt::Key_Clear:
        return Qt::Key_5;
    case Qt::Key_Right:
        return Qt::Key_6;
    case Qt::Key_Home:
        return Qt::Key_7;
    case Qt::Key_Up:
        return Qt::Key_8;
    case Qt::Key_PageUp:
        return Qt::Key_9;
    case Qt::Key_Delete:
        return Qt::Key_Period;
    default:
        return nKey;
    }
}

int padCode(int nKey, Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers m = modifiers & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    return padDigit(nKey) | int(m);
}
} // namespace

const std::vector<SShuttleSpeed>& shuttleSpeeds() {
    static const std::vector<SShuttleSpeed> speeds = {
        {-240, "Arrière x10"}, {-72, "Arrière x3"},   {-24, "Arrière x1"},    {-18, "Arrière x0.75"},
        {-12, "Arrière x0.5"}, {-6, "Arrière x0.25"}, {-3, "Arrière x0.125"}, {3, "Avant x0.125"},
        {6, "Avant x0.25"},    {12, "Avant x0.5"},    {18, "Avant x0.75"},    {24, "Avant x1"},
        {72, "Avant x3"},      {240, "Avant x10"}};
    return speeds;
}

const std::vector<SCommandDef>& commandDefs() {
    static const std::vector<SCommandDef> defs = makeDefs();
    return defs;
}

const std::vector<SMenuEntry>& menuBarLayout() {
    static const std::vector<SMenuEntry> layout = makeLayout();
    return layout;
}

CCommandTable::CCommandTable(QObject* pParent) : QObject(pParent) {
    for (const SCommandDef& def : commandDefs()) {
        auto* pAction = new QAction(def.strCaption, this);
        pAction->setData(def.nId);
        pAction->setCheckable(def.bCheckable);
        pAction->setEnabled(false);
        // Keys work wherever the focus is in the main window, like an accelerator table.
        pAction->setShortcutContext(Qt::WindowShortcut);
        pAction->setShortcuts(def.keys);
        const int nId = def.nId;
        connect(pAction, &QAction::triggered, this, [this, nId] {
            auto it = m_handlers.find(nId);
            if (it == m_handlers.end()) return;
            // The state is tested now: it may have changed since the key's action was last refreshed
            // (the clock moves under the reading bar).
            if (it->second.enabled && !it->second.enabled()) {
                refreshOne(nId);
                return;
            }
            it->second.run();
            emit commandRun(nId);
            // The action's own toggle is undone: the handler's test says what is checked.
            refresh();
        });
        m_actions[nId] = pAction;
        m_defs[nId] = &def;
        for (const QKeySequence& k : def.keys) {
            const QKeyCombination c = k[0];
            if (c.keyboardModifiers() & Qt::KeypadModifier)
                m_keypad[padCode(c.key(), c.keyboardModifiers())] = nId;
        }
    }
}

QAction* CCommandTable::action(int nId) const {
    auto it = m_actions.find(nId);
    return it == m_actions.end() ? nullptr : it->second;
}

const SCommandDef* CCommandTable::definition(int nId) const {
    auto it = m_defs.find(nId);
    return it == m_defs.end() ? nullptr : it->second;
}

QList<QKeySequence> CCommandTable::keys(int nId) const {
    const SCommandDef* p = definition(nId);
    return p ? p->keys : QList<QKeySequence>{};
}

void CCommandTable::bind(int nId, SCommandHandler handler) {
    QAction* pAction = action(nId);
    if (!pAction || !handler.run) return;
    m_handlers[nId] = std::move(handler);
    updateState(nId, pAction, false);
}

void CCommandTable::updateState(int nId, QAction* pAction, bool bTestEnabled) const {
    auto it = m_handlers.find(nId);
    if (it == m_handlers.end()) {
        pAction->setEnabled(false);
        return;
    }
    const SCommandHandler& h = it->second;
    pAction->setEnabled(!bTestEnabled || !h.enabled || h.enabled());
    if (pAction->isCheckable()) pAction->setChecked(h.checked && h.checked());
    if (h.caption) pAction->setText(h.caption());
}

void CCommandTable::refresh() {
    for (const auto& [nId, pAction] : m_actions)
        updateState(nId, pAction, false);
}

void CCommandTable::refreshOne(int nId) {
    if (QAction* p = action(nId)) updateState(nId, p, false);
}

void CCommandTable::refreshForMenu() {
    for (const auto& [nId, pAction] : m_actions)
        updateState(nId, pAction, true);
}

bool CCommandTable::isEnabled(int nId) const {
    auto it = m_handlers.find(nId);
    return it != m_handlers.end() && (!it->second.enabled || it->second.enabled());
}

bool CCommandTable::trigger(int nId) {
    QAction* pAction = action(nId);
    if (!pAction || !isEnabled(nId)) return false;
    pAction->setEnabled(true);
    pAction->trigger();
    return true;
}

void CCommandTable::fillMenuBar(QMenuBar* pBar, QWidget* pWindow, std::vector<QMenu*>* pMenus,
                                QAction** ppRecentPlaceholder) {
    std::vector<QMenu*> stack;
    for (const SMenuEntry& e : menuBarLayout()) {
        switch (e.eKind) {
        case SMenuEntry::MENU: {
            QMenu* p = pBar->addMenu(QString::fromUtf8(e.pszTitle));
            // An open menu shows every state as tested now; once it closes the keys work again and
            // test their state when pressed.
            connect(p, &QMenu::aboutToShow, this, &CCommandTable::refreshForMenu);
            connect(p, &QMenu::aboutToHide, this, &CCommandTable::refresh);
            if (pMenus) pMenus->push_back(p);
            stack.assign(1, p);
            break;
        }
        case SMenuEntry::SUBMENU:
            stack.push_back(stack.back()->addMenu(QString::fromUtf8(e.pszTitle)));
            break;
        case SMenuEntry::END:
            stack.pop_back();
            break;
        case SMenuEntry::SEPARATOR:
            stack.back()->addSeparator();
            break;
        case SMenuEntry::COMMAND:
            stack.back()->addAction(action(e.nId));
            break;
        case SMenuEntry::RECENT_FILES: {
            QAction* p = stack.back()->addAction(QStringLiteral("Fichier récent"));
            p->setEnabled(false);
            if (ppRecentPlaceholder) *ppRecentPlaceholder = p;
            break;
        }
        }
    }
    // Every command's keys work in the window, with or without a menu entry.
    for (const auto& [nId, pAction] : m_actions)
        pWindow->addAction(pAction);
}

void CCommandTable::fillMenu(QMenu* pMenu, std::initializer_list<int> ids) const {
    for (int nId : ids) {
        if (nId == 0)
            pMenu->addSeparator();
        else if (QAction* p = action(nId))
            pMenu->addAction(p);
    }
}

bool CCommandTable::isKeypadCommandKey(const QKeyEvent& event) const {
    return (event.modifiers() & Qt::KeypadModifier) &&
           m_keypad.count(padCode(event.key(), event.modifiers())) != 0;
}

bool CCommandTable::handleKeypadKey(const QKeyEvent& event) {
    if (!(event.modifiers() & Qt::KeypadModifier)) return false;
    auto it = m_keypad.find(padCode(event.key(), event.modifiers()));
    if (it == m_keypad.end()) return false;
    trigger(it->second);
    return true;
}
