"""Shrink a JSON or YAML document to a budget of characters.

    >>> import tersolite
    >>> r = tersolite.shrink({"items": list(range(1000))}, max_chars=60, indent=0)
    >>> r.report.fits
    True

`shrink` takes the document as text (`str`), bytes (UTF-8 JSON or YAML), a
`pathlib.Path` (the file's bytes) or any JSON-serialisable object, and the
options as typed keyword arguments. Calls release the GIL while the library
works, so threads shrink in parallel.

The shared library is the one installed inside this package, unless
`TERSOLITE_LIBRARY` names another or `load(path)` is called first.
"""

from __future__ import annotations

import ctypes
import ctypes.util
import dataclasses
import json
import os
import pathlib
import threading
from typing import Any, List, Optional, Sequence, Union

__version__ = "0.2.1"

__all__ = ["shrink", "load", "version", "Result", "Report", "FieldDecision", "DroppedField", "TersoliteError",
           "__version__"]

class TersoliteError(Exception):
    """The library answered with an error envelope; the message is its text."""


@dataclasses.dataclass(frozen=True)
class FieldDecision:
    """How condensing scored one field: kept or dropped, and why."""
    path: str
    score: float
    kept: bool
    relevance: float


@dataclasses.dataclass(frozen=True)
class DroppedField:
    """A field condensing dropped, and from how many records."""
    path: str
    items: int


@dataclasses.dataclass(frozen=True)
class Report:
    """What was cut; the members of the envelope's report, in its order."""
    input_chars: int
    output_chars: int
    max_chars: int
    format: str
    input_format: str
    pruned: bool
    fits: bool
    strings_truncated: int
    arrays_sampled: int
    items_omitted: int
    objects_trimmed: int
    keys_omitted: int
    containers_collapsed: int
    arrays_condensed: int
    protected_omitted: int
    field_decisions: List[FieldDecision]
    fields_dropped: int
    dropped_fields: List[DroppedField]


@dataclasses.dataclass(frozen=True)
class Result:
    """The shrunk document, exactly as written, and its report."""
    text: str
    report: Report


_lock = threading.Lock()
_lib: Optional[ctypes.CDLL] = None
_BUNDLED = pathlib.Path(__file__).resolve().parent / "libtersolite.so"


def _candidates() -> List[str]:
    found = []
    env = os.environ.get("TERSOLITE_LIBRARY")
    if env:
        found.append(env)
    if _BUNDLED.exists():
        found.append(str(_BUNDLED))
    name = ctypes.util.find_library("tersolite")
    if name:
        found.append(name)
    return found + ["libtersolite.so.0"]


def load(path: Union[str, "os.PathLike[str]", None] = None) -> ctypes.CDLL:
    """Loads the shared library from `path`, else from TERSOLITE_LIBRARY, else
    the one inside this package, else the system's, and keeps it for later
    calls. Raises OSError when none loads."""
    global _lib
    with _lock:
        if path is None and _lib is not None:
            return _lib
        errors = []
        for candidate in [os.fspath(path)] if path is not None else _candidates():
            try:
                lib = ctypes.CDLL(candidate)
            except OSError as e:
                errors.append(f"{candidate}: {e}")
                continue
            lib.tersolite_shrink.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_char_p, ctypes.c_size_t,
                                             ctypes.POINTER(ctypes.c_size_t)]
            lib.tersolite_shrink.restype = ctypes.POINTER(ctypes.c_uint8)
            lib.tersolite_free.argtypes = [ctypes.POINTER(ctypes.c_uint8), ctypes.c_size_t]
            lib.tersolite_free.restype = None
            lib.tersolite_version.argtypes = []
            lib.tersolite_version.restype = ctypes.c_char_p
            _lib = lib
            return lib
        raise OSError("cannot load libtersolite (set TERSOLITE_LIBRARY or pass a path to tersolite.load): "
                      + "; ".join(errors))


def version() -> str:
    """The loaded library's version text."""
    return load().tersolite_version().decode()


def _document_bytes(doc: Any) -> bytes:
    if isinstance(doc, bytes):
        return doc
    if isinstance(doc, (bytearray, memoryview)):
        return bytes(doc)
    if isinstance(doc, str):
        return doc.encode("utf-8")
    if isinstance(doc, os.PathLike):
        return pathlib.Path(doc).read_bytes()
    try:
        return json.dumps(doc, ensure_ascii=False, allow_nan=False, separators=(",", ":")).encode("utf-8")
    except ValueError as e:  # NaN or infinity: JSON has no such numbers
        raise ValueError(f"doc cannot be written as JSON: {e}") from None


_U64 = 1 << 64


def _count(name: str, value: Any) -> int:
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{name} must be an int, not {type(value).__name__}")
    if not 0 <= value < _U64:
        raise ValueError(f"{name} must be a non-negative integer below 2**64, not {value}")
    return value


def _flag(name: str, value: Any) -> bool:
    if not isinstance(value, bool):
        raise TypeError(f"{name} must be a bool, not {type(value).__name__}")
    return value


def _choice(name: str, value: Any, choices: Sequence[str]) -> str:
    if not isinstance(value, str):
        raise TypeError(f"{name} must be a str, not {type(value).__name__}")
    if value.lower().replace("-", "_") not in choices:
        raise ValueError(f"{name} must be one of {', '.join(map(repr, choices))}, not {value!r}")
    return value


def _report(raw: dict) -> Report:
    values = dict(raw)
    values["field_decisions"] = [FieldDecision(**d) for d in raw["field_decisions"]]
    values["dropped_fields"] = [DroppedField(**d) for d in raw["dropped_fields"]]
    return Report(**values)


def shrink(doc: Union[str, bytes, "os.PathLike[str]", Any], *,
           max_chars: int = 10000,
           indent: int = 2,
           format: str = "auto",
           input_format: str = "auto",
           array_strategy: str = "sample",
           protect: Union[str, Sequence[str]] = (),
           query: Optional[str] = None,
           arguments: Any = None,
           field_scorer: str = "heuristic",
           explain: bool = False,
           keep_last_item: bool = True,
           max_samples: int = 3,
           min_partial_chars: int = 40,
           string_head_chars: int = 500,
           string_section_chars: int = 100,
           string_min_section_chars: int = 16,
           library: Union[str, "os.PathLike[str]", None] = None) -> Result:
    """Shrinks `doc` to at most `max_chars` characters and returns the text
    with its report.

    doc: JSON or YAML as `str` or UTF-8 `bytes`; a `pathlib.Path` (any
        `os.PathLike`) reads that file; anything else is written as JSON first.
    max_chars: budget, in characters (not bytes) of the written output.
    indent: spaces per level, 0 to 32; 0 writes compact JSON; YAML needs 2+.
    format: output format, "auto" (as the input), "json" or "yaml".
    input_format: "auto" (JSON, else YAML), "json" or "yaml".
    array_strategy: "sample" keeps a sample of each long array's items;
        "condense" keeps every record of an array of like records, each with
        its most useful fields.
    protect: path patterns kept whole while the budget allows: "/id" (the
        root's member), "id" (any member named id), "items/*/title".
    query: the host's query text; fields and values that match it are kept
        first. Same as arguments={"query": query}.
    arguments: any JSON value whose strings and numbers form the query.
    field_scorer: how condensing ranks fields: "heuristic", "compact" (small
        first) or "key_order" (early first).
    explain: list condensing's decision on every field in the report.
    keep_last_item: sampled arrays prefer their last item.
    max_samples: shapes of items offered when no item fits whole.
    min_partial_chars: the smallest room in which an item is kept shortened.
    string_head_chars, string_section_chars, string_min_section_chars: how
        much of a long string's leading sections is kept.
    library: load this shared library instead of the usual one.

    Raises TypeError or ValueError for an option of the wrong type or value
    before the library is called, TersoliteError when the library refuses the
    document or the options (its message says why), OSError when no library
    loads. The GIL is released while the library works.
    """
    if isinstance(protect, str):
        protect = [protect]
    elif not isinstance(protect, (list, tuple)) or not all(isinstance(p, str) for p in protect):
        raise TypeError("protect must be a str or a list of str")
    if query is not None:
        if not isinstance(query, str):
            raise TypeError(f"query must be a str, not {type(query).__name__}")
        if arguments is not None:
            raise TypeError("give either query= or arguments=, not both")
        arguments = {"query": query}
    options = {
        "max_chars": _count("max_chars", max_chars),
        "indent": _count("indent", indent),
        "format": _choice("format", format, ("auto", "json", "yaml")),
        "input_format": _choice("input_format", input_format, ("auto", "json", "yaml")),
        "array_strategy": _choice("array_strategy", array_strategy, ("sample", "condense")),
        "protect": list(protect),
        "field_scorer": _choice("field_scorer", field_scorer, ("heuristic", "compact", "key_order")),
        "explain": _flag("explain", explain),
        "keep_last_item": _flag("keep_last_item", keep_last_item),
        "max_samples": _count("max_samples", max_samples),
        "min_partial_chars": _count("min_partial_chars", min_partial_chars),
        "string_head_chars": _count("string_head_chars", string_head_chars),
        "string_section_chars": _count("string_section_chars", string_section_chars),
        "string_min_section_chars": _count("string_min_section_chars", string_min_section_chars),
    }
    if indent > 32:
        raise ValueError(f"indent must be at most 32, not {indent}")
    if arguments is not None:
        options["arguments"] = arguments
    try:
        opts = json.dumps(options, ensure_ascii=False, allow_nan=False).encode("utf-8")
    except (TypeError, ValueError) as e:  # only arguments can hold what JSON cannot
        raise type(e)(f"arguments cannot be written as JSON: {e}") from None
    data = _document_bytes(doc)
    lib = load(library) if library is not None else load()
    length = ctypes.c_size_t(0)
    ptr = lib.tersolite_shrink(data, len(data), opts, len(opts), ctypes.byref(length))
    try:
        envelope = json.loads(ctypes.string_at(ptr, length.value).decode("utf-8"))
    finally:
        lib.tersolite_free(ptr, length.value)
    if not envelope["ok"]:
        raise TersoliteError(envelope["error"])
    return Result(envelope["text"], _report(envelope["report"]))
