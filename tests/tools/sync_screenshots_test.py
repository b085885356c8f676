#!/usr/bin/env python3
"""The screenshot readers of bench/sync-screenshots on pictures drawn here: the frame code's blocks, the
band's marks against the reading bar, the large timecode's digits, and the figures made from them."""
import importlib.machinery
import importlib.util
import os
import tempfile
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench", "sync-screenshots")
loader = importlib.machinery.SourceFileLoader("sync_screenshots", TOOL)
spec = importlib.util.spec_from_loader("sync_screenshots", loader)
tool = importlib.util.module_from_spec(spec)
loader.exec_module(tool)


def canvas(width, height, colour=(0, 0, 0)):
    return tool.Image(width, height, bytearray(bytes(colour) * (width * height)))


def fill(img, x0, y0, x1, y1, colour):
    x0, x1 = max(0, x0), min(img.width, x1)
    if x1 <= x0:
        return
    for y in range(max(0, y0), min(img.height, y1)):
        i = 3 * (y * img.width)
        img.data[i + 3 * x0:i + 3 * x1] = bytes(colour) * (x1 - x0)


def draw_code(img, frame, x0, y0, cell, height, grey_cell=None):
    for i, white in enumerate(tool.code_cells(frame)):
        colour = (128, 128, 128) if i == grey_cell else ((235, 235, 235) if white else (16, 16, 16))
        fill(img, x0 + round(i * cell), y0, x0 + round((i + 1) * cell), y0 + height, colour)


BAND = (0, 20, 1280, 155)  # the band's window as the program opens it, at y 20


def draw_band(img, position, zoom_ppf=tool.PIXELS_PER_FRAME, skip=()):
    """The band as the program draws a script of shot changes only: beige tracks, the marks over the
    upper half of each track, the red reading bar (3 pixels) at the centre, at a fractional position."""
    x0, y0, w, h = BAND
    fill(img, x0, y0, x0 + w, y0 + h, (215, 190, 160))
    bar = w // 2
    for m in tool.mark_frames():
        centre = bar + (m - position) * zoom_ppf
        if m in skip or not -10 < centre < w + 10:
            continue
        left = int(centre - tool.MARK_WIDTH / 2 + 0.5)
        for k in range(4):
            base = 300 - 100 * k
            top = y0 + int((400 - (base + 100)) / 410.0 * h)
            bottom = y0 + int((400 - (base + 50)) / 410.0 * h)
            fill(img, left, top, left + int(tool.MARK_WIDTH), bottom, (127, 127, 127))
    fill(img, bar - 1, y0, bar + 2, y0 + round(h * 400 / 410.0), (196, 0, 0))
    return bar


# A 5 x 7 digit font, and colons, drawn 3 times larger: the control view's large timecode stand-in.
FONT = {
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "4": ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "6": ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    "7": ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    "8": ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    "9": ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
    ":": ["0", "1", "0", "0", "0", "1", "0"],
    "#": ["11111", "11111", "11111", "11111", "11111", "11111", "11111"],
}
TC_BOX = (10, 200, 300, 240)
BACKGROUND = (47, 30, 14)


def draw_timecode(img, text, shift=0, soft_top=False):
    """soft_top: a faint row above each glyph, as anti-aliasing leaves at some positions below the pixel."""
    fill(img, TC_BOX[0], TC_BOX[1], TC_BOX[2], TC_BOX[3], BACKGROUND)
    x = TC_BOX[0] + 4 + shift
    for ch in text:
        rows = FONT[ch]
        if soft_top and ch != ":":
            fill(img, x + 3, TC_BOX[1] + 7, x + 12, TC_BOX[1] + 8, (120, 105, 90))
        for r, row in enumerate(rows):
            for c, bit in enumerate(row):
                if bit == "1":
                    fill(img, x + 3 * c, TC_BOX[1] + 8 + 3 * r, x + 3 * c + 3, TC_BOX[1] + 11 + 3 * r,
                         (240, 230, 210))
        x += 3 * len(rows[0]) + 4


def tc_reader():
    img = canvas(320, 260)
    reader = tool.TimecodeReader(TC_BOX, tool.Image(1, 1, bytes(BACKGROUND)).luma(0, 0))
    for text in ("10:00:13:24", "10:00:56:17", "10:01:48:09"):
        draw_timecode(img, text)
        reader.learn(img, text)
    return reader, img


class FrameCodeTest(unittest.TestCase):
    def test_every_frame_round_trips_and_one_flipped_block_is_refused(self):
        for frame in range(1 << tool.CODE_BITS):
            cells = tool.code_cells(frame)
            self.assertEqual(tool.decode_cells([bool(c) for c in cells]), frame)
            flipped = list(cells)
            flipped[3 + frame % tool.CODE_BITS] ^= 1
            with self.assertRaises(tool.ReadError):
                tool.decode_cells(flipped)
        with self.assertRaises(tool.ReadError):
            tool.decode_cells([1, 0] + tool.code_cells(5)[2:])  # guards wrong

    def test_found_on_a_scaled_picture_and_read_only_when_every_block_is_plain(self):
        img = canvas(1000, 300, (240, 240, 240))  # a bright window around the picture
        fill(img, 100, 40, 100 + 16 * 52, 260, (0, 0, 0))
        draw_code(img, 1251, 100, 50, 52, 52)
        where = tool.find_code(img, 1251)
        self.assertEqual(tool.read_code(img, where), 1251)
        draw_code(img, 1252, 100, 50, 52, 52)
        self.assertEqual(tool.read_code(img, where), 1252)
        draw_code(img, 1253, 100, 50, 52, 52, grey_cell=7)  # a block caught between two pictures
        with self.assertRaises(tool.ReadError):
            tool.read_code(img, where)
        with self.assertRaises(tool.ReadError):
            tool.find_code(canvas(200, 100), 3)


class BandTest(unittest.TestCase):
    def test_gap_pairs_occur_once(self):
        marks = tool.mark_frames()
        gaps = [b - a for a, b in zip(marks, marks[1:])]
        pairs = list(zip(gaps, gaps[1:]))
        self.assertEqual(len(pairs), len(set(pairs)))
        self.assertTrue(all(tool.GAP_MIN <= g <= tool.GAP_MAX for g in gaps))
        self.assertGreater(marks[-1], tool.FRAMES)

    def test_position_read_to_a_pixel_or_refused_never_wrong(self):
        img = canvas(1280, 200)
        read = refused = 0
        position = 0.0
        while position < 900:
            draw_band(img, position)
            try:
                bar, marks, width = tool.band_marks(img, BAND)
                found = tool.align_marks(bar, marks, width, tool.mark_frames())
                self.assertAlmostEqual(found, position, delta=1.0 / tool.PIXELS_PER_FRAME + 1e-9)
                read += 1
            except tool.ReadError:
                refused += 1
            position += 2.9
        self.assertGreater(read, 0.9 * (read + refused))

    def test_the_band_is_found_by_its_reading_bar_not_by_other_red(self):
        img = canvas(1280, 420)
        fill(img, 900, 200, 1000, 400, (191, 0, 0))  # a test card's red bar, longer than the band's
        draw_band(img, 100.0)
        window = tool.parse_main_window(
            '  0x400007 "sync-measure.vare - Tavorin": ("tavorin" "Tavorin")  1280x420+0+0  +0+0\n',
            "sync-measure.vare - Tavorin")
        self.assertEqual(window, (0, 0, 1280, 420))
        x, y, w, h = tool.locate_band(img, window)
        self.assertEqual((x, y, w, h), BAND)
        with self.assertRaises(tool.ReadError):
            tool.locate_band(canvas(1280, 420), window)

    def test_a_mark_beside_the_bar_is_placed_from_its_free_edge(self):
        img = canvas(1280, 200)
        for frac in (0.2, 0.3, -0.2, -0.3):
            mark = tool.mark_frames()[10]
            draw_band(img, mark + frac)
            bar, marks, _ = tool.band_marks(img, BAND)
            near = min(marks, key=lambda m: abs(m - bar))
            self.assertAlmostEqual((near - bar) / tool.PIXELS_PER_FRAME, -frac, delta=0.1)

    def test_a_mark_missing_from_view_is_no_alignment(self):
        img = canvas(1280, 200)
        marks = tool.mark_frames()
        draw_band(img, marks[20] + 6.5, skip={marks[20]})
        bar, seen, width = tool.band_marks(img, BAND)
        with self.assertRaises(tool.ReadError):
            tool.align_marks(bar, seen, width, marks)

    def test_frame_shown_while_scrolling(self):
        self.assertEqual(tool.band_frame(124.75), 124)
        self.assertEqual(tool.band_frame(124.97), 125)  # within half a pixel
        self.assertEqual(tool.band_frame(125.04, offset=0.042), 125)
        self.assertEqual(tool.band_frame(124.99, offset=0.042), 124)


class TimecodeTest(unittest.TestCase):
    def test_digits_learnt_read_every_timecode_even_a_pixel_off(self):
        reader, img = tc_reader()
        for text in ("10:00:05:00", "10:00:24:11", "10:01:59:15", "10:02:07:23"):
            for shift in (0, 1):
                for soft_top in (False, True):
                    draw_timecode(img, text, shift, soft_top)
                    self.assertEqual(reader.read(img), text)

    def test_unknown_glyphs_and_broken_lines_are_refused(self):
        reader, img = tc_reader()
        draw_timecode(img, "10:00:0#:00")
        with self.assertRaises(tool.ReadError):
            reader.read(img)
        draw_timecode(img, "10:00:05")
        with self.assertRaises(tool.ReadError):
            reader.read(img)
        partial = tool.TimecodeReader(TC_BOX, reader.background)
        draw_timecode(img, "10:00:13:24")
        partial.learn(img, "10:00:13:24")
        with self.assertRaises(tool.ReadError):
            partial.read(img)  # six digits learnt, not ten


class FiguresTest(unittest.TestCase):
    def test_where_the_program_stands_comes_from_what_it_was_told_and_traced(self):
        tc = lambda f: tool.timecode_text(tool.BASE + f)
        shots = [
            {"step": "goto", "typed": 125, "trace": tc(125)},
            {"step": "next", "taken": True, "trace": tc(126)},
            {"step": "next", "taken": True, "trace": tc(128)},  # two frames for one step: not trusted
            {"step": "goto", "typed": 611, "trace": tc(600)},  # the go-to went elsewhere
            {"step": "stop", "stop_trace": tc(650)},
            {"step": "prev", "taken": True, "trace": tc(689)},
            {"step": "next", "taken": False, "trace": tc(689)},
        ]
        self.assertEqual(tool.expected_frames(shots), [125, 126, None, None, 690, 689, None])

    def test_clock_and_offsets_over_a_segment(self):
        shots = []
        for i in range(61):
            picture = 100 + int(i * 25 * 0.99)  # one per cent slow
            shots.append({"speed": "x1", "t0": 1000.0 + i, "t1": 1000.1 + i,
                          "read": {"picture": picture, "timecode": picture + (i % 2), "band": picture + 1,
                                   "band_position": picture + 1.5}})
        shots[5]["read"]["timecode"] = None  # unread: left out of the offsets, not guessed
        s = tool.summarise_play(shots, "x1", 0.0)
        self.assertEqual((s["shots"], s["read"]), (61, 60))
        self.assertEqual(s["band_minus_picture"]["equal"], 0.0)
        self.assertEqual(s["band_minus_picture"]["median"], 1)
        self.assertAlmostEqual(s["picture_minus_timecode"]["equal"], 31 / 60)
        self.assertAlmostEqual(s["clock"]["late_frames_per_minute"], 15.0, delta=0.5)
        self.assertAlmostEqual(s["band_minus_picture_fraction"], 1.5)

    def test_screenshot_files_are_read_within_bounds(self):
        with tempfile.TemporaryDirectory() as d:
            good = os.path.join(d, "a.ppm")
            with open(good, "wb") as f:
                f.write(b"P6\n2 1\n255\n" + bytes([1, 2, 3, 4, 5, 6]))
            self.assertEqual(tool.Image.read_ppm(good).rgb(1, 0), (4, 5, 6))
            for name, data in (("short.ppm", b"P6\n2 1\n255\n" + bytes(5)),
                               ("deep.ppm", b"P6\n2 1\n65535\n" + bytes(12)), ("png.ppm", b"\x89PNG\r\n")):
                path = os.path.join(d, name)
                with open(path, "wb") as f:
                    f.write(data)
                with self.assertRaises(tool.ReadError):
                    tool.Image.read_ppm(path)
            with self.assertRaises(tool.ReadError):
                tool.Image.read_ppm(good, max_bytes=10)


if __name__ == "__main__":
    unittest.main()
