#include "app/LinkControl.h"

#include "app/Commands.h"
#include "app/SyncApp.h"

CLinkControl::CLinkControl(IAppServices& app, CSyncManager& sync, QObject* pParent)
    : QObject(pParent), m_app(app), m_sync(sync) {
    m_timer.setInterval(PERIOD_MS);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] { m_link.updateFromMediaTime(m_sync.getTime(0)); });
}

CLinkControl::~CLinkControl() {
    close();
}

void CLinkControl::bindCommands(CCommandTable& c) {
    c.bind(Cmd::CONTROL_CORVEL, {[this] { OnControlCorvel(); }, {}, [this] { return m_link.isEnabled(); }});
}

void CLinkControl::restore() {
    if (m_app.settings().get(Settings::CorvelActive) != 0) OnControlCorvel();
}

void CLinkControl::OnControlCorvel() {
    CSettingsStore& settings = m_app.settings();
    if (m_link.isEnabled()) {
        m_link.disconnect();
        m_timer.stop();
        settings.set(Settings::CorvelActive, 0);
    } else if (m_link.configure(settings, m_app.logFolder())) {
        reset();
        m_timer.start();
        settings.set(Settings::CorvelActive, 1);
    } else {
        m_app.prompts().error(QStringLiteral("Impossible d'établir la communication avec la machine Corvel. "
                                             "Vérifiez qu'elle est bien connectée."));
        settings.set(Settings::CorvelActive, 0);
    }
}

void CLinkControl::reset(bool bNewScript) {
    if (m_link.isEnabled()) m_link.reset(bNewScript ? 0 : m_sync.getTimeCode(0).getFrames());
}

void CLinkControl::close() {
    m_timer.stop();
    m_link.disconnect();
}
