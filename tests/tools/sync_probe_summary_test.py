#!/usr/bin/env python3
"""The sync probe summariser on logs made here: offsets between the displays, drift against wall time."""
import importlib.machinery
import importlib.util
import os
import subprocess
import sys
import tempfile
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "sync-probe-summary")
loader = importlib.machinery.SourceFileLoader("sync_probe_summary", TOOL)
spec = importlib.util.spec_from_loader("sync_probe_summary", loader)
summary_tool = importlib.util.module_from_spec(spec)
loader.exec_module(summary_tool)


def line(us, rate, picture, band, timecode, reported=-1):
    return "21:00:00:000\tprobe\t%d\t%d\t%d\t%d\t%d\t%d\n" % (us, rate, picture, band, timecode, reported)


def play(start_us, seconds, rate, first_frame, speed_error=0.0, every_us=20_000):
    """Band frames every 20 ms over a picture that runs at the rate, (1 + speed_error) times too fast."""
    lines = []
    step = 25.0 * rate / 24.0 * (1.0 + speed_error)
    for i in range(int(seconds * 1e6 / every_us)):
        us = start_us + i * every_us
        frame = first_frame + int((us - start_us) / 1e6 * step)
        lines.append((us, frame))
    return lines


class SummaryTest(unittest.TestCase):
    def by_rate(self, text):
        return {row["rate"]: row for row in summary_tool.summarise(summary_tool.read_records(text))}

    def test_offsets_between_the_displays(self):
        text = [line(0, 0, 900, 900, 900), "21:00:00:001\tCSyncApp::OnIdle(3)\t=> 16\tfps=60\n",
                line(10, 0, 901, 901, 901), "probe\t12\t24\t1\n"]
        rows = play(1_000_000, 10, 24, 1000)
        for n, (us, frame) in enumerate(rows):
            band = frame + (2 if n % 4 == 0 else 0)    # a quarter of the band frames two ahead
            timecode = frame + 1 if n % 10 == 0 else frame  # the timecode one behind in a tenth
            text.append(line(us, 24, frame, band, timecode, frame + 1))
        r = self.by_rate(text)
        self.assertEqual(set(r), {0, 24})
        self.assertEqual(r[0]["refreshes"], 2)
        self.assertEqual(r[0]["band_minus_picture"]["equal"], 1.0)
        play_row = r[24]
        self.assertEqual(play_row["refreshes"], len(rows))
        self.assertAlmostEqual(play_row["band_minus_picture"]["equal"], 0.75)
        self.assertEqual(play_row["band_minus_picture"]["median"], 0)
        self.assertEqual(play_row["band_minus_picture"]["max"], 2)
        self.assertAlmostEqual(play_row["picture_minus_timecode"]["equal"], 0.9)
        self.assertAlmostEqual(play_row["picture_minus_timecode"]["zero_or_minus_one"], 1.0)
        self.assertEqual(play_row["picture_minus_timecode"]["min"], -1)
        self.assertEqual(play_row["reported_minus_picture"]["median"], 1)
        self.assertAlmostEqual(play_row["clock"]["drift_per_minute"], 0.0, delta=6.5)

    def test_clock_against_wall_time_forwards_and_backwards(self):
        text = []
        # A minute at normal speed, 1 % slow: 15 frames lost a minute.
        for us, frame in play(0, 60, 24, 1000, speed_error=-0.01):
            text.append(line(us, 24, frame, frame, frame))
        # Half a minute backwards 1 % slow (7.5 frames lost), then a quarter speed.
        for us, frame in play(61_000_000, 30, -24, 2500, speed_error=-0.01):
            text.append(line(us, -24, frame, frame, frame))
        for us, frame in play(92_000_000, 30, 6, 1750):
            text.append(line(us, 6, frame, frame, frame))
        r = self.by_rate(text)
        self.assertAlmostEqual(r[24]["clock"]["drift_per_minute"], -15.0, delta=1.0)
        self.assertAlmostEqual(r[24]["clock"]["late_max_s"], 0.6 * 59.5 / 60, delta=0.05)
        self.assertAlmostEqual(r[-24]["clock"]["drift_per_minute"], -15.0, delta=2.5)
        self.assertAlmostEqual(r[-24]["clock"]["late_max_s"], 0.6 * 29.5 / 60, delta=0.05)
        self.assertAlmostEqual(r[6]["clock"]["drift_per_minute"], 0.0, delta=2.5)
        self.assertEqual(r[-24]["band_minus_picture"]["equal"], 1.0)
        table = summary_tool.table(summary_tool.summarise(summary_tool.read_records(text)))
        self.assertIn("| x1 |", table)
        self.assertIn("| x1 reverse |", table)
        self.assertIn("| x0.25 |", table)

    def test_unreadable_and_empty_logs_are_said(self):
        with tempfile.TemporaryDirectory() as d:
            empty = os.path.join(d, "app.log")
            with open(empty, "w") as f:
                f.write("21:00:00:000\tCSyncApp::InitInstance() => Ok\n")
            done = subprocess.run([sys.executable, TOOL, empty], capture_output=True, text=True)
            self.assertEqual(done.returncode, 1)
            self.assertIn("Aucune ligne", done.stderr)
            done = subprocess.run([sys.executable, TOOL, os.path.join(d, "absent.log")], capture_output=True,
                                  text=True)
            self.assertEqual(done.returncode, 1)
            self.assertIn("Impossible de lire", done.stderr)


if __name__ == "__main__":
    unittest.main()
