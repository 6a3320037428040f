import json
import os
import unittest

import tersolite

ISSUES = [
    {"id": 1000 + i, "title": f"Crash number {i} when exporting reports", "state": "open" if i % 3 else "closed",
     "user": {"login": f"dev{i % 4}", "avatar_url": f"https://example.com/a/{i}.png"},
     "body": "Steps to reproduce: open the page, press export and wait. " * 4}
    for i in range(40)
]


class ShrinkTest(unittest.TestCase):
    def test_shrinks_objects_to_the_budget(self):
        r = tersolite.shrink(ISSUES, max_chars=2000)
        self.assertTrue(r.report.pruned)
        self.assertTrue(r.report.fits)
        self.assertLessEqual(r.report.output_chars, 2000)
        self.assertEqual(len(r.text), r.report.output_chars)
        self.assertIn("items omitted]", r.text)
        json.loads(r.text)

    def test_accepts_text_bytes_and_yaml(self):
        text = json.dumps(ISSUES[:2])
        self.assertEqual(tersolite.shrink(text).text, tersolite.shrink(text.encode()).text)
        y = tersolite.shrink("name: tersolite\nitems: [1, 2]\n")
        self.assertEqual("yaml", y.report.format)
        self.assertEqual("name: tersolite\nitems:\n  - 1\n  - 2\n", y.text)

    def test_query_and_condense_report_decisions(self):
        r = tersolite.shrink(ISSUES, max_chars=4000, query="state of the crash", array_strategy="condense",
                             explain=True, protect=["/*/id"])
        self.assertEqual(1, r.report.arrays_condensed)
        self.assertTrue(all(isinstance(d, tersolite.FieldDecision) for d in r.report.field_decisions))
        self.assertTrue(any(d.path == "/*/id" and d.score == 2.0 for d in r.report.field_decisions))
        self.assertIn('"state"', r.text)

    def test_errors_raise_with_the_exact_message(self):
        cases = [
            ({"max_chars": -1}, "invalid options: max_chars must be a non-negative integer"),
            ({"bogus": 1}, "invalid options: unknown option: bogus"),
            ({"format": "yaml", "indent": 1}, "invalid options: YAML indent must be at least 2"),
        ]
        for options, message in cases:
            with self.subTest(options=options):
                with self.assertRaises(tersolite.TersoliteError) as e:
                    tersolite.shrink([1], **options)
                self.assertEqual(message, str(e.exception))
        with self.assertRaises(tersolite.TersoliteError) as e:
            tersolite.shrink(b"\xff")
        self.assertEqual("input is not valid UTF-8", str(e.exception))
        with self.assertRaises(tersolite.TersoliteError) as e:
            tersolite.shrink('{"a": 1,}')
        self.assertEqual("invalid JSON input: expected string key at line 1, column 9", str(e.exception))

    def test_finds_the_library(self):
        self.assertEqual("0.2.1", tersolite.version())
        with self.assertRaises(OSError):
            tersolite.load("/nonexistent/libtersolite.so")
        tersolite.load(os.environ["TERSOLITE_LIBRARY"])


if __name__ == "__main__":
    unittest.main()
