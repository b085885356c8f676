#pragma once

#include <vector>

// How the croisillé (loops against roles) is cut into landscape pages.
struct SCroisillePage {
    std::vector<int> loops; // loop indices, in time order
    std::vector<int> roles; // role indices, in the order the roles first speak on the page
};

inline constexpr int CROISILLE_MAX_ROLES = 30;
inline constexpr int CROISILLE_MAX_LOOPS = 20;

// speakers[i]: the roles speaking in loop i, in role order. A page takes loops until it holds 30
// roles or 20 loops; a loop that would bring it above 30 roles opens the next page. A single loop
// in which more than 30 roles speak gets pages of its own, 30 role columns each. A last loop where
// nobody speaks is left out, and a page without roles is not made.
std::vector<SCroisillePage> paginateCroisille(const std::vector<std::vector<int>>& speakers);
