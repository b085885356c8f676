#include "export/LoopRoleTable.h"

#include "vare/VarE.h"

CLoopRoleTable::CLoopRoleTable(const CVarE& script) {
    for (const CLoop& loop : script.getLoops())
        m_loops.push_back(&loop);
    for (const CRole& role : script.getRoles()) {
        m_roleIndex.emplace(&role, int(m_roles.size()));
        m_roles.push_back(&role);
    }
    m_speaks.assign(m_loops.size() * m_roles.size(), false);
    // Phrases and loops are both in time order: one walk over each.
    size_t nLoop = 0;
    for (const CLine& line : script.getLines()) {
        const int nFrame = line.getStartFrame();
        if (nFrame < 0) continue;
        while (nLoop < m_loops.size() && m_loops[nLoop]->getFrames() <= nFrame)
            ++nLoop;
        const int nRole = roleIndex(line);
        if (nLoop > 0 && nRole >= 0) m_speaks[(nLoop - 1) * m_roles.size() + size_t(nRole)] = true;
    }
}

std::vector<int> CLoopRoleTable::speakers(int nLoop) const {
    std::vector<int> v;
    for (int r = 0; r < roleCount(); ++r)
        if (speaks(nLoop, r)) v.push_back(r);
    return v;
}

int CLoopRoleTable::roleIndex(const CLine& line) const {
    const CRole* pRole = line.getRolePtr();
    if (!pRole) return -1;
    auto it = m_roleIndex.find(pRole);
    return it == m_roleIndex.end() ? -1 : it->second;
}
