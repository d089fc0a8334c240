"""metclust.read_job and run_job on a job made by the project's programs:
`make python` makes it from the matrices in tests/bindings/ with
metclust-import and metclust (strategy 3) and names it in METCLUST_TEST_JOB."""

import csv
import os
import shutil
import warnings

import numpy as np
import pytest
from scipy.cluster.hierarchy import linkage as scipy_linkage
from scipy.spatial.distance import squareform

import metclust


@pytest.fixture
def job():
    stem = os.environ.get("METCLUST_TEST_JOB", "")
    if not stem or not os.path.exists(stem + ".CLS"):
        pytest.skip("no job made by the programs: METCLUST_TEST_JOB names none "
                    "(make python makes one)")
    return stem


def year_matrix(year, labels):
    """The year's matrix as metclust-import read it, in the order of `labels`."""
    folder = os.environ.get("METCLUST_TEST_MATRICES", "")
    path = os.path.join(folder, f"m{year}.csv")
    if not os.path.exists(path):
        pytest.skip("the matrices of the job are not in METCLUST_TEST_MATRICES")
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    names = rows[0][1:]
    values = np.array([[float(v) for v in row[1:]] for row in rows[1:]])
    index = [names.index(label) for label in labels]  # fails unless labels are the full names
    return values[np.ix_(index, index)]


def without_ema(stem, folder):
    for suffix in (".CLS", ".PCL", "-names.csv"):
        shutil.copy(stem + suffix, folder)
    return os.path.join(folder, os.path.basename(stem))


def read(function, *args):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        result = function(*args)
    return result, [str(w.message) for w in caught if issubclass(w.category, metclust.JobWarning)]


def test_finished_job_gives_linkage_and_full_names_in_full_precision(job):
    trees, notes = read(metclust.read_job, job)
    assert notes == ["year 1990 has 1 location and no tree; it is left out"]
    assert list(trees) == ["1988", "1989"]
    assert trees.full_precision and trees.strategy == 3 and trees.title == "Bindings test job"
    for year, (z, labels) in trees.items():
        theirs = scipy_linkage(squareform(year_matrix(year, labels)), "average")
        np.testing.assert_array_equal(z[:, [0, 1, 3]], theirs[:, [0, 1, 3]])
        np.testing.assert_allclose(z[:, 2], theirs[:, 2], rtol=1e-12, atol=0)
    assert "Zürich Nord" in trees["1988"].labels
    assert "Dubbo, West" in trees["1989"].labels


def test_without_ema_the_levels_are_the_8_digits(job, tmp_path):
    trees, notes = read(metclust.read_job, without_ema(job, tmp_path) + ".PCL")
    assert not trees.full_precision
    assert any("JOB.EMA: no such file; the fusion levels are those of" in note for note in notes)
    z, labels = trees["1988"]
    theirs = scipy_linkage(squareform(year_matrix("1988", labels)), "average")
    np.testing.assert_array_equal(z[:, [0, 1, 3]], theirs[:, [0, 1, 3]])
    difference = np.abs(z[:, 2] - theirs[:, 2])
    assert np.all(difference <= 5e-8 * theirs[:, 2])
    assert difference.max() > 1e-12  # some level has more than 8 digits


def test_an_ema_that_does_not_give_the_fusions_is_not_used(job, tmp_path):
    copy = without_ema(job, tmp_path)
    with open(job + ".EMA", "rb") as f:
        lines = f.read().split(b"\r\n")
    row = next(k for k, line in enumerate(lines) if line.startswith(b"     2 "))
    # Location 2 of the first year moves far from location 1 (columns 17-32).
    lines[row] = lines[row][:16] + b"  0.99000000E+02" + lines[row][32:]
    with open(copy + ".EMA", "wb") as f:
        f.write(b"\r\n".join(lines))
    trees, notes = read(metclust.read_job, copy)
    assert not trees.full_precision
    assert any(note.startswith(copy + ".EMA: year 1988 (line ") and "clustered again" in note
               for note in notes)


def test_a_blank_name_and_a_name_twice_are_told_apart_by_number(job, tmp_path):
    copy = without_ema(job, tmp_path)
    with open(job + ".EMA", "rb") as f:
        lines = f.read().split(b"\r\n")
    first = next(k for k, line in enumerate(lines) if line.startswith(b"     1 "))
    # Columns 8-15 hold the name: in the first year location 2 has none,
    # location 3 that of location 1.
    lines[first + 1] = lines[first + 1][:7] + b" " * 8 + lines[first + 1][15:]
    lines[first + 2] = lines[first + 2][:7] + lines[first][7:15] + lines[first + 2][15:]
    with open(copy + ".EMA", "wb") as f:
        f.write(b"\r\n".join(lines))
    trees, notes = read(metclust.run_job, copy, 3)
    assert "JOB-1988: location 2 has no name; it is called (location 2)" in notes
    assert any(note.startswith("JOB-1988: locations 1 and 3 are both named 'WaggaWag'")
               for note in notes)
    # JOB-names.csv gives location 3 the full name of location 1, told
    # apart in the same way.
    assert trees["1988"].labels[:3] == ["Wagga Wagga", "(location 2)", "Wagga Wagga (location 3)"]


def test_run_job_clusters_the_ema_as_metclust_does(job):
    finished, _ = read(metclust.read_job, job)
    run, notes = read(metclust.run_job, job + ".EMA", "average")
    assert notes == ["year 1990 has 1 location and no tree; it is left out"]
    assert list(run) == list(finished)
    for year in run:
        np.testing.assert_array_equal(run[year].linkage, finished[year].linkage)
        assert run[year].labels == finished[year].labels
    single, _ = read(metclust.run_job, job, 1)
    z, labels = single["1989"]
    theirs = scipy_linkage(squareform(year_matrix("1989", labels)), "single")
    np.testing.assert_array_equal(z[:, [0, 1, 3]], theirs[:, [0, 1, 3]])


def test_missing_job_files(job, tmp_path):
    with pytest.raises(FileNotFoundError, match=r"\.PCL: no such file"):
        metclust.read_job(tmp_path / "JOB")
    with pytest.raises(FileNotFoundError, match=r"\.EMA: no such file"):
        metclust.run_job(without_ema(job, tmp_path), 3)
    with pytest.raises(ValueError, match="names no job"):
        metclust.read_job(str(tmp_path) + "/")
    with pytest.raises(ValueError, match="number from 1 to 8"):
        metclust.run_job(job, 9)


def ignored_signals():
    with open("/proc/self/status") as f:
        return int(next(line for line in f if line.startswith("SigIgn:")).split()[1], 16)


@pytest.mark.skipif(not os.path.exists("/proc/self/status"), reason="no /proc/self/status here")
def test_reading_a_job_leaves_the_host_signals_alone(job):
    # The readers' channel tables ignore SIGPIPE and SIGXFSZ, as a program
    # wants; the host process gets its own handling back.
    import signal
    kept = signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    try:
        before = ignored_signals()
        assert not before & (1 << (signal.SIGPIPE - 1))
        read(metclust.read_job, job)
        read(metclust.run_job, job, 3)
        assert ignored_signals() == before
    finally:
        signal.signal(signal.SIGPIPE, kept)
