#pragma once

#include "sync/MachineLink.h"

#include <QObject>
#include <QTimer>

class CCommandTable;
class CSyncManager;
class IAppServices;

// "Machine Corvel...": switches the link to the external synchroniser on or off, remembers it for the
// next start, and while it is on sends the clock's position every 10 ms.
class CLinkControl : public QObject {
    Q_OBJECT
public:
    static constexpr int PERIOD_MS = 10;

    CLinkControl(IAppServices& app, CSyncManager& sync, QObject* pParent = nullptr);
    ~CLinkControl() override;

    void bindCommands(CCommandTable& commands);
    // The link was on when the program last ended: switch it on again.
    void restore();
    void OnControlCorvel();
    // The synchroniser's next message starts from the clock's frame (a new script, an opened script or
    // picture, a new timestamp): it is not walked through the frames in between.
    void reset(bool bNewScript = false);
    void close();

    CMachineLink& link() { return m_link; }
    bool isTimerRunning() const { return m_timer.isActive(); }

private:
    IAppServices& m_app;
    CSyncManager& m_sync;
    CMachineLink m_link;
    QTimer m_timer;
};
