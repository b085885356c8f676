#pragma once

#include "vare/VarE.h"

// A dense script for measuring the band: three phrases a second on each of the four tracks, each
// with a role, an opening sign, text stretched over a labial and a vowel, a closing sign, and a
// loop every 10 s and a shot change every 3 s.
inline void makeDenseScript(CVarE& script, int nSeconds) {
    static const char* const s_roles[] = {"PAUL", "ANNE", "MARC-ANTOINE", "LÉA"};
    static const char* const s_texts[][3] = {{"Tu ", "viens ", "ce soir ?"},
                                             {"Non, ", "je ", "reste ici."},
                                             {"C’est ", "ça ", "la vie…"},
                                             {"Œuvre ", "de ", "cœur !"}};
    const CRole* roles[4];
    for (int i = 0; i < 4; ++i) {
        CRole role(QString::fromUtf8(s_roles[i]));
        role.m_strId = CRole::makeId(role.m_strName);
        role.setColor(0x203040u * std::uint32_t(i + 1));
        roles[i] = &*script.addRole(role).first;
    }
    for (int s = 0; s < nSeconds; ++s) {
        if (s % 10 == 0) script.addLoop(CLoop(CTimeCode::fromFrames(s * 25), 0));
        if (s % 3 == 1) script.addShot(CTimeCode::fromFrames(s * 25 + 5));
        for (int k = 0; k < 4; ++k)
            for (int n = 0; n < 3; ++n) {
                const int f = s * 25 + n * 8 + k; // 8 frames apart, 7 long
                const char* const* t = s_texts[(s + k + n) % 4];
                CLine line;
                line.setTrack(k);
                line.insertSign(CTimeCode::fromFrames(f), 0, true, -1);
                line.insertText(QString::fromUtf8(t[0]), -1);
                line.insertSign(CTimeCode::fromFrames(f + 2), 4, true, -1);
                line.insertText(QString::fromUtf8(t[1]), -1);
                line.insertSign(CTimeCode::fromFrames(f + 4), 7, true, -1);
                line.insertText(QString::fromUtf8(t[2]), -1);
                line.insertSign(CTimeCode::fromFrames(f + 7), 3, true, -1);
                line.setRole(roles[(k + n) % 4]);
                script.addLine(line);
            }
    }
}
