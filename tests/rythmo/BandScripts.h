#pragma once

#include "vare/VarE.h"

#include <QString>
#include <initializer_list>

// Builds phrases for band tests: an opening sign, then runs of text each followed by a sign.
struct CSignAt {
    QString strTextBefore; // text typed before the sign
    int nFrame;
    int nType;
    bool bLinked = true;
};

inline CLine makeLine(int nTrack, std::initializer_list<CSignAt> signs, const CRole* pRole = nullptr) {
    CLine line;
    line.setTrack(nTrack);
    for (const CSignAt& s : signs) {
        line.insertText(s.strTextBefore, -1);
        line.insertSign(CTimeCode::fromFrames(s.nFrame), s.nType, s.bLinked, -1);
    }
    if (pRole) line.setRole(pRole);
    return line;
}

inline const CRole* addRole(CVarE& script, const QString& strName, std::uint32_t rgb) {
    CRole role(strName);
    role.setId(CRole::makeId(strName));
    role.setColor(rgb);
    return &*script.addRole(role).first;
}
