#pragma once

#include "BandTimeSource.h"
#include "sync/ClockDriver.h"
#include "sync/SyncManager.h"

// "Now" for the band from the application's clock: each frame runs the clock steps that are due by
// elapsed time, then reads the position with the band's look-ahead of one step.
class CSyncTimeSource : public CBandTimeSource {
public:
    CSyncTimeSource(CSyncManager& sync, CClockDriver& driver) : m_sync(sync), m_driver(driver) {}
    void step() override { m_driver.tick(); }
    int getTime() override { return m_sync.getTime(1); }
    int getRate() const override { return m_sync.getRate(); }

private:
    CSyncManager& m_sync;
    CClockDriver& m_driver;
};
