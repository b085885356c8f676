#pragma once

#include "vare/TimeCode.h"

class CVarE;

// What the control view shows of the loop in which a position falls: its number, start and end and
// the duration between them. A loop ends where the next one starts; the last loop ends at the latest
// of the position, the last shot change and the end of the phrases still running then, so its
// duration grows while the position moves on past every item of the script.
class CCurrentLoop {
public:
    // Finds the loop at or before tc; not valid when there is none (or tc is invalid).
    static CCurrentLoop find(const CVarE& script, const CTimeCode& tc);

    bool isValid() const { return m_bValid; }
    int getNumber() const { return m_nNumber; }
    const CTimeCode& getStart() const { return m_start; }
    const CTimeCode& getEnd() const { return m_end; }
    // The duration's whole minutes (hours included) and the seconds within the minute.
    int getMinutes() const;
    int getSeconds() const;

    // The end of the script's material still running at tc: the latest of tc, the last shot change
    // and the last phrase's end, then moved on through every phrase that still covers it.
    static CTimeCode lastLoopEnd(const CVarE& script, const CTimeCode& tc);

private:
    bool m_bValid = false;
    int m_nNumber = 0;
    CTimeCode m_start;
    CTimeCode m_end;
};
