# Type stubs of the ternwick package.
import os
from typing import List, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

__version__: str

Point = Tuple[float, float]
PathLike = Union[str, os.PathLike[str]]
ImageSource = Union[npt.NDArray[np.uint8], "PIL.Image.Image", PathLike, bytes, bytearray, memoryview]

class LoadError(Exception):
    """A picture could not be loaded; reason, code and source say why and which."""

    reason: str
    code: str
    source: Optional[str]
    def __init__(self, reason: str, code: str, source: Optional[str] = ...) -> None: ...

class Symbol:
    """One decoded symbol."""

    bytes: bytes
    rows: int
    columns: int
    scheme: str
    corners: Tuple[Point, Point, Point, Point]
    search_pass: int
    corrected_errors: int
    erasures: int
    symbology_id: str
    gs1: bool
    gs1_hri: Optional[str]
    mirrored: bool
    eci: Tuple[Tuple[int, int], ...]
    structured_append: Optional[Tuple[int, int, int, int]]
    def __init__(
        self,
        bytes: bytes,
        rows: int,
        columns: int,
        scheme: str,
        corners: Tuple[Point, Point, Point, Point],
        search_pass: int = ...,
        corrected_errors: int = ...,
        erasures: int = ...,
        symbology_id: str = ...,
        gs1: bool = ...,
        gs1_hri: Optional[str] = ...,
        mirrored: bool = ...,
        eci: Tuple[Tuple[int, int], ...] = ...,
        structured_append: Optional[Tuple[int, int, int, int]] = ...,
    ) -> None: ...
    @property
    def text(self) -> str: ...
    @property
    def size(self) -> str: ...

def load_picture(source: Union[PathLike, bytes, bytearray, memoryview]) -> npt.NDArray[np.uint8]:
    """Loads a PNG, BMP or JPEG picture as an H x W uint8 array of grey levels."""

def read(image: ImageSource, *, max_symbols: int = 1, budget_ms: Optional[float] = None) -> List[Symbol]:
    """Finds and decodes the Data Matrix symbols in a picture."""
