"""Input files for the command-line tests, made in a temporary folder."""
import os
import shutil
import tempfile


def make_fixtures(source_dir):
    """Writes the test inputs; returns (folder, {name: path})."""
    root = tempfile.mkdtemp(prefix="tersolite-cli-")
    paths = {}

    def put(name, data):
        path = os.path.join(root, name)
        with open(path, "wb") as f:
            f.write(data)
        paths[name] = path

    shutil.copy(os.path.join(source_dir, "examples", "issues.json"), root)
    paths["issues"] = os.path.join(root, "issues.json")
    put("empty", b"")
    put("bad_utf8", b'{"name": "caf\xc3\x28"}')
    put("huge_numbers", b'{"big": 1' + b"0" * 400 + b', "neg": -1e999999, "list": [' + b"9" * 5000 + b"]}")
    put("deep", b"[" * 600 + b"]" * 600)
    put("lines", b'{"a":1}\n\n{bad\n[1,2]\n')
    put("yaml", b"name: tersolite\nitems:\n  - one\n  - two\n")
    put("protected_big", b'{"a":"' + b"x" * 100 + b'"}')
    os.mkdir(os.path.join(root, "folder"))
    paths["folder"] = os.path.join(root, "folder")
    paths["fifo"] = os.path.join(root, "fifo")
    os.mkfifo(paths["fifo"])
    paths["missing"] = os.path.join(root, "missing.json")
    return root, paths
