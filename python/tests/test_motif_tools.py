# The module against the programs on the shipped examples: the same motifs,
# sites and comparisons whichever way the input is given.
import gzip
import io
import os
import pathlib
import shutil
import signal
import subprocess
import threading
import time
import xml.etree.ElementTree as ET

import numpy as np
import pandas as pd
import pytest

import motif_tools as mt

PROGRAMS = pathlib.Path(os.environ.get("MOTIF_TOOLS_PROGRAMS", "build"))
EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"
JASPAR = EXAMPLES / "jaspar2022_core_vertebrates.jaspar"
MEME = EXAMPLES / "promoter_motifs.meme"
PEAKS = EXAMPLES / "peaks.fa"
HOMER = ">TATAAA\tTBP-like\t4.2\n0.1 0.1 0.1 0.7\n0.9 0.0 0.1 0.0\n0.1 0.0 0.0 0.9\n0.8 0.1 0.1 0.0\n"


def run(program, *args, stdin=None):
    return subprocess.run([PROGRAMS / program, *map(str, args)], input=stdin, capture_output=True, text=True,
                          check=True).stdout


def lines_of(sites):
    """The DataFrame as motif_scan's lines."""
    return ["\t".join([s.sequence, str(s.start), str(s.end), s.motif, "%g" % s.score, s.strand, "%.3g" % s.p, s.matched])
            for s in sites.itertuples()]


# The JASPAR file's short motifs cannot reach the thresholds tried.
pytestmark = pytest.mark.filterwarnings("ignore:.*can never be reported")


@pytest.fixture(scope="module")
def jaspar():
    return mt.read_motifs(JASPAR)


@pytest.fixture(scope="module")
def tata(tmp_path_factory):
    """tata_box.sites and the matrix file motif_matrix builds from it."""
    sites = tmp_path_factory.mktemp("tata") / "tata_box.sites"
    shutil.copy(EXAMPLES / "tata_box.sites", sites)
    run("motif_matrix", stdin="1\n%s\n" % sites)
    return sites


@pytest.mark.parametrize("source", [JASPAR, MEME, "homer"])
def test_motifs_are_those_motif_scan_lists(source, tmp_path):
    path = tmp_path / "motifs.homer" if source == "homer" else source
    if source == "homer":
        path.write_text(HOMER)
    listed = [line.split("\t") for line in run("motif_scan", "--list", "-m", path).splitlines()]
    from_file, from_text = mt.read_motifs(path), mt.read_motifs(path.read_text())
    assert [[m.id, str(m.width), m.format, "%g" % m.sites] for m in from_file] == [row[:4] for row in listed]
    assert [m.id for m in from_text] == [m.id for m in from_file]
    for a, b in zip(from_file, from_text):
        assert np.array_equal(a.scores, b.scores) and np.array_equal(a.counts, b.counts)
        assert np.allclose(a.probabilities.sum(axis=1), 1)
        assert np.array_equal(a.reverse_complement().scores, a.scores[::-1, ::-1])
        assert mt.Motif.from_counts(a.counts, id=a.id).scores.tolist() == a.scores.tolist()


def test_sites_make_motif_matrix_numbers(tata):
    matrix = (tata.parent / "tata_box.sites.matrix").read_text().splitlines()
    motif = mt.Motif.from_sites(tata.read_text().splitlines(), id="tata_box.sites")
    for base, line in enumerate(matrix):
        assert line == "ACGT"[base] + "|" + "".join("%10g|" % s for s in motif.scores[:, base])
    assert lines_of(mt.scan(motif, EXAMPLES / "promoters.fa")) == run(
        "motif_scan", "-m", tata.parent / "tata_box.sites.matrix", EXAMPLES / "promoters.fa").splitlines()


def fasta_of(records):
    return "".join(">%s\n%s\n" % (name, bases) for name, bases in records.items())


@pytest.mark.parametrize("options, settings", [
    ({}, []),
    ({"p": 1e-5, "threads": 1}, ["-p", "1e-5", "-j", "1"]),
    ({"score": 8, "strand": "-"}, ["-s", "8", "--strand", "-"]),
    ({"bg": (0.3, 0.2, 0.2, 0.3), "threads": 3}, ["--bg", "0.3,0.2,0.2,0.3", "-j", "3"]),
    ({"bg": "motif", "p": 1e-3}, ["--bg", "motif", "-p", "1e-3"]),
])
def test_scan_finds_motif_scans_sites_in_every_input(options, settings, jaspar, tmp_path):
    motifs = mt.read_motifs(MEME) if options.get("bg") == "motif" else jaspar
    motif_file = MEME if options.get("bg") == "motif" else JASPAR
    fasta = EXAMPLES / "peaks.fa"
    records = {}
    for chunk in fasta.read_text().split(">")[1:]:
        name, *rest = chunk.split("\n")
        records[name.split()[0]] = "".join(rest)
    gz = tmp_path / "peaks.fa.gz"
    gz.write_bytes(gzip.compress(fasta.read_bytes()))
    expected = run("motif_scan", *settings, "-m", motif_file, fasta).splitlines()
    for sequences in [fasta, str(gz), fasta.read_text(), records]:
        assert lines_of(mt.scan(motifs, sequences, **options)) == expected
    numbered = {"record%d" % (i + 1): bases for i, bases in enumerate(records.values())}
    (tmp_path / "numbered.fa").write_text(fasta_of(numbered))
    assert lines_of(mt.scan(motifs, list(records.values()), **options)) == run(
        "motif_scan", *settings, "-m", motif_file, tmp_path / "numbered.fa").splitlines()


def test_scan_of_regions(jaspar, tmp_path):
    genome = tmp_path / "genome.fa.gz"
    for suffix in ["", ".fai", ".gzi"]:
        shutil.copy(EXAMPLES / ("genome.fa.gz" + suffix), str(genome) + suffix)
    peaks = EXAMPLES / "peaks.narrowPeak"
    expected = run("motif_scan", "-p", "1e-5", "-m", JASPAR, "--regions", peaks, genome).splitlines()
    table = pd.read_csv(peaks, sep="\t", header=None).rename(columns={0: "chrom", 1: "start", 2: "end"})
    for regions in [peaks, table]:
        sites = mt.scan(jaspar, genome, regions=regions, p=1e-5)
        assert lines_of(sites) == expected and len(expected) > 0
    assert sites.sequence.dtype == "category" and sites.start.dtype == np.int64 and sites.matched.dtype == "category"


@pytest.mark.parametrize("database, settings", [(True, ["--max-q", "0.1", "--top", "3"]), (False, [])])
def test_compare_gives_motif_compares_table(database, settings, jaspar, tmp_path):
    queries = mt.read_motifs(MEME)
    options = {"max_q": 0.1, "top": 3} if settings else {}
    table = mt.compare(queries, jaspar if database else None, **options)
    args = [MEME, JASPAR] if database else [MEME]
    expected = [line.split("\t") for line in run("motif_compare", *settings, *args).splitlines()]
    assert list(table.columns) == expected[0]
    got = [[r.query, r.target, str(r.offset), r.orientation, str(r.overlap), "%.3g" % r.p, "%.3g" % r.E, "%.3g" % r.q,
            r.query_consensus, r.target_consensus] for r in table.itertuples()]
    assert got == expected[1:] and len(got) > 0


def program_table(text):
    """A program's TSV table as pandas reads it, and the background line before it."""
    background = text[len("# background: "):text.index("\n")] if text.startswith("#") else None
    return pd.read_csv(io.StringIO(text), sep="\t", comment=None, skiprows=1 if background else 0), background


def assert_same_table(table, text):
    expected, background = program_table(text)
    pd.testing.assert_frame_equal(table, expected, check_dtype=False)
    assert table.attrs.get("background") == background


@pytest.fixture(scope="module")
def genome(tmp_path_factory):
    path = tmp_path_factory.mktemp("genome") / "genome.fa.gz"
    for suffix in ["", ".fai", ".gzi"]:
        shutil.copy(EXAMPLES / ("genome.fa.gz" + suffix), str(path) + suffix)
    return path


def peak_records():
    return {chunk.split("\n")[0].split()[0]: "".join(chunk.split("\n")[1:]) for chunk in PEAKS.read_text().split(">")[1:]}


def inputs(tmp_path):
    """peaks.fa in each form a function takes: path, gzip name, FASTA text, dict, list."""
    gz = tmp_path / "peaks.fa.gz"
    gz.write_bytes(gzip.compress(PEAKS.read_bytes()))
    return [PEAKS, str(gz), PEAKS.read_text(), peak_records(), list(peak_records().values())]


@pytest.mark.parametrize("options, settings", [
    ({}, []),
    ({"count": "sites", "shuffles": 2, "seed": 3, "p": 1e-5, "threads": 1},
     ["--count", "sites", "--shuffles", "2", "--seed", "3", "-p", "1e-5", "-j", "1"]),
    ({"bg": "auto", "score": 9, "strand": "+"}, ["--bg", "auto", "-s", "9", "--strand", "+"]),
    ({"controls": "reversed"}, ["reversed"]),
])
def test_enrich_gives_motif_enrichs_table(options, settings, jaspar, tmp_path):
    if "controls" in options:
        reversed_peaks = {name: bases[::-1] for name, bases in peak_records().items()}
        (tmp_path / "reversed.fa").write_text(fasta_of(reversed_peaks))
        options = {"controls": reversed_peaks}
        settings = [tmp_path / "reversed.fa"]
    expected = run("motif_enrich", "-m", JASPAR, PEAKS, *settings)
    for targets in inputs(tmp_path):
        assert_same_table(mt.enrich(jaspar, targets, **options), expected)


@pytest.mark.parametrize("options, settings", [
    ({}, []),
    ({"nmotifs": 2, "minw": 6, "maxw": 10, "seed": 2, "shuffles": 2, "shuffle_kmer": 2, "evalue": 1},
     ["--nmotifs", "2", "--minw", "6", "--maxw", "10", "--seed", "2", "--shuffles", "2", "--shuffle-kmer", "2",
      "--evalue", "1"]),
    ({"bg": "auto", "compare": JASPAR, "nmotifs": 3}, ["--bg", "auto", "--compare", JASPAR, "--nmotifs", "3"]),
])
def test_discover_gives_motif_discovers_motifs_and_table(options, settings, tmp_path):
    meme = run("motif_discover", "--tsv", tmp_path / "table.tsv", *settings, PEAKS)
    expected = mt.read_motifs(meme)
    for targets in inputs(tmp_path)[::2]:
        found = mt.discover(targets, **options)
        assert_same_table(found.table, (tmp_path / "table.tsv").read_text())
        assert [m.id for m in found.motifs] == list(found.table.id) and len(expected) > 0
        assert [m.names for m in found.motifs] == [m.names for m in expected]
        assert all(np.array_equal(a.counts, b.counts) for a, b in zip(found.motifs, expected))


@pytest.mark.parametrize("call, settings", [
    (lambda db, genome, peaks: mt.enrich(db, genome, regions=peaks, summits=100, seed=5),
     ["motif_enrich", "-m", JASPAR, "--summits", "100", "--seed", "5"]),
    (lambda db, genome, peaks: mt.discover(genome, regions=peaks, background="shuffle", nmotifs=2).table,
     ["motif_discover", "--background", "shuffle", "--nmotifs", "2", "--tsv", "/dev/stdout"]),
])
def test_enrich_and_discover_of_regions(call, settings, jaspar, genome):
    peaks = EXAMPLES / "peaks.narrowPeak"
    expected = run(*settings, "--regions", peaks, "--genome", genome)
    if settings[0] == "motif_discover":
        expected = expected[:expected.index("MEME version")]
    table = pd.read_csv(peaks, sep="\t", header=None).rename(columns={0: "chrom", 1: "start", 2: "end"})
    for regions in [peaks, table]:
        assert_same_table(call(jaspar, genome, regions), expected)


@pytest.mark.parametrize("write", [mt.write_jaspar, mt.write_meme])
def test_written_motifs_read_back(write, tmp_path, tata):
    motifs = mt.read_motifs(JASPAR)[:50] + mt.read_motifs(MEME)
    back = mt.read_motifs(write(motifs))
    assert [m.id for m in back] == [m.id for m in motifs]
    # MEME's rows are frequencies: a position of fewer counts than the most gets them back scaled.
    same = (lambda m: m.scores) if write is mt.write_jaspar else (lambda m: m.counts / m.counts.sum(1, keepdims=True))
    assert all(np.allclose(same(a), same(b), atol=1e-9) for a, b in zip(motifs, back))
    write(mt.Motif.from_sites(tata.read_text().splitlines()), tmp_path / "one")
    assert mt.read_motifs(tmp_path / "one")[0].consensus == mt.Motif.from_sites(tata.read_text().splitlines()).consensus


def test_jupyter_shows_motif_logos_logo(tmp_path):
    motif = mt.read_motifs(MEME)[0]
    run("motif_logo", "--motif", motif.id, "-o", tmp_path / "logo.svg", MEME)
    assert motif._repr_svg_() == motif.logo_svg() == (tmp_path / "logo.svg").read_text()
    html = ET.fromstring(motif._repr_html_())
    assert html.find("{http://www.w3.org/2000/svg}svg") is not None and motif.consensus in ET.tostring(html, "unicode")


@pytest.mark.parametrize("call, error, message", [
    (lambda: mt.read_motifs("no_such.jaspar"), FileNotFoundError, "no_such.jaspar: No such file or directory"),
    (lambda: mt.read_motifs(EXAMPLES), IsADirectoryError, "Is a directory"),
    (lambda: mt.read_motifs(">m\nA [ 1 2 ]\nC [ 1 ]\n"), ValueError, "text: line 4"),
    (lambda: mt.read_motifs(JASPAR, format="fasta"), ValueError, "'fasta' is not matrix"),
    (lambda: mt.scan(MEME, "no_such.fa"), FileNotFoundError, "no_such.fa"),
    (lambda: mt.scan(MEME, "ACGT\n>a\nACGT\n"), ValueError, "text: line 1"),
    (lambda: mt.scan(MEME, "ACGT", p=2), ValueError, "not a p-value"),
    (lambda: mt.scan(MEME, "ACGT", p=0.1, score=3), ValueError, "exclude each other"),
    (lambda: mt.scan(MEME, "ACGT", bg=(0.5, 0.5, 0.5, 0.5)), ValueError, "bg: '0.5,0.5,0.5,0.5'"),
    (lambda: mt.scan(MEME, "ACGT", threads=0), ValueError, "threads"),
    (lambda: mt.scan(MEME, EXAMPLES / "genome.fa.gz", regions=pd.DataFrame({"chrom": ["chrZ"], "start": [0], "end": [9]})),
     ValueError, "chrZ"),
    (lambda: mt.Motif.from_counts([[1, 2, 3]]), ValueError, "width x 4"),
    (lambda: mt.compare(MEME, min_overlap=0), ValueError, "min_overlap"),
    (lambda: mt.enrich(MEME, "no_such.fa"), FileNotFoundError, "no_such.fa"),
    (lambda: mt.enrich(MEME, PEAKS, count="windows"), ValueError, "'windows' is not records or sites"),
    (lambda: mt.enrich(MEME, PEAKS, background="shuffle"), ValueError, "go with regions"),
    (lambda: mt.enrich(MEME, PEAKS, shuffles=0), ValueError, "shuffles"),
    (lambda: mt.discover(PEAKS, minw=9, maxw=8), ValueError, "minw 9 is above maxw 8"),
    (lambda: mt.discover("ACGT\n>a\nACGT\n"), ValueError, "text: line 1"),
    (lambda: mt.discover(["ACGT"]), ValueError, "no target of at least 8 positions"),
    (lambda: mt.discover(PEAKS, bg=(0.5, 0.5, 0.5, 0.5)), ValueError, "bg: '0.5,0.5,0.5,0.5'"),
])
def test_errors_are_exceptions_with_the_programs_lines(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert message in str(raised.value)


@pytest.fixture(scope="module")
def random_bases():
    return np.random.default_rng(1).choice(list("ACGT"), 20_000_000).view("U20000000")[0]


@pytest.mark.parametrize("call", [
    lambda db, bases: mt.scan(db, bases, threads=2),
    lambda db, bases: mt.enrich(db, [bases], controls=[bases], threads=2),
    lambda db, bases: mt.discover([bases[i:i + 500] for i in range(0, 1_000_000, 500)], nmotifs=20, evalue=1e9),
    lambda db, bases: mt.compare(db, db, max_q=1),
])
def test_ctrl_c_stops_a_long_call(call, jaspar, random_bases):
    bases = random_bases
    threading.Timer(0.5, os.kill, (os.getpid(), signal.SIGINT)).start()
    started = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        call(jaspar, bases)
    assert time.monotonic() - started < 5
