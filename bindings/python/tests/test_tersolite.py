import concurrent.futures
import ctypes
import json
import os
import pathlib
import tempfile
import unittest

import tersolite

ISSUES = [
    {"id": 1000 + i, "title": f"Crash number {i} when exporting reports", "state": "open" if i % 3 else "closed",
     "user": {"login": f"dev{i % 4}", "avatar_url": f"https://example.com/a/{i}.png"},
     "body": "Steps to reproduce: open the page, press export and wait. " * 4}
    for i in range(40)
]

EXAMPLE = pathlib.Path(__file__).resolve().parents[3] / "examples" / "issues.json"


class ShrinkTest(unittest.TestCase):
    def test_shrinks_objects_to_the_budget(self):
        r = tersolite.shrink(ISSUES, max_chars=2000)
        self.assertTrue(r.report.pruned)
        self.assertTrue(r.report.fits)
        self.assertLessEqual(r.report.output_chars, 2000)
        self.assertEqual(len(r.text), r.report.output_chars)
        self.assertIn("items omitted]", r.text)
        json.loads(r.text)

    def test_every_kind_of_document_gives_the_same_answer(self):
        text = json.dumps(ISSUES[:3])
        with tempfile.TemporaryDirectory() as d:
            path = pathlib.Path(d) / "issues.json"
            path.write_text(text, encoding="utf-8")
            answers = {kind: tersolite.shrink(doc, max_chars=400, indent=0).text
                       for kind, doc in [("str", text), ("bytes", text.encode()), ("bytearray", bytearray(text, "utf-8")),
                                         ("Path", path), ("object", ISSUES[:3])]}
        self.assertEqual(1, len(set(answers.values())), answers)

    def test_a_missing_file_raises_before_the_library_is_called(self):
        with self.assertRaises(FileNotFoundError):
            tersolite.shrink(pathlib.Path("/nonexistent/doc.json"))

    def test_yaml_in_and_out(self):
        y = tersolite.shrink("name: tersolite\nitems: [1, 2]\n")
        self.assertEqual("yaml", y.report.format)
        self.assertEqual("name: tersolite\nitems:\n  - 1\n  - 2\n", y.text)
        j = tersolite.shrink("name: tersolite\n", format="json", indent=0)
        self.assertEqual('{"name":"tersolite"}', j.text)

    def test_options_reach_the_library(self):
        r = tersolite.shrink(ISSUES, max_chars=4000, query="state of the crash", array_strategy="condense",
                             explain=True, protect=["/*/id"])
        self.assertEqual(1, r.report.arrays_condensed)
        self.assertTrue(all(isinstance(d, tersolite.FieldDecision) for d in r.report.field_decisions))
        self.assertTrue(any(d.path == "/*/id" and d.score == 2.0 for d in r.report.field_decisions))
        self.assertIn('"state"', r.text)
        # query= is arguments={"query": ...}; a single pattern may be a str.
        self.assertEqual(r, tersolite.shrink(ISSUES, max_chars=4000, arguments={"query": "state of the crash"},
                                             array_strategy="condense", explain=True, protect="/*/id"))
        self.assertEqual(4000, r.report.max_chars)

    def test_defaults_are_the_librarys(self):
        plain = tersolite.shrink(ISSUES, max_chars=3000).text
        lib = tersolite.load()
        n = ctypes.c_size_t(0)
        doc = json.dumps(ISSUES, ensure_ascii=False, separators=(",", ":")).encode()
        opts = b'{"max_chars":3000}'
        ptr = lib.tersolite_shrink(doc, len(doc), opts, len(opts), ctypes.byref(n))
        envelope = json.loads(ctypes.string_at(ptr, n.value))
        lib.tersolite_free(ptr, n.value)
        self.assertEqual(envelope["text"], plain)

    def test_wrong_types_and_values_raise_before_the_library_is_called(self):
        cases = [
            ({"max_chars": "500"}, TypeError, "max_chars must be an int, not str"),
            ({"max_chars": 500.0}, TypeError, "max_chars must be an int, not float"),
            ({"max_chars": True}, TypeError, "max_chars must be an int, not bool"),
            ({"max_chars": -1}, ValueError, "max_chars must be a non-negative integer below 2**64, not -1"),
            ({"max_samples": 2 ** 64}, ValueError, "max_samples must be a non-negative integer below 2**64"),
            ({"indent": 33}, ValueError, "indent must be at most 32, not 33"),
            ({"explain": 1}, TypeError, "explain must be a bool, not int"),
            ({"keep_last_item": None}, TypeError, "keep_last_item must be a bool, not NoneType"),
            ({"format": "xml"}, ValueError, "format must be one of 'auto', 'json', 'yaml', not 'xml'"),
            ({"input_format": 1}, TypeError, "input_format must be a str, not int"),
            ({"array_strategy": "squash"}, ValueError, "array_strategy must be one of 'sample', 'condense'"),
            ({"field_scorer": "random"}, ValueError, "field_scorer must be one of"),
            ({"protect": [1]}, TypeError, "protect must be a str or a list of str"),
            ({"protect": {"/id": True}}, TypeError, "protect must be a str or a list of str"),
            ({"query": 5}, TypeError, "query must be a str, not int"),
            ({"query": "a", "arguments": "b"}, TypeError, "give either query= or arguments=, not both"),
            ({"arguments": {"q": float("nan")}}, ValueError, "arguments cannot be written as JSON"),
            ({"arguments": {1, 2}}, TypeError, "arguments cannot be written as JSON"),
        ]
        for options, error, message in cases:
            with self.subTest(options=options):
                with self.assertRaises(error) as e:
                    tersolite.shrink([1], library="/nonexistent/libtersolite.so", **options)
                self.assertIn(message, str(e.exception))
        with self.assertRaises(TypeError):
            tersolite.shrink([1], bogus=1)
        with self.assertRaises(TypeError):
            tersolite.shrink([1], 500)  # options are keywords only
        with self.assertRaises(ValueError):
            tersolite.shrink({"x": float("inf")})

    def test_the_librarys_refusals_raise_with_its_message(self):
        cases = [
            ("[1]", {"format": "yaml", "indent": 1}, "invalid options: YAML indent must be at least 2"),
            (b"\xff", {}, "input is not valid UTF-8"),
            ('{"a": 1,}', {}, "invalid JSON input: expected string key at line 1, column 9"),
        ]
        for doc, options, message in cases:
            with self.subTest(doc=doc, options=options):
                with self.assertRaises(tersolite.TersoliteError) as e:
                    tersolite.shrink(doc, **options)
                self.assertEqual(message, str(e.exception))

    def test_threads_give_the_single_threaded_answers(self):
        requests = [(ISSUES[:n], dict(max_chars=budget, array_strategy=strategy, indent=0))
                    for n in (5, 17, 40) for budget in (300, 1500, 6000) for strategy in ("sample", "condense")]
        expected = [tersolite.shrink(doc, **opts) for doc, opts in requests]
        with concurrent.futures.ThreadPoolExecutor(max_workers=8) as pool:
            rounds = [pool.submit(lambda: [tersolite.shrink(doc, **opts) for doc, opts in requests])
                      for _ in range(8)]
            for done in rounds:
                self.assertEqual(expected, done.result())

    @unittest.skipUnless(EXAMPLE.exists(), "needs examples/issues.json of the source tree")
    def test_the_bundled_example(self):
        r = tersolite.shrink(EXAMPLE, max_chars=1500, array_strategy="condense", indent=0)
        self.assertTrue(r.report.fits)
        self.assertEqual(0, r.report.items_omitted)  # condense keeps every record
        self.assertEqual(len(json.loads(EXAMPLE.read_text())), len(json.loads(r.text)))


class PackageTest(unittest.TestCase):
    def test_version_names_the_library(self):
        self.assertEqual(tersolite.__version__, tersolite.version())

    def test_type_information_is_installed(self):
        self.assertTrue((pathlib.Path(tersolite.__file__).parent / "py.typed").is_file())

    def test_finds_the_library(self):
        with self.assertRaises(OSError):
            tersolite.load("/nonexistent/libtersolite.so")
        configured = os.environ.get("TERSOLITE_LIBRARY")
        loaded = tersolite.load(configured) if configured else tersolite.load()
        if not configured:  # without the variable, the package's own copy
            self.assertEqual(pathlib.Path(tersolite.__file__).parent / "libtersolite.so", pathlib.Path(loaded._name))


if __name__ == "__main__":
    unittest.main()
