#!/bin/sh
# Writes a folder of pictures for timing the command on a batch: symbols made
# by zint (Debian package zint) of mixed sizes (10x10 to 144x144 modules, 1 to
# 6 pixels a module), turned by multiples of 90 degrees, with quiet zones of
# 2 to 9 modules, as PNG and BMP files.
#     bench/make_batch_pictures.sh FOLDER [COUNT]   (COUNT defaults to 500)
set -eu
out=$1
count=${2:-500}
mkdir -p "$out"
i=1
while [ "$i" -le "$count" ]; do
  words=$(( 1 + i * 7 % 37 ))
  data=$(printf "batch $i %.0s" $(seq 1 "$words"))
  type=PNG; [ $(( i % 3 )) -eq 0 ] && type=BMP
  name=$(printf 'pic%04d.%s' "$i" "$(echo $type | tr 'A-Z' 'a-z')")
  zint --barcode=DATAMATRIX --square --scale=$(( 1 + i * 5 % 6 )) --rotate=$(( i % 4 * 90 )) \
       --whitesp=$(( 2 + i % 8 )) --vwhitesp=$(( 2 + i % 8 )) --filetype=$type \
       --data="$data" --output="$out/$name"
  i=$(( i + 1 ))
done
