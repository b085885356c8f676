#pragma once

// What changed in the script, told by the document to every view after a change.
enum EUpdateHint : int {
    NEW_DOC = 0,      // the whole script changed: rebuild everything
    NEW_ITEM = 1,     // a phrase or a loop was added (object: the item)
    DELETE_ITEM = 2,  // an item is about to be removed and is still valid (object: the item)
    UPDATE_LINE = 3,  // a phrase's text, role or signs changed in place (object: the phrase)
    REPLACE_LINE = 4, // a phrase moved in time or track (object: the phrase)
    UPDATE_ROLE = 5,  // roles changed (object: the role or none)
    NOTHING = 6,      // redraw only
    // every phrase, loop and shot change moved by the same number of frames: nothing changed order
    // (object: the int number of frames)
    SHIFT_ALL = 7,
};
