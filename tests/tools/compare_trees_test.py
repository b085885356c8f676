#!/usr/bin/env python3
"""The benchmark comparison: figures read from the benchmarks' own output, and what counts as worse."""
import importlib.machinery
import importlib.util
import os
import unittest

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench", "compare-trees")
loader = importlib.machinery.SourceFileLoader("compare_trees", TOOL)
spec = importlib.util.spec_from_loader("compare_trees", loader)
tool = importlib.util.module_from_spec(spec)
loader.exec_module(tool)


class Figures(unittest.TestCase):
    def test_lines_units_and_table_rows(self):
        out = ("Script: 10000 phrases, 12 roles\n"
               "load VarE                             704.8 ms\n"
               "cut search:     237.0 frames/s wall, 130.2 frames/s of cpu time\n"
               "phrases  MB  load ms\n"
               "1,000     0.3   13.0\n"
               "10,000    3.0  136.5\n")
        f = tool.figures(out)
        self.assertEqual(f[("load VarE # ms", 0, 0)][:2], (704.8, "ms"))
        self.assertEqual(f[("cut search: # frames/s wall, # frames/s of cpu time", 0, 1)][:2],
                         (130.2, "frames/s"))
        # Rows of a table share their shape: told apart by their order.
        self.assertEqual(f[("# # #", 0, 0)][0], 1000.0)
        self.assertEqual(f[("# # #", 1, 2)][0], 136.5)
        self.assertNotIn(("phrases MB load ms", 0, 0), f)

    def test_a_figure_printed_with_other_spacing_is_the_same_figure(self):
        a = tool.figures("export classic   70.2 ms\n")
        b = tool.figures("export classic 71.0 ms\n")
        self.assertEqual(a.keys(), b.keys())


class Verdict(unittest.TestCase):
    def test_worse_only_beyond_the_spread_of_the_runs(self):
        less = tool.direction("load # ms", "ms")
        self.assertEqual(less, -1)
        self.assertEqual(tool.judge([10, 10.2, 10.1], [11, 11.2, 11.1], less, 5), "worse")
        # The medians 10 % apart, but the runs overlap: noise.
        self.assertEqual(tool.judge([10, 10.2, 12], [11, 9.9, 11.1], less, 5), "(noise)")
        self.assertEqual(tool.judge([10, 10, 10], [10.4, 10.4, 10.4], less, 5), "")
        # Faster is never worse.
        self.assertEqual(tool.judge([10, 10, 10], [5, 5, 5], less, 5), "")

    def test_rates_are_worse_when_they_fall(self):
        more = tool.direction("cut search: # frames/s", "frames/s")
        self.assertEqual(more, 1)
        self.assertEqual(tool.judge([237, 240, 238], [200, 201, 199], more, 5), "worse")
        self.assertEqual(tool.judge([237, 240, 238], [300, 301, 299], more, 5), "")
        # The intervals on a line that also gives a rate are times: shorter is better.
        line = "window render loop: # frames/s in # s, intervals median # ms"
        self.assertEqual(tool.direction(line, "ms"), -1)
        self.assertEqual(tool.direction(line, "frames/s"), 1)


if __name__ == "__main__":
    unittest.main()
