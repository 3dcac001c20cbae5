#!/bin/sh
# The workflow of many peak sets on three small ones (thirds of the shipped
# peaks): motif_peaks on each with 2 cores, then their summary.
#   workflow_test.sh MOTIF_PEAKS SOURCE_DIR
set -eu
command -v snakemake >/dev/null || { echo "snakemake is not installed (Debian: snakemake)"; exit 77; }
program=$1 source=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf 'name\tpeaks\tgenome\n' > "$dir/samples.tsv"
for set in 0 1 2; do
  awk -v set="$set" 'NR % 3 == set' "$source/examples/peaks.narrowPeak" > "$dir/$set.narrowPeak"
  printf '%s\t%s\t%s\n' "$set" "$dir/$set.narrowPeak" "$source/examples/genome.fa.gz" >> "$dir/samples.tsv"
done
snakemake -s "$source/workflow/Snakefile" --cores 2 --quiet --directory "$dir" \
  --config samples="$dir/samples.tsv" out="$dir/results" motif_peaks="$program" threads=1 options="--top 3 --nmotifs 2" >"$dir/log" 2>&1 ||
  { cat "$dir/log"; exit 1; }
[ "$(head -1 "$dir/results/summary.tsv")" = "$(printf 'motif\tfamily\t0\t1\t2')" ]
[ "$(wc -l < "$dir/results/summary.tsv")" -eq "$(($(wc -l < "$dir/results/0/known.tsv")))" ]
# CTCF, planted in every third, is enriched in each.
awk -F'\t' '$1 == "MA0139.1_CTCF" && $3 < -5 && $4 < -5 && $5 < -5 { found = 1 } END { exit !found }' "$dir/results/summary.tsv"
grep -q '<td class="name">MA0139.1_CTCF</td>' "$dir/results/summary.html"
