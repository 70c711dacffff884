"""Shared fixtures: the bundled example picture and folders of generated pictures."""

import os
import pathlib
import subprocess

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("TERNWICK_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
EXAMPLE = SOURCE_DIR / "examples" / "example.png"
EXAMPLE_TEXT = "TERNWICK READS DATA MATRIX SYMBOLS FROM BMP AND PNG PICTURES"


def make_pictures(folder: pathlib.Path, count: int) -> dict:
    """Writes `count` generated pictures into folder; returns {path: text}."""
    subprocess.run([os.environ["TERNWICK_PICTURE_MAKER"], str(folder), str(count)], check=True)
    expected = {}
    for line in (folder / "expected.tsv").read_text().splitlines():
        name, text = line.split("\t", 1)
        expected[str(folder / name)] = text
    return expected


def without_times(record: dict) -> dict:
    return {k: v for k, v in record.items() if k not in ("load_ms", "decode_ms")}


@pytest.fixture(scope="module")
def pictures(tmp_path_factory):
    return make_pictures(tmp_path_factory.mktemp("pictures"), 40)
