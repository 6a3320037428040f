"""Shrink a JSON or YAML document to a budget of characters.

    >>> import tersolite
    >>> r = tersolite.shrink({"items": list(range(1000))}, max_chars=60, indent=0)
    >>> r.report.fits
    True

`shrink` takes the document as text (`str`), bytes (UTF-8 JSON or YAML) or
any JSON-serialisable object, and the options as keyword arguments named
like the members of the options object (`max_chars`, `indent`, `format`,
`array_strategy`, `protect`, ...). `query="..."` is the host's query; it
becomes the `arguments` member, as does `arguments=` given directly.
"""

from __future__ import annotations

import ctypes
import ctypes.util
import dataclasses
import json
import os
import threading
from typing import Any, List, Optional, Union

__all__ = ["shrink", "load", "version", "Result", "Report", "FieldDecision", "DroppedField", "TersoliteError"]


class TersoliteError(Exception):
    """The library answered with an error envelope; the message is its text."""


@dataclasses.dataclass(frozen=True)
class FieldDecision:
    path: str
    score: float
    kept: bool
    relevance: float


@dataclasses.dataclass(frozen=True)
class DroppedField:
    path: str
    items: int


@dataclasses.dataclass(frozen=True)
class Report:
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
    text: str
    report: Report


_lock = threading.Lock()
_lib: Optional[ctypes.CDLL] = None


def _candidates() -> List[str]:
    found = []
    env = os.environ.get("TERSOLITE_LIBRARY")
    if env:
        found.append(env)
    name = ctypes.util.find_library("tersolite")
    if name:
        found.append(name)
    found += ["libtersolite.so.0", "libtersolite.so", "/usr/local/lib/libtersolite.so.0"]
    return found


def load(path: Optional[str] = None) -> ctypes.CDLL:
    """Loads the shared library from `path`, else from TERSOLITE_LIBRARY, else
    from the installed location, and keeps it for later calls."""
    global _lib
    with _lock:
        if path is None and _lib is not None:
            return _lib
        errors = []
        for candidate in [path] if path else _candidates():
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
    """The library's version text."""
    return load().tersolite_version().decode()


def _document_bytes(doc: Any) -> bytes:
    if isinstance(doc, bytes):
        return doc
    if isinstance(doc, str):
        return doc.encode("utf-8")
    return json.dumps(doc, ensure_ascii=False, separators=(",", ":")).encode("utf-8")


def _report(raw: dict) -> Report:
    values = dict(raw)
    values["field_decisions"] = [FieldDecision(**d) for d in raw["field_decisions"]]
    values["dropped_fields"] = [DroppedField(**d) for d in raw["dropped_fields"]]
    return Report(**values)


def shrink(doc: Union[str, bytes, Any], *, query: Optional[str] = None, library: Optional[str] = None,
           **options: Any) -> Result:
    """Shrinks `doc` as the options ask; raises TersoliteError on an error envelope."""
    lib = load(library) if library else load()
    if query is not None:
        if "arguments" in options:
            raise TypeError("give either query= or arguments=, not both")
        options["arguments"] = {"query": query}
    data = _document_bytes(doc)
    opts = json.dumps(options, ensure_ascii=False).encode("utf-8")
    length = ctypes.c_size_t(0)
    ptr = lib.tersolite_shrink(data, len(data), opts, len(opts), ctypes.byref(length))
    try:
        envelope = json.loads(ctypes.string_at(ptr, length.value).decode("utf-8"))
    finally:
        lib.tersolite_free(ptr, length.value)
    if not envelope["ok"]:
        raise TersoliteError(envelope["error"])
    return Result(envelope["text"], _report(envelope["report"]))
