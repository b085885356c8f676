#pragma once

class CDataFolder;
struct CBandFonts;

// The band's faces where the system lacks them: the faces shipped in the data folder's "fonts" are
// added to the application's when a face the band asks for is not installed. Needs a
// QGuiApplication. Returns the number of font files added.
int addMissingBandFaces(const CBandFonts& fonts, const CDataFolder& data);
