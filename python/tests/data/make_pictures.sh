#!/bin/sh
# Pictures written by zint (Debian package zint) for the Python tests: a GS1
# symbol and a symbol whose ECI names UTF-8.
set -eu
cd "$(dirname "$0")"
dm() { zint --barcode=DATAMATRIX --square --whitesp=2 --vwhitesp=2 --scale=3 "$@"; }
dm --gs1 --data='[01]09501101530003[10]ABC123[21]XYZ' --output=gs1.png
dm --eci=26 --data='Grüße, €5' --output=eci-utf8.png
