"""Decodes many picture files, on a Dask cluster or in this process.

    >>> from distributed import Client
    >>> from ternwick.batch import read_files
    >>> records = read_files(paths, client=Client("tcp://scheduler:8786"))

Every file gives one record, a dict with the keys of the command's JSON output
where they apply; a file that cannot be loaded, or whose task was lost with a
worker, gives a record with ``decoded`` False and the reason in ``error``.
"""

from __future__ import annotations

import os
import time
from typing import Any, Dict, Iterable, List, Optional

import ternwick

__all__ = ["read_file", "read_files"]

# Files in one Dask task: large enough that scheduling costs little, small
# enough that a lost worker costs little to redo.
PARTITION_SIZE = 25


def _symbol_fields(symbol: "ternwick.Symbol") -> Dict[str, Any]:
    return {
        "scheme": symbol.scheme,
        "text": symbol.text,
        "message_hex": symbol.bytes.hex().upper(),
        "size": symbol.size,
        "corners": [[round(x, 2), round(y, 2)] for x, y in symbol.corners],
    }


def _record(path: str, symbols, error: Optional[str], load_ms: float, decode_ms: float) -> Dict[str, Any]:
    first = symbols[0] if symbols else None
    record: Dict[str, Any] = {
        "file": path,
        "decoded": first is not None,
        "status": "Success!" if first is not None else "Failed!",
        "scheme": first.scheme if first else "",
        "text": first.text if first else "",
        "hex": first.bytes[:12].hex().upper() if first else "",
        "message_hex": first.bytes.hex().upper() if first else "",
        "size": first.size if first else "",
        "corners": _symbol_fields(first)["corners"] if first else [],
        "load_ms": round(load_ms, 3),
        "decode_ms": round(decode_ms, 3),
        "symbols": [_symbol_fields(s) for s in symbols],
        "error": error,
    }
    return record


def read_file(path, max_symbols: int = 1) -> Dict[str, Any]:
    """Decodes one file into a record; never raises for a bad file."""
    path = os.fspath(path)
    shown = os.fsdecode(path)
    started = time.perf_counter()
    try:
        picture = ternwick.load_picture(path)
    except (ternwick.LoadError, MemoryError) as error:
        return _record(shown, [], getattr(error, "reason", None) or str(error) or "out of memory",
                       (time.perf_counter() - started) * 1000.0, 0.0)
    loaded = time.perf_counter()
    try:
        symbols = ternwick.read(picture, max_symbols=max_symbols)
        error = None
    except (ValueError, MemoryError) as failure:
        symbols, error = [], str(failure) or "out of memory"
    return _record(shown, symbols, error, (loaded - started) * 1000.0, (time.perf_counter() - loaded) * 1000.0)


def _read_partition(paths: List[str], max_symbols: int) -> List[Dict[str, Any]]:
    return [read_file(path, max_symbols) for path in paths]


def _lost(path: str, error: BaseException) -> Dict[str, Any]:
    return _record(path, [], f"not decoded: {type(error).__name__}: {error}", 0.0, 0.0)


def read_files(paths: Iterable, client=None, max_symbols: int = 1, partition_size: int = PARTITION_SIZE,
               retries: int = 1) -> List[Dict[str, Any]]:
    """Decodes every file; returns one record a file, in the order given.

    paths           picture files (str or os.PathLike), as the workers see them
    client          a distributed.Client (connected to any scheduler); None
                    decodes in this process, on a Dask bag with threads
    max_symbols     the most symbols a file (records list them under "symbols")
    partition_size  files a task
    retries         extra tries of a task whose worker failed, on top of the
                    scheduler's own rescheduling of tasks from a lost worker

    A task that still fails (for example a worker killed again and again) is
    split into one task a file; a file whose own task fails gives a record with
    decoded False and the reason in "error". No file is left out.
    """
    if isinstance(max_symbols, bool) or not isinstance(max_symbols, int) or max_symbols < 1:
        raise ValueError(f"max_symbols must be a whole number from 1 up, not {max_symbols!r}")
    if partition_size < 1:
        raise ValueError("partition_size must be 1 or more")
    names = [os.fsdecode(os.fspath(p)) for p in paths]
    if not names:
        return []
    chunks = [names[i:i + partition_size] for i in range(0, len(names), partition_size)]

    if client is None:
        import dask.bag

        bag = dask.bag.from_sequence(names, npartitions=len(chunks))
        return bag.map(read_file, max_symbols=max_symbols).compute(scheduler="threads")

    futures = client.map(_read_partition, chunks, max_symbols=max_symbols, retries=retries, pure=False)
    records: List[Dict[str, Any]] = []
    for chunk, future in zip(chunks, futures):
        try:
            records.extend(future.result())
            continue
        except Exception:
            pass
        # The whole task failed: each file once more on its own, so that one
        # file that brings its worker down costs only its own record.
        singles = client.map(read_file, chunk, max_symbols=max_symbols, retries=retries, pure=False)
        for path, single in zip(chunk, singles):
            try:
                records.append(single.result())
            except Exception as error:  # noqa: BLE001 - any failure becomes the file's record
                records.append(_lost(path, error))
    return records
