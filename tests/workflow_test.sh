#!/bin/sh
# The workflow of many peak sets on two small ones (halves of the shipped
# peaks): motif_peaks on each with 2 cores, then their summary.
#   workflow_test.sh MOTIF_PEAKS SOURCE_DIR
set -eu
command -v snakemake >/dev/null || { echo "snakemake is not installed (Debian: snakemake)"; exit 77; }
program=$1 source=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
awk 'NR % 2' "$source/examples/peaks.narrowPeak" > "$dir/odd.narrowPeak"
awk '!(NR % 2)' "$source/examples/peaks.narrowPeak" > "$dir/even.narrowPeak"
printf 'name\tpeaks\tgenome\n' > "$dir/samples.tsv"
for set in odd even; do printf '%s\t%s\t%s\n' "$set" "$dir/$set.narrowPeak" "$source/examples/genome.fa.gz" >> "$dir/samples.tsv"; done
snakemake -s "$source/workflow/Snakefile" --cores 2 --quiet --directory "$dir" \
  --config samples="$dir/samples.tsv" out="$dir/results" motif_peaks="$program" threads=1 options="--top 3 --nmotifs 2" >"$dir/log" 2>&1 ||
  { cat "$dir/log"; exit 1; }
[ "$(head -1 "$dir/results/summary.tsv")" = "$(printf 'motif\tfamily\todd\teven')" ]
[ "$(wc -l < "$dir/results/summary.tsv")" -eq "$(($(wc -l < "$dir/results/odd/known.tsv")))" ]
# CTCF, planted in both halves, is enriched in each.
awk -F'\t' '$1 == "MA0139.1_CTCF" && $3 < -10 && $4 < -10 { found = 1 } END { exit !found }' "$dir/results/summary.tsv"
grep -q '<td class="name">MA0139.1_CTCF</td>' "$dir/results/summary.html"
