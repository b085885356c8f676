#pragma once

#include <QString>

class CLine;

// A phrase text as the studio documents print it: every run of two spaces reduced to one and white
// space trimmed at both ends.
QString tidyPhraseText(const QString& strText);

// First and last sign times of a phrase as text ("88:88:88:88" for a phrase without signs).
QString startText(const CLine& line);
QString endText(const CLine& line);
