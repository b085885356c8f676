#include "export/CroisillePages.h"

#include <algorithm>

std::vector<SCroisillePage> paginateCroisille(const std::vector<std::vector<int>>& speakers) {
    std::vector<SCroisillePage> pages;
    SCroisillePage page;
    auto flush = [&] {
        if (!page.roles.empty()) pages.push_back(std::move(page));
        page = {};
    };
    const int nLoops = int(speakers.size());
    for (int i = 0; i < nLoops; ++i) {
        const std::vector<int>& roles = speakers[size_t(i)];
        const bool bLast = i == nLoops - 1;
        if (bLast && roles.empty()) break;
        std::vector<int> added;
        for (int r : roles)
            if (std::find(page.roles.begin(), page.roles.end(), r) == page.roles.end()) added.push_back(r);
        if (page.roles.size() + added.size() > size_t(CROISILLE_MAX_ROLES)) {
            flush();
            if (roles.size() > size_t(CROISILLE_MAX_ROLES)) {
                // Too many voices for one page: the loop's roles run over as many pages as needed.
                for (size_t k = 0; k < roles.size(); k += CROISILLE_MAX_ROLES) {
                    SCroisillePage part;
                    part.loops = {i};
                    part.roles.assign(roles.begin() + long(k),
                                      roles.begin() + long(std::min(roles.size(), k + CROISILLE_MAX_ROLES)));
                    pages.push_back(std::move(part));
                }
                continue;
            }
            added = roles;
        }
        page.roles.insert(page.roles.end(), added.begin(), added.end());
        page.loops.push_back(i);
        if (page.roles.size() == size_t(CROISILLE_MAX_ROLES) ||
            page.loops.size() == size_t(CROISILLE_MAX_LOOPS) || bLast)
            flush();
    }
    flush();
    return pages;
}
