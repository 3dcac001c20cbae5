"""A notebook's cells as a script: the TATA boxes of three promoters, from the
JASPAR collection and from the sites they were drawn from; then the motifs
enriched in 200 peaks, known and found de novo.

    PYTHONPATH=build/python /usr/bin/python3 python/examples/worked_example.py
(from the top of the source tree, after `cmake --build build`), or with the
package installed, `python3 python/examples/worked_example.py`. In Jupyter, a
cell that ends with a motif shows its logo."""
import pathlib

import motif_tools as mt

examples = pathlib.Path(__file__).resolve().parents[2] / "examples"

# Every motif of a JASPAR file; the five formats are told apart by content.
db = mt.read_motifs(examples / "jaspar2022_core_vertebrates.jaspar")
tbp = next(m for m in db if m.name == "TBP")
print(len(db), "motifs;", tbp, "\n", tbp.counts[:3])

# The TBP motif's sites in the promoters: a DataFrame of motif_scan's columns.
sites = mt.scan(tbp, examples / "promoters.fa", p=1e-5)
print(sites)

# A motif from aligned sites, scored as motif_matrix scores its matrix file.
tata = mt.Motif.from_sites((examples / "tata_box.sites").read_text().splitlines(), id="tata_box")
print(tata.consensus, "\n", tata.scores.round(3)[:3])

# Sequences in memory: a dict of name to bases.
print(mt.scan(tata, {"one": "ccGCTATAAAAGGCgg", "two": "ttttttttttt"}, score=8))

# Which JASPAR motifs the built one resembles, as motif_compare tells.
print(mt.compare(tata, db, top=3)[["query", "target", "orientation", "p", "q", "target_consensus"]])

# The known motifs enriched in the peaks against their shuffles: motif_enrich's table.
known = mt.enrich(db, examples / "peaks.fa", seed=1)
print(known.head(3)[["motif", "targets_with_site", "controls_with_site", "enrichment", "q"]])

# Motifs found de novo in the same peaks, named by their best JASPAR match.
found = mt.discover(examples / "peaks.fa", seed=1, nmotifs=3, compare=db)
print(found.table[["id", "targets_with_site", "controls_with_site", "E", "best_match"]])
print(mt.scan(found.motifs[0], examples / "peaks.fa", bg="motif").head(3))

# Files for other tools, and the logo as SVG (what Jupyter shows).
mt.write_meme([tata, tbp], "/tmp/tata.meme")
print(tbp.logo_svg()[:60], "...")
