"""The metclust clustering engine in Python.

``linkage(y, strategy)`` clusters a condensed or square distance matrix with
one of the eight strategies of the metclust program and returns the linkage
matrix that ``scipy.cluster.hierarchy`` takes; ``read_job(job)`` reads the
trees of a finished job, ``run_job(job, strategy)`` clusters a job's .EMA
file. The engine is the program's own, built from the project's sources and
called in-process.
"""

import os
import warnings
from typing import NamedTuple

import numpy as np

from . import _engine

__all__ = ["linkage", "read_job", "run_job", "Job", "YearTree", "JobWarning", "STRATEGIES"]

#: Strategy numbers by scipy's method names, for the strategies whose update
#: formula is scipy's on the distances as given.
STRATEGIES = {"single": 1, "complete": 2, "average": 3, "weighted": 6}

_SCIPY_ON_SQUARES = ("median", "centroid", "ward")


def _strategy(strategy):
    if isinstance(strategy, str):
        if strategy in STRATEGIES:
            return STRATEGIES[strategy]
        if strategy in _SCIPY_ON_SQUARES:
            raise ValueError(
                f"scipy's {strategy!r} updates squared Euclidean distances and returns their "
                f"roots: pass y**2 with strategy {dict(median=4, centroid=5, ward=8)[strategy]} "
                "and take the square root of column 2 for the same levels"
            )
        raise ValueError(f"unknown strategy {strategy!r}: a number from 1 to 8 or one of "
                         + ", ".join(map(repr, STRATEGIES)))
    if isinstance(strategy, (bool, np.bool_)) or not isinstance(strategy, (int, np.integer)):
        raise TypeError(f"the strategy is a number from 1 to 8 or a method name, not {strategy!r}")
    if not 1 <= strategy <= 8:
        raise ValueError(f"the strategy must be a number from 1 to 8, not {strategy}")
    return int(strategy)


def linkage(y, strategy):
    """Hierarchical clustering of a distance matrix by a metclust strategy.

    Parameters
    ----------
    y : array_like
        A condensed distance matrix (the n(n-1)/2 distances of the pairs
        (0,1), (0,2), ..., (n-2,n-1), as ``scipy.spatial.distance.pdist``
        gives them), or a square one (symmetric, zero diagonal, as
        ``squareform`` takes it). Unlike ``scipy.cluster.hierarchy.linkage``,
        a 2-D array is always a distance matrix, never observations.
    strategy : int or str
        1 nearest neighbour ("single"), 2 furthest neighbour ("complete"),
        3 group average ("average"), 4 median, 5 centroid, 6 flexible WPGMA
        beta 0 ("weighted"), 7 flexible UPGMA beta 0, 8 incremental sum of
        squares.

    Returns
    -------
    ndarray of shape (n-1, 4), float64
        scipy's linkage matrix: the two clusters joined (location i is i,
        the cluster made in row r is n + r), the smaller first; the fusion
        level; the size of the new cluster. Rows in fusion order.

    Notes
    -----
    For strategies 1, 2, 3 and 6 on distances without ties the matrix is
    row for row that of ``scipy.cluster.hierarchy.linkage(y, method)``
    (levels equal to rounding). Strategies 4, 5 and 8 apply their formulas
    to the values given: scipy's "median", "centroid" and "ward" are
    strategies 4, 5 and 8 on ``y**2`` with the square roots of the levels.
    Median and centroid levels can fall from one fusion to the next.

    Ties: when several pairs are closest, the engine joins the pair met
    last in the scan (0,1), (0,2), (1,2), (0,3), (1,3), (2,3), ...: of three
    locations all at distance 1 it joins 1 and 2 first, where scipy joins
    0 and 1.
    """
    k = _strategy(strategy)
    y = np.asarray(y)
    if y.dtype.kind not in "biuf":
        raise TypeError(f"the distances must be numbers, not {y.dtype}")
    y = np.ascontiguousarray(y, dtype=np.float64)
    if y.ndim == 1:
        return _engine.cluster_condensed(y, k)
    if y.ndim == 2:
        if y.shape[0] != y.shape[1]:
            raise ValueError(f"a {y.shape[0]} x {y.shape[1]} matrix is not square; "
                             "pass a condensed matrix or a square one")
        return _engine.cluster_square(y, k)
    raise ValueError(f"a distance matrix has 1 or 2 dimensions, not {y.ndim}")


class YearTree(NamedTuple):
    """The tree of one year: ``Z, labels = job["1995"]``."""

    linkage: np.ndarray
    labels: list


class Job(dict):
    """The trees of a job by year column, in file order.

    Attributes: ``title``, ``strategy`` (1..8), ``full_precision`` (True when
    every level is the engine's double, not the 8 digits of JOB.CLS).
    """

    title: str
    strategy: int
    full_precision: bool


class JobWarning(UserWarning):
    """A year left out of a job, a location's name told apart by its number,
    or levels that stay the 8 digits of JOB.CLS and why."""


def _text(raw):
    return raw.decode("utf-8", errors="replace")


def _job(parts):
    job = Job()
    for year in parts["years"]:
        job[year["column"]] = YearTree(year["linkage"], [_text(label) for label in year["labels"]])
    job.title = _text(parts["title"])
    job.strategy = parts["strategy"]
    job.full_precision = parts["full_precision"]
    for note in parts["notes"]:
        warnings.warn(_text(note), JobWarning, stacklevel=3)
    return job


def read_job(job):
    """The trees of a finished metclust job.

    ``job`` is "DIR/JOB" or one of its files (.PCL, .CLS, .EMA); JOB.PCL and
    JOB.CLS must be there. Returns a :class:`Job`, a dict from each year
    column ("1995", or "1995-2" for a year that comes again) to a
    :class:`YearTree` (linkage matrix, labels). When JOB.EMA is beside the
    results, every year is clustered again and, when that gives the fusions
    of JOB.CLS, the levels are the engine's in full precision; otherwise a
    :class:`JobWarning` says why and the levels are the 8 digits of JOB.CLS.
    The labels are the location names as every metclust program names
    them (blanks at both ends removed, a blank name "(location k)", a name
    an earlier location of the year has "NAME (location k)", each with a
    :class:`JobWarning`), the full names where JOB-names.csv lists them. A
    year of fewer than two locations is left out with a :class:`JobWarning`.
    """
    return _job(_engine.job(os.fsencode(job), 0, False))


def run_job(job, strategy):
    """Every year of JOB.EMA clustered as metclust clusters it, writing no
    file; the result as :func:`read_job` gives it."""
    return _job(_engine.job(os.fsencode(job), _strategy(strategy), True))
