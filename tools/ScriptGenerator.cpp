#include "ScriptGenerator.h"

#include <QStringList>
#include <random>

namespace {
const char* const s_aWords[] = {
    "bonjour",  "la",     "mer", "est",     "mauvaise", "phare",   "bateau",    "ce",    "soir", "vite",
    "maman",    "écoute", "où",  "tu",      "vas",      "jamais",  "encore",    "œuvre", "été",  "là-bas",
    "pourquoi", "non",    "oui", "attends", "regarde",  "fenêtre", "capitaine", "Noël"};
const char* const s_aRoles[] = {
    "Margaux", "Yann",  "Capitaine Le Goff", "Lucie",      "Narrateur", "Zoé & Co",
    "Inès",    "Ronan", "Gwenaëlle",         "Le Facteur", "Pêcheur 1", "Pêcheur 2"};
} // namespace

void generateScript(CVarE& v, int nPhrases, unsigned nSeed, int nPerSecond) {
    std::mt19937 rng(nSeed);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };

    v.clear();
    v.set(CVarE::H_TITLE, QStringLiteral("Script généré"));
    v.set(CVarE::H_EPISODE_NUMBER, QStringLiteral("%1").arg(nSeed));
    v.set(CVarE::H_NOTES, QStringLiteral("Généré pour les essais.\r\nDeuxième ligne."));
    v.set(CVarE::H_VIDEO_FILE, QStringLiteral("film.mov"));
    v.setTimeStamp(CTimeCode("10:00:00:00"));
    v.setLastPosition(CTimeCode("10:00:05:00"));

    std::vector<const CRole*> roles;
    for (const char* name : s_aRoles) {
        CRole r(QString::fromUtf8(name));
        r.setId(CRole::makeId(r.getName()));
        r.setColor(rng() & 0xFFFFFF);
        r.setGender(pick(3));
        r.setDescription(QStringLiteral("Rôle %1").arg(r.getName()));
        roles.push_back(&*v.addRole(r).first);
    }

    const int nStart = CTimeCode("10:00:00:00").getFrames();
    // Each track carries one phrase every (4 / nPerSecond) seconds on average.
    const int nGap = std::max(4 * 25 / std::max(nPerSecond, 1), 8);
    int aNext[4] = {nStart, nStart + nGap / 4, nStart + nGap / 2, nStart + 3 * nGap / 4};
    int nLastFrame = nStart;
    for (int i = 0; i < nPhrases; ++i) {
        const int nTrack = i % 4;
        const int nWords = 1 + pick(8);
        QStringList words;
        for (int w = 0; w < nWords; ++w)
            words << QString::fromUtf8(s_aWords[pick(int(std::size(s_aWords)))]);
        QString text = words.join(QLatin1Char(' '));
        if (pick(10) == 0) text += QStringLiteral("\r\n") + QString::fromUtf8(s_aWords[pick(5)]);

        const int nStartFrame = aNext[nTrack];
        const int nLength = std::max(nGap - 4, 6);
        CLine l;
        l.setTrack(nTrack);
        l.insertSign(CTimeCode::fromFrames(nStartFrame), pick(2) ? CLipSync::IN_OPEN : CLipSync::IN_CLOSE,
                     true, 0);
        l.insertText(text, -1);
        // Lip signs at word starts, in time order.
        const int nSigns = pick(4);
        int nPos = 1;
        for (int s = 0; s < nSigns && nPos < l.getLength(); ++s) {
            nPos = l.getNextWordEnd(nPos);
            if (nPos >= l.getLength()) break;
            const int f = nStartFrame + 1 + (nLength - 2) * (s + 1) / (nSigns + 1);
            l.insertSign(CTimeCode::fromFrames(f), CLipSync::MPB + pick(7), true, nPos);
        }
        if (pick(8) == 0)
            l.insertSign(CTimeCode::fromFrames(nStartFrame + nLength - 1), CLipSync::NEUTRAL, false);
        if (pick(6) != 0)
            l.insertSign(CTimeCode::fromFrames(nStartFrame + nLength),
                         pick(2) ? CLipSync::OUT_OPEN : CLipSync::OUT_CLOSE, true, -1);
        l.setReaction(pick(12) == 0);
        l.setVoiceOff(pick(15) == 0);
        if (pick(20) != 0) l.setRole(roles[size_t(pick(int(roles.size())))]);
        v.addLine(l);
        aNext[nTrack] = nStartFrame + nGap + pick(5);
        nLastFrame = std::max(nLastFrame, nStartFrame + nLength);
    }
    for (int f = nStart; f <= nLastFrame; f += 30 * 25)
        v.addLoop(CLoop(CTimeCode::fromFrames(f), 0));
    for (int f = nStart + 7 * 25; f <= nLastFrame; f += 4 * 25 + pick(100))
        v.addShot(CTimeCode::fromFrames(f));
}
