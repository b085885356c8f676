#include "app/BandEditing.h"

#include "app/Commands.h"
#include "app/Prompts.h"
#include "app/RoleDialogs.h"
#include "app/Transport.h"
#include "app/VarEDoc.h"
#include "base/Settings.h"
#include "rythmo/RythmoDXEditView.h"

#include <QMenu>

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

    // Keys that move the caret and delete in edit mode; what they do in detection mode comes later.
    auto key = [&e](int nKey, Qt::KeyboardModifiers m) { return [&e, nKey, m] { e.OnKeyDown(nKey, m); }; };
    c.bind(Cmd::CONTROL_PREVIOUS_SIGN, {key(Qt::Key_Left, Qt::NoModifier), editing, {}, {}});
    c.bind(Cmd::CONTROL_NEXT_SIGN, {key(Qt::Key_Right, Qt::NoModifier), editing, {}, {}});
    c.bind(Cmd::EDIT_SIGN_LEFT, {key(Qt::Key_Left, Qt::ControlModifier), editing, {}, {}});
    c.bind(Cmd::EDIT_SIGN_RIGHT, {key(Qt::Key_Right, Qt::ControlModifier), editing, {}, {}});
    c.bind(Cmd::EDIT_SIGN_DELETE, {key(Qt::Key_Delete, Qt::NoModifier), editing, {}, {}});
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

bool CBandEditing::askYesNo(const QString& strText) {
    return m_prompts.yesNo(strText);
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
    if (eMenu == MENU_LINE)
        m_commands.fillMenu(&menu, {Cmd::EDIT_MODE, Cmd::EDIT_ROLES, 0, Cmd::EDIT_CUT, Cmd::EDIT_COPY,
                                    Cmd::EDIT_PASTE, 0, Cmd::EDIT_LINE_DELETE});
    else
        m_commands.fillMenu(&menu, {Cmd::CONTEXT_MARKER_DELETE});
    m_commands.refreshForMenu();
    menu.exec(globalPos);
    m_commands.refresh();
}
