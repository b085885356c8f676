#pragma once

// Which frame of the movie a picture that mpv hands the video view shows, while the movie plays.
//
// mpv reports its position when its core queues a picture for its video output, and it queues the next
// picture up to 50 ms before that one is due (its video timing offset). A view that draws a picture late
// therefore often finds the next picture already reported: the last report is the picture drawn, or
// the one after it. What tells them apart is the picture's target time (when mpv wants it on the
// screen, given by the render interface) against now:
// - drawn more than the offset (and a margin) before the next picture is due, the next one cannot have
//   been queued yet: the report is the picture's;
// - drawn after the next picture is due, mpv has queued and reported it (measured: always, forwards);
// - in between, the frame follows from the last one's by the target times (one frame's duration apart
//   at the speed played, drops included), kept within the two that the report allows. With no picture
//   to count from (the second of a series), it is the likelier of the two, and may be one off.
// A picture's own report may also come after the view has drawn it (mpv's core reports when it next
// wakes): a new picture that finds the report still on the picture before, which it labelled, is
// counted from that one (never from the series' second picture, which may be one off).
// The first picture of a series (after a pause, a seek or a change of rate) is never before the picture
// the series started from.
//
// Times in microseconds on one clock (mpv's). No state but the last picture; any thread, one at a time.
class CPresentedFrame {
public:
    // mpv's video timing offset: how long before its time a picture is queued (its default, which the
    // player sets explicitly).
    static constexpr long long QUEUE_AHEAD_US = 50000;
    static constexpr long long MARGIN_US = 5000;

    // A new series starts from the standing picture nFrom (-1: unknown).
    void restart(long long nFrom);
    // A new picture is about to be drawn: its frame. nReported: the frame mpv reported last; nTargetUs:
    // the picture's target time (0 when mpv gave none); nNowUs: now; dFrameUs: one frame's duration at
    // the speed played; nDir: +1 forwards, -1 backwards.
    long long onNewPicture(long long nReported, long long nTargetUs, long long nNowUs, double dFrameUs,
                           int nDir);

private:
    long long m_nFrom = -1;
    bool m_bFirst = true;
    long long m_nLast = -1;
    long long m_nLastTarget = 0;    // 0: no picture to count from
    long long m_nLastReported = -1; // the report at the last picture
    bool m_bLastCounted = false;    // the last picture's frame was counted from the one before it
};
