#pragma once

#include "app/RichScriptView.h"

#include <functional>

class CTransport;

// What the band does when the script text view asks: the edit view plugs its own edit mode in here.
// Unset, entering and leaving edit mode do nothing (a click has already taken the transport to the
// phrase and made its track active).
struct SBandActions {
    std::function<void()> enterEditMode;
    std::function<void()> leaveEditMode;
    std::function<void(int)> setActiveTrack;
    std::function<void()> focus;
};

// The script text view's link to the program: the transport's clock and follow flag, the band's
// active track, edit mode and keyboard.
class CScriptViewHost : public IScriptViewHost {
public:
    CScriptViewHost(CTransport& transport, std::function<int()> activeTrack, SBandActions band);

    SBandActions& band() { return m_band; }

    CTimeCode getTimeCode() override;
    void gotoTime(const CTimeCode& tc) override;
    bool isFollowing() const override;
    void setFollowing(bool b) override;
    int getActiveTrack() const override { return m_activeTrack ? m_activeTrack() : 0; }
    void setActiveTrack(int nTrack) override;
    void enterEditMode() override;
    void leaveEditMode() override;
    void focusBand() override;

private:
    CTransport& m_transport;
    std::function<int()> m_activeTrack;
    SBandActions m_band;
};
