#include "sync/ui/ControlView.h"

#include "base/Settings.h"
#include "sync/SyncManager.h"
#include "sync/SyncProbe.h"
#include "sync/ui/CurrentLoop.h"
#include "sync/ui/TransportButton.h"
#include "vare/VarE.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>

#include <cstdio>

namespace {
// Character height in pixels of each text field, its colour, its fixed caption (none for a value)
// and whether it vanishes (drawn in the background colour) while no loop is shown: the loop's values
// and the captions that only make sense beside them.
struct SFieldStyle {
    int nPixels;
    CControlTheme::ERole eRole;
    const char* pszCaption;
    bool bLoopValue;
};
constexpr SFieldStyle FIELD_STYLE[CControlView::F_COUNT] = {
    {28, CControlTheme::TIMECODE, nullptr, false},    // F_TIMECODE
    {12, CControlTheme::TIMECODE, "timecode", false}, // F_TIMECODE_LABEL
    {20, CControlTheme::LOOP_NUMBER, nullptr, true},  // F_LOOP_NUMBER
    {12, CControlTheme::LOOP_NUMBER, "boucle", true}, // F_LOOP_LABEL
    {12, CControlTheme::LOOP_BOUNDS, nullptr, true},  // F_LOOP_START
    {12, CControlTheme::LOOP_BOUNDS, "→", true},      // F_ARROW
    {12, CControlTheme::LOOP_BOUNDS, nullptr, true},  // F_LOOP_END
    {12, CControlTheme::DURATION, "durée", true},     // F_DURATION_LABEL
    {20, CControlTheme::DURATION, nullptr, true},     // F_MINUTES
    {12, CControlTheme::DURATION, "min", true},       // F_MINUTES_LABEL
    {20, CControlTheme::DURATION, nullptr, true},     // F_SECONDS
    {12, CControlTheme::DURATION, "s", true},         // F_SECONDS_LABEL
    {12, CControlTheme::VERSION_OFF, "VI", false},    // F_VI
    {12, CControlTheme::VERSION_OFF, "VO", false},    // F_VO
};

const char ZERO_TIMECODE[] = "00:00:00:00";
// The widest texts the fields show, by column, for the width the pane needs.
const char WIDEST_TIMECODE[] = "88:88:88:88";
// Fonts shrink with a narrow pane, down to this share of their size.
constexpr double MIN_FONT_SCALE = 0.5;
} // namespace

CControlView::CControlView(CSyncManager* pSync, const CVarE* pScript, CTraceLog* pLog, QWidget* pParent)
    : QWidget(pParent), m_pSync(pSync), m_pScript(pScript), m_pLog(pLog ? pLog : &m_silentLog),
      m_theme(Settings::Theme.def) {
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    buildLayout();
    applyColors();
    m_timer.setInterval(REFRESH_MS);
    connect(&m_timer, &QTimer::timeout, this, &CControlView::refresh);
}

CControlView::~CControlView() = default;

void CControlView::buildLayout() {
    for (int f = 0; f < F_COUNT; ++f) {
        auto* pLabel = new QLabel(this);
        pLabel->setFocusPolicy(Qt::NoFocus);
        pLabel->setTextInteractionFlags(Qt::NoTextInteraction);
        m_apField[size_t(f)] = pLabel;
    }
    addButton(0, CTransportButton::REWIND, ID_REWIND, &CControlView::rewind);
    addButton(1, CTransportButton::PREVIOUS_FRAME, ID_PREVIOUS_FRAME, &CControlView::previousFrame);
    addButton(2, CTransportButton::PLAY, ID_PLAY_PAUSE, &CControlView::playPause);
    addButton(3, CTransportButton::NEXT_FRAME, ID_NEXT_FRAME, &CControlView::nextFrame);
    addButton(4, CTransportButton::FAST_FORWARD, ID_FAST_FORWARD, &CControlView::fastForward);

    auto* pButtons = new QHBoxLayout;
    pButtons->setSpacing(2);
    for (CTransportButton* pButton : m_apButton)
        pButtons->addWidget(pButton);

    auto field = [this](EField f) { return m_apField[size_t(f)]; };
    auto row = [&](std::initializer_list<EField> fields) {
        auto* pRow = new QHBoxLayout;
        pRow->setSpacing(4);
        for (EField f : fields)
            pRow->addWidget(field(f), 0, Qt::AlignBottom);
        pRow->addStretch(1);
        return pRow;
    };

    auto* pGrid = new QGridLayout(this);
    pGrid->setContentsMargins(6, 4, 6, 4);
    pGrid->setHorizontalSpacing(12);
    pGrid->setVerticalSpacing(0);
    pGrid->addLayout(pButtons, 0, 0);
    pGrid->addWidget(field(F_TIMECODE), 1, 0);
    pGrid->addWidget(field(F_TIMECODE_LABEL), 2, 0);
    pGrid->addLayout(row({F_LOOP_LABEL, F_LOOP_NUMBER}), 0, 1);
    pGrid->addLayout(row({F_LOOP_START, F_ARROW, F_LOOP_END}), 1, 1);
    pGrid->addLayout(row({F_DURATION_LABEL, F_MINUTES, F_MINUTES_LABEL, F_SECONDS, F_SECONDS_LABEL}), 2, 1);
    pGrid->addLayout(row({F_VI, F_VO}), 0, 2, Qt::AlignTop);
    pGrid->setColumnStretch(1, 1);
    pGrid->setRowStretch(3, 1);
}

void CControlView::addButton(int nIndex, char cCaption, int nCommand, void (CControlView::*pSignal)()) {
    auto* pButton = new CTransportButton(cCaption, nCommand, this);
    m_apButton[size_t(nIndex)] = pButton;
    connect(pButton, &QAbstractButton::clicked, this, [this, pSignal] {
        emit(this->*pSignal)();
        giveFocusBack();
    });
}

void CControlView::OnInitialUpdate() {
    if (m_bInitialised) return;
    m_pLog->Log("CControlView::OnInitialUpdate()\n");
    m_timer.start();
    for (int f = 0; f < F_COUNT; ++f)
        if (FIELD_STYLE[f].pszCaption)
            m_apField[size_t(f)]->setText(QString::fromUtf8(FIELD_STYLE[f].pszCaption));
    applyFontScale(fontScaleFor(width()));
    m_bInitialised = true;
    refresh();
}

QFont CControlView::fieldFont(int nField, double dScale) const {
    QFont font = this->font();
    font.setFamilies(
        {QStringLiteral("Segoe UI"), QStringLiteral("Open Sans"), QStringLiteral("DejaVu Sans")});
    font.setWeight(QFont::Normal);
    font.setPixelSize(std::max(7, int(std::lround(FIELD_STYLE[nField].nPixels * dScale))));
    return font;
}

int CControlView::neededWidth(double dScale) const {
    auto advance = [&](int nField, const QString& str) {
        return QFontMetrics(fieldFont(nField, dScale)).horizontalAdvance(str);
    };
    const QMargins m = layout()->contentsMargins();
    const int nGap = 12, nSpacing = 4;
    int nButtons = 0;
    for (const CTransportButton* p : m_apButton)
        nButtons += p->sizeHint().width() + 2;
    const QString strWide = QString::fromLatin1(WIDEST_TIMECODE);
    const int nFirst = std::max(nButtons, advance(F_TIMECODE, strWide));
    const int nBounds =
        advance(F_LOOP_START, strWide) + advance(F_ARROW, QStringLiteral("→")) + advance(F_LOOP_END, strWide);
    const int nDuration =
        advance(F_DURATION_LABEL, QString::fromUtf8("durée")) + advance(F_MINUTES, QStringLiteral("88")) +
        advance(F_MINUTES_LABEL, QStringLiteral("min")) + advance(F_SECONDS, QStringLiteral("88")) +
        advance(F_SECONDS_LABEL, QStringLiteral("s"));
    const int nSecond = std::max(nBounds + 2 * nSpacing, nDuration + 4 * nSpacing);
    const int nThird = advance(F_VI, QStringLiteral("VI")) + nSpacing + advance(F_VO, QStringLiteral("VO"));
    return m.left() + nFirst + nGap + nSecond + nGap + nThird + m.right();
}

double CControlView::fontScaleFor(int nWidth) const {
    // The largest scale, in steps of 5 %, whose texts fit the width.
    double dScale = 1.0;
    while (dScale > MIN_FONT_SCALE && neededWidth(dScale) > nWidth)
        dScale -= 0.05;
    return dScale;
}

void CControlView::applyFontScale(double dScale) {
    if (dScale == m_dFontScale) return;
    m_dFontScale = dScale;
    for (int f = 0; f < F_COUNT; ++f)
        m_apField[size_t(f)]->setFont(fieldFont(f, dScale));
}

void CControlView::resizeEvent(QResizeEvent* pEvent) {
    QWidget::resizeEvent(pEvent);
    if (m_bInitialised) applyFontScale(fontScaleFor(width()));
}

void CControlView::showEvent(QShowEvent* pEvent) {
    OnInitialUpdate();
    QWidget::showEvent(pEvent);
}

void CControlView::onUpdate(int nHint) {
    m_pLog->Log("CControlView::OnUpdate(%i)\n", nHint);
    refresh();
}

void CControlView::setField(EField eField, const char* pszText) {
    m_apField[size_t(eField)]->setText(QString::fromLatin1(pszText));
}

void CControlView::refresh() {
    if (!m_bInitialised) return;
    const CTimeCode tc = m_pSync ? m_pSync->getTimeCode(0) : TC_INVALID;
    if (tc.getFrames() != m_nShownFrames || m_nShownFrames == -2) {
        m_nShownFrames = tc.getFrames();
        setField(F_TIMECODE, tc.getText());
    }
    if (m_pProbe) m_pProbe->timecodeShown(m_nShownFrames);

    const CCurrentLoop loop = m_pScript ? CCurrentLoop::find(*m_pScript, tc) : CCurrentLoop();
    char sz[16];
    if (!loop.isValid()) {
        if (m_bLoopShown) {
            setField(F_LOOP_NUMBER, "");
            setField(F_LOOP_START, ZERO_TIMECODE);
            setField(F_LOOP_END, ZERO_TIMECODE);
            setField(F_MINUTES, "");
            setField(F_SECONDS, "");
            m_bLoopShown = false;
            m_nShownNumber = m_nShownStart = m_nShownEnd = -1;
            applyColors();
        }
        return;
    }
    const bool bAppeared = !m_bLoopShown;
    if (loop.getNumber() != m_nShownNumber || bAppeared) {
        m_nShownNumber = loop.getNumber();
        std::snprintf(sz, sizeof sz, "%i", m_nShownNumber);
        setField(F_LOOP_NUMBER, sz);
    }
    if (loop.getStart().getFrames() != m_nShownStart || bAppeared) {
        m_nShownStart = loop.getStart().getFrames();
        setField(F_LOOP_START, loop.getStart().getText());
        m_nShownEnd = -1; // the duration depends on both ends
    }
    if (loop.getEnd().getFrames() != m_nShownEnd || bAppeared) {
        m_nShownEnd = loop.getEnd().getFrames();
        setField(F_LOOP_END, loop.getEnd().getText());
        std::snprintf(sz, sizeof sz, "%i", loop.getMinutes());
        setField(F_MINUTES, sz);
        std::snprintf(sz, sizeof sz, "%02i", loop.getSeconds());
        setField(F_SECONDS, sz);
    }
    if (bAppeared) {
        m_bLoopShown = true;
        applyColors();
    }
}

void CControlView::setTheme(int nTheme) {
    m_theme = CControlTheme(nTheme);
    applyColors();
}

void CControlView::setAudioVersion(int nChannelCount, bool bInternational) {
    m_nChannels = nChannelCount;
    m_bInternational = bInternational;
    applyColors();
}

void CControlView::setPlaying(bool bRunning) {
    getPlayPauseButton()->setText(
        QString(QLatin1Char(bRunning ? CTransportButton::PAUSE : CTransportButton::PLAY)));
}

void CControlView::applyColors() {
    const QColor background = m_theme.color(CControlTheme::BACKGROUND);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, background);
    pal.setColor(QPalette::Button, background.lighter(150));
    pal.setColor(QPalette::ButtonText, m_theme.color(CControlTheme::TIMECODE));
    setPalette(pal);

    const bool bStereoOrQuad = m_nChannels == 2 || m_nChannels == 4;
    for (int f = 0; f < F_COUNT; ++f) {
        CControlTheme::ERole eRole = FIELD_STYLE[f].eRole;
        if (f == F_VI && bStereoOrQuad && m_bInternational) eRole = CControlTheme::VERSION_ON;
        if (f == F_VO && bStereoOrQuad && !m_bInternational) eRole = CControlTheme::VERSION_ON;
        const QColor color = !m_bLoopShown && FIELD_STYLE[f].bLoopValue ? background : m_theme.color(eRole);
        QLabel* pLabel = m_apField[size_t(f)];
        QPalette labelPal = pLabel->palette();
        labelPal.setColor(QPalette::WindowText, color);
        labelPal.setColor(QPalette::Window, background);
        pLabel->setPalette(labelPal);
    }
}

void CControlView::giveFocusBack() {
    if (m_pFocusTarget) m_pFocusTarget->setFocus(Qt::OtherFocusReason);
}

void CControlView::mousePressEvent(QMouseEvent* pEvent) {
    giveFocusBack();
    QWidget::mousePressEvent(pEvent);
}

CTransportButton* CControlView::getButton(int nCommand) const {
    for (CTransportButton* pButton : m_apButton)
        if (pButton->getCommand() == nCommand) return pButton;
    return nullptr;
}

QString CControlView::getText(EField eField) const {
    return m_apField[size_t(eField)]->text();
}

QColor CControlView::getTextColor(EField eField) const {
    return m_apField[size_t(eField)]->palette().color(QPalette::WindowText);
}

QColor CControlView::getBackgroundColor() const {
    return palette().color(QPalette::Window);
}
