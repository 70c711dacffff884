#!/usr/bin/python3
"""Decodes every PNG and BMP picture in a folder with Dask; one JSON line a file.

    python3 examples/dask_batch.py FOLDER                       # in this process, on threads
    python3 examples/dask_batch.py FOLDER --scheduler tcp://10.0.0.5:8786

With --scheduler the files are decoded by the workers of that Dask scheduler
(started with `dask scheduler` on one machine and `dask worker ADDRESS` on
each), which must see FOLDER under the same path and have ternwick installed.
Exit status: 0 when every file gave a symbol, 4 when some did not, 1 when a
file could not be loaded or decoded for another reason.
"""

import argparse
import json
import pathlib
import sys

from ternwick.batch import read_files

PICTURE_SUFFIXES = {".png", ".bmp"}


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", type=pathlib.Path, help="folder of pictures (searched recursively)")
    parser.add_argument("--scheduler", help="address of a Dask scheduler, such as tcp://127.0.0.1:8786")
    parser.add_argument("--max-symbols", type=int, default=1, help="most symbols a picture (default 1)")
    parser.add_argument("--output", type=argparse.FileType("w"), default=sys.stdout,
                        help="file for the JSON lines (default: standard output)")
    args = parser.parse_args()
    if not args.folder.is_dir():
        parser.error(f"{args.folder} is not a folder")

    paths = sorted(str(p.resolve()) for p in args.folder.rglob("*")
                   if p.suffix.lower() in PICTURE_SUFFIXES and p.is_file())
    client = None
    if args.scheduler:
        from distributed import Client

        client = Client(args.scheduler)
    try:
        records = read_files(paths, client=client, max_symbols=args.max_symbols)
    finally:
        if client is not None:
            client.close()
    for record in records:
        args.output.write(json.dumps(record, ensure_ascii=False) + "\n")
    if any(r["error"] for r in records):
        return 1
    return 0 if all(r["decoded"] for r in records) else 4


if __name__ == "__main__":
    sys.exit(main())
