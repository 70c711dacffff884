"""Reads ECC200 Data Matrix symbols from pictures.

    >>> import ternwick
    >>> for symbol in ternwick.read("label.png"):
    ...     print(symbol.text, symbol.corners)

``read`` takes a numpy array, a PIL image, a path or the bytes of a PNG, BMP or JPEG
file. The decoder runs without the interpreter's lock, so threads decode in
parallel. ``ternwick.batch.read_files`` decodes many files, on a Dask cluster
or in this process.
"""

from __future__ import annotations

import os
from dataclasses import dataclass
from typing import List, Optional, Tuple

import numpy as _np

from . import _native

__all__ = ["read", "load_picture", "Symbol", "LoadError", "__version__"]

__version__ = _native.version()


class LoadError(Exception):
    """A picture could not be loaded.

    ``reason`` is the library's explanation (such as "truncated PNG data"),
    ``code`` the kind of failure ("FileNotFound", "NotARegularFile",
    "UnsupportedFormat", "Truncated", "Corrupt", ...) and ``source`` the path
    given, or None for bytes.
    """

    def __init__(self, reason: str, code: str, source: Optional[str] = None):
        super().__init__(f"{source}: {reason}" if source else reason)
        self.reason = reason
        self.code = code
        self.source = source

    def __reduce__(self):  # keeps the attributes across processes (Dask workers)
        return (LoadError, (self.reason, self.code, self.source))


Point = Tuple[float, float]


# Python codecs of the ECI character sets.
_ECI_CODECS = {
    0: "cp437", 1: "latin-1", 2: "cp437", 3: "latin-1", 4: "iso8859_2", 5: "iso8859_3", 6: "iso8859_4",
    7: "iso8859_5", 8: "iso8859_6", 9: "iso8859_7", 10: "iso8859_8", 11: "iso8859_9", 12: "iso8859_10",
    13: "iso8859_11", 15: "iso8859_13", 16: "iso8859_14", 17: "iso8859_15", 18: "iso8859_16", 20: "shift_jis",
    21: "cp1250", 22: "cp1251", 23: "cp1252", 24: "cp1256", 25: "utf_16_be", 26: "utf-8", 27: "ascii",
    28: "big5", 29: "gb18030", 30: "euc_kr", 31: "gbk", 32: "gb18030", 33: "utf_16_le", 34: "utf_32_be",
    35: "utf_32_le", 170: "ascii", 899: "latin-1",
}


@dataclass(frozen=True, repr=False)
class Symbol:
    """One decoded symbol.

    bytes            the whole message
    rows, columns    modules, finder and clock included
    scheme           what the first codeword announces ("C40 Latch", ...), or ""
    corners          four (x, y) points in the picture (origin at the top-left
                     corner of the top-left pixel, y down): top-left, top-right,
                     bottom-right, bottom-left of the upright symbol, whose solid
                     finder sides are its left and bottom sides
    search_pass      the search pass that found it (1, 2, ...)
    corrected_errors codewords error correction changed
    erasures         codewords read as unknown (outside the picture)
    symbology_id     "]d1" plain, "]d2" GS1, "]d3" AIM, "]d4".."]d6" the same with ECI
    gs1              the message is GS1 element strings (fields end with 0x1D)
    gs1_hri          their human-readable form "(01)...(10)...", or None
    mirrored         the symbol was read mirrored
    eci              (value, position) pairs: ECI value and the index into
                     bytes from which it applies, in message order
    structured_append  (position, total, file_id1, file_id2), or None
    """

    bytes: bytes
    rows: int
    columns: int
    scheme: str
    corners: Tuple[Point, Point, Point, Point]
    search_pass: int = 0
    corrected_errors: int = 0
    erasures: int = 0
    symbology_id: str = "]d1"
    gs1: bool = False
    gs1_hri: Optional[str] = None
    mirrored: bool = False
    eci: Tuple[Tuple[int, int], ...] = ()
    structured_append: Optional[Tuple[int, int, int, int]] = None

    @property
    def text(self) -> str:
        """The message as text, in the character set each ECI names (ISO-8859-1
        where none is given, as the standard reads such symbols)."""
        pieces = []
        starts = [(0, 3)] + [(position, value) for value, position in self.eci]
        for index, (start, value) in enumerate(starts):
            end = starts[index + 1][0] if index + 1 < len(starts) else len(self.bytes)
            pieces.append(self.bytes[start:end].decode(_ECI_CODECS.get(value, "latin-1"), errors="replace"))
        return "".join(pieces)

    @property
    def size(self) -> str:
        """The size as "RxC", such as "24x24"."""
        return f"{self.rows}x{self.columns}"

    def __repr__(self) -> str:
        shown = self.text if len(self.bytes) <= 40 else self.text[:40] + "..."
        corners = ", ".join(f"({x:.1f}, {y:.1f})" for x, y in self.corners)
        scheme = f" scheme={self.scheme!r}" if self.scheme else ""
        return f"<ternwick.Symbol {self.size} text={shown!r}{scheme} corners=[{corners}]>"


def _failure(error, source: Optional[str]):
    code, reason = error
    if code in ("InvalidArgument", "TooLarge"):
        return ValueError(reason)
    if code == "OutOfMemory":
        return MemoryError(reason)
    return LoadError(reason, code, source)


def _loaded(result, source: Optional[str]) -> _np.ndarray:
    picture, error = result
    if error is not None:
        code, reason = error
        if code == "OutOfMemory":
            raise MemoryError(reason)
        raise LoadError(reason, code, source)
    return picture


def load_picture(source) -> _np.ndarray:
    """Loads a PNG, BMP or JPEG picture as an H x W uint8 array of grey levels.

    ``source`` is a path (str or os.PathLike) or the file's bytes; the format is
    told by the content, whatever the file is called. Raises LoadError with the
    library's reason when the picture cannot be loaded.
    """
    if isinstance(source, (bytes, bytearray, memoryview)):
        return _loaded(_native.load_memory(bytes(source)), None)
    if isinstance(source, (str, os.PathLike)):
        path = os.fspath(source)
        if isinstance(path, str):
            shown, path = path, os.fsencode(path)
        else:
            shown = os.fsdecode(path)
        return _loaded(_native.load_file(path), shown)
    raise TypeError(f"expected a path or bytes, got {type(source).__name__}")


def _pil_array(image) -> _np.ndarray:
    try:
        image.load()
    except ValueError as error:  # a closed image
        raise ValueError(f"the PIL image cannot be read: {error}") from error
    except OSError as error:  # its file is truncated or damaged
        raise LoadError(str(error), "Corrupt", getattr(image, "filename", None) or None) from error
    if image.mode not in ("L", "RGB", "RGBA"):
        # Palettes, bit maps, 16-bit and float grey, CMYK, ...: through PIL's own conversion.
        bands = image.getbands()
        image = image.convert("L" if len(bands) == 1 or bands == ("L", "A") else "RGB")
    return _np.asarray(image)


def _is_pil_image(image) -> bool:
    module = type(image).__module__
    return module.startswith("PIL.") and hasattr(image, "mode") and hasattr(image, "getbands")


def read(image, *, max_symbols: int = 1, budget_ms: Optional[float] = None) -> List[Symbol]:
    """Finds and decodes the Data Matrix symbols in a picture.

    image        a numpy array of uint8 (H x W grey, H x W x 3 RGB or
                 H x W x 4 RGBA, any strides: rows whose pixels lie next to each
                 other are read in place, other layouts are copied), a PIL image,
                 a path (str or pathlib.Path) or the bytes of a PNG, BMP or JPEG file
    max_symbols  the most symbols to return (1 stops at the first one found)
    budget_ms    a limit on the search time in milliseconds (None: none)

    Returns the symbols in the order the search found them, an empty list when
    there is none. Raises LoadError when a file or bytes cannot be loaded,
    ValueError for an array of the wrong dtype, dimension or shape, an empty
    one, or a bad max_symbols or budget_ms, and TypeError for anything else.
    The interpreter's lock is released while decoding.
    """
    if isinstance(max_symbols, bool) or not isinstance(max_symbols, int):
        raise TypeError(f"max_symbols must be an int, got {type(max_symbols).__name__}")
    if max_symbols < 1:
        raise ValueError(f"max_symbols must be 1 or more, not {max_symbols}")
    budget = 0.0 if budget_ms is None else float(budget_ms)
    if not budget >= 0.0 or budget == float("inf"):
        raise ValueError(f"budget_ms must be a finite number of milliseconds, 0 or more, not {budget_ms!r}")

    if isinstance(image, _np.ndarray):
        array = image
    elif _is_pil_image(image):
        array = _pil_array(image)
    elif isinstance(image, (str, os.PathLike, bytes, bytearray, memoryview)):
        array = load_picture(image)
    else:
        raise TypeError(f"expected a numpy array, a PIL image, a path or bytes, got {type(image).__name__}")

    found, error = _native.read_array(array, max_symbols, budget)
    if error is not None:
        raise _failure(error, None)
    return [
        Symbol(data, rows, columns, scheme, tuple(corners), search_pass, corrected, erasures, symbology_id, gs1,
               gs1_hri or None, mirrored, tuple(eci), appended)
        for (data, rows, columns, scheme, corners, search_pass, corrected, erasures, symbology_id, gs1, gs1_hri, eci,
             appended, mirrored) in found
    ]
