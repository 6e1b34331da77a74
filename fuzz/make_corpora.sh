#!/usr/bin/env bash
# Fills CORPUS_DIR/<target>/ (BUILD_DIR/corpus by default) with seeds from the test fixtures,
# the shipped data and fuzz/seeds/: fuzz/make_corpora.sh BUILD_DIR [CORPUS_DIR]
# What the fuzzers added to a corpus on earlier runs stays; seeds are only added.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?usage: make_corpora.sh BUILD_DIR}" && pwd)"
corpus="${2:-$build/corpus}"
mkdir -p "$corpus"

# seed TARGET FILE...: copies each file in under a name that tells where it came from.
seed() {
  local target="$1"
  shift
  mkdir -p "$corpus/$target"
  local file
  for file in "$@"; do
    [ -f "$file" ] || continue
    local name="${file#"$root"/}"
    cp -f "$file" "$corpus/$target/seed-${name//\//_}"
  done
}

# Pictures small enough to keep libFuzzer's input length short.
small_pictures() {
  find "$root/tests/fixtures" "$root/data" -type f -size -20k \( -iname "$1" \) | sort
}

mapfile -t skins < <(ls "$root"/data/Skin/*.ini "$root"/tests/fixtures/skin/*.ini)
mapfile -t languages < <(ls "$root"/data/*.lng)
mapfile -t pngs < <(small_pictures '*.png')
mapfile -t prs < <(small_pictures '*.prs')
mapfile -t bmps < <(find "$root/tests/fixtures" "$root/data" -type f -iname '*.bmp' | sort)

seed fuzz_profile_ini "${skins[@]}" "${languages[@]}" "$root/data/sstp.ini"
seed fuzz_skin_load "${skins[@]}"
seed fuzz_language "${languages[@]}"
seed fuzz_png "${pngs[@]}" "${prs[@]}"
seed fuzz_prs "${prs[@]}" "${bmps[@]}"
seed fuzz_bmp "${bmps[@]}"
seed fuzz_jpeg
seed fuzz_wave "$root"/data/sounds/*.wav
seed fuzz_archive "$root"/tests/fixtures/addin/*.pma
seed fuzz_sstp_reply
seed fuzz_local_talk
seed fuzz_perf_block
seed fuzz_exposition "$root"/tests/fixtures/remote/*.prom

# Hand-made seeds, and the inputs of earlier findings.
for folder in "$root"/fuzz/seeds/*/; do
  target="$(basename "$folder")"
  mapfile -t files < <(find "$folder" -type f | sort)
  seed "$target" "${files[@]}"
done
seed fuzz_prs "$root"/fuzz/seeds/fuzz_png/* "$root"/fuzz/seeds/fuzz_bmp/*

# Blocks written by the program's own block writer.
"$build/fuzz/pulsmir-perf-seed" "$corpus/fuzz_perf_block"

for folder in "$corpus"/*/; do
  echo "make_corpora: $(basename "$folder"): $(find "$folder" -type f | wc -l) inputs"
done
