#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

class CVarE;
class CLoop;
class CRole;
class CLine;

// Who speaks in which loop: a role speaks in a loop when one of its phrases starts from the loop's
// frame up to the next loop's frame (to the end for the last loop). Built in one walk over the
// phrases; the croisillé and the role list both read it.
class CLoopRoleTable {
public:
    explicit CLoopRoleTable(const CVarE& script);

    int loopCount() const { return int(m_loops.size()); }
    int roleCount() const { return int(m_roles.size()); }
    const CLoop& loop(int i) const { return *m_loops[std::size_t(i)]; }
    const CRole& role(int i) const { return *m_roles[std::size_t(i)]; }

    bool speaks(int nLoop, int nRole) const {
        return m_speaks[std::size_t(nLoop) * m_roles.size() + std::size_t(nRole)];
    }
    // Roles speaking in a loop, in role order.
    std::vector<int> speakers(int nLoop) const;
    // Index of a phrase's role in role order, -1 without role.
    int roleIndex(const CLine& line) const;

private:
    std::vector<const CLoop*> m_loops;
    std::vector<const CRole*> m_roles;
    std::unordered_map<const CRole*, int> m_roleIndex;
    std::vector<bool> m_speaks; // loops x roles
};
