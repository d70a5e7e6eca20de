#!/usr/bin/env python3
"""The parts of the end-to-end rig that decide what was observed: reading the lines the test host
and the listener print, and waiting for a line with a deadline. A fault here would let a scenario
pass on a message that never arrived, or fail on one that did; none of it needs root or X."""

import os
import sys
import threading
import time
import unittest

# The rig is imported from the source tree, which must stay free of byte-code caches.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lanrig  # noqa: E402


class FieldEscapes(unittest.TestCase):
    def test_reverses_every_escape_of_the_one_line_format(self):
        self.assertEqual(lanrig.unescape_field(r"a\\b"), "a\\b")
        self.assertEqual(lanrig.unescape_field(r"uno\ndos"), "uno\ndos")
        self.assertEqual(lanrig.unescape_field(r"col\tcol"), "col\tcol")
        self.assertEqual(lanrig.unescape_field(r"\x01\x1F"), "\x01\x1f")
        # An escaped backslash followed by "n" is a backslash and a letter, not a line break.
        self.assertEqual(lanrig.unescape_field(r"\\n"), "\\n")

    def test_leaves_incomplete_escapes_and_other_text_alone(self):
        self.assertEqual(lanrig.unescape_field("fin\\"), "fin\\")
        self.assertEqual(lanrig.unescape_field(r"\x4"), r"\x4")
        self.assertEqual(lanrig.unescape_field("\u00e1 \u00f1 \u20ac"), "\u00e1 \u00f1 \u20ac")


class ObservedLines(unittest.TestCase):
    def test_test_host_entry(self):
        e = lanrig.Program.parse(0.0, "LINE\t1500000000\t4\t02:01:32\tTEJO\tMIRLO\tcol\\tuna")
        self.assertEqual((e.first, e.second, e.text, e.palette), ("TEJO", "MIRLO", "col\tuna", 4))
        self.assertAlmostEqual(e.t, 1.5)
        self.assertEqual(e.time, "02:01:32")
        recovered = lanrig.Program.parse(0.0, "LINE\t1\t3\t------\tZORRO\tTEJO\tuno")
        self.assertEqual(recovered.time, "------")

    def test_test_host_lines_that_are_no_entry(self):
        self.assertIsNone(lanrig.Program.parse(0.0, "READY\t123"))
        self.assertIsNone(lanrig.Program.parse(0.0, "LINE\t1\t2\ttoo few"))
        # A stray tab would shift the fields: such a line is not taken for an entry.
        self.assertIsNone(lanrig.Program.parse(0.0, "LINE\t1\t2\tt\ta\tb\tc\td"))

    def test_listener_line_keeps_the_read_time(self):
        e = lanrig.Listener.parse(7.25, "messenger\tTEJO\tSAUCE\thola\\nadi\u00f3s")
        self.assertEqual((e.channel, e.first, e.second, e.text), ("messenger", "TEJO", "SAUCE",
                                                                  "hola\nadi\u00f3s"))
        self.assertEqual(e.t, 7.25)
        self.assertIsNone(lanrig.Listener.parse(0.0, "pelmora-cli: listening"))


class Waiting(unittest.TestCase):
    def setUp(self):
        r, w = os.pipe()
        self.writer = os.fdopen(w, "wb", buffering=0)
        self.stream = lanrig.Stream(os.fdopen(r, "rb"))

    def tearDown(self):
        self.writer.close()

    # The waits below are given far longer than any loaded machine takes for what they wait for,
    # so that ending before the deadline tells only that the line or the end stopped them.
    LONG = 30

    def test_a_line_printed_later_ends_the_wait_early(self):
        threading.Timer(0.1, lambda: self.writer.write(b"LINE later\n")).start()
        t0 = time.monotonic()
        got = self.stream.wait_for(lambda t, l: l == "LINE later", self.LONG)
        self.assertEqual(got[1], "LINE later")
        self.assertLess(time.monotonic() - t0, self.LONG, "the wait ran to its deadline")

    def test_the_deadline_holds_and_earlier_lines_are_not_new(self):
        self.writer.write(b"hola\n")
        self.assertIsNotNone(self.stream.wait_for(lambda t, l: l == "hola", 2))
        mark = len(self.stream.snapshot())
        t0 = time.monotonic()
        self.assertIsNone(self.stream.wait_for(lambda t, l: l == "hola", 0.3, mark))
        self.assertGreaterEqual(time.monotonic() - t0, 0.3)

    def test_a_stream_that_ends_stops_the_wait(self):
        self.writer.close()
        t0 = time.monotonic()
        self.assertIsNone(self.stream.wait_for(lambda t, l: True, self.LONG))
        self.assertLess(time.monotonic() - t0, self.LONG, "the wait ran to its deadline")
        self.writer = open(os.devnull, "wb")


if __name__ == "__main__":
    unittest.main()
