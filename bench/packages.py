"""The Python package's metclust.linkage side by side with scipy's linkage
(and fastcluster's, when it is installed): the same random Euclidean
distances, whole calls, taking turns round after round; the median seconds
of each.

    python3 bench/packages.py        (with the package metclust importable)

Stops with status 1 when metclust's clusters differ from scipy's, so that
the figures always compare the same trees.
"""

import statistics
import sys
import time

import numpy as np
from scipy.cluster.hierarchy import linkage as scipy_linkage
from scipy.spatial.distance import pdist

import metclust

try:
    import fastcluster
except ImportError:
    fastcluster = None

SIZES = [(1000, 5), (2000, 3), (4000, 3)]
METHODS = {"single": 1, "average": 3, "weighted": 6}

sides = {"metclust": lambda y, m: metclust.linkage(y, METHODS[m]),
         "scipy": lambda y, m: scipy_linkage(y, m)}
if fastcluster is not None:
    sides["fastcluster"] = lambda y, m: fastcluster.linkage(y, m)
else:
    print("fastcluster: not installed (apt-get install python3-fastcluster); its column is left out")

print(f"{'method':8} {'n':>5}  " + " ".join(f"{name + ' s':>13}" for name in sides))
for n, rounds in SIZES:
    y = pdist(np.random.default_rng(n).random((n, 4)))
    for method in METHODS:
        times = {name: [] for name in sides}
        names = list(sides)
        for r in range(rounds):
            results = {}
            for name in names[r % len(names):] + names[:r % len(names)]:
                start = time.perf_counter()
                results[name] = sides[name](y, method)
                times[name].append(time.perf_counter() - start)
            if not np.array_equal(results["metclust"][:, [0, 1, 3]], results["scipy"][:, [0, 1, 3]]):
                print(f"metclust and scipy fuse differently at n = {n} with {method}")
                sys.exit(1)
        print(f"{method:8} {n:5d}  " + " ".join(f"{statistics.median(times[name]):13.3f}" for name in sides))
