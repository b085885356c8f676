#include "app/ScriptViewHost.h"

#include "app/Transport.h"

CScriptViewHost::CScriptViewHost(CTransport& transport, std::function<int()> activeTrack, SBandActions band)
    : m_transport(transport), m_activeTrack(std::move(activeTrack)), m_band(std::move(band)) {}

CTimeCode CScriptViewHost::getTimeCode() {
    return m_transport.getTimeCode();
}

void CScriptViewHost::gotoTime(const CTimeCode& tc) {
    m_transport.gotoTime(tc);
}

bool CScriptViewHost::isFollowing() const {
    return m_transport.isFollowing();
}

void CScriptViewHost::setFollowing(bool b) {
    m_transport.setFollowing(b);
}

void CScriptViewHost::setActiveTrack(int nTrack) {
    if (m_band.setActiveTrack) m_band.setActiveTrack(nTrack);
}

void CScriptViewHost::enterEditMode() {
    if (m_band.enterEditMode) m_band.enterEditMode();
}

void CScriptViewHost::leaveEditMode() {
    if (m_band.leaveEditMode) m_band.leaveEditMode();
}

void CScriptViewHost::focusBand() {
    if (m_band.focus) m_band.focus();
}
