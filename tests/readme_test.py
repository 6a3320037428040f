"""Runs every code block of README.md as a reader would, in order.

The rule, by the fence's language (HACKING.md says the same):

- A block whose first line is a comment naming a file (`/* file: shrink.c */`,
  `# file: consumer/CMakeLists.txt`, `// file: x.js`, `<!-- file: page.html -->`) is saved under that name,
  relative to the repository root, for the blocks after it; it is not run.
- `sh`, `bash`: run by bash (-euo pipefail) from the repository root; must
  exit 0.
- `console`: each `$ ` line is run like an `sh` block; the lines up to the
  next `$ ` line are its standard output, compared exactly.
- `python`: run by .venv/bin/python (the environment the README's install
  block creates) from the repository root.
- `js` (CommonJS) and `mjs` (ES module): run by node from the repository root.
- `text`: shown, not run (output or an illustration).
- The indented opening commands: the build itself is what this suite runs,
  so only the part after their last `&&` that starts with ./build/ is run.

Blocks run in a scratch view of the repository: every top-level entry is a
link to the real one, except build/release, which is the build under test,
and nothing a block writes lands in the checkout. HOME is a scratch folder,
~/.local/bin and the tool under test are on PATH, and `python3` is one that
has dask.distributed when the machine has one.

Usage: readme_test.py SOURCE_DIR BUILD_DIR CLI
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```(\S*)\s*$")
FILE_COMMENT = re.compile(r"^(?:/\*|//|#|<!--)\s*file:\s*(\S+?)\s*(?:\*/|-->)?\s*$")
RUN_LANGUAGES = {"sh", "bash", "console", "python", "js", "mjs"}


def blocks(text):
    """Yields (line number, language, body) for every code block, fenced or
    indented (the latter with language "indented")."""
    lines = text.split("\n")
    i = 0
    in_list_or_para = False
    while i < len(lines):
        m = FENCE.match(lines[i])
        if m:
            start = i
            i += 1
            body = []
            while i < len(lines) and lines[i] != "```":
                body.append(lines[i])
                i += 1
            if i == len(lines):
                raise SystemExit(f"README.md:{start + 1}: fence never closed")
            yield start + 1, m.group(1), "\n".join(body) + "\n"
            i += 1
            in_list_or_para = False
            continue
        if lines[i].startswith("    ") and not in_list_or_para and lines[i].strip():
            start = i
            body = []
            while i < len(lines) and (lines[i].startswith("    ") or not lines[i].strip()):
                body.append(lines[i][4:])
                i += 1
            yield start + 1, "indented", "\n".join(body).strip() + "\n"
            in_list_or_para = False
            continue
        in_list_or_para = bool(lines[i].strip())
        i += 1


def python_with_dask():
    for candidate in [shutil.which("python3"), "/usr/bin/python3"]:
        if candidate and subprocess.run([candidate, "-c", "import dask.distributed"],
                                        capture_output=True).returncode == 0:
            return candidate
    return None


def scratch_view(source, build, cli):
    root = tempfile.mkdtemp(prefix="tersolite-readme-")
    view = os.path.join(root, "repo")
    os.mkdir(view)
    for name in os.listdir(source):
        if name not in ("build", ".git", ".venv"):
            os.symlink(os.path.join(source, name), os.path.join(view, name))
    os.makedirs(os.path.join(view, "build"))
    os.symlink(build, os.path.join(view, "build", "release"))
    home = os.path.join(root, "home")
    tools = os.path.join(root, "bin")
    os.makedirs(home)
    os.makedirs(tools)
    os.symlink(cli, os.path.join(tools, "tersolite"))
    dask_python = python_with_dask()
    if dask_python and dask_python != shutil.which("python3"):
        os.symlink(dask_python, os.path.join(tools, "python3"))
    env = {k: v for k, v in os.environ.items()
           if k not in ("TERSOLITE_LIBRARY", "LD_LIBRARY_PATH", "PYTHONPATH", "PKG_CONFIG_PATH", "VIRTUAL_ENV")}
    env.update(HOME=home, PATH=os.pathsep.join([os.path.join(home, ".local", "bin"), tools, env.get("PATH", "")]),
               PIP_DISABLE_PIP_VERSION_CHECK="1", PIP_NO_INDEX="1")
    return root, view, env


def run(where, command, view, env, stdin=None):
    result = subprocess.run(command, cwd=view, env=env, input=stdin, capture_output=True, text=True, timeout=1200)
    if result.returncode != 0:
        raise AssertionError(f"{where}: exit status {result.returncode}\n--- stdout\n{result.stdout}"
                             f"--- stderr\n{result.stderr}")
    return result.stdout


def run_console(where, body, view, env):
    commands = []
    for line in body.rstrip("\n").split("\n"):
        if line.startswith("$ "):
            commands.append([line[2:], []])
        elif commands:
            commands[-1][1].append(line)
        else:
            raise AssertionError(f"{where}: a console block starts with a `$ ` line")
    for command, expected in commands:
        out = run(where, ["bash", "-euo", "pipefail", "-c", command], view, env)
        want = "\n".join(expected) + "\n" if expected else ""
        if out != want:
            raise AssertionError(f"{where}: `{command}` printed\n{out}\ninstead of\n{want}")


def main():
    source, build, cli = (os.path.abspath(a) for a in sys.argv[1:4])
    with open(os.path.join(source, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    root, view, env = scratch_view(source, build, cli)
    ran = 0
    try:
        for line, language, body in blocks(readme):
            where = f"README.md:{line} ({language or 'no language'})"
            first = body.split("\n", 1)[0]
            named = FILE_COMMENT.match(first)
            if named and language != "indented":
                path = os.path.join(view, named.group(1))
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "w", encoding="utf-8") as f:
                    f.write(body)
                continue
            if language == "text":
                continue
            if language == "indented":
                tail = body.strip().split("&& ")[-1]
                if not tail.startswith("./build/"):
                    continue
                body, language = tail + "\n", "sh"
            if language not in RUN_LANGUAGES:
                raise AssertionError(f"{where}: a block needs a language this test knows "
                                     f"({', '.join(sorted(RUN_LANGUAGES))}, text) or a file comment")
            print(f"running {where}", flush=True)
            if language in ("sh", "bash"):
                run(where, ["bash", "-euo", "pipefail", "-c", body], view, env)
            elif language == "console":
                run_console(where, body, view, env)
            elif language == "python":
                python = os.path.join(view, ".venv", "bin", "python")
                if not os.path.exists(python):
                    raise AssertionError(f"{where}: no .venv yet: the install block must come first")
                run(where, [python, "-"], view, env, stdin=body)
            else:
                node = ["node", "--input-type=module", "-"] if language == "mjs" else ["node", "-"]
                run(where, node, view, env, stdin=body)
            ran += 1
    except (AssertionError, subprocess.TimeoutExpired) as e:
        print(f"FAILED {e}", file=sys.stderr)
        return 1
    finally:
        shutil.rmtree(root, ignore_errors=True)
    print(f"ok: {ran} blocks ran as written")
    return 0


if __name__ == "__main__":
    sys.exit(main())
