"""metclust.linkage against scipy.cluster.hierarchy.linkage on distances
without ties, and what scipy makes of the matrix."""

import numpy as np
import pytest
from scipy.cluster.hierarchy import cophenet, dendrogram, fcluster, is_valid_linkage, leaves_list
from scipy.cluster.hierarchy import linkage as scipy_linkage
from scipy.spatial.distance import pdist, squareform

import metclust


def tie_free(n, seed, dims=3):
    y = pdist(np.random.default_rng(seed).random((n, dims)))
    assert len(np.unique(y)) == len(y)
    return y


def assert_same_rows(ours, theirs):
    # Clusters and sizes exactly, levels to rounding.
    np.testing.assert_array_equal(ours[:, [0, 1, 3]], theirs[:, [0, 1, 3]])
    np.testing.assert_allclose(ours[:, 2], theirs[:, 2], rtol=1e-12, atol=0)


SIZES = [2, 3, 8, 60, 200]


@pytest.mark.parametrize("n", SIZES)
@pytest.mark.parametrize("strategy,method", [(1, "single"), (2, "complete"), (3, "average"),
                                             (6, "weighted"), (7, "average")])
def test_equal_to_scipy_row_for_row(n, strategy, method):
    y = tie_free(n, seed=n)
    ours = metclust.linkage(y, strategy)
    assert ours.dtype == np.float64 and ours.shape == (n - 1, 4)
    assert_same_rows(ours, scipy_linkage(y, method))
    if strategy != 7:
        np.testing.assert_array_equal(metclust.linkage(y, method), ours)


@pytest.mark.parametrize("n", SIZES)
@pytest.mark.parametrize("strategy,method", [(4, "median"), (5, "centroid"), (8, "ward")])
def test_scipy_median_centroid_ward_are_the_strategies_on_squares(n, strategy, method):
    # Points in the plane, where the median and centroid trees have inversions.
    y = tie_free(n, seed=n, dims=2)
    ours = metclust.linkage(y**2, strategy)
    if n == 200 and strategy != 8:
        assert np.any(np.diff(ours[:, 2]) < 0)  # with an inversion to get right
    ours[:, 2] = np.sqrt(ours[:, 2])
    assert_same_rows(ours, scipy_linkage(y, method))


def test_inversions_keep_fusion_order_and_stay_valid():
    y = tie_free(150, seed=1, dims=2) ** 2
    ours = metclust.linkage(y, "average")
    for strategy in (4, 5):
        z = metclust.linkage(y, strategy)
        assert np.any(np.diff(z[:, 2]) < 0)
        assert is_valid_linkage(z)
    assert not np.any(np.diff(ours[:, 2]) < 0)


def test_scipy_works_on_it():
    y = tie_free(30, seed=30)
    ours = metclust.linkage(y, 3)
    theirs = scipy_linkage(y, "average")
    assert is_valid_linkage(ours, throw=True)
    np.testing.assert_array_equal(fcluster(ours, 5, criterion="maxclust"),
                                  fcluster(theirs, 5, criterion="maxclust"))
    level = np.median(theirs[:, 2])
    np.testing.assert_array_equal(fcluster(ours, level, criterion="distance"),
                                  fcluster(theirs, level, criterion="distance"))
    correlation, levels = cophenet(ours, y)
    np.testing.assert_allclose(levels, cophenet(theirs), rtol=1e-12)
    assert correlation == pytest.approx(cophenet(theirs, y)[0], rel=1e-12)
    drawn = dendrogram(ours, no_plot=True, labels=[f"L{k}" for k in range(30)])
    assert drawn["leaves"] == list(leaves_list(ours))
    assert drawn["ivl"] == [f"L{k}" for k in leaves_list(theirs)]


def test_square_and_condensed_give_the_same_matrix():
    y = tie_free(12, seed=12)
    np.testing.assert_array_equal(metclust.linkage(squareform(y), 2), metclust.linkage(y, 2))
    np.testing.assert_array_equal(metclust.linkage(list(y), 2), metclust.linkage(y, 2))
    # Fortran order and whole numbers are read as the same values.
    np.testing.assert_array_equal(metclust.linkage(np.asfortranarray(squareform(y)), 2),
                                  metclust.linkage(y, 2))
    np.testing.assert_array_equal(metclust.linkage(np.array([3, 1, 2]), 1),
                                  metclust.linkage([3.0, 1.0, 2.0], 1))


def test_ties_go_to_the_pair_met_last():
    # Three locations all at distance 1: the engine joins 1 and 2 first,
    # scipy 0 and 1.
    for strategy in range(1, 9):
        np.testing.assert_array_equal(metclust.linkage([1.0, 1.0, 1.0], strategy)[:, [0, 1, 3]],
                                      [[1, 2, 2], [0, 3, 3]])
    np.testing.assert_array_equal(scipy_linkage([1.0, 1.0, 1.0], "average"),
                                  [[0, 1, 1, 2], [2, 3, 1, 3]])


def square(n, seed):
    return squareform(tie_free(n, seed))


def with_value(matrix, i, j, value, both=True):
    matrix = matrix.copy()
    matrix[i, j] = value
    if both:
        matrix[j, i] = value
    return matrix


@pytest.mark.parametrize("y,strategy,error,message", [
    (np.ones(4), 3, ValueError, "4 proximities are no number of pairs"),
    (np.ones(0), 3, ValueError, "at least two locations"),
    (np.ones((1, 1)) * 0, 3, ValueError, "at least two locations"),
    (np.ones((3, 4)), 3, ValueError, "3 x 4 matrix is not square"),
    (np.ones((2, 2, 2)), 3, ValueError, "1 or 2 dimensions"),
    (np.array([1.0, np.nan, 2.0]), 3, ValueError, "locations 0 and 2 is NaN"),
    (np.array([1.0, 2.0, np.inf]), 3, ValueError, "locations 1 and 2 is infinite"),
    (with_value(square(4, 4), 0, 2, 0.5, both=False), 3, ValueError,
     r"not symmetric: \[0, 2\] is 0.5"),
    (with_value(square(4, 4), 1, 3, np.nan), 3, ValueError, "locations 1 and 3 is NaN"),
    (with_value(square(4, 4), 2, 2, 1.0), 3, ValueError, r"diagonal must be 0: \[2, 2\] is 1"),
    (np.full(3, 2e20), 3, ValueError, "no pair of groups at a proximity of 1e20 or less"),
    (np.array(["a", "b", "c"]), 3, TypeError, "must be numbers"),
    (np.ones(3), 0, ValueError, "number from 1 to 8, not 0"),
    (np.ones(3), 9, ValueError, "number from 1 to 8, not 9"),
    (np.ones(3), 2.0, TypeError, "not 2.0"),
    (np.ones(3), True, TypeError, "not True"),
    (np.ones(3), "ward", ValueError, "pass y\\*\\*2 with strategy 8"),
    (np.ones(3), "upgma", ValueError, "unknown strategy 'upgma'"),
])
def test_bad_input_is_refused(y, strategy, error, message):
    with pytest.raises(error, match=message):
        metclust.linkage(y, strategy)
