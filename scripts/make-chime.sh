#!/usr/bin/env bash
# Makes the program's default sound: a soft two-tone chime (E6 then C6, bell-like decay),
# 16-bit PCM mono at 44.1 kHz, about 1.2 s. Needs sox. Usage: make-chime.sh OUT.wav
set -euo pipefail
out=${1:?usage: make-chime.sh OUT.wav}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Each tone: the fundamental with a quiet octave partial, a 5 ms attack and an exponential-ish decay.
sox -n -r 44100 -b 16 -c 1 "$tmp/hi.wav" synth 0.45 sine 1318.51 synth 0.45 sine mix 2637.02 \
    fade q 0.005 0.45 0.40 gain -n -6
sox -n -r 44100 -b 16 -c 1 "$tmp/lo.wav" synth 0.75 sine 1046.50 synth 0.75 sine mix 2093.00 \
    fade q 0.005 0.75 0.70 gain -n -6
sox "$tmp/hi.wav" "$tmp/lo.wav" -b 16 -e signed-integer "$out"
