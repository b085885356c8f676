#include "sync/ClickSound.h"
#include "sync/NumericLocale.h"

#include <QFileInfo>
#include <mpv/client.h>

CClickSound::~CClickSound() {
    if (m_pMpv) mpv_terminate_destroy(m_pMpv);
}

bool CClickSound::open(const QString& strPath) {
    if (m_pMpv || !QFileInfo(strPath).isFile()) return m_pMpv != nullptr;
    useCNumericLocale();
    m_pMpv = mpv_create();
    if (!m_pMpv) return false;
    const std::pair<const char*, const char*> options[] = {
        {"config", "no"},      {"terminal", "no"},
        {"video", "no"},       {"audio-display", "no"},
        {"idle", "yes"},       {"osc", "no"},
        {"ytdl", "no"},        {"input-default-bindings", "no"},
        {"ao", "pulse,alsa"},  {"audio-client-name", "Tavorin"},
        {"load-scripts", "no"}};
    for (const auto& [pszName, pszValue] : options)
        mpv_set_option_string(m_pMpv, pszName, pszValue);
    if (mpv_initialize(m_pMpv) < 0) {
        mpv_terminate_destroy(m_pMpv);
        m_pMpv = nullptr;
        return false;
    }
    m_path = strPath.toUtf8();
    return true;
}

void CClickSound::play() {
    if (!m_pMpv) return;
    // Nobody waits for the player's news: what it has to tell is read and dropped here.
    while (mpv_wait_event(m_pMpv, 0)->event_id != MPV_EVENT_NONE) {
    }
    const char* args[] = {"loadfile", m_path.constData(), "replace", nullptr};
    mpv_command_async(m_pMpv, 0, args);
}
