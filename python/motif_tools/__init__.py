"""DNA motifs from Python on the engine of the motif programs: motif_scan,
motif_enrich, motif_discover and motif_compare.

    import motif_tools as mt
    db = mt.read_motifs("examples/jaspar2022_core_vertebrates.jaspar")
    sites = mt.scan(db, "examples/promoters.fa", p=1e-5)     # a pandas DataFrame
    known = mt.enrich(db, "examples/peaks.fa", seed=1)       # motif_enrich's table
    found = mt.discover("examples/peaks.fa", seed=1)         # .motifs and .table
    names = mt.compare(found.motifs, db)                     # motif_compare's table
    db[0]                                                    # its logo, in Jupyter

Sequences are a FASTA file (plain or gzip), FASTA text, sequences in memory
(a str, a list, a dict of name to bases), or an indexed genome with
regions=. The programs' options are keyword arguments; their tables come as
DataFrames of the same columns and numbers. The engine runs without the GIL,
and Ctrl-C stops it. Errors are the programs' one-line messages: ValueError
for bad input, OSError for files that cannot be read.
"""

import collections
import contextlib
import csv
import io
import os
import re
import tempfile

import numpy as np
import pandas as pd

from . import _engine
from ._engine import Motif

__version__ = _engine.version
__all__ = ["Motif", "read_motifs", "write_meme", "write_jaspar", "scan", "compare", "enrich", "discover", "Discovery"]


def read_motifs(path_or_text, format=None, sites=20):
    """The motifs of a file (plain or gzip) or of text holding one: motif_matrix's
    matrix files, JASPAR, MEME, TRANSFAC or HOMER, told from the content unless
    `format` names one. Probabilities count for `sites` sites where the file
    gives no site count. Identifiers are made unique as the programs make them."""
    if isinstance(path_or_text, os.PathLike):
        return _engine.read_motifs(os.fspath(path_or_text), False, format or "", sites)
    # A file's name holds no line feed; a motif file's text always does.
    return _engine.read_motifs(path_or_text, "\n" in path_or_text, format or "", sites)


def _motif_list(motifs):
    if isinstance(motifs, Motif):
        return [motifs]
    if isinstance(motifs, (str, os.PathLike)):
        return read_motifs(motifs)
    return list(motifs)


# A str of these letters alone is a sequence, not a file's name.
_bases = re.compile(r"[ACGTURYKMSWBDHVNacgturykmswbdhvn-]+")


def _sequence_source(sequences, regions):
    source = _engine.SequenceSource()
    if regions is not None:
        source.kind, source.path = "genome", os.fspath(sequences)
        if isinstance(regions, (str, os.PathLike)):
            source.regions = os.fspath(regions)
        else:
            columns = ["chrom", "start", "end"] if {"chrom", "start", "end"} <= set(regions.columns) else regions.columns[:3]
            source.chromosomes = [str(c) for c in regions[columns[0]]]
            source.starts = np.asarray(regions[columns[1]], dtype=np.int64).tolist()
            source.ends = np.asarray(regions[columns[2]], dtype=np.int64).tolist()
        return source
    if isinstance(sequences, os.PathLike):
        source.kind, source.path = "fasta", os.fspath(sequences)
    elif isinstance(sequences, str):
        if sequences.lstrip().startswith(">") or "\n" in sequences:
            source.kind, source.path = "text", sequences
        elif _bases.fullmatch(sequences) and not os.path.exists(sequences):
            source.kind, source.names, source.sequences = "records", ["record1"], [sequences]
        else:
            source.kind, source.path = "fasta", sequences
    elif isinstance(sequences, dict):
        source.kind, source.names, source.sequences = "records", [str(n) for n in sequences], list(sequences.values())
    else:
        sequences = list(sequences)
        source.kind, source.sequences = "records", sequences
        source.names = ["record%d" % (i + 1) for i in range(len(sequences))]
    return source


def _bg(bg):
    if bg is None:
        return "uniform"
    if isinstance(bg, (str, os.PathLike)):
        return os.fspath(bg)
    return ",".join(repr(float(f)) for f in bg)


def _categorical(codes, names):
    return pd.Categorical.from_codes(codes, categories=pd.Index(names, dtype=object))


def scan(motifs, sequences, p=None, score=None, threads=None, bg=None, regions=None, strand="both"):
    """motif_scan's sites as a DataFrame: sequence, start, end, motif, score,
    strand, p, matched (the window, reverse complemented on the minus strand),
    in motif_scan's order.

    motifs: a Motif, a list of them, or a motif file.
    sequences: a FASTA file (plain or gzip; a path or a str naming one), FASTA
    text, a sequence (a str of bases), a list of sequences (named record1,
    record2, ...), a dict of name to sequence; or with `regions` (a BED file or a
    DataFrame of chrom, start, end) an indexed genome FASTA.
    p: sites of p-value at most p (default 1e-4); score: sites of score at least
    this instead. threads: default all cores. bg: "uniform" (default), four
    frequencies of A, C, G and T, a MEME background file or "motif" (the first
    MEME motif's background line). strand: "both", "+" or "-".
    Ctrl-C stops a scan."""
    if p is not None and score is not None:
        raise ValueError("p and score exclude each other")
    by_score = score is not None
    value = score if by_score else 1e-4 if p is None else p
    columns = _engine.scan(_motif_list(motifs), _sequence_source(sequences, regions), by_score, float(value), threads,
                           strand, _bg(bg))
    return pd.DataFrame({
        "sequence": _categorical(columns["sequence"], columns["sequence_names"]),
        "start": columns["start"],
        "end": columns["end"],
        "motif": _categorical(columns["motif"], columns["motif_names"]),
        "score": columns["score"],
        "strand": _categorical(columns["strand"], ["+", "-"]),
        "p": columns["p"],
        "matched": _categorical(columns["matched"], columns["matched_names"]),
    }, copy=False)  # the engine's arrays as they are, not copied into blocks


def compare(queries, database=None, min_overlap=5, max_q=0.5, top=None, threads=None):
    """motif_compare's table as a DataFrame: each query's matches in the database
    (or among the queries themselves), by p: query, target, offset, orientation,
    overlap, p, E, q, query_consensus, target_consensus."""
    queries = _motif_list(queries)
    database = None if database is None else _motif_list(database)
    return pd.DataFrame(_engine.compare(queries, database, min_overlap, max_q, top, threads))


def _bed_file(regions, files):
    """A BED file of the regions: theirs, or one the DataFrame is written to."""
    if isinstance(regions, (str, os.PathLike)):
        return os.fspath(regions)
    columns = list(regions.columns)
    if {"chrom", "start", "end"} <= set(columns):
        columns = ["chrom", "start", "end"] + [c for c in columns if c not in ("chrom", "start", "end")]
    bed = files.enter_context(tempfile.NamedTemporaryFile("w", suffix=".bed"))
    regions[columns].to_csv(bed, sep="\t", header=False, index=False)
    bed.flush()
    return bed.name


def _targets_and_controls(targets, controls, regions, background, control_regions, summits, skip_missing, shuffles, seed,
                          files):
    """The engine's sources and drawing of controls, the region options checked as the programs check them."""
    drawing = _engine.DrawingRequest()
    drawing.seed, drawing.shuffles = seed, 1 if shuffles is None else shuffles
    if regions is None:
        if background is not None or control_regions is not None or summits is not None or skip_missing:
            raise ValueError("background, control_regions, summits and skip_missing go with regions")
        return _sequence_source(targets, None), None if controls is None else _sequence_source(controls, None), drawing
    if controls is not None:
        raise ValueError("with regions, the controls are drawn from the genome, or given as control_regions")
    if control_regions is not None and (background is not None or shuffles is not None):
        raise ValueError("control_regions are the controls: background and shuffles draw others")
    drawing.controls_from = background or "gc"
    drawing.control_regions = "" if control_regions is None else _bed_file(control_regions, files)
    drawing.summits, drawing.skip_missing = summits or 0, skip_missing
    return _sequence_source(targets, _bed_file(regions, files)), None, drawing


def _table(text, background, names):
    """A program's TSV table as a DataFrame, its numbers as printed; `names` are the columns of text."""
    table = pd.read_csv(io.StringIO(text), sep="\t", quoting=csv.QUOTE_NONE, keep_default_na=False,
                        na_values={"best_match": ["NA"], "best_match_q": ["NA"]},
                        dtype={name: str for name in names})
    if background:
        table.attrs["background"] = background
    return table


def enrich(motifs, targets, controls=None, p=None, score=None, strand="both", count="records", shuffles=None, seed=1,
           bg=None, regions=None, background=None, control_regions=None, summits=None, skip_missing=False, threads=None):
    """motif_enrich's table as a DataFrame: the motifs over-represented in the
    targets against the controls, most enriched first: rank, motif, consensus,
    targets_with_site, targets, percent_targets, controls_with_site, controls,
    percent_controls, enrichment, log10_p, p, q (with count="sites":
    sites_in_targets, target_windows, sites_per_kb_targets, sites_in_controls,
    control_windows, sites_per_kb_controls in place of the counts), numbers as
    the program prints them; a background other than the uniform one is in
    the table's attrs["background"].

    motifs as scan takes them; targets and controls as scan takes sequences.
    Without controls, the targets shuffled (dinucleotides kept), `shuffles`
    per target (default 1), drawn from `seed`. With `regions` (a BED file or a
    DataFrame of chrom, start, end), targets is an indexed genome FASTA, and
    the controls are random regions of it of each target's length and GC
    content (background="gc"), the targets shuffled (background="shuffle") or
    `control_regions`; summits=W takes W bases around each narrowPeak summit,
    skip_missing leaves out regions beyond the genome. p, score, strand, bg
    ("auto": the bases of targets and controls) and threads as for scan.
    Ctrl-C stops it."""
    if p is not None and score is not None:
        raise ValueError("p and score exclude each other")
    by_score = score is not None
    value = score if by_score else 1e-4 if p is None else p
    with contextlib.ExitStack() as files:
        target_source, control_source, drawing = _targets_and_controls(
            targets, controls, regions, background, control_regions, summits, skip_missing, shuffles, seed, files)
        text, background_line = _engine.enrich(_motif_list(motifs), target_source, control_source, by_score, float(value),
                                               strand, _bg(bg), count, drawing, threads)
    return _table(text, background_line, ["motif", "consensus"])


Discovery = collections.namedtuple("Discovery", ["motifs", "table"])
Discovery.__doc__ = "What discover found: the motifs (Motif objects, with counts) and motif_discover's table of them."


def discover(targets, controls=None, nmotifs=10, minw=8, maxw=15, evalue=0.05, shuffles=None, shuffle_kmer=3, seed=1,
             bg=None, null_searches=50, compare=None, regions=None, background=None, control_regions=None, summits=None,
             skip_missing=False, threads=None):
    """motif_discover's motifs, found de novo in the targets against the
    controls, as a Discovery: .motifs, read from the MEME text the program
    writes, each identified as in the table ("1-TGACTCA"; usable by scan,
    compare and write_meme; bg="motif" scans with the background searched
    against), and .table, the program's --tsv table as a
    DataFrame: rank, id, consensus, width, sites, site_p, the held-out and all
    targets and controls with a site, log10_p, p, E, judged_on (and with
    `compare`, motifs to name each found one by, best_match and best_match_q).

    Targets, controls and the drawing of controls as for enrich, but the
    shuffles keep `shuffle_kmer`-mers (3, or 2 as enrich's). minw and maxw
    (3 to 30) bound the widths, nmotifs (at most 100) the motifs; the search
    stops at a motif of held-out E-value above `evalue`. `seed` also picks the
    records held out; null_searches calibrate p-values where fewer than 100
    targets leave none to hold out (0: uncalibrated). bg: "uniform", four
    frequencies, a MEME background file or "auto". Ctrl-C stops it."""
    search = _engine.SearchRequest()
    search.nmotifs, search.minw, search.maxw, search.evalue = nmotifs, minw, maxw, float(evalue)
    search.shuffle_kmer, search.null_searches = shuffle_kmer, null_searches
    known = None if compare is None else _motif_list(compare)
    with contextlib.ExitStack() as files:
        target_source, control_source, drawing = _targets_and_controls(
            targets, controls, regions, background, control_regions, summits, skip_missing, shuffles, seed, files)
        meme, text, background_line = _engine.discover(target_source, control_source, search, drawing, _bg(bg), known,
                                                       threads)
    table = _table(text, background_line, ["id", "consensus", "judged_on", "best_match"])
    motifs = read_motifs(meme) if len(table) else []
    # Read back, the MEME name and consensus make the identifier; the table's is the name.
    for motif, identifier in zip(motifs, table.id):
        motif.id = identifier
    return Discovery(motifs, table)


def _number(x):
    return np.format_float_positional(x, trim="-")


def _names(motif):
    """The identifier and name a file gives, so that reading it back gives the same identifier."""
    names = motif.names
    return (names[0], names[1]) if len(names) > 1 and motif.id == names[0] + "_" + names[1] else (motif.id, "")


def _counts(motif):
    """Counts as given, else the frequencies for the motif's sites (100 where it has no site count)."""
    if motif.counts is not None:
        return motif.counts
    return motif.probabilities * (motif.sites or 100)


def _written(text, path):
    if path is None:
        return text
    with open(path, "w") as out:
        out.write(text)
    return None


def write_jaspar(motifs, path=None):
    """Writes the motifs as a JASPAR file of counts (to `path`, or returns the text)."""
    text = ""
    for motif in _motif_list(motifs):
        identifier, name = _names(motif)
        text += ">%s%s\n" % (identifier, "\t" + name if name else "")
        for base, row in zip("ACGT", _counts(motif).T):
            text += "%s [ %s ]\n" % (base, " ".join(_number(c) for c in row))
    return _written(text, path)


def write_meme(motifs, path=None):
    """Writes the motifs as a minimal MEME file (to `path`, or returns the text):
    each position's counts as probabilities, the site count as nsites."""
    text = "MEME version 4\n\nALPHABET= ACGT\n\nstrands: + -\n\nBackground letter frequencies\nA 0.25 C 0.25 G 0.25 T 0.25\n"
    for motif in _motif_list(motifs):
        identifier, name = _names(motif)
        counts = _counts(motif)
        totals = counts.sum(axis=1, keepdims=True)
        probabilities = np.divide(counts, totals, out=np.full_like(counts, 0.25), where=totals > 0)
        text += "\nMOTIF %s%s\nletter-probability matrix: alength= 4 w= %d nsites= %s\n" % (
            identifier, " " + name if name else "", motif.width, _number(totals.max()))
        text += "".join(" " + " ".join(_number(p) for p in row) + "\n" for row in probabilities)
    return _written(text, path)
