#!/bin/sh
# Pictures written by zint (Debian package zint), decoded end to end by the
# tests. messages.txt lists each file with the encodation scheme zint opens
# it with and the message in hexadecimal.
set -eu
cd "$(dirname "$0")"
dm() { zint --barcode=DATAMATRIX --square --whitesp=3 --vwhitesp=3 "$@"; }

dm --vers=1 --scale=1 --data="Hi!" --output=ascii-10x10.png
dm --scale=1 --data="TERNWICK READS DATA MATRIX SYMBOLS FROM BMP AND PNG PICTURES" --filetype=BMP --output=c40.bmp
dm --scale=2 --rotate=180 --data="ternwick reads data matrix symbols from bmp and png pictures" --output=text-rotated.png
dm --scale=1 --fast --data="ABC*DEF>GHI*123>456*XYZ>ABC*DEF" --filetype=BMP --output=x12.bmp
dm --scale=1 --binary --esc --data='\xE9t\xE9 \xE0 la plage, caf\xE9 cr\xE8me, \x00\x01\x02\xFF\xFE' --output=base256.png
dm --scale=1 --reverse --rotate=90 --data="$(printf 'Ternwick %.0s' $(seq 1 60))" --output=large-reverse.png

hex() { printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n' | tr 'a-f' 'A-F'; }
{
  echo "ascii-10x10.png ascii $(hex 'Hi!')"
  echo "c40.bmp c40 $(hex 'TERNWICK READS DATA MATRIX SYMBOLS FROM BMP AND PNG PICTURES')"
  echo "text-rotated.png text $(hex 'ternwick reads data matrix symbols from bmp and png pictures')"
  echo "x12.bmp x12 $(hex 'ABC*DEF>GHI*123>456*XYZ>ABC*DEF')"
  echo "base256.png base256 $(printf '\351t\351 \340 la plage, caf\351 cr\350me, \000\001\002\377\376' | od -An -tx1 -v | tr -d ' \n' | tr 'a-f' 'A-F')"
  echo "large-reverse.png ascii $(hex "$(printf 'Ternwick %.0s' $(seq 1 60))")"
} > messages.txt
