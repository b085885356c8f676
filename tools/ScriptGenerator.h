#pragma once

#include "vare/VarE.h"

// Fills a script with nPhrases valid phrases spread over the four tracks (about three phrases a second
// in all), with roles, loops every 30 seconds, shot changes, reactions, voice-off phrases, lip signs and
// multi-line text. The same seed gives the same script.
void generateScript(CVarE& script, int nPhrases, unsigned nSeed = 1, int nPhrasesPerSecond = 3);
