#include "vare/VarE.h"

// Placeholder until the legacy reader lands: every .det file is refused.
bool CVarE::importDet(const QString& strPath) {
    m_log.Log("VarE::importDet(%s)\n", strPath.toUtf8().constData());
    clear();
    return false;
}
