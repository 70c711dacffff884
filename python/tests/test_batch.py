"""ternwick.batch in this process, and the example program."""

import json
import os
import subprocess
import sys

import pytest

from conftest import SOURCE_DIR, without_times
from ternwick.batch import read_file, read_files

KEYS = ["file", "decoded", "status", "scheme", "text", "hex", "message_hex", "size", "corners",
        "load_ms", "decode_ms", "symbols", "error"]


@pytest.fixture(scope="module")
def folder_with_bad_files(pictures, tmp_path_factory):
    folder = tmp_path_factory.mktemp("bad")
    (folder / "corrupt.png").write_bytes(b"\x89PNG\r\n\x1a\n" + b"\0" * 40)
    (folder / "folder.png").mkdir()
    bad = [str(folder / "corrupt.png"), str(folder / "folder.png"), str(folder / "missing.bmp")]
    return sorted(pictures) + bad


def test_one_record_a_file_in_order(pictures, folder_with_bad_files):
    records = read_files(folder_with_bad_files, partition_size=7)
    assert [r["file"] for r in records] == folder_with_bad_files
    assert all(list(r) == KEYS for r in records)
    assert [without_times(r) for r in records] == [without_times(read_file(p)) for p in folder_with_bad_files]

    good, bad = records[:-3], records[-3:]
    decoded = [r for r in good if r["decoded"]]
    assert len(decoded) >= 0.9 * len(good)
    for r in decoded:
        assert r["text"] == pictures[r["file"]] and r["status"] == "Success!" and r["error"] is None
        assert bytes.fromhex(r["message_hex"]).decode("latin-1") == r["text"]
        assert r["hex"] == r["message_hex"][:24] and len(r["corners"]) == 4 and r["size"].count("x") == 1
    for r in bad:
        assert not r["decoded"] and r["status"] == "Failed!" and r["error"] and r["symbols"] == []


def test_bad_arguments():
    with pytest.raises(ValueError):
        read_files(["a.png"], max_symbols=0)
    assert read_files([]) == []


def test_example_writes_json_lines(pictures):
    folder = os.path.dirname(next(iter(pictures)))
    done = subprocess.run([sys.executable, str(SOURCE_DIR / "examples" / "dask_batch.py"), folder],
                          capture_output=True, text=True, timeout=120)
    lines = [json.loads(line) for line in done.stdout.splitlines()]
    assert sorted(r["file"] for r in lines) == sorted(pictures)
    assert done.returncode == (0 if all(r["decoded"] for r in lines) else 4), done.stderr
