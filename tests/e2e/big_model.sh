#!/usr/bin/env bash
# big_model.sh COUNT: prints a textured model of COUNT overlapping triangles
# spread over the whole view, the same on every run. Under llvmpipe a frame
# of 300,000 of them takes a good part of a second.
set -euo pipefail
awk -v count="${1:?}" 'BEGIN {
  srand(1)
  printf "UcgenSayisi >> %d\nKaplamaKullanimi >> 1\n", count
  for (t = 0; t < count; t++) {
    cx = rand() * 5.6 - 2.8; cy = rand() * 4.2 - 2.1; cz = -rand()
    for (i = 0; i < 3; i++)
      printf "Vertex %.4f %.4f %.4f >> TKoord %.3f %.3f\n",
             cx + rand() * 0.5 - 0.25, cy + rand() * 0.5 - 0.25, cz, rand(), rand()
  }
}'
