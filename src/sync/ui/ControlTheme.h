#pragma once

#include <QColor>

// The colours of the transport control view in its two themes. The "Theme" setting holds 0 for
// "Métal" (blue-grey) and any other value for "Papier" (brown).
class CControlTheme {
public:
    enum ERole {
        BACKGROUND,  // the view and every control behind its text
        TIMECODE,    // current timecode and its label
        LOOP_NUMBER, // loop number and its label
        LOOP_BOUNDS, // loop start, end and the arrow
        DURATION,    // loop duration and its labels
        VERSION_ON,  // VI or VO while that version plays
        VERSION_OFF, // VI or VO otherwise
        ROLE_COUNT
    };

    explicit CControlTheme(int nTheme);

    bool isPaper() const { return m_bPaper; }
    QColor color(ERole eRole) const;

private:
    bool m_bPaper;
};
