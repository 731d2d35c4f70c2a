#!/usr/bin/env bash
# The main job on the bundled example: set up, build, compile the example
# instrument (examples/classic-synth.txt), bundle it into a VST 2 plug-in and
# render it with the example MIDI file.
#   scripts/run-example.sh [OUT_DIR]      (default: build/example)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup-deps.sh
bash scripts/build.sh release

out=${1:-build/example}
mkdir -p "$out"
tool=build/release/tessaform

# The example instrument is patch text users can read and edit;
# "tessaform example -o X.dat" writes the same patch.
"$tool" compile examples/classic-synth.txt -o "$out/example.dat"
"$tool" bundle "$out/example.dat" -o "$out/TessaformExample.so"
"$tool" info "$out/TessaformExample.so"
"$tool" render "$out/TessaformExample.so" --midi examples/arpeggio.mid --tail 1 -o "$out/example.wav"

echo
echo "plug-in: $out/TessaformExample.so"
echo "render:  $out/example.wav"
