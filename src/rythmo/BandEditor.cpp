#include "BandEditor.h"

#include "PhraseClipboard.h"
#include "PhraseRoom.h"
#include "base/TraceLog.h"
#include "base/UpdateHint.h"

#include <QClipboard>
#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdarg>

namespace {
const QString TYPING = QStringLiteral("Saisie");
const QString NEW_LINE = QStringLiteral("Nouvelle phrase");
const QString SIGN = QStringLiteral("Signe");
const QString LINE_END = QStringLiteral("Fin de phrase");
const QString REACTION = QString::fromUtf8("Réaction");

// The caret keeps this much of the band on each side (band units).
constexpr int CARET_MARGIN = 80;
// A reaction closed at once ends this many frames after it starts.
constexpr int AUTO_CLOSE_FRAMES = 10;

qint64 nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Characters typed into a phrase: what prints, in the basic plane (one position each).
bool isPrintable(char32_t c) {
    return c >= 0x20 && c <= 0xFFFF && c != 0x7F && QChar(char16_t(c)).isPrint();
}

// The end of the text typed: before a linked closing sign.
int textEnd(const CLine& line) {
    return line.getLength() - (line.isClosingSignLinked() ? 1 : 0);
}

// Control characters never enter a phrase: a pasted text loses its line breaks and tabulations.
QString withoutControls(const QString& str) {
    QString out;
    out.reserve(str.size());
    for (QChar c : str)
        if (c.unicode() >= 0x20 && c.unicode() != 0x7F) out += c;
    return out;
}
} // namespace

CBandEditor::CBandEditor(CBandRenderer& renderer, IBandEditHost& host) : m_renderer(renderer), m_host(host) {}

void CBandEditor::setLog(CTraceLog* pLog) {
    m_pLog = pLog;
}

void CBandEditor::log(const char* pszFormat, ...) {
    if (!m_pLog) return;
    va_list args;
    va_start(args, pszFormat);
    const QString str = QString::vasprintf(pszFormat, args);
    va_end(args);
    m_pLog->Log("%s", str.toUtf8().constData());
}

void CBandEditor::redraw() {
    if (m_redraw) m_redraw();
}

CTimeCode CBandEditor::now() {
    return m_host.getTimeCode();
}

int CBandEditor::activeTrack() const {
    return std::clamp(m_renderer.getActiveTrack(), 0, CBandSpace::TRACK_COUNT - 1);
}

CVarE::LineIterator CBandEditor::currentLine() {
    if ((state().m_bEditMode || m_bContextLine) && state().m_bHasSelectedLine)
        return state().m_itSelectedLine;
    return script().getLineAt(activeTrack(), now(), true);
}

void CBandEditor::select(CVarE::LineIterator it) {
    state().m_bHasSelectedLine = true;
    state().m_itSelectedLine = it;
    state().m_nSelectedSign = -1;
}

void CBandEditor::clearSelection() {
    log("CRythmoDXView::clearSelection()\n");
    m_renderer.clearSelection();
}

void CBandEditor::forgetAll() {
    state().m_bEditMode = false;
    m_renderer.clearSelection();
    state().m_bSignSelected = false;
    state().m_bHasSelectedShot = false;
    state().m_bHasSelectedLoop = false;
    m_lineBackup = CLine();
    m_bReactionHeld = false;
    m_bContextLine = false;
}

// ------------------------------------------------------------------------------------ the document

void CBandEditor::OnInitialUpdate() {
    log("CRythmoDXEditView::OnInitialUpdate()\n");
    forgetAll();
    m_lineClipboard = CLine();
    log("CRythmoDXEditView::OnInitialUpdate() => Ok\n");
}

void CBandEditor::OnUpdate(int nHint, const void* pObject) {
    if (nHint == NEW_DOC) {
        forgetAll();
        return;
    }
    if (m_bChanging || nHint != DELETE_ITEM || !pObject) return;
    // Someone else removes what this view holds.
    if (state().m_bHasSelectedLine && pObject == &*state().m_itSelectedLine) {
        state().m_bEditMode = false;
        m_lineBackup = CLine();
        m_bReactionHeld = false;
        m_renderer.clearSelection();
    }
    if (state().m_bHasSelectedShot && pObject == &*state().m_itSelectedShot)
        state().m_bHasSelectedShot = false;
    if (state().m_bHasSelectedLoop && pObject == &*state().m_itSelectedLoop)
        state().m_bHasSelectedLoop = false;
}

void CBandEditor::aboutToReplay() {
    quitEditMode();
    forgetAll();
    redraw();
}

// ------------------------------------------------------------------------------------ caret

void CBandEditor::showCaret() {
    state().m_bCaretVisible = true;
    state().m_nCaretToggleTime = nowMs();
}

void CBandEditor::setCaret(int nCaret, bool bExtend) {
    state().m_nSelStart = nCaret;
    if (!bExtend) state().m_nSelEnd = nCaret;
}

int CBandEditor::frameAtX(int x) const {
    const long long t = static_cast<long long>(x) + m_renderer.getPosition();
    return int(std::max(0LL, t) * CTimeCode::DEFAULT_RATE / CTimeCode::MEDIA_TIME_SCALE);
}

void CBandEditor::keepCaretVisible() {
    if (!state().m_bEditMode || !state().m_bHasSelectedLine) return;
    const CBandSpace& space = m_renderer.space();
    // A band not laid out yet has no middle to keep the caret in.
    if (space.nRight - space.nLeft <= 2 * CARET_MARGIN) return;
    m_renderer.setPosition(int(now().toMediaTime()));
    const int x = m_renderer.getPositionX(*state().m_itSelectedLine, state().m_nSelStart);
    if (x >= space.nLeft + CARET_MARGIN && x <= space.nRight - CARET_MARGIN) return;
    m_host.gotoTime(CTimeCode::fromFrames(frameAtX(x)));
    m_renderer.setPosition(int(now().toMediaTime()));
    m_host.updateAllViews(NOTHING, nullptr);
}

// ------------------------------------------------------------------------------------ modes

bool CBandEditor::enterEditMode() {
    log("CRythmoDXEditView::enterEditMode()\n");
    m_host.stop();
    CVarE::LineIterator it = script().getLineAt(activeTrack(), now(), true);
    const bool bNew = it == noLine();
    if (bNew) {
        if (!OnAddLipSync(CLipSync::IN_OPEN)) return false;
        it = state().m_itSelectedLine;
    }
    editLine(it, false);
    // A phrase made here goes again when its edit is cancelled.
    if (bNew) m_lineBackup = CLine();
    return true;
}

void CBandEditor::editLine(CVarE::LineIterator it, bool bStop) {
    if (bStop) m_host.stop();
    const CTimeCode tc = now();
    select(it);
    keepBackup(*it);
    state().m_nSelectedSign = -1;
    state().m_bEditMode = true;
    m_nSession = m_nNextSession++;
    m_renderer.setPosition(int(tc.toMediaTime()));
    setCaret(m_renderer.getPositionAt(*it, m_renderer.xOf(tc)), false);
    showCaret();
    redraw();
}

void CBandEditor::quitEditMode() {
    if (!state().m_bEditMode) return;
    log("CRythmoDXEditView::quitEditMode()\n");
    m_lineBackup = CLine();
    state().m_bEditMode = false;
    clearSelection();
    redraw();
}

void CBandEditor::OnEditLine() {
    log("CRythmoDXEditView::OnEditLine()\n");
    m_bContextLine = false;
    if (!state().m_bEditMode) {
        enterEditMode();
        return;
    }
    CVarE::LineIterator it = state().m_itSelectedLine;
    if (!it->hasClosingSign()) {
        OnAddLipSync(CLipSync::OUT_OPEN);
    } else if (!it->isClosingSignLinked() && !it->getText().isEmpty()) {
        CEditChange change(m_host, LINE_END);
        const CTimeCode tcClosing = it->getSign(it->getFirstClosingSign()).getTimeCode();
        changeSelected([&](CLine& l) { l.relinkSign(tcClosing, l.getLength()); });
    }
    m_host.updateAllViews(UPDATE_LINE, &*state().m_itSelectedLine);
    quitEditMode();
}

void CBandEditor::OnEditLineCancel() {
    log("CRythmoDXEditView::OnEditLineCancel()\n");
    m_bContextLine = false;
    if (!state().m_bEditMode) return click();
    const CVarE::LineIterator it = state().m_itSelectedLine;
    if (!m_lineBackup.getSigns().empty()) {
        const CLine backup = restoredBackup();
        if (*it == backup) return quitEditMode();
        if (!m_host.askYesNo(QString::fromUtf8(
                "Voulez-vous vraiment annuler les modifications apportées à cette phrase ?")))
            return;
        CEditChange change(m_host, QStringLiteral("Annulation de la phrase"));
        m_bChanging = true;
        bool bOk = false;
        const CVarE::LineIterator itNew = script().replaceLine(it, backup, &bOk);
        if (!bOk) {
            // Its place is taken (it cannot be, the edit moves no first sign): the edit goes, the
            // phrase as it was comes back where it can.
            m_host.updateAllViews(DELETE_ITEM, &*it);
            script().eraseLine(it);
            const auto added = script().addLine(backup);
            if (added.second) m_host.updateAllViews(NEW_ITEM, &*added.first);
        } else {
            m_host.updateAllViews(REPLACE_LINE, &*itNew);
        }
        m_bChanging = false;
    } else {
        CEditChange change(m_host, QStringLiteral("Annulation de la phrase"));
        eraseLine(it);
    }
    state().m_bEditMode = false;
    clearSelection();
    m_lineBackup = CLine();
    redraw();
}

void CBandEditor::OnEditLineDelete() {
    log("CRythmoDXEditView::OnEditLineDelete()\n");
    const CVarE::LineIterator it = currentLine();
    quitEditMode();
    m_bContextLine = false;
    if (it == noLine()) return click();
    const QString strRole = it->hasRole() ? QString::fromUtf8("« %1 »").arg(it->getRole().getName())
                                          : QString::fromUtf8("aucun rôle");
    const QString strText =
        it->getText().isEmpty() ? QStringLiteral("vide") : QString::fromUtf8("« %1 »").arg(it->getText());
    if (!m_host.askYesNo(QString::fromUtf8("Voulez-vous vraiment supprimer la phrase %1 attribuée à %2 ?")
                             .arg(strText, strRole)))
        return;
    CEditChange change(m_host, QStringLiteral("Suppression de la phrase"));
    eraseLine(it);
    state().m_bEditMode = false;
    clearSelection();
    m_lineBackup = CLine();
    redraw();
}

// Takes a phrase out of the script, telling the views first; the edit view's own change.
void CBandEditor::eraseLine(CVarE::LineIterator it) {
    m_bChanging = true;
    m_host.updateAllViews(DELETE_ITEM, &*it);
    script().eraseLine(it);
    m_bChanging = false;
}

void CBandEditor::keepBackup(const CLine& line) {
    // Kept without its role pointer: the role may be gone by the time the edit is cancelled.
    m_lineBackup = line;
    m_lineBackup.setRole(nullptr);
    m_strBackupRole = line.hasRole() ? line.getRole().getName() : QString();
}

CLine CBandEditor::restoredBackup() {
    CLine backup = m_lineBackup;
    const auto role = script().findRoleByName(m_strBackupRole);
    if (!m_strBackupRole.isEmpty() && role != script().getRoles().end()) backup.setRole(&*role);
    return backup;
}

// ------------------------------------------------------------------------------------ text

bool CBandEditor::changeSelected(const std::function<void(CLine&)>& change) {
    bool bOk = false;
    const CVarE::LineIterator it = script().updateLine(state().m_itSelectedLine, change, &bOk);
    if (bOk) state().m_itSelectedLine = it;
    return bOk;
}

void CBandEditor::deleteSelection() {
    const int a = std::max(1, std::min(state().m_nSelStart, state().m_nSelEnd));
    const int b = std::max(state().m_nSelStart, state().m_nSelEnd);
    if (b <= a) return;
    changeSelected([&](CLine& l) { l.deleteText(a, b - a); });
    setCaret(a, false);
}

void CBandEditor::typeText(const QString& str) {
    CEditChange change(m_host, TYPING, m_nSession);
    deleteSelection();
    const int nCaret = state().m_nSelStart;
    changeSelected([&](CLine& l) { l.insertText(str, nCaret); });
    setCaret(nCaret + int(str.size()), false);
    m_host.updateAllViews(UPDATE_LINE, &*state().m_itSelectedLine);
}

bool CBandEditor::OnKeyDown(int nKey, Qt::KeyboardModifiers modifiers) {
    if (!state().m_bEditMode) {
        if (nKey != Qt::Key_Menu) return false;
        openContextMenu();
        return true;
    }
    showCaret();
    const bool bShift = modifiers & Qt::ShiftModifier, bCtrl = modifiers & Qt::ControlModifier;
    const CLine& line = *state().m_itSelectedLine;
    const int nCaret = state().m_nSelStart;
    const bool bSelection = state().m_nSelStart != state().m_nSelEnd;
    switch (nKey) {
    case Qt::Key_Backspace:
        if (bSelection || nCaret > 1) {
            CEditChange change(m_host, TYPING, m_nSession);
            if (bSelection) {
                deleteSelection();
            } else {
                setCaret(nCaret - 1, false);
                changeSelected([&](CLine& l) { l.deleteText(nCaret - 1, 1); });
            }
            m_host.updateAllViews(UPDATE_LINE, &*state().m_itSelectedLine);
        } else {
            click();
        }
        log("Typing VK_BACK => index = %i\n", state().m_nSelStart);
        break;
    case Qt::Key_Delete:
        if (bSelection || nCaret < textEnd(line)) {
            CEditChange change(m_host, TYPING, m_nSession);
            if (bSelection)
                deleteSelection();
            else
                changeSelected([&](CLine& l) { l.deleteText(nCaret, 1); });
            m_host.updateAllViews(UPDATE_LINE, &*state().m_itSelectedLine);
        } else {
            click();
        }
        log("Typing VK_DELETE => index = %i\n", state().m_nSelStart);
        break;
    case Qt::Key_Left: {
        const int n = bCtrl ? line.getPreviousWordStart(nCaret) : nCaret - 1;
        if (n < 1)
            click();
        else
            setCaret(n, bShift);
        log("Typing VK_LEFT => index = %i\n", state().m_nSelStart);
        break;
    }
    case Qt::Key_Right: {
        const int n = bCtrl ? line.getNextWordEnd(nCaret) : nCaret + 1;
        if (n < line.getLength() + (line.isClosingSignLinked() ? 0 : 1))
            setCaret(n, bShift);
        else
            click();
        log("Typing VK_RIGHT => index = %i\n", state().m_nSelStart);
        break;
    }
    case Qt::Key_Home:
        setCaret(1, bShift);
        m_host.gotoTime(line.getTimeCode());
        log("Typing VK_HOME => index = %i\n", state().m_nSelStart);
        break;
    case Qt::Key_End:
        setCaret(textEnd(line), bShift);
        m_host.gotoTime(line.getEndTimeCode());
        log("Typing VK_END => index = %i\n", state().m_nSelStart);
        break;
    case Qt::Key_Return:
        if (!bCtrl) return false;
        typeText(QStringLiteral("\n"));
        break;
    case Qt::Key_Menu:
        openContextMenu();
        redraw();
        return true;
    default:
        log("Typing %i => not handled\n", nKey);
        return false;
    }
    keepCaretVisible();
    redraw();
    return true;
}

void CBandEditor::OnChar(char32_t c, bool bRepeat) {
    log("CRythmoDXEditView::OnChar(%X, %X, %X)\n", unsigned(c), bRepeat ? 2u : 1u, 0u);
    if (!state().m_bEditMode) {
        if (const int nSpeed = shuttleSpeed(c)) return m_host.shuttle(nSpeed);
        const QString strReaction = reactionText(c);
        if (strReaction.isEmpty()) return;
        if (!m_bReactionHeld)
            reactionPressed(c, strReaction);
        else
            reactionRepeated();
        return;
    }
    showCaret();
    if (c == U'²') {
        linkAtCaret(true);
    } else if (c == U'&') {
        linkAtCaret(false);
    } else if (isPrintable(c)) {
        const QString str{QChar(char16_t(c))};
        typeText(str);
        log("Typing char : '%s' => index = %i\n", str.toUtf8().constData(), state().m_nSelStart);
    } else {
        if (c != U'\b') click();
        return redraw();
    }
    keepCaretVisible();
    redraw();
}

void CBandEditor::linkAtCaret(bool bBefore) {
    const CLine& line = *state().m_itSelectedLine;
    m_renderer.setPosition(int(now().toMediaTime()));
    int nCaret = state().m_nSelStart;
    const CTimeCode t = CTimeCode::fromFrames(frameAtX(m_renderer.getPositionX(line, nCaret)));
    CEditChange change(m_host, TYPING, m_nSession);
    // A sign hooked exactly there lets go first (never the phrase's opening).
    const int nAt = line.getSignAt(t);
    if (nAt > 0 && line.getSign(nAt).isLinked()) {
        const int nLink = line.getSign(nAt).getLink();
        changeSelected([&](CLine& l) { l.unlinkSign(t); });
        if (nLink < nCaret) --nCaret;
    }
    const CLine& cur = *state().m_itSelectedLine;
    const int nSign = bBefore ? cur.getPreviousSign(t) : cur.getNextSign(t);
    if (nSign >= 0 && !cur.getSign(nSign).isLinked()) {
        if (PhraseRoom::linkKeepsOrder(cur, nSign, nCaret)) {
            const bool bClosing = nSign == cur.getFirstClosingSign();
            const CTimeCode tcSign = cur.getSign(nSign).getTimeCode();
            changeSelected([&](CLine& l) { l.relinkSign(tcSign, nCaret); });
            if (!bClosing) ++nCaret;
        } else {
            click();
        }
    }
    setCaret(nCaret, false);
    m_host.updateAllViews(UPDATE_LINE, &*state().m_itSelectedLine);
}

void CBandEditor::OnLButtonDblClk() {
    if (!state().m_bEditMode) return;
    const CLine& line = *state().m_itSelectedLine;
    const int nCaret = state().m_nSelStart;
    state().m_nSelEnd = line.getPreviousWordStart(nCaret);
    state().m_nSelStart = line.getNextWordEnd(nCaret);
    showCaret();
    redraw();
}

void CBandEditor::OnControlPlayPause() {
    log("CRythmoDXEditView::OnControlPlayPause()\n");
    if (state().m_bEditMode)
        OnChar(U' ');
    else
        m_host.playPause();
}

void CBandEditor::openContextMenu() {
    const CTimeCode tc = now();
    m_renderer.setPosition(int(tc.toMediaTime()));
    IBandEditHost::EMenu eMenu = IBandEditHost::MENU_LINE;
    int x = 0, y = 0;
    bool bSelected = false;
    if (state().m_bEditMode) {
        const CLine& line = *state().m_itSelectedLine;
        x = m_renderer.getPositionX(line, state().m_nSelStart);
        y = CBandSpace::base(line.getTrack()) + CBandSpace::TRACK_HEIGHT / 2;
        m_bContextLine = true;
    } else if (const auto it = script().getLineAt(activeTrack(), tc, true); it != noLine()) {
        select(it);
        bSelected = true;
        y = CBandSpace::base(it->getTrack()) + CBandSpace::TRACK_HEIGHT / 2;
        m_bContextLine = true;
    } else if (const auto loop = script().getLoopAt(tc); loop != script().getLoops().end()) {
        eMenu = IBandEditHost::MENU_MARKER;
        state().m_bHasSelectedLoop = true;
        state().m_itSelectedLoop = loop;
        y = CBandSpace::HEIGHT / 2;
    } else if (const auto shot = script().getShotAt(tc); shot != script().getShots().end()) {
        eMenu = IBandEditHost::MENU_MARKER;
        state().m_bHasSelectedShot = true;
        state().m_itSelectedShot = shot;
        y = CBandSpace::HEIGHT / 2;
    } else {
        return click();
    }
    if (m_contextMenu) m_contextMenu(eMenu, x, y);
    // The menu's command, if any, has run: the phrase is no longer its target.
    m_bContextLine = false;
    if (bSelected && !state().m_bEditMode) m_renderer.clearSelection();
}

// ------------------------------------------------------------------------------------ clipboard

CLine CBandEditor::relativeCopy(const CLine& line) {
    CLine copy(line);
    copy.shift(-line.getStartFrame());
    return copy;
}

void CBandEditor::copyLineToClipboard(const CLine& line) {
    CLine copy = relativeCopy(line);
    PhraseClipboard::put(copy);
    // The role goes by name on the clipboard; the copy kept here holds no pointer into the script.
    copy.setRole(nullptr);
    m_lineClipboard = copy;
}

void CBandEditor::OnEditCopy() {
    log("CRythmoDXEditView::OnEditCopy()\n");
    m_bContextLine = false;
    if (state().m_bEditMode) {
        const int a = std::min(state().m_nSelStart, state().m_nSelEnd);
        const int b = std::max(state().m_nSelStart, state().m_nSelEnd);
        if (a == b) return click();
        const QString str = state().m_itSelectedLine->getTextBetween(a, b);
        QGuiApplication::clipboard()->setText(str);
        log("Copying text : '%s' => index = %i\n", str.toUtf8().constData(), state().m_nSelStart);
        return;
    }
    const CVarE::LineIterator it = currentLine();
    if (it == noLine()) return click();
    copyLineToClipboard(*it);
}

void CBandEditor::OnEditCut() {
    log("CRythmoDXEditView::OnEditCut()\n");
    if (state().m_bEditMode) {
        if (state().m_nSelStart == state().m_nSelEnd) return click();
        OnEditCopy();
        CEditChange change(m_host, TYPING, m_nSession);
        deleteSelection();
        m_host.updateAllViews(UPDATE_LINE, &*state().m_itSelectedLine);
        keepCaretVisible();
        return redraw();
    }
    const CVarE::LineIterator it = currentLine();
    m_bContextLine = false;
    if (it == noLine()) return click();
    copyLineToClipboard(*it);
    CEditChange change(m_host, QStringLiteral("Couper la phrase"));
    eraseLine(it);
    clearSelection();
    redraw();
}

void CBandEditor::OnEditPaste() {
    log("CRythmoDXEditView::OnEditPaste()\n");
    m_bContextLine = false;
    if (state().m_bEditMode) {
        const QString str = withoutControls(QGuiApplication::clipboard()->text());
        if (str.isEmpty()) return click();
        typeText(str);
        log("Pasting text : '%s' => index = %i\n", str.toUtf8().constData(), state().m_nSelStart);
        keepCaretVisible();
        return redraw();
    }
    CLine line;
    QString strRole;
    if (!PhraseClipboard::take(line, strRole)) return click();
    m_lineClipboard = line;
    const CTimeCode tc = now();
    // The phrase must end within the day: its signs would wrap past midnight.
    if (!tc.isValid() || static_cast<long long>(tc.getFrames()) + line.getEndFrame() > TC_MAX.getFrames())
        return click();
    line.shift(tc.getFrames());
    line.setTrack(activeTrack());
    const auto role = script().findRoleByName(strRole);
    line.setRole(strRole.isEmpty() || role == script().getRoles().end() ? nullptr : &*role);
    CEditChange change(m_host, QStringLiteral("Coller la phrase"));
    const auto added = script().addLine(std::move(line));
    if (!added.second) return click();
    m_host.updateAllViews(NEW_ITEM, &*added.first);
    redraw();
}

void CBandEditor::OnEditSelectAll() {
    if (!state().m_bEditMode) return click();
    state().m_nSelEnd = 1;
    state().m_nSelStart = textEnd(*state().m_itSelectedLine);
    showCaret();
    redraw();
}

// ------------------------------------------------------------------------------------ signs

bool CBandEditor::OnAddLipSync(int nType) {
    log("CRythmoDXEditView::OnAddLipSync(%i)\n", nType);
    const CTimeCode tc = now();
    bool bOk = false;
    if (nType == CLipSync::IN_OPEN || nType == CLipSync::IN_CLOSE)
        bOk = addOpening(nType, tc);
    else if (nType == CLipSync::OUT_OPEN || nType == CLipSync::OUT_CLOSE)
        bOk = addClosing(nType, tc);
    else if (nType > CLipSync::OUT_CLOSE && nType < CLipSync::TYPE_COUNT)
        bOk = addLipSign(nType, tc);
    m_bContextLine = false;
    redraw();
    return bOk;
}

bool CBandEditor::addOpening(int nType, CTimeCode tc) {
    const int nTrack = activeTrack();
    auto covered = [&] { return script().getLineAt(nTrack, tc, true) != noLine(); };
    if (state().m_bEditMode || !tc.isValid() || covered()) {
        click();
        return false;
    }
    m_host.stop();
    // Stopping settles on a whole frame, which may be the next one.
    if (now() != tc) {
        tc = now();
        if (covered()) {
            click();
            return false;
        }
    }
    CEditChange change(m_host, NEW_LINE);
    CLine line;
    line.setTrack(nTrack);
    line.insertSign(tc, nType, true);
    const auto [it, bAdded] = script().addLine(std::move(line));
    if (!bAdded) {
        click();
        return false;
    }
    select(it);
    state().m_nSelectedSign = 0;
    m_host.updateAllViews(NEW_ITEM, &*it);
    redraw();

    const auto itPrevious = script().getPreviousLine(nTrack, tc, true, false);
    const CRole* pPreselected =
        itPrevious != noLine() && itPrevious->hasRole() ? &itPrevious->getRole() : nullptr;
    const CRole* pRole = m_host.chooseRole(pPreselected, true);
    const auto role = pRole ? script().findRoleByName(pRole->getName()) : script().getRoles().end();
    if (role == script().getRoles().end()) {
        // No role, no phrase: it goes as it came (the step then changes nothing).
        eraseLine(it);
        state().m_bEditMode = false;
        clearSelection();
        m_lineBackup = CLine();
        return false;
    }
    const auto itRole = script().setLineRole(it, role);
    m_host.updateAllViews(UPDATE_LINE, &*itRole);
    return true;
}

bool CBandEditor::mayEndAt(const CLine& line, const CTimeCode& tc) {
    const auto next = script().getNextLine(line.getTrack(), line.getTimeCode(), true, false);
    if (next != noLine() && tc.getFrames() > next->getStartFrame()) return false;
    const auto loop = script().loopUpperBound(line.getEndTimeCode());
    return loop == script().getLoops().end() || tc.getFrames() <= loop->getFrames();
}

void CBandEditor::growReaction(CLine& line, int nFrames, bool bOneOnly) {
    if (line.getText() == QLatin1String("X")) return;
    while (true) {
        const int nLength = line.getLength();
        int p = nLength - 1;
        if (line.getTextBetween(nLength - 2, nLength - 1) == QLatin1String(")")) p = nLength - 2;
        if (p < 1 || p >= nFrames / 2) return;
        line.insertText(QStringLiteral("_"), p);
        if (bOneOnly) return;
    }
}

bool CBandEditor::addClosing(int nType, const CTimeCode& tc) {
    const CVarE::LineIterator it = currentLine();
    if (it == noLine() || it->hasClosingSign() || !tc.isValid() || tc <= it->getEndTimeCode() ||
        !mayEndAt(*it, tc)) {
        click();
        return false;
    }
    const bool bLinked = it->getLength() >= 2 && (state().m_bEditMode || it->isReaction());
    const int nFrames = tc.getFrames() - it->getStartFrame();
    CEditChange change(m_host, it->isReaction() ? REACTION : LINE_END);
    bool bOk = false;
    const auto itNew = script().updateLine(
        it,
        [&](CLine& l) {
            l.insertSign(tc, nType, bLinked);
            if (l.isReaction()) growReaction(l, nFrames, false);
        },
        &bOk);
    if (!bOk) {
        click();
        return false;
    }
    if (state().m_bHasSelectedLine && state().m_itSelectedLine == it) state().m_itSelectedLine = itNew;
    m_host.updateAllViews(UPDATE_LINE, &*itNew);
    return true;
}

bool CBandEditor::addLipSign(int nType, const CTimeCode& tc) {
    const CVarE::LineIterator it = currentLine();
    if (it == noLine() || !tc.isValid()) {
        click();
        return false;
    }
    const CLine& line = *it;
    const bool bLinked = state().m_bEditMode;
    const int nCaret = state().m_nSelStart;
    if (bLinked) {
        // Between the signs hooked on each side of the caret, and before the phrase's end.
        const int nClosing = line.getFirstClosingSign();
        const int nBefore = line.getLastLinkedSignBefore(nCaret), nAfter = line.getFirstSignFrom(nCaret);
        if ((nClosing >= 0 && tc >= line.getSign(nClosing).getTimeCode()) ||
            (nBefore >= 0 && tc <= line.getSign(nBefore).getTimeCode()) ||
            (nAfter >= 0 && tc >= line.getSign(nAfter).getTimeCode())) {
            click();
            return false;
        }
    }
    CEditChange change(m_host, SIGN);
    bool bInserted = false;
    const auto itNew = script().updateLine(
        it, [&](CLine& l) { bInserted = l.insertSign(tc, nType, bLinked, bLinked ? nCaret : -1); });
    if (!bInserted) {
        click();
        return false;
    }
    if (state().m_bHasSelectedLine && state().m_itSelectedLine == it) state().m_itSelectedLine = itNew;
    if (bLinked) setCaret(nCaret + 1, false);
    m_host.updateAllViews(UPDATE_LINE, &*itNew);
    return true;
}

void CBandEditor::OnAddLoop() {
    const CTimeCode tc = now();
    if (!PhraseRoom::loopMayStandAt(script(), tc)) return click();
    CEditChange change(m_host, QStringLiteral("Boucle"));
    if (!script().addLoop(CLoop(tc, 0))) return click();
    quitEditMode();
    m_host.updateAllViews(NEW_ITEM, &*script().getLoopAt(tc));
    redraw();
}

void CBandEditor::OnAddShot() {
    const CTimeCode tc = now();
    CEditChange change(m_host, QStringLiteral("Changement de plan"));
    if (!script().addShot(tc)) return click();
    quitEditMode();
    state().m_bHasSelectedShot = true;
    state().m_itSelectedShot = script().getShotAt(tc);
    m_host.updateAllViews(NOTHING, nullptr);
    redraw();
}

// ------------------------------------------------------------------------------------ roles, tracks

void CBandEditor::OnEditRoles() {
    const CVarE::LineIterator it = currentLine();
    m_bContextLine = false;
    const CRole* pPreselected = nullptr;
    if (it != noLine() && it->hasRole()) {
        pPreselected = &it->getRole();
    } else {
        const CTimeCode tc = it != noLine() ? it->getTimeCode() : now();
        const auto itPrevious = script().getPreviousLine(activeTrack(), tc, true, false);
        if (itPrevious != noLine() && itPrevious->hasRole()) pPreselected = &itPrevious->getRole();
    }
    const SLineKey key = it != noLine() ? it->getKey() : SLineKey{-1, -1};
    const CRole* pRole = m_host.chooseRole(pPreselected, false);
    if (!pRole || it == noLine()) return;
    // The dialog changed roles, maybe: the phrase is found again by its place.
    const CVarE::LineIterator itLine = script().findLine(key);
    const auto role = script().findRoleByName(pRole->getName());
    if (itLine == noLine() || role == script().getRoles().end()) return;
    CEditChange change(m_host, QString::fromUtf8("Rôle de la phrase"));
    const auto itNew = script().setLineRole(itLine, role);
    m_host.updateAllViews(UPDATE_LINE, &*itNew);
    redraw();
}

void CBandEditor::OnEditTrack(int nTrack) {
    nTrack = std::clamp(nTrack, 0, CBandSpace::TRACK_COUNT - 1);
    if (nTrack == m_renderer.getActiveTrack()) return;
    quitEditMode();
    m_renderer.setActiveTrackValue(nTrack);
    log("CRythmoDXEditView::OnEditTrack() => %i\n", nTrack + 1);
    redraw();
}

void CBandEditor::OnNextTrack() {
    OnEditTrack((activeTrack() + 1) % CBandSpace::TRACK_COUNT);
}

void CBandEditor::OnPreviousTrack() {
    OnEditTrack((activeTrack() + CBandSpace::TRACK_COUNT - 1) % CBandSpace::TRACK_COUNT);
}

// ------------------------------------------------------------------------------------ reactions

QString CBandEditor::reactionText(char32_t c) {
    switch (c) {
    case U'a':
    case U'A':
        return QStringLiteral("ah");
    case U'c':
    case U'C':
        return QStringLiteral("(course)");
    case U'e':
    case U'E':
        return QStringLiteral("(effort)");
    case U'f':
        return QStringLiteral("fff");
    case U'F':
        return QStringLiteral("(_fin)");
    case U'g':
        return QStringLiteral("grrr");
    case U'G':
        return QStringLiteral("argh!");
    case U'h':
        return QStringLiteral("hhh");
    case U'H':
        return QStringLiteral("han!");
    case U'i':
    case U'I':
        return QStringLiteral("(rire)");
    case U'j':
    case U'J':
        return QStringLiteral("(joie)");
    case U'l':
    case U'L':
        return QStringLiteral("(pleure)");
    case U'm':
        return QStringLiteral("mts");
    case U'M':
        return QStringLiteral("mmm");
    case U'o':
        return QStringLiteral("oh");
    case U'O':
        return QStringLiteral("OUT");
    case U'p':
    case U'P':
        return QStringLiteral("(peur)");
    case U'r':
    case U'R':
        return QString::fromUtf8("(réac)");
    case U's':
    case U'S':
        return QStringLiteral("snif");
    case U't':
    case U'T':
        return QStringLiteral("tst");
    case U'u':
        return QStringLiteral("euh");
    case U'U':
        return QStringLiteral("huh!");
    case U'x':
    case U'X':
        return QStringLiteral("X");
    case U'¼':
        return QString::fromUtf8("(réac ?)");
    default:
        return {};
    }
}

int CBandEditor::shuttleSpeed(char32_t c) {
    switch (c) {
    case U'v':
    case U'V':
        return -18;
    case U'b':
    case U'B':
        return -6;
    case U'n':
    case U'N':
        return 6;
    case U',':
    case U'?':
        return 18;
    default:
        return 0;
    }
}

void CBandEditor::reactionPressed(char32_t, const QString& strText) {
    clearSelection();
    const CTimeCode tc = now();
    const int nTrack = activeTrack();
    const CVarE::LineIterator it = script().getLineAt(nTrack, tc, true);
    if (it != noLine()) {
        // Over a reaction still open, the key closes it.
        if (it->isReaction() && !it->hasClosingSign()) OnAddLipSync(CLipSync::OUT_OPEN);
        return;
    }
    if (!tc.isValid()) return click();
    m_nSession = m_nNextSession++;
    CEditChange change(m_host, REACTION, m_nSession);
    CLine line;
    line.setTrack(nTrack);
    line.insertSign(tc, CLipSync::IN_OPEN, true);
    line.setReaction(true);
    line.insertText(strText, -1);
    if (m_host.autoCloseReactions()) line.insertSign(tc + AUTO_CLOSE_FRAMES, CLipSync::OUT_OPEN, true);
    const auto [itNew, bAdded] = script().addLine(std::move(line));
    if (!bAdded) return click();
    select(itNew);
    m_host.updateAllViews(NEW_ITEM, &*itNew);
    m_bReactionHeld = true;
    redraw();
}

void CBandEditor::reactionRepeated() {
    if (!state().m_bHasSelectedLine) return;
    const CVarE::LineIterator it = state().m_itSelectedLine;
    const CTimeCode tc = now();
    const int d = tc.getFrames() - it->getStartFrame();
    if (d <= 0) return;
    CEditChange change(m_host, REACTION, m_nSession);
    const int nClosing = it->getFirstClosingSign();
    if (nClosing < 0) {
        // OnAddLipSync finds the reaction through the script: it covers the current time.
        m_bContextLine = true;
        OnAddLipSync(CLipSync::OUT_OPEN);
        return;
    }
    const CTimeCode tcClosing = it->getSign(nClosing).getTimeCode();
    if (tcClosing != tc && !mayEndAt(*it, tc)) return click();
    changeSelected([&](CLine& l) {
        if (tcClosing != tc) l.moveSign(tcClosing, tc);
        growReaction(l, d, true);
    });
    m_host.updateAllViews(UPDATE_LINE, &*state().m_itSelectedLine);
    redraw();
}

void CBandEditor::reactionReleased() {
    m_bReactionHeld = false;
    m_host.stop();
    if (!state().m_bHasSelectedLine) return;
    const CTimeCode tc = now();
    const CLine& line = *state().m_itSelectedLine;
    if (line.getStartFrame() < tc.getFrames()) {
        const int nClosing = line.getFirstClosingSign();
        if (nClosing >= 0 && line.getSign(nClosing).getTimeCode() == tc) {
            // Already there.
        } else if (!mayEndAt(line, tc)) {
            click();
        } else {
            CEditChange change(m_host, REACTION, m_nSession);
            changeSelected([&](CLine& l) {
                if (nClosing >= 0)
                    l.moveSign(l.getSign(nClosing).getTimeCode(), tc);
                else
                    l.insertSign(tc, CLipSync::OUT_OPEN, true);
            });
        }
    }
    m_host.updateAllViews(UPDATE_LINE, &*state().m_itSelectedLine);
    redraw();
}

void CBandEditor::OnKeyUp(int nKey, char32_t c, bool bRepeat) {
    log("CRythmoDXEditView::OnKeyUp(%X, %X, %X)\n", unsigned(nKey), bRepeat ? 2u : 1u, 0u);
    // The key is still down: the system repeats it.
    if (bRepeat) return;
    if (m_bReactionHeld && !reactionText(c).isEmpty()) reactionReleased();
    const bool bShuttleKey = nKey == Qt::Key_V || nKey == Qt::Key_B || nKey == Qt::Key_N ||
                             nKey == Qt::Key_Comma || nKey == Qt::Key_Question || shuttleSpeed(c) != 0;
    if (bShuttleKey && !state().m_bEditMode && m_host.isShuttling()) m_host.stopShuttle();
}
