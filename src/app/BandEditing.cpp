#include "app/BandEditing.h"

#include "app/Commands.h"
#include "app/FindDlg.h"
#include "app/Prompts.h"
#include "app/RoleDialogs.h"
#include "app/Transport.h"
#include "app/VarEDoc.h"
#include "base/Settings.h"
#include "rythmo/RythmoDXEditView.h"

#include <QMenu>
#include <QScreen>

CBandEditing::CBandEditing(CVarEDoc& doc, CTransport& transport, IPrompts& prompts, CSettingsStore& settings,
                           CCommandTable& commands)
    : m_runRoleDialog([](CSelectRoleDlg& dlg) { return dlg.exec(); }), m_doc(doc), m_transport(transport),
      m_prompts(prompts), m_settings(settings), m_commands(commands) {}

void CBandEditing::setView(CRythmoDXEditView* pView, QWidget* pDialogParent) {
    m_pView = pView;
    m_pDialogParent = pDialogParent;
}

void CBandEditing::bindCommands() {
    CRythmoDXEditView* pView = m_pView;
    CBandEditor& e = pView->editor();
    CCommandTable& c = m_commands;
    auto editing = [pView] { return pView->isEditMode(); };
    c.bind(Cmd::EDIT_MODE, [&e] { e.OnEditLine(); });
    c.bind(Cmd::EDIT_LINE_CANCEL, [&e] { e.OnEditLineCancel(); });
    c.bind(Cmd::EDIT_LINE_DELETE, [&e] { e.OnEditLineDelete(); });
    c.bind(Cmd::EDIT_COPY, [&e] { e.OnEditCopy(); });
    c.bind(Cmd::EDIT_CUT, [&e] { e.OnEditCut(); });
    c.bind(Cmd::EDIT_PASTE, [&e] { e.OnEditPaste(); });
    c.bind(Cmd::EDIT_SELECT_ALL, {[&e] { e.OnEditSelectAll(); }, editing, {}, {}});
    c.bind(Cmd::EDIT_ROLES, [&e] { e.OnEditRoles(); });
    // Space types a space in edit mode.
    c.bind(Cmd::CONTROL_PLAY_PAUSE, [&e] { e.OnControlPlayPause(); });

    const std::pair<int, int> signs[] = {
        {Cmd::SIGN_OPEN_START, CLipSync::IN_OPEN}, {Cmd::SIGN_CLOSED_START, CLipSync::IN_CLOSE},
        {Cmd::SIGN_OPEN_END, CLipSync::OUT_OPEN},  {Cmd::SIGN_CLOSED_END, CLipSync::OUT_CLOSE},
        {Cmd::SIGN_LABIAL, CLipSync::MPB},         {Cmd::SIGN_HALF_LABIAL, CLipSync::FVR},
        {Cmd::SIGN_ROUND, CLipSync::WEUQUE},       {Cmd::SIGN_VOWEL_A, CLipSync::VOWEL_A},
        {Cmd::SIGN_VOWEL_I, CLipSync::VOWEL_I},    {Cmd::SIGN_VOWEL_O, CLipSync::VOWEL_O},
        {Cmd::SIGN_NEUTRAL, CLipSync::NEUTRAL}};
    for (const auto& [nId, nType] : signs)
        c.bind(nId, [&e, nType = nType] { e.OnAddLipSync(nType); });
    c.bind(Cmd::SIGN_LOOP, [&e] { e.OnAddLoop(); });
    c.bind(Cmd::SIGN_SHOT, [&e] { e.OnAddShot(); });

    for (int k = 0; k < 4; ++k)
        c.bind(Cmd::EDIT_TRACK_1 + k,
               {[&e, k] { e.OnEditTrack(k); }, {}, [&e, k] { return e.activeTrack() == k; }, {}});
    c.bind(Cmd::EDIT_NEXT_TRACK, [&e] { e.OnNextTrack(); });
    c.bind(Cmd::EDIT_PREVIOUS_TRACK, [&e] { e.OnPreviousTrack(); });

    c.bind(Cmd::EDIT_VERIFY, [pView] { pView->verifier().OnEditVerify(); });
    c.bind(Cmd::EDIT_FIND, [this] { showFind(); });
    c.bind(Cmd::EDIT_FIND_NEXT, [pView] { pView->finder().OnEditFindNext(); });
    bindSignCommands();
    bindNavigation();
}

void CBandEditing::bindSignCommands() {
    CRythmoDXEditView* pView = m_pView;
    CSignCommands& s = pView->signs();
    CBandEditor& e = pView->editor();
    CCommandTable& c = m_commands;
    for (int i = 0; i < 4; ++i)
        c.bind(Cmd::SIGN_TYPE_OPENING_FIRST + i, [&s, i] { s.OnChangeSignType(CLipSync::IN_OPEN + i); });
    for (int i = 0; i < 7; ++i)
        c.bind(Cmd::SIGN_TYPE_LIP_FIRST + i, [&s, i] { s.OnChangeSignType(CLipSync::MPB + i); });
    c.bind(Cmd::EDIT_SIGN_DELETE, [&s] { s.OnEditSignDelete(); });
    c.bind(Cmd::CONTEXT_SIGN_DELETE, [&s] { s.OnContextSignDelete(); });
    c.bind(Cmd::CONTEXT_SIGN_UNLINK, [&s] { s.OnContextSignUnlink(); });
    c.bind(Cmd::CONTEXT_MARKER_DELETE, [&s] { s.OnContextMarkerDelete(); });
    c.bind(Cmd::EDIT_UNLINK_ALL, [&s] { s.OnEditUnlinkAll(); });
    c.bind(Cmd::EDIT_SIGN_LEFT, [&s] { s.OnEditSignMove(-1); });
    c.bind(Cmd::EDIT_SIGN_RIGHT, [&s] { s.OnEditSignMove(1); });
    c.bind(Cmd::EDIT_LINK_LEFT, [&s] { s.OnEditLinkMove(-1); });
    c.bind(Cmd::EDIT_LINK_RIGHT, [&s] { s.OnEditLinkMove(1); });
    const auto lines = [this] { return &m_doc.script().getLines(); };
    auto hasLine = [&e, lines] { return e.currentLine() != lines()->end(); };
    for (int k = 0; k < 4; ++k)
        c.bind(Cmd::EDIT_MOVE_TRACK_1 + k, {[&s, k] { s.OnEditMoveToTrack(k); },
                                            hasLine,
                                            [&e, lines, k] {
                                                const auto it = e.currentLine();
                                                return it != lines()->end() && it->getTrack() == k;
                                            },
                                            {}});
    c.bind(Cmd::EDIT_VOICE_OVER, {[&s] { s.OnEditVoiceOff(); },
                                  hasLine,
                                  [&e, lines] {
                                      const auto it = e.currentLine();
                                      return it != lines()->end() && it->isVoiceOff();
                                  },
                                  {}});
}

void CBandEditing::bindNavigation() {
    CBandNavigator& n = m_pView->navigator();
    CCommandTable& c = m_commands;
    c.bind(Cmd::CONTROL_NEXT_LINE, [&n] { n.OnControlNextLine(); });
    c.bind(Cmd::CONTROL_PREVIOUS_LINE, [&n] { n.OnControlPreviousLine(); });
    c.bind(Cmd::CONTROL_NEXT_ROLE_LINE, [&n] { n.OnControlNextLineOfActiveRole(); });
    c.bind(Cmd::CONTROL_PREVIOUS_ROLE_LINE, [&n] { n.OnControlPreviousLineOfActiveRole(); });
    c.bind(Cmd::CONTROL_NEXT_SIGN, [&n] { n.OnControlNextSign(); });
    c.bind(Cmd::CONTROL_PREVIOUS_SIGN, [&n] { n.OnControlPreviousSign(); });
    c.bind(Cmd::CONTROL_NEXT_LOOP, [&n] { n.OnControlNextLoop(); });
    c.bind(Cmd::CONTROL_PREVIOUS_LOOP, [&n] { n.OnControlPreviousLoop(); });
}

CFindDlg* CBandEditing::findDialog() {
    if (!m_pFindDlg) {
        CBandFinder& finder = m_pView->finder();
        m_pFindDlg = new CFindDlg(
            finder.m_params,
            [this, &finder](bool bStartOver) {
                if (bStartOver)
                    finder.startOver();
                else
                    finder.searchAgain();
                m_commands.trigger(Cmd::EDIT_FIND_NEXT);
            },
            m_pDialogParent);
    }
    return m_pFindDlg;
}

void CBandEditing::showFind() {
    CFindDlg* pDlg = findDialog();
    pDlg->prepare(m_doc.script());
    pDlg->adjustSize();
    if (const QScreen* pScreen = m_pDialogParent ? m_pDialogParent->screen() : nullptr)
        pDlg->move(pScreen->availableGeometry().center() - pDlg->rect().center());
    pDlg->show();
    pDlg->raise();
    pDlg->activateWindow();
}

CVarE& CBandEditing::script() {
    return m_doc.script();
}

void CBandEditing::beginChange(const QString& strLabel, int nMergeId) {
    m_doc.beginChange(strLabel, nMergeId);
}

void CBandEditing::endChange() {
    m_doc.endChange();
}

void CBandEditing::updateAllViews(int nHint, const void* pObject) {
    m_doc.UpdateAllViews(m_pView, nHint, pObject);
}

CTimeCode CBandEditing::getTimeCode() {
    return m_transport.getTimeCode();
}

void CBandEditing::stop() {
    m_transport.stop();
}

void CBandEditing::gotoTime(const CTimeCode& tc) {
    m_transport.gotoTime(tc);
}

void CBandEditing::playPause() {
    m_transport.OnControlPlayPause();
}

void CBandEditing::shuttle(int nSpeed) {
    m_transport.shuttle(nSpeed);
}

bool CBandEditing::isShuttling() {
    return m_transport.isShuttling();
}

void CBandEditing::stopShuttle() {
    m_transport.OnControlStop();
}

void CBandEditing::stepFrame(bool bForward) {
    m_commands.trigger(bForward ? Cmd::CONTROL_NEXT_FRAME : Cmd::CONTROL_PREVIOUS_FRAME);
}

void CBandEditing::setFollowing(bool bFollow) {
    m_transport.setFollowing(bFollow);
}

CTimeCode CBandEditing::getStartTimeCode() {
    return m_transport.getStartTimeCode();
}

bool CBandEditing::askYesNo(const QString& strText) {
    return m_prompts.yesNo(strText);
}

IBandEditHost::EAnswer CBandEditing::askYesNoCancel(const QString& strText) {
    switch (m_prompts.message(strText, IPrompts::ICON_QUESTION,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes)) {
    case QMessageBox::Yes:
        return ANSWER_YES;
    case QMessageBox::No:
        return ANSWER_NO;
    default:
        return ANSWER_CANCEL;
    }
}

void CBandEditing::inform(const QString& strText) {
    m_prompts.information(strText);
}

const CRole* CBandEditing::chooseRole(const CRole* pPreselected, bool) {
    CSelectRoleDlg dlg(m_doc, m_prompts, pPreselected, m_pDialogParent);
    dlg.setPhotoSource(m_photoSource);
    if (m_runRoleDialog(dlg) != QDialog::Accepted) return nullptr;
    return dlg.selectedRole();
}

bool CBandEditing::autoCloseReactions() {
    return m_settings.get(Settings::EnableAutoCloseReacs) != 0;
}

void CBandEditing::click() {
    Click::play();
}

void CBandEditing::showContextMenu(EMenu eMenu, const QPoint& globalPos) {
    QMenu menu(m_pDialogParent);
    if (eMenu == MENU_LINE) {
        menu.setTitle(QStringLiteral("Phrase"));
        m_commands.fillMenu(&menu, {Cmd::EDIT_MODE, Cmd::EDIT_ROLES, 0});
        QMenu* pType = menu.addMenu(QStringLiteral("Changer le type"));
        m_commands.fillMenu(pType, {Cmd::SIGN_TYPE_OPENING_FIRST, Cmd::SIGN_TYPE_OPENING_FIRST + 1,
                                    Cmd::SIGN_TYPE_OPENING_FIRST + 2, Cmd::SIGN_TYPE_OPENING_FIRST + 3, 0,
                                    Cmd::SIGN_TYPE_LIP_FIRST, Cmd::SIGN_TYPE_LIP_FIRST + 1,
                                    Cmd::SIGN_TYPE_LIP_FIRST + 2, Cmd::SIGN_TYPE_LIP_FIRST + 3,
                                    Cmd::SIGN_TYPE_LIP_FIRST + 4, Cmd::SIGN_TYPE_LIP_FIRST + 5,
                                    Cmd::SIGN_TYPE_LIP_FIRST + 6});
        m_commands.fillMenu(&menu, {Cmd::CONTEXT_SIGN_DELETE, Cmd::CONTEXT_SIGN_UNLINK, Cmd::EDIT_UNLINK_ALL,
                                    0, Cmd::EDIT_VOICE_OVER});
        QMenu* pTrack = menu.addMenu(QString::fromUtf8("Déplacer la phrase"));
        m_commands.fillMenu(pTrack, {Cmd::EDIT_MOVE_TRACK_1, Cmd::EDIT_MOVE_TRACK_1 + 1,
                                     Cmd::EDIT_MOVE_TRACK_1 + 2, Cmd::EDIT_MOVE_TRACK_1 + 3});
        m_commands.fillMenu(&menu,
                            {0, Cmd::EDIT_CUT, Cmd::EDIT_COPY, Cmd::EDIT_PASTE, 0, Cmd::EDIT_LINE_DELETE});
    } else {
        menu.setTitle(QStringLiteral("Balise"));
        m_commands.fillMenu(&menu, {Cmd::CONTEXT_MARKER_DELETE});
    }
    m_commands.refreshForMenu();
    menu.exec(globalPos);
    m_commands.refresh();
}
