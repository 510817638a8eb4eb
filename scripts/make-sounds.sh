#!/usr/bin/env bash
# Makes the bundled alarm sounds: a soft two-note chime, then a short spoken line.
# 16-bit mono PCM at 22050 Hz, normalised below full scale. Needs espeak-ng and sox.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out="$top/data/sounds"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# name, chime notes (rising before an opening, falling before a closing), words
make() {
  local name=$1 a=$2 b=$3 words=$4
  sox -n -r 22050 -c 1 -b 16 "$work/c1.wav" synth 0.35 sine "$a" fade q 0.01 0.35 0.3 vol 0.5
  sox -n -r 22050 -c 1 -b 16 "$work/c2.wav" synth 0.55 sine "$b" fade q 0.01 0.55 0.5 vol 0.5
  espeak-ng -v en-us -s 150 -p 45 -w "$work/speech.wav" "$words"
  sox "$work/speech.wav" -r 22050 -c 1 -b 16 "$work/speech22.wav"
  sox -n -r 22050 -c 1 -b 16 "$work/gap.wav" trim 0 0.12
  sox "$work/c1.wav" "$work/c2.wav" "$work/gap.wav" "$work/speech22.wav" "$work/mix.wav"
  sox "$work/mix.wav" "$out/$name" norm -3 fade 0 -0 0.05
}

make 0_min_before_opening.wav 659.25 880 "The market is open."
make 15_min_before_opening.wav 659.25 880 "Fifteen minutes to the open."
make 0_min_before_closing.wav 880 659.25 "The market is closed."
make 60_min_before_closing.wav 880 659.25 "One hour to the close."
for f in "$out"/*.wav; do
  printf '%s %ss\n' "$(basename "$f")" "$(soxi -D "$f")"
done
