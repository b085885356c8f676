#pragma once

#include "vare/VarE.h"

#include <QFile>
#include <QString>

// Scripts made in code for the export tests.
namespace exporttest {
inline CTimeCode tc(int nFrames) {
    return CTimeCode::fromFrames(nFrames);
}

inline const CRole* addRole(CVarE& v, const QString& strName, int nGender = CRole::GENDER_NEUTRAL,
                            const QString& strDescription = {}) {
    CRole role(strName);
    role.setId(CRole::makeId(strName));
    role.setGender(nGender);
    role.setDescription(strDescription);
    return &*v.addRole(role).first;
}

// A phrase from frame a to frame b (b < 0: no closing sign) on a track.
inline bool addPhrase(CVarE& v, const CRole* pRole, int a, int b, const QString& strText, int nTrack = 0,
                      bool bReaction = false) {
    CLine l;
    l.setTrack(nTrack);
    l.insertSign(tc(a), CLipSync::IN_OPEN, true, 0);
    l.insertText(strText, -1);
    if (b >= 0) l.insertSign(tc(b), CLipSync::OUT_CLOSE, true, -1);
    l.setRole(pRole);
    l.setReaction(bReaction);
    return v.addLine(l).second;
}

inline QByteArray readAll(const QString& strPath) {
    QFile f(strPath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace exporttest
