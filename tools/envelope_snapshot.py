#!/usr/bin/env python3
"""Writes every envelope of a fixed set of requests, to compare two builds byte for byte.

    envelope_snapshot.py requests OUT [--corpus DIR]   write the request set
    envelope_snapshot.py run --lib LIB.so REQUESTS OUT  write each request's envelope
    envelope_snapshot.py diff A B REQUESTS               show the requests whose envelopes differ

The request set is the same on every run: the bundled examples, generated documents of
every shape (JSON and YAML), hostile inputs, and each crossed with options covering every
strategy, format, scorer and layout, protect patterns, queries and invalid options.

Files are sequences of length-prefixed byte strings (u32, little-endian): a request file
holds document then options for each request; an envelope file holds one envelope each.
"""

import argparse
import ctypes
import json
import pathlib
import random
import re
import struct
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent

WORDS = ("alpha beta gamma delta error timeout merged open closed crash export login user admin "
         "build release deploy cache index query token retry shard replica payment invoice "
         "résumé naïve 東京 ñandú Ωmega").split()


def sentence(rng, n):
    return " ".join(rng.choice(WORDS) for _ in range(n))


def body(rng):
    paragraphs = []
    for _ in range(rng.randint(1, 4)):
        lines = [sentence(rng, rng.randint(3, 18)) + "." for _ in range(rng.randint(1, 3))]
        paragraphs.append("\n".join(lines))
    return "\n\n".join(paragraphs)


def issue(rng, i):
    return {
        "id": 1000 + i,
        "node_id": "I_kwDO%08x" % rng.getrandbits(32),
        "number": i,
        "title": sentence(rng, rng.randint(2, 9)).capitalize(),
        "state": rng.choice(["open", "closed"]),
        "user": {"login": rng.choice(WORDS) + str(i % 7), "id": rng.randint(1, 10**6),
                 "avatar_url": "https://example.com/a/%d.png" % i, "site_admin": rng.random() < 0.1},
        "labels": [{"name": rng.choice(WORDS), "color": "%06x" % rng.getrandbits(24)}
                   for _ in range(rng.randint(0, 3))],
        "comments": rng.randint(0, 40),
        "created_at": "2026-%02d-%02dT%02d:00:00Z" % (rng.randint(1, 12), rng.randint(1, 28),
                                                   rng.randint(0, 23)),
        "body": body(rng) if rng.random() < 0.8 else None,
        "score": round(rng.uniform(-5, 100), 3),
    }


def log_event(rng, i):
    return {"ts": 1700000000 + i * 7, "level": rng.choice(["debug", "info", "warn", "error"]),
            "msg": sentence(rng, rng.randint(2, 10)), "host": "web-%d" % rng.randint(1, 9),
            "latency_ms": rng.randint(0, 5000), "ok": rng.random() < 0.9}


def catalog(rng, depth):
    if depth == 0:
        return rng.choice([sentence(rng, 3), rng.randint(-99, 99), 1.5e300, True, None, "tab\tquote\"\\"])
    return {rng.choice(WORDS) + str(k): catalog(rng, depth - 1) for k in range(rng.randint(1, 4))}


def geo(rng, n):
    return {"type": "FeatureCollection", "features": [
        {"type": "Feature", "id": k, "properties": {"name": sentence(rng, 2)},
         "geometry": {"type": "LineString",
                      "coordinates": [[round(rng.uniform(-180, 180), 6), round(rng.uniform(-90, 90), 6)]
                                      for _ in range(rng.randint(5, 60))]}}
        for k in range(n)]}


def generated_documents(rng):
    """(name, value) pairs of every shape, small enough to keep a run short."""
    docs = []
    for n in (1, 3, 12, 40):
        docs.append(("issues%d" % n, [issue(rng, i) for i in range(n)]))
    docs.append(("wrapped", {"total_count": 77, "incomplete_results": False,
                             "items": [issue(rng, i) for i in range(25)]}))
    docs.append(("logs", [log_event(rng, i) for i in range(200)]))
    docs.append(("catalog", catalog(rng, 6)))
    docs.append(("wide", {"field_%d" % k: sentence(rng, rng.randint(1, 6)) for k in range(300)}))
    docs.append(("strings", [rng.choice(WORDS) for _ in range(2000)]))
    docs.append(("ints", [rng.randint(0, 999) for _ in range(3000)]))
    docs.append(("geo", geo(rng, 30)))
    docs.append(("mixed", [1, "two", None, [3, 4], {"five": 5}, 6.0, True, "x" * 3000]))
    docs.append(("scalar", "a long string " * 300))
    docs.append(("empty", {}))
    return docs


def yaml_scalar(v):
    return json.dumps(v, ensure_ascii=False)


def yaml_key(k):
    # Plain keys keep the text from looking like JSON to format detection.
    return k if re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", k) else yaml_scalar(k)


def to_yaml(v, indent=0):
    """Block-style YAML for generated values (strings double-quoted so they stay strings)."""
    pad = " " * indent
    if isinstance(v, dict):
        if not v:
            return pad + "{}\n"
        out = []
        for k, x in v.items():
            if isinstance(x, (dict, list)) and x:
                out.append("%s%s:\n%s" % (pad, yaml_key(k), to_yaml(x, indent + 2)))
            else:
                out.append("%s%s: %s\n" % (pad, yaml_key(k), to_yaml(x).strip()))
        return "".join(out)
    if isinstance(v, list):
        if not v:
            return pad + "[]\n"
        out = []
        for x in v:
            if isinstance(x, (dict, list)) and x:
                inner = to_yaml(x, indent + 2)
                out.append(pad + "- " + inner[indent + 2:])
            else:
                out.append("%s- %s\n" % (pad, to_yaml(x).strip()))
        return "".join(out)
    if v is None:
        return "null"
    if v is True or v is False:
        return "true" if v else "false"
    if isinstance(v, str):
        return yaml_scalar(v)
    return json.dumps(v)


YAML_TEXTS = [
    b"name: demo\ncolor: 06e060\nanchors:\n  base: &b {x: 1, y: [1, 2, 3]}\n  copy: *b\n",
    b"- plain scalar\n- 'single'\n- \"double \\u00e9\"\n- 0x1F\n- 0o17\n- .inf\n- -.nan\n- ~\n- 1_000\n",
    b"key: |\n  literal block\n  second line\nfolded: >\n  folded\n  text\n",
    b"\xef\xbb\xbfa: [1, 2, {b: c}]\n",
    b"a: [1\n",
    b"? [complex, key]\n: value\n",
    b"dup: 1\ndup: 2\n",
    b"%YAML 1.2\n---\nx: 1\n...\n",
]

HOSTILE = [
    b"", b" ", b"null", b"\"\"", b"[", b"{\"a\":}", b"[1,]", b"\xff\xfe", b"\"\xc3\x28\"",
    b"\xef\xbb\xbf{\"a\": 1}", b"[1] trailing", b"{\"a\":1,\"a\":2}", b"1e999", b"-0",
    b"123456789012345678901234567890", b"\"\\ud800\"", b"[" * 512 + b"]" * 512,
    b"[" * 513 + b"]" * 513, b"{\"a\":" * 300 + b"1" + b"}" * 300,
]

BAD_OPTIONS = [
    b"", b"[]", b"{", b"{\"max_chars\": -1}", b"{\"max_chars\": 1.5}", b"{\"max_chars\": \"5\"}",
    b"{\"indent\": 33}", b"{\"format\": \"xml\"}", b"{\"array_strategy\": \"all\"}",
    b"{\"protect\": [1]}", b"{\"unknown\": 1}", b"{\"max_chars\": 18446744073709551616}",
    b"{\"max_chars\": 4294967296}", b"{\"max_chars\": 4294967295}",
    b"{\"max_chars\": 18446744073709551615}", b"{\"field_scorer\": \"best\"}", b"\xff",
    b"{\"string_head_chars\": 0, \"string_section_chars\": 0}",
]


def option_sets(rng, doc_chars):
    budgets = sorted({0, 1, 40, 200, 1000, max(1, doc_chars // 3), doc_chars + 100})
    sets = []
    for budget in budgets:
        for strategy in ("sample", "condense"):
            sets.append({"max_chars": budget, "array_strategy": strategy})
    sets += [
        {"max_chars": 600, "format": "yaml"},
        {"max_chars": 600, "format": "yaml", "array_strategy": "condense", "indent": 4},
        {"max_chars": 500, "indent": 0},
        {"max_chars": 500, "indent": 32},
        {"max_chars": 800, "array_strategy": "condense", "field_scorer": "compact", "explain": True},
        {"max_chars": 800, "array_strategy": "condense", "field_scorer": "key_order"},
        {"max_chars": 400, "protect": ["/*/id", "title", "**/name"]},
        {"max_chars": 400, "protect": ["/0/body"], "array_strategy": "condense"},
        {"max_chars": 700, "arguments": {"q": "crash on export", "state": "open"}},
        {"max_chars": 700, "arguments": "timeout error 東京", "array_strategy": "condense",
         "explain": True},
        {"max_chars": 300, "keep_last_item": False, "max_samples": 1, "min_partial_chars": 10},
        {"max_chars": 300, "string_head_chars": 50, "string_section_chars": 7,
         "string_min_section_chars": 1},
        {"max_chars": 4294967295}, {"max_chars": 18446744073709551615},
        {"max_chars": 250, "input_format": "yaml"},
    ]
    return [json.dumps(s, ensure_ascii=False).encode() for s in sets]


def build_requests(corpus):
    rng = random.Random(20261209)
    requests = []
    documents = []
    for path in sorted((ROOT / "examples").glob("*")):
        if path.suffix in (".json", ".yaml", ".yml"):
            documents.append(path.read_bytes())
    if corpus:
        for path in sorted(pathlib.Path(corpus).glob("*")):
            if path.suffix in (".json", ".yaml", ".yml"):
                documents.append(path.read_bytes())
    for _, value in generated_documents(rng):
        documents.append(json.dumps(value, ensure_ascii=False, indent=rng.choice([None, 2])).encode())
        documents.append(to_yaml(value).encode())
    for doc in documents:
        for options in option_sets(rng, len(doc.decode("utf-8", "replace"))):
            requests.append((doc, options))
    for doc in YAML_TEXTS + HOSTILE:
        for options in (b"{}", b"{\"max_chars\": 20}", b"{\"max_chars\": 20, \"format\": \"yaml\"}"):
            requests.append((doc, options))
    sample = documents[0] if documents else b"[1, 2, 3]"
    for options in BAD_OPTIONS:
        requests.append((sample, options))
    return requests


def write_strings(path, strings):
    with open(path, "wb") as out:
        for s in strings:
            out.write(struct.pack("<I", len(s)))
            out.write(s)


def read_strings(path):
    data = pathlib.Path(path).read_bytes()
    pos, out = 0, []
    while pos < len(data):
        (n,) = struct.unpack_from("<I", data, pos)
        out.append(data[pos + 4:pos + 4 + n])
        pos += 4 + n
    return out


def read_requests(path):
    s = read_strings(path)
    return list(zip(s[0::2], s[1::2]))


def run(lib_path, requests_path, out_path):
    lib = ctypes.CDLL(str(lib_path))
    lib.tersolite_shrink.restype = ctypes.c_void_p
    lib.tersolite_shrink.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_char_p,
                                     ctypes.c_size_t, ctypes.POINTER(ctypes.c_size_t)]
    lib.tersolite_free.argtypes = [ctypes.c_void_p, ctypes.c_size_t]
    envelopes = []
    for doc, options in read_requests(requests_path):
        n = ctypes.c_size_t()
        ptr = lib.tersolite_shrink(doc, len(doc), options, len(options), ctypes.byref(n))
        envelopes.append(ctypes.string_at(ptr, n.value))
        lib.tersolite_free(ptr, n.value)
    write_strings(out_path, envelopes)
    print("%d envelopes" % len(envelopes), file=sys.stderr)


def diff(a_path, b_path, requests_path):
    a, b = read_strings(a_path), read_strings(b_path)
    requests = read_requests(requests_path)
    if len(a) != len(b):
        print("different counts: %d and %d" % (len(a), len(b)))
    bad = [i for i, (x, y) in enumerate(zip(a, b)) if x != y]
    for i in bad[:10]:
        doc, options = requests[i]
        print("request %d: options %s, document %r..." % (i, options.decode("utf-8", "replace"),
                                                         doc[:60]))
        print("  A: %s" % a[i][:300].decode("utf-8", "replace"))
        print("  B: %s" % b[i][:300].decode("utf-8", "replace"))
    print("%d of %d envelopes differ" % (len(bad), len(a)))
    return 1 if bad or len(a) != len(b) else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="command", required=True)
    p = sub.add_parser("requests")
    p.add_argument("out")
    p.add_argument("--corpus", help="folder of further JSON and YAML documents")
    p = sub.add_parser("run")
    p.add_argument("--lib", required=True)
    p.add_argument("requests")
    p.add_argument("out")
    p = sub.add_parser("diff")
    p.add_argument("a")
    p.add_argument("b")
    p.add_argument("requests")
    args = parser.parse_args()
    if args.command == "requests":
        requests = build_requests(args.corpus)
        write_strings(args.out, [s for pair in requests for s in pair])
        print("%d requests" % len(requests), file=sys.stderr)
        return 0
    if args.command == "run":
        run(args.lib, args.requests, args.out)
        return 0
    return diff(args.a, args.b, args.requests)


if __name__ == "__main__":
    sys.exit(main())
