#pragma once

#include <QStringView>

// The line count ("lignage") by which dubbing actors are engaged and paid: the characters really
// spoken in a role's phrases, turned into lines of 50 characters.

// Characters of one phrase text that are spoken: its length minus what is in parentheses (with
// them), underscores, a space before another space or punctuation, the first of two equal vowels,
// the first of three equal characters, the noises "mts" and "tst", and "snif"/"sniff" as a word.
// Never below 0.
int countSpokenCharacters(QStringView strText);

// Lines of 50 characters from a character count: any count below 50 but above 0 is one line, and
// a remainder above 25 adds a line.
int lignageFromCount(int nCount);

class CVarE;
class CRole;

// Line count of a role: its phrases in script order, reactions left out (voice-off counts).
int getLignage(const CVarE& script, const CRole& role);
