#!/bin/sh
# Makes the bundled example picture with the independent encoder zint
# (Debian package zint): a 24x24 symbol, 4 pixels a module, with a quiet zone around it.
set -eu
cd "$(dirname "$0")"
zint --barcode=DATAMATRIX --square --vers=7 --scale=2 --whitesp=4 --vwhitesp=4 \
     --data="Ternwick reads Data Matrix" --output=example.png
