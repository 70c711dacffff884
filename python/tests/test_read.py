"""ternwick.read on every kind of input, its errors, and its use from threads."""

import ast
import concurrent.futures
import io
import math
import pathlib
import pickle

import numpy as np
import pytest
from PIL import Image

import ternwick
from conftest import EXAMPLE, EXAMPLE_TEXT


@pytest.fixture(scope="module")
def grey():
    return ternwick.load_picture(EXAMPLE)


def flat(points):
    return [c for point in points for c in point]


def rgb(grey):
    return np.repeat(grey[:, :, None], 3, axis=2)


# Every way of handing over the same picture; the layouts past the first few
# are read in place (padded rows) or copied (pixels apart, negative strides).
INPUTS = {
    "str path": lambda g: str(EXAMPLE),
    "pathlib path": lambda g: pathlib.Path(EXAMPLE),
    "bytes": lambda g: EXAMPLE.read_bytes(),
    "bytearray": lambda g: bytearray(EXAMPLE.read_bytes()),
    "memoryview": lambda g: memoryview(EXAMPLE.read_bytes()),
    "PIL palette": lambda g: Image.open(EXAMPLE),
    "PIL grey": lambda g: Image.fromarray(g),
    "PIL RGBA": lambda g: Image.fromarray(g).convert("RGBA"),
    "PIL 1-bit": lambda g: Image.fromarray(g).convert("1"),
    "grey": lambda g: g,
    "RGB": lambda g: rgb(g),
    "RGBA": lambda g: np.dstack([rgb(g), np.full(g.shape, 255, np.uint8)]),
    "padded rows": lambda g: np.pad(g, ((0, 0), (0, 7)), constant_values=255)[:, : g.shape[1]],
    "RGB view of RGBA": lambda g: np.dstack([rgb(g), np.zeros(g.shape, np.uint8)])[:, :, :3],
    "every other pixel": lambda g: np.repeat(np.repeat(g, 2, axis=0), 2, axis=1)[::2, ::2],
    "Fortran order": lambda g: np.asfortranarray(g),
    "read-only": lambda g: np.frombuffer(g.tobytes(), np.uint8).reshape(g.shape),
}


@pytest.mark.parametrize("kind", INPUTS)
def test_every_input_reads_the_same_symbol(grey, kind):
    (symbol,) = ternwick.read(INPUTS[kind](grey))
    assert symbol.text == EXAMPLE_TEXT
    assert (symbol.rows, symbol.columns, symbol.scheme) == (26, 26, "C40 Latch")
    if kind != "every other pixel":
        assert flat(symbol.corners) == pytest.approx(flat(ternwick.read(grey)[0].corners))


def test_negative_strides_and_rotations_are_read_as_they_look(grey):
    reference = ternwick.read(grey)[0]
    turned = ternwick.read(grey[::-1, ::-1])[0]  # copied: both strides negative
    height, width = grey.shape
    assert flat((width - x, height - y) for x, y in reference.corners) == pytest.approx(flat(turned.corners), abs=1.0)
    assert ternwick.read(np.rot90(grey))[0].text == EXAMPLE_TEXT


def test_symbol_fields_repr_and_pickle(grey):
    (symbol,) = ternwick.read(grey)
    assert symbol.bytes == EXAMPLE_TEXT.encode() and symbol.size == "26x26"
    assert len(symbol.corners) == 4 and all(len(p) == 2 for p in symbol.corners)
    assert symbol.search_pass >= 1 and symbol.corrected_errors >= 0 and symbol.erasures >= 0
    assert (symbol.symbology_id, symbol.gs1, symbol.gs1_hri, symbol.mirrored, symbol.eci) == (
        "]d1", False, None, False, ())
    assert "TERNWICK READS" in repr(symbol) and "26x26" in repr(symbol)
    assert pickle.loads(pickle.dumps(symbol)) == symbol


def test_max_symbols_and_budget(grey):
    two = np.vstack([grey, grey])
    assert len(ternwick.read(two)) == 1
    found = ternwick.read(two, max_symbols=5)
    assert 2 <= len(found) <= 5 and {s.text for s in found} == {EXAMPLE_TEXT}
    assert {s.corners[0][1] > grey.shape[0] for s in found} == {True, False}
    assert len(ternwick.read(two, budget_ms=0.001)) <= 1
    assert ternwick.read(np.full((50, 60), 255, np.uint8)) == []


def closed_image():
    image = Image.open(EXAMPLE)
    image.close()
    return image


@pytest.mark.parametrize("make, error, words", [
    (lambda: np.zeros((20, 20), np.float32), ValueError, "uint8"),
    (lambda: np.zeros((20, 20), bool), ValueError, "uint8"),
    (lambda: np.zeros(400, np.uint8), ValueError, "shape (400,)"),
    (lambda: np.zeros((20, 20, 2), np.uint8), ValueError, "shape (20, 20, 2)"),
    (lambda: np.zeros((2, 20, 20, 3), np.uint8), ValueError, "H x W"),
    (lambda: np.zeros((0, 20), np.uint8), ValueError, "no pixels"),
    (lambda: np.broadcast_to(np.uint8(0), (10000, 10000)), ValueError, "too large"),
    (closed_image, ValueError, "closed image"),
    (lambda: str(EXAMPLE.parent), ternwick.LoadError, "NotARegularFile"),
    (lambda: str(EXAMPLE) + ".missing", ternwick.LoadError, "FileNotFound"),
    (lambda: b"not a picture at all", ternwick.LoadError, "UnsupportedFormat"),
    (lambda: EXAMPLE.read_bytes()[:200], ternwick.LoadError, "Truncated"),
    (lambda: b"", ternwick.LoadError, ""),
    (lambda: 42, TypeError, "int"),
    (lambda: [[0, 255]], TypeError, "list"),
])
def test_bad_input_raises_a_clear_exception(make, error, words):
    with pytest.raises(error) as raised:
        ternwick.read(make())
    shown = f"{raised.value} {getattr(raised.value, 'code', '')}"
    assert words in shown
    if error is ternwick.LoadError:
        assert raised.value.reason and raised.value.reason in str(raised.value)


@pytest.mark.parametrize("options", [
    {"max_symbols": 0}, {"max_symbols": -3}, {"budget_ms": -1}, {"budget_ms": math.nan}, {"budget_ms": math.inf},
])
def test_bad_options_raise_value_error(grey, options):
    with pytest.raises(ValueError):
        ternwick.read(grey, **options)


def test_many_threads_at_once(pictures):
    paths = sorted(pictures)
    alone = {p: [s.text for s in ternwick.read(p)] for p in paths}
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        together = list(pool.map(lambda p: [s.text for s in ternwick.read(p)], paths * 3))
    assert together == [alone[p] for p in paths * 3]
    assert sum(alone[p] == [pictures[p]] for p in paths) >= len(paths) * 0.9


def test_stubs_name_what_the_module_has():
    stubs = ast.parse((pathlib.Path(ternwick.__file__).parent / "__init__.pyi").read_text())
    names = {n.name for n in stubs.body if isinstance(n, (ast.FunctionDef, ast.ClassDef))}
    assert names <= set(dir(ternwick)) and {"read", "load_picture", "Symbol", "LoadError"} <= names
    assert "max_symbols" in ternwick.read.__doc__


DATA = pathlib.Path(__file__).parent / "data"


def test_gs1_and_eci_symbols_carry_their_meaning():
    (gs1,) = ternwick.read(DATA / "gs1.png")
    assert gs1.gs1 and gs1.symbology_id == "]d2"
    assert gs1.bytes == b"0109501101530003" + b"10ABC123\x1d" + b"21XYZ"
    assert gs1.gs1_hri == "(01)09501101530003(10)ABC123(21)XYZ"
    (utf8,) = ternwick.read(DATA / "eci-utf8.png")
    assert utf8.eci == ((26, 0),) and utf8.symbology_id == "]d4"
    assert utf8.text == "Grüße, €5"


def test_mirrored_symbols_say_so(grey):
    (plain,) = ternwick.read(grey)
    (mirrored,) = ternwick.read(np.ascontiguousarray(grey[:, ::-1]))
    assert not plain.mirrored and mirrored.mirrored and mirrored.text == plain.text
