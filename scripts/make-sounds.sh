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
# A sound already in data/sounds is kept byte for byte (sox dithers at random); delete it to
# make it anew.
make() {
  local name=$1 a=$2 b=$3 words=$4
  [ -e "$out/$name" ] && return
  sox -n -r 22050 -c 1 -b 16 "$work/c1.wav" synth 0.35 sine "$a" fade q 0.01 0.35 0.3 vol 0.5
  sox -n -r 22050 -c 1 -b 16 "$work/c2.wav" synth 0.55 sine "$b" fade q 0.01 0.55 0.5 vol 0.5
  espeak-ng -v en-us -s 150 -p 45 -w "$work/speech.wav" "$words"
  sox "$work/speech.wav" -r 22050 -c 1 -b 16 "$work/speech22.wav"
  sox -n -r 22050 -c 1 -b 16 "$work/gap.wav" trim 0 0.12
  sox "$work/c1.wav" "$work/c2.wav" "$work/gap.wav" "$work/speech22.wav" "$work/mix.wav"
  sox "$work/mix.wav" "$out/$name" norm -3 fade 0 -0 0.05
}

# Every alarm the options lists offer, so a ticked box always has a sound.
words=([1]="One minute" [2]="Two minutes" [3]="Three minutes" [5]="Five minutes"
  [10]="Ten minutes" [15]="Fifteen minutes" [20]="Twenty minutes" [30]="Thirty minutes"
  [60]="One hour")
make 0_min_before_opening.wav 659.25 880 "The market is open."
make 0_min_before_closing.wav 880 659.25 "The market is closed."
for n in 1 2 3 5 10 15 20 30 60; do
  make "${n}_min_before_opening.wav" 659.25 880 "${words[$n]} to the open."
  make "${n}_min_before_closing.wav" 880 659.25 "${words[$n]} to the close."
done
for f in "$out"/*.wav; do
  printf '%s %ss\n' "$(basename "$f")" "$(soxi -D "$f")"
done
