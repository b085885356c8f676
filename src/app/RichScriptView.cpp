#include "app/RichScriptView.h"

#include "app/Prompts.h"
#include "base/Settings.h"
#include "base/UpdateHint.h"
#include "vare/VarE.h"

#include <QMouseEvent>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <utility>

namespace {
CTraceLog& silentLog() {
    static CTraceLog s_log;
    return s_log;
}

bool isShown(const CElement& e) {
    return e.getKind() == CElement::KIND_LINE || e.getKind() == CElement::KIND_LOOP;
}

// The items the document names in its hints are script items, each a CElement first.
const CElement* asElement(const void* pObject) {
    return static_cast<const CElement*>(pObject);
}
} // namespace

// Drawing stops for the length of a change, and the view is drawn once, whole, a little after the
// outermost one ends. Drawing this pane flushes the whole main window (the picture is a GL widget),
// so it is left until the band has shown the key's effect: a key on the band never waits for it.
class CRichScriptView::CRedrawOff {
public:
    explicit CRedrawOff(CRichScriptView& view) : m_view(view) {
        if (m_view.m_nRedrawOff++ == 0) m_view.setUpdatesEnabled(false);
    }
    ~CRedrawOff() {
        if (--m_view.m_nRedrawOff != 0) return;
        // Not restarted by the next change: a held key still sees the pane drawn as it goes.
        if (!m_view.m_redrawTimer.isActive()) m_view.m_redrawTimer.start();
    }
    CRedrawOff(const CRedrawOff&) = delete;
    CRedrawOff& operator=(const CRedrawOff&) = delete;

private:
    CRichScriptView& m_view;
};

CRichScriptView::CRichScriptView(QWidget* pParent)
    : QPlainTextEdit(pParent), m_ranges(*document()), m_pLog(&silentLog()) {
    document()->setUndoRedoEnabled(false);
    setReadOnly(true);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setContextMenuPolicy(Qt::NoContextMenu);
    setFrameShape(QFrame::NoFrame);
    // Clicks here give the keyboard to the band, never to this view.
    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);
    verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    horizontalScrollBar()->setFocusPolicy(Qt::NoFocus);
    // Moving the scroll bar by hand leaves the current element where the user put the text.
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] {
        if (m_pHost) m_pHost->setFollowing(false);
    });
    m_timer.setInterval(TIMER_PERIOD_MS);
    connect(&m_timer, &QTimer::timeout, this, &CRichScriptView::OnTimer);
    m_redrawTimer.setSingleShot(true);
    m_redrawTimer.setInterval(REDRAW_DELAY_MS);
    connect(&m_redrawTimer, &QTimer::timeout, this, [this] {
        if (m_nRedrawOff == 0) setUpdatesEnabled(true); // and the whole pane drawn again
    });
}

CRichScriptView::~CRichScriptView() = default;

void CRichScriptView::setLog(CTraceLog* pLog) {
    m_pLog = pLog ? pLog : &silentLog();
}

void CRichScriptView::OnInitialUpdate(const CVarE* pScript) {
    log().Log("CRichScriptView::OnInitialUpdate()\n");
    m_pScript = pScript; // the view is read-only from its making
    QFont face(CScriptTextStyle::faceName());
    face.setPointSizeF(CScriptTextStyle::TEXT_POINTS); // the first element's blank line as the others'
    setFont(face);
    document()->setDefaultFont(face);
    m_pCurrent = nullptr;
    applyTheme();
    m_timer.start();
}

void CRichScriptView::OnUpdate(int nHint, const void* pObject) {
    log().Log("CRichScriptView::OnUpdate(%i)\n", nHint);
    if (!m_pScript) return;
    {
        CLogIndent indent(log());
        CRedrawOff off(*this);
        const CElement* pElement = asElement(pObject);
        switch (nHint) {
        case NEW_DOC:
            onNewDoc();
            break;
        case NEW_ITEM:
            log().Log("NEW_ITEM\n");
            if (problem("insertElem", pElement) || !isShown(*pElement)) break;
            if (m_ranges.contains(pElement)) {
                replaceElem(pElement); // told twice: it is put where it belongs, once
            } else if (const CElement* pNext = shownFollower(*pElement)) {
                insertElem(pElement, m_ranges.range(pNext).first);
            } else {
                appendElem(pElement);
            }
            break;
        case DELETE_ITEM:
            log().Log("DELETE_ITEM\n");
            deleteElem(pElement);
            break;
        case UPDATE_LINE:
            log().Log("UPDATE_LINE\n");
            updateElem(pElement);
            break;
        case REPLACE_LINE:
            log().Log("REPLACE_LINE\n");
            replaceElem(pElement);
            break;
        case UPDATE_ROLE:
            log().Log("UPDATE_ROLE\n");
            onUpdateRole(pObject);
            break;
        case NOTHING:
            log().Log("NOTHING\n");
            break;
        default:
            log().Log("PROBLEME!!!\n");
            break;
        }
        refreshCurrent();
    }
    log().Log("CRichScriptView::OnUpdate(%i) => Ok\n", nHint);
}

void CRichScriptView::onNewDoc() {
    log().Log("NEW_DOC\n");
    m_pCurrent = nullptr;
    m_ranges.clear();
    const CVarE::LineSet& lines = m_pScript->getLines();
    const CVarE::LoopSet& loops = m_pScript->getLoops();
    log().Log("%i lignes et %i boucles\n", int(lines.size()), int(loops.size()));
    // One change of the whole document for the layout, rather than one per element.
    QTextCursor batch(document());
    batch.beginEditBlock();
    auto itLine = lines.begin();
    auto itLoop = loops.begin();
    int nSteps = 0;
    while (itLine != lines.end() || itLoop != loops.end()) {
        ++nSteps;
        // A loop comes before a phrase of the same frame.
        if (itLoop != loops.end() &&
            (itLine == lines.end() || itLoop->getFrames() <= itLine->getStartFrame()))
            appendElem(&*itLoop++);
        else
            appendElem(&*itLine++);
    }
    batch.endEditBlock();
    log().Log("%i itérations\n", nSteps);
}

void CRichScriptView::onUpdateRole(const void* pRole) {
    if (!pRole) {
        // Roles were removed: their phrases lose them now, or once the role is gone when the hint came
        // before.
        refreshStaleTexts(true);
        scheduleStaleCheck(true);
        return;
    }
    for (const CLine& line : m_pScript->getLines())
        if (line.hasRole() && line.getRolePtr() == pRole) updateElem(&line);
}

const CElement* CRichScriptView::followerOf(const CElement& element) const {
    const CVarE& s = *m_pScript;
    const CTimeCode tc = element.getTimeCode();
    const CVarE::LineIterator itLine =
        element.getKind() == CElement::KIND_LINE
            ? s.getLines().upper_bound(static_cast<const CLine&>(element).getKey())
            : s.lineLowerBound(tc, INT_MIN);
    const CVarE::LoopIterator itLoop = s.loopUpperBound(tc);
    const bool bLine = itLine != s.getLines().end(), bLoop = itLoop != s.getLoops().end();
    if (bLoop && (!bLine || itLoop->getFrames() <= itLine->getStartFrame())) return &*itLoop;
    return bLine ? &*itLine : nullptr;
}

const CElement* CRichScriptView::shownFollower(const CElement& element) const {
    const CElement* p = followerOf(element);
    while (p && !m_ranges.contains(p))
        p = followerOf(*p);
    return p;
}

quintptr CRichScriptView::stampOf(const CElement& element) {
    if (element.getKind() == CElement::KIND_LOOP)
        return quintptr(unsigned(static_cast<const CLoop&>(element).getNumber()));
    if (element.getKind() == CElement::KIND_LINE)
        return reinterpret_cast<quintptr>(static_cast<const CLine&>(element).getRolePtr());
    return 0;
}

CElementRanges::Writer CRichScriptView::writer(const CElement& element) const {
    const bool bCurrent = &element == m_pCurrent;
    return [this, &element, bCurrent](QTextCursor& cursor) { m_style.write(cursor, element, bCurrent); };
}

bool CRichScriptView::problem(const char* pszOperation, const CElement* pElement) {
    if (pElement) return false;
    log().Log("CRichScriptView::%s(NULL) => Problème!\n", pszOperation);
    Click::play();
    return true;
}

void CRichScriptView::appendElem(const CElement* pElement) {
    if (problem("appendElem", pElement) || !isShown(*pElement)) return;
    m_ranges.insert(pElement, m_ranges.total(), stampOf(*pElement), writer(*pElement));
}

void CRichScriptView::insertElem(const CElement* pElement, int nPos) {
    if (problem("insertElem", pElement) || !isShown(*pElement)) return;
    if (nPos < 0) {
        appendElem(pElement);
        return;
    }
    m_ranges.insert(pElement, nPos, stampOf(*pElement), writer(*pElement));
    // The loops after a new one carry new numbers.
    if (pElement->getKind() == CElement::KIND_LOOP) refreshStaleTexts(false);
}

void CRichScriptView::deleteElem(const CElement* pElement) {
    if (problem("deleteElem", pElement) || !m_ranges.contains(pElement)) return;
    if (pElement == m_pCurrent) m_pCurrent = nullptr;
    const bool bLoop = pElement->getKind() == CElement::KIND_LOOP;
    m_ranges.remove(pElement);
    // The loops after it are numbered again only once it has left the script.
    if (bLoop) scheduleStaleCheck(false);
}

void CRichScriptView::updateElem(const CElement* pElement) {
    if (problem("updateElem", pElement)) return;
    m_ranges.rewrite(pElement, stampOf(*pElement), writer(*pElement));
}

void CRichScriptView::replaceElem(const CElement* pElement) {
    if (problem("replaceElem", pElement) || !isShown(*pElement)) return;
    const CElement* pNext = shownFollower(*pElement);
    const bool bCurrent = pElement == m_pCurrent;
    deleteElem(pElement);
    if (bCurrent) m_pCurrent = pElement;
    if (pNext)
        insertElem(pElement, m_ranges.range(pNext).first);
    else
        appendElem(pElement);
}

QColor CRichScriptView::backgroundColor() const {
    return palette().color(QPalette::Base);
}

void CRichScriptView::applyTheme() {
    const int nTheme = m_pSettings ? m_pSettings->get(Settings::Theme) : Settings::Theme.def;
    if (m_bThemeSet && nTheme == m_style.theme()) return;
    m_bThemeSet = true;
    m_style.setTheme(nTheme);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, m_style.colors().background);
    setPalette(pal);
}

void CRichScriptView::OnTimer() {
    refreshCurrent();
}

void CRichScriptView::refreshCurrent() {
    applyTheme();
    if (!m_pScript || !m_pHost) return;
    const CTimeCode tc = m_pHost->getTimeCode();
    const CVarE::LineIterator itLine = m_pScript->getLineAt(m_pHost->getActiveTrack(), tc);
    const CVarE::LoopIterator itLoop = m_pScript->getLoopAt(tc);
    const CElement* pLine = itLine != m_pScript->getLines().end() ? &*itLine : nullptr;
    const CElement* pLoop = itLoop != m_pScript->getLoops().end() ? &*itLoop : nullptr;
    const CElement* pCandidate = pLine && pLoop
                                     ? (pLine->getTimeCode() > pLoop->getTimeCode() ? pLine : pLoop)
                                     : (pLine ? pLine : pLoop);
    // An item told deleted is still in the script until its hint is over.
    if (pCandidate && !m_ranges.contains(pCandidate)) pCandidate = nullptr;
    if (pCandidate == m_pCurrent) return;

    CRedrawOff off(*this);
    const CElement* pOld = std::exchange(m_pCurrent, pCandidate);
    if (pOld) updateElem(pOld);
    if (pCandidate) updateElem(pCandidate);
    if (pCandidate && m_pHost->isFollowing()) scrollToElement(pCandidate);
}

void CRichScriptView::scrollToElement(const CElement* pElement) {
    const QTextBlock block = m_ranges.block(pElement);
    auto* pLayout = qobject_cast<QPlainTextDocumentLayout*>(document()->documentLayout());
    if (!block.isValid() || !pLayout) return;
    // The element's first line goes h / 30 lines below the top. The lines above are counted laid out
    // (a block not yet laid out counts as one line, whatever its height).
    const int nLinesAbove = viewport()->height() / 30;
    int nLines = 0;
    for (QTextBlock b = block.previous(); b.isValid() && nLines < nLinesAbove; b = b.previous()) {
        pLayout->ensureBlockLayout(b);
        nLines += b.lineCount();
    }
    pLayout->ensureBlockLayout(block);
    verticalScrollBar()->setValue(std::max(0, block.firstLineNumber() - nLinesAbove));
}

void CRichScriptView::refreshStaleTexts(bool bRoles) {
    if (!m_pScript) return;
    CRedrawOff off(*this);
    for (const CLoop& loop : m_pScript->getLoops())
        if (m_ranges.contains(&loop) && m_ranges.stamp(&loop) != stampOf(loop)) updateElem(&loop);
    if (!bRoles) return;
    for (const CLine& line : m_pScript->getLines())
        if (m_ranges.contains(&line) && m_ranges.stamp(&line) != stampOf(line)) updateElem(&line);
}

void CRichScriptView::scheduleStaleCheck(bool bRoles) {
    m_bRolesStale = m_bRolesStale || bRoles;
    if (m_bStaleCheckPending) return;
    m_bStaleCheckPending = true;
    // Once the command that sent the hint has finished its change.
    QTimer::singleShot(0, this, [this] {
        m_bStaleCheckPending = false;
        refreshStaleTexts(std::exchange(m_bRolesStale, false));
    });
}

void CRichScriptView::mousePressEvent(QMouseEvent* pEvent) {
    pEvent->accept();
    if (pEvent->button() != Qt::LeftButton || !m_pHost) return;
    const CElement* pElement = m_ranges.elementAt(cursorForPosition(pEvent->position().toPoint()).position());
    if (!pElement) {
        m_pHost->focusBand();
        return;
    }
    m_pHost->leaveEditMode();
    if (pElement->getKind() == CElement::KIND_LINE) m_pHost->setActiveTrack(pElement->getTrack());
    m_pHost->focusBand();
    m_pHost->gotoTime(pElement->getTimeCode());
    m_pHost->setFollowing(false);
}

void CRichScriptView::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    pEvent->accept();
    if (pEvent->button() != Qt::LeftButton || !m_pHost) return;
    m_pHost->enterEditMode();
    m_pHost->focusBand();
}

void CRichScriptView::mouseReleaseEvent(QMouseEvent* pEvent) {
    pEvent->accept(); // no selection, no link
}

void CRichScriptView::mouseMoveEvent(QMouseEvent* pEvent) {
    pEvent->accept();
}

void CRichScriptView::wheelEvent(QWheelEvent* pEvent) {
    pEvent->accept();
    // −delta / 60 lines: a notch of 120 scrolls two lines, up for a forward turn.
    m_nWheelRest += pEvent->angleDelta().y();
    const int nSteps = m_nWheelRest / 60;
    m_nWheelRest -= nSteps * 60;
    if (nSteps != 0) verticalScrollBar()->setValue(verticalScrollBar()->value() - nSteps);
    if (m_pHost) m_pHost->setFollowing(false);
}

void CRichScriptView::contextMenuEvent(QContextMenuEvent* pEvent) {
    pEvent->accept(); // the right button does nothing here
}
