#pragma once

// Where the band takes "now" from. The application plugs in its clock driver (one clock step
// before each frame, then the position); tests and tools use a fixed position.
class CBandTimeSource {
public:
    virtual ~CBandTimeSource() = default;
    // Called once before each frame is drawn: the clock's step.
    virtual void step() {}
    // Current position in media time (1/600 s), never negative.
    virtual int getTime() = 0;
    // Playing rate in 1/24 of normal speed; the band keeps rendering frame after frame while not 0.
    virtual int getRate() const = 0;
};

// A position set by hand, optionally advancing by a fixed amount per step.
class CFixedTimeSource : public CBandTimeSource {
public:
    explicit CFixedTimeSource(int nTime = 0, int nRate = 0) : m_nTime(nTime), m_nRate(nRate) {}
    void step() override {
        m_nTime += m_nIncrement;
        if (m_nTime < 0) m_nTime = 0;
    }
    int getTime() override { return m_nTime; }
    int getRate() const override { return m_nRate; }
    void setTime(int nTime) { m_nTime = nTime < 0 ? 0 : nTime; }
    void setRate(int nRate) { m_nRate = nRate; }
    // Media time added at each step (24 = one frame at 25 fps).
    void setIncrement(int nIncrement) { m_nIncrement = nIncrement; }

private:
    int m_nTime;
    int m_nRate;
    int m_nIncrement = 0;
};
