#include "ScriptVerifier.h"

#include "BandEditor.h"
#include "base/UpdateHint.h"

CScriptVerifier::CScriptVerifier(CBandEditor& editor, CBandRenderer& renderer, IBandEditHost& host)
    : m_editor(editor), m_renderer(renderer), m_host(host) {}

bool CScriptVerifier::isFinished(const CLine& line) {
    const int nClosing = line.getFirstClosingSign();
    return line.hasRole() && !line.getText().isEmpty() && nClosing >= 0 && line.getSign(nClosing).isLinked();
}

QString CScriptVerifier::question(const CLine& line) {
    const bool bText = !line.getText().isEmpty();
    const int nClosing = line.getFirstClosingSign();
    const bool bClosing = nClosing >= 0, bLinked = bClosing && line.getSign(nClosing).isLinked();
    const char* psz = nullptr;
    if (line.hasRole()) {
        if (!bText)
            psz = bClosing ? "Phrase sans texte." : "Phrase sans texte et sans flèche de fin.";
        else if (!bClosing)
            psz = "Phrase sans flèche de fin.";
        else
            psz = "Phrase dont le texte n'a pas été validé.";
    } else if (!bText) {
        psz = bClosing ? "Phrase sans rôle et sans texte."
                       : "Phrase sans rôle, sans texte et sans flèche de fin.";
    } else if (!bClosing) {
        psz = "Phrase sans rôle et sans flèche de fin.";
    } else {
        psz = bLinked ? "Phrase sans rôle." : "Phrase sans rôle et dont le texte n'a pas été validé.";
    }
    return QString::fromUtf8(psz) + QString::fromUtf8("\nVoulez-vous la corriger ?");
}

CVarE::LineIterator CScriptVerifier::nextUnfinished(const CVarE& script, const CTimeCode& tc, int nTrack) {
    const CVarE::LineSet& lines = script.getLines();
    for (auto it = lines.upper_bound(SLineKey{tc.getFrames(), nTrack}); it != lines.end(); ++it)
        if (!isFinished(*it)) return it;
    return lines.end();
}

int CScriptVerifier::count(const CVarE& script, const CTimeCode& tc) {
    int n = 0;
    for (auto it = nextUnfinished(script, tc, -1); it != script.getLines().end();
         it = nextUnfinished(script, it->getTimeCode(), it->getTrack()))
        ++n;
    return n;
}

void CScriptVerifier::OnEditVerify() {
    m_editor.log("CRythmoDXEditView::OnEditVerify()\n");
    m_editor.quitEditMode();
    m_host.stop();
    CVarE& script = m_host.script();
    const CTimeCode tcStart = m_host.getStartTimeCode();
    const int n = count(script, tcStart);
    if (n == 0) return m_host.inform(QString::fromUtf8("Aucune erreur détectée."));
    const QString strCount =
        n == 1 ? QString::fromUtf8("1 erreur détectée.\nVoulez-vous la consulter ?")
               : QString::fromUtf8("%1 erreurs détectées.\nVoulez-vous les consulter ?").arg(n);
    if (!m_host.askYesNo(strCount)) return;
    for (auto it = nextUnfinished(script, tcStart, -1); it != script.getLines().end();
         it = nextUnfinished(script, it->getTimeCode(), it->getTrack())) {
        m_host.gotoTime(it->getTimeCode());
        m_renderer.setActiveTrackValue(it->getTrack());
        m_host.updateAllViews(NOTHING, nullptr);
        m_editor.redraw();
        const IBandEditHost::EAnswer eAnswer = m_host.askYesNoCancel(question(*it));
        if (eAnswer == IBandEditHost::ANSWER_CANCEL) return;
        if (eAnswer == IBandEditHost::ANSWER_NO) continue;
        if (!it->hasRole()) {
            // The role chooser acts on the current phrase: this one, under the reading bar.
            const SLineKey key = it->getKey();
            m_editor.OnEditRoles();
            if (script.findLine(key) == script.getLines().end()) return;
        }
        // Edit mode takes the phrase under the reading bar: it must be this one.
        const auto itShown = script.getLineAt(m_renderer.getActiveTrack(), m_host.getTimeCode(), true);
        if (itShown == script.getLines().end() || itShown != script.findLine(it->getKey()))
            return m_host.click();
        m_editor.enterEditMode();
        return;
    }
}
