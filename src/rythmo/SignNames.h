#pragma once

#include "vare/ScriptItems.h"

// The French names of the sign types, as the menus and the band's tool tips show them.
inline const char* signTypeCaption(int nType) {
    static const char* const NAMES[CLipSync::TYPE_COUNT] = {"Ouverture bouche ouverte",
                                                            "Ouverture bouche fermée",
                                                            "Fermeture bouche ouverte",
                                                            "Fermeture bouche fermée",
                                                            "MPB",
                                                            "FVR",
                                                            "Weuqueu",
                                                            "A",
                                                            "I",
                                                            "O",
                                                            "Neutre"};
    return nType >= 0 && nType < CLipSync::TYPE_COUNT ? NAMES[nType] : NAMES[CLipSync::NEUTRAL];
}
