#!/bin/sh
# Makes the bundled example picture with the independent encoder zint (Debian
# package zint): a square symbol of uppercase text, which zint encodes in C40,
# 4 pixels a module, with a quiet zone around it.
set -eu
cd "$(dirname "$0")"
zint --barcode=DATAMATRIX --square --scale=2 --whitesp=4 --vwhitesp=4 \
     --data="TERNWICK READS DATA MATRIX SYMBOLS FROM BMP AND PNG PICTURES" --output=example.png
