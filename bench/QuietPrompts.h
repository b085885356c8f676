#pragma once

#include "app/Prompts.h"

// Answers every question of the program at once, "Non" where it may, so that a benchmark never waits
// on a message box; counts the questions.
class CQuietPrompts : public CPrompts {
public:
    int m_nAsked = 0;
    QMessageBox::StandardButton message(const QString&, EIcon, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton) override {
        ++m_nAsked;
        return (buttons & QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
    }
};
