"""The command-line tool as a shell user meets it: each row runs it once and
checks its status, standard output and standard error.

usage: cli_test.py TERSOLITE SOURCE_DIR
"""
import json
import os
import re
import shutil
import subprocess
import sys
import threading

from fixtures import make_fixtures

CLI, SOURCE = sys.argv[1], sys.argv[2]
ROOT, F = make_fixtures(SOURCE)


def run(args, stdin=b"", cwd=None):
    p = subprocess.run([CLI] + args, input=stdin, capture_output=True, timeout=120, cwd=cwd)
    return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


def answer(args, stdin=b""):
    """Standard output of a run that must succeed."""
    status, out, err = run(args, stdin)
    assert status == 0, (args, status, err)
    return out


def fill(text, quote=lambda path: path):
    """`text` (or each of a list) with {name} replaced by fixture paths."""
    if isinstance(text, list):
        return [fill(t) for t in text]
    for name, path in F.items():
        text = text.replace("{" + name + "}", quote(path))
    return text


def matches(expected, actual):
    if expected is None:
        return True
    if isinstance(expected, re.Pattern):
        return expected.fullmatch(actual) is not None
    if callable(expected):
        return expected(actual)
    return expected == actual


def compact_lines(n, limit):
    """n lines of compact JSON, each at most `limit` characters."""
    def check(out):
        lines = out.split("\n")
        return lines[-1] == "" and len(lines) == n + 1 and all(
            len(line) <= limit and json.loads(line) is not None for line in lines[:-1])
    return check


ISSUES = open(F["issues"], "rb").read()
ONE = answer(fill(["-c", "-m", "600", "{issues}"]))
LINES_IN = b"".join(b'{"id":%d,"text":"%s"}\n' % (i, b"word " * (i % 50)) for i in range(300))

# (name, arguments, standard input, status, standard output, standard error)
CASES = [
    # Files and standard input.
    ("one file", ["-c", "-m", "600", "{issues}"], b"", 0, compact_lines(1, 600), ""),
    ("two files, in order", ["-c", "-m", "600", "{issues}", "{yaml}"], b"", 0,
     ONE + answer(fill(["-c", "-m", "600", "{yaml}"])), ""),
    ("standard input as -", ["-c", "-m", "600", "-"], ISSUES, 0, ONE, ""),
    ("standard input by default", ["-c", "-m", "600"], ISSUES, 0, ONE, ""),
    ("--protect takes one value", ["--protect", "/0/id", "-c", "-m", "600", "{issues}"], b"not json", 0,
     lambda out: json.loads(out)[0]["id"] == 2100453000, ""),
    ("after --, names are files", ["-c", "-m", "600", "{issues}", "--", "{issues}"], b"", 0, ONE * 2, ""),
    ("after --, a dash is a file name", ["--", "-x"], b"", 2, "", "tersolite: cannot read -x: No such file or directory\n"),
    ("-c is --indent 0", ["--indent", "0", "-m", "600", "{issues}"], b"", 0, ONE, ""),
    ("YAML out ends with one line feed", ["--format", "yaml", "{yaml}"], b"", 0,
     "name: tersolite\nitems:\n  - one\n  - two\n", ""),
    ("a FIFO is read as a stream", ["-c", "-m", "600", "{fifo}"], None, 0, ONE, ""),
    # Unreadable inputs: the system's reason, and the other files still done.
    ("a directory", ["{folder}"], b"", 2, "", "tersolite: cannot read {folder}: Is a directory\n"),
    ("a missing file", ["{missing}"], b"", 2, "", "tersolite: cannot read {missing}: No such file or directory\n"),
    ("a missing file among good ones", ["-c", "-m", "600", "{missing}", "{issues}"], b"", 2, ONE,
     "tersolite: cannot read {missing}: No such file or directory\n"),
    # Rejected documents and options.
    ("an empty file", ["{empty}"], b"", 1, "", re.compile(r"tersolite: invalid JSON input.*\n")),
    ("invalid UTF-8", ["{bad_utf8}"], b"", 1, "", re.compile(r"tersolite: .*UTF-8.*\n")),
    ("too deep", ["{deep}"], b"", 1, "", re.compile(r"tersolite: .*\n")),
    ("huge numbers are kept as written", ["-c", "{huge_numbers}"], b"", 0, re.compile(r'\{"big":10{400},.*\n', re.S), ""),
    ("bad options, once", ["--options", "[]", "{issues}", "{issues}"], b"", 1, "",
     "tersolite: invalid options: options must be a JSON object\n"),
    ("a bad format name", ["--format", "xml", "{issues}"], b"", 1, "", re.compile(r"tersolite: invalid options: .*\n")),
    ("a rejected one among several is named", ["-c", "-m", "600", "{empty}", "{issues}"], b"", 1, ONE,
     re.compile(r"tersolite: {empty}: invalid JSON input.*\n")),
    # Usage errors: our words, status 2.
    ("negative budget", ["--max-chars", "-5", "{issues}"], b"", 2, "",
     'tersolite: --max-chars takes a whole number from 0 to 18446744073709551615, not "-5" (see tersolite --help)\n'),
    ("fractional indent", ["--indent", "1.5", "{issues}"], b"", 2, "", re.compile(r'tersolite: --indent takes .*"1\.5".*\n')),
    ("words for a number", ["-m", "lots", "{issues}"], b"", 2, "", re.compile(r'tersolite: --max-chars takes .*"lots".*\n')),
    ("a number past 64 bits", ["-m", "18446744073709551616"], b"", 2, "", re.compile(r"tersolite: --max-chars takes .*\n")),
    ("a plus sign", ["--max-samples", "+3"], b"", 2, "", re.compile(r"tersolite: --max-samples takes .*\n")),
    ("no value", ["{issues}", "-m"], b"", 2, "", "tersolite: --max-chars needs a value (see tersolite --help)\n"),
    ("a flag for a value", ["-o", "--lines"], b"", 2, "", "tersolite: --output needs a value (see tersolite --help)\n"),
    ("unknown flag", ["--frobnicate", "{issues}"], b"", 2, "", "tersolite: unknown flag --frobnicate (see tersolite --help)\n"),
    ("no jobs", ["-j", "0"], b"", 2, "", re.compile(r'tersolite: --jobs takes a whole number from 1 to 1024, not "0".*\n')),
    ("a switch given a value", ["--strict=maybe", "{issues}"], b"", 2, "", re.compile(r"tersolite: .*\(see tersolite --help\)\n")),
    # Budgets.
    ("over budget, said", ["--protect", "/a", "-m", "10", "{protected_big}"], b"", 0, re.compile(r'\{\n  "a": "x{100}"\n\}\n'),
     "tersolite: the answer has 113 characters, over the budget of 10\n"),
    ("over budget, strict", ["--strict", "-c", "--protect", "/a", "-m", "10", "{protected_big}"], b"", 3,
     re.compile(r'\{"a":"x{100}"\}\n'), "tersolite: the answer has 108 characters, over the budget of 10\n"),
    ("strict and fitting", ["--strict", "-m", "600", "-c", "{issues}"], b"", 0, ONE, ""),
    ("report", ["--report", "-m", "600", "-c", "{issues}"], b"", 0, ONE,
     re.compile(r"tersolite: 15541 -> \d+ chars \(budget 600, fits\), json output from json input\n  cut: .*\n", re.S)),
    # JSON Lines.
    ("JSON Lines without --lines gets a hint", ["{lines}"], b"", 1, "",
     re.compile(r"tersolite: invalid JSON input: unexpected trailing characters at line 3.* \(JSON Lines\? use --lines\)\n")),
    ("lines, a bad one in the middle", ["-l", "{lines}"], b"", 1, '{"a":1}\n[1,2]\n',
     re.compile(r"tersolite: {lines}:3: invalid JSON input.*\n")),
    ("lines from standard input", ["--lines"], b'{"a":1}\r\n\n   \n[2]', 0, '{"a":1}\n[2]\n', ""),
    ("lines, envelopes stay aligned", ["-l", "--envelope", "{lines}"], b"", 1,
     lambda out: [json.loads(line)["ok"] for line in out.splitlines()] == [True, False, True], None),
    ("lines are compact", ["-l", "--indent", "4", "-"], b'{"a":[1,2]}\n', 0, '{"a":[1,2]}\n', ""),
    ("lines, YAML refused", ["-l", "--format", "yaml", "{lines}"], b"", 2, "", re.compile(r"tersolite: --lines .*YAML.*\n")),
    ("lines, YAML refused in --options", ["-l", "--options", '{"format":"yaml"}'], b"", 2, "",
     re.compile(r"tersolite: --lines .*YAML.*\n")),
    ("lines on two threads keep their order", ["-l", "-j2", "-m", "60"], LINES_IN, 0,
     answer(["-l", "-j1", "-m", "60"], LINES_IN), ""),
    ("lines on many threads keep their order", ["-l", "-j", "7", "-m", "60"], LINES_IN, 0,
     answer(["-l", "-j1", "-m", "60"], LINES_IN), ""),
    ("files on two threads keep their order", ["-j2", "-c", "-m", "600", "{issues}", "{issues}", "{issues}"], b"", 0,
     ONE * 3, ""),
    # --view: one document only.
    ("view of two files", ["--view", "{folder}/v.html", "{issues}", "{issues}"], b"", 2, "",
     "tersolite: --view shows one document: give one file, without --lines (see tersolite --help)\n"),
    ("view of lines", ["-l", "--view", "{folder}/v.html", "{lines}"], b"", 2, "", re.compile(r"tersolite: --view shows one document.*\n")),
    ("view without a name", ["--view", "", "{issues}"], b"", 2, "", "tersolite: --view needs a file name (see tersolite --help)\n"),
    # Help and version.
    ("version", ["-V"], b"", 0, re.compile(r"tersolite \d+\.\d+\.\d+\n"), ""),
    ("help", ["-h"], b"", 0, lambda out: out.startswith("Usage: tersolite") and "Exit status:" in out, ""),
]


def feed_fifo(data):
    def write():
        with open(F["fifo"], "wb") as f:
            f.write(data)
    t = threading.Thread(target=write, daemon=True)
    t.start()
    return t


def run_case(name, args, stdin, status, out, err):
    args = fill(args)
    writer = feed_fifo(ISSUES) if F["fifo"] in args else None
    got = run(args, stdin if stdin is not None else b"")
    if writer:
        writer.join(5)
    if isinstance(err, str):
        err = fill(err)
    elif isinstance(err, re.Pattern):
        err = re.compile(fill(err.pattern, re.escape), err.flags)
    problems = []
    if got[0] != status:
        problems.append(f"status {got[0]}, expected {status}")
    if not matches(out, got[1]):
        problems.append(f"standard output {got[1][:400]!r}")
    if not matches(err, got[2]):
        problems.append(f"standard error {got[2][:400]!r}")
    return problems


def output_file_cases():
    """--output: written whole, or not at all."""
    problems = []
    target = os.path.join(ROOT, "out.json")
    if run(["-c", "-m", "600", "-o", target, F["issues"]])[:2] != (0, "") or open(target).read() != ONE:
        problems.append("-o did not write the answer")
    status, _, err = run(["-c", "-m", "600", "-o", target, F["missing"], F["issues"]])
    if status != 2 or open(target).read() != ONE:
        problems.append("a failed run replaced the output file")
    status, _, err = run(["-o", os.path.join(ROOT, "no", "such", "dir"), F["issues"]])
    if status != 2 or not err.startswith("tersolite: cannot write "):
        problems.append(f"-o into a missing folder: {status} {err!r}")
    status, _, err = run(["-o", F["folder"], F["issues"]])
    if status != 2 or err != f"tersolite: cannot write {F['folder']}: Is a directory\n":
        problems.append(f"-o onto a folder: {status} {err!r}")
    if os.path.exists("/dev/full"):
        with open("/dev/full", "wb") as full:
            p = subprocess.run([CLI, "-l", "-"], input=LINES_IN, stdout=full, stderr=subprocess.PIPE, timeout=60)
        if p.returncode != 2 or not p.stderr.startswith(b"tersolite: cannot write standard output: "):
            problems.append(f"a full disk: {p.returncode} {p.stderr!r}")
    leftovers = [n for n in os.listdir(ROOT) if ".tmp-" in n]
    if leftovers:
        problems.append(f"temporary files left: {leftovers}")
    return problems


def view_cases():
    """--view: the answer as usual, and a page holding the original, the envelope and the options."""
    problems = []
    page = os.path.join(ROOT, "view.html")
    args = ["-c", "-m", "600", "--protect", "title", "--view", page]
    status, out, err = run(args + [F["yaml"]])
    if (status, err) != (0, "") or out != answer(["-c", "-m", "600", "--protect", "title", F["yaml"]]):
        problems.append(f"--view changed the run: {status} {err!r}")
    html = open(page, encoding="utf-8").read() if os.path.exists(page) else ""
    envelope = answer(["-c", "-m", "600", "--protect", "title", "--envelope", F["yaml"]]).rstrip("\n")
    original = json.loads(answer(["-c", "--format", "json", "--envelope", "-m", "18446744073709551615", F["yaml"]]))["text"]
    for what, text in [("envelope", envelope), ("original as JSON", original), ("options", '"protect":["title"]')]:
        if text.replace("<", "\\u003c") not in html:
            problems.append(f"the page lacks the {what}")
    if re.search(r"(src|href)=|https?:", html.split("<script type=\"module\">")[0]):
        problems.append("the page refers to something outside itself")
    os.remove(page)
    status, _, err = run(["--view", page, F["empty"]])
    if status != 1 or os.path.exists(page) or "invalid JSON input" not in err:
        problems.append(f"a rejected document: {status} {err!r}")
    status, _, err = run(["--view", os.path.join(ROOT, "no", "such", "v.html"), F["issues"]])
    if status != 2 or not err.startswith("tersolite: cannot write "):
        problems.append(f"--view into a missing folder: {status} {err!r}")
    return problems


def closed_pipe_case():
    """Output into a pipe closed early ends quietly, as cat does."""
    big = json.dumps([{"id": i, "text": "word " * 40} for i in range(4000)]).encode()
    p = subprocess.Popen([CLI, "-m", "100000000", "-"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE)
    p.stdin.write(big)
    p.stdin.close()
    p.stdout.read(10)
    p.stdout.close()
    err = p.stderr.read()
    status = p.wait(60)
    return [] if status == 0 and err == b"" else [f"closed pipe: status {status}, {err!r}"]


def repeatable_cases():
    """Two processes, and a mapped file against the same bytes piped, agree."""
    args = ["-m", "1200", "--strategy", "condense", "--query", "open bugs by priority", "--explain", "--envelope"]
    first, second = answer(args + [F["issues"]]), answer(args + [F["issues"]])
    piped = answer(args, ISSUES)
    return [] if first == second == piped else ["runs of the same request differ"]


def help_matches_readme():
    """The exit statuses in --help and in the README are the same list."""
    readme = open(os.path.join(SOURCE, "README.md"), encoding="utf-8").read()
    in_readme = re.findall(r"^- `([0-3])` (.*)$", readme, re.M)
    in_help = re.findall(r"^  ([0-3])  (.*)$", answer(["--help"]).split("Exit status:", 1)[1], re.M)
    return [] if in_help == in_readme else [f"--help {in_help} and README {in_readme} differ"]


def main():
    failures = 0
    checks = [(row[0], lambda row=row: run_case(*row)) for row in CASES]
    checks += [("--output", output_file_cases), ("--view", view_cases), ("closed pipe", closed_pipe_case),
               ("repeatable", repeatable_cases), ("statuses in README", help_matches_readme)]
    for name, check in checks:
        problems = check()
        if problems:
            failures += 1
            print(f"FAIL {name}: " + "; ".join(problems))
    shutil.rmtree(ROOT)
    print(f"{len(checks) - failures} of {len(checks)} command-line checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
