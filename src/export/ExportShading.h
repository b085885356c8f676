#pragma once

// The row shading of the croisillé and of the role list alternates row by row and carries on from
// one table to the next and from one export to the next while the program runs. The application
// owns one of these (off at start) and hands it to every export.
struct CExportShading {
    bool m_bCroisille = false;
    bool m_bRoleList = false;

    // Flips a switch before a row and tells whether that row is shaded.
    static bool next(bool& bSwitch) { return bSwitch = !bSwitch; }
};
