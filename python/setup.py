"""Builds the metclust package from the project's own sources.

The engine's folders (src/cluster, src/trees, src/records, src/formats and
src/bindings) are compiled from the checkout this folder sits in, or from
the folder that METCLUST_SOURCE names when the package is built elsewhere.
"""

import os
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension
from setuptools import setup

HERE = Path(__file__).resolve().parent
FOLDERS = ["cluster", "trees", "records", "formats", "bindings"]


def project_sources():
    candidates = [os.environ.get("METCLUST_SOURCE"), HERE.parent / "src"]
    for candidate in candidates:
        if candidate and (Path(candidate) / "bindings" / "hclust.hpp").is_file():
            return Path(candidate).resolve()
    raise SystemExit(
        "metclust: the engine's sources are not found: build from the project's checkout "
        "(pip install ./python) or set METCLUST_SOURCE to its src folder")


SRC = project_sources()
sources = ["src/engine.cpp"]
for folder in FOLDERS:
    for path in sorted((SRC / folder).glob("*.cpp")):
        if path.name == "platform_windows.cpp":
            continue
        sources.append(os.path.relpath(path, HERE))

# At most two compilers at once (METCLUST_BUILD_JOBS to change it).
ParallelCompile("METCLUST_BUILD_JOBS", default=2).install()

setup(
    name="metclust",
    version="1.0.0",
    description="The metclust clustering engine: scipy linkage matrices and a job's trees",
    packages=["metclust"],
    python_requires=">=3.9",
    install_requires=["numpy"],
    ext_modules=[
        Pybind11Extension(
            "metclust._engine",
            sources,
            include_dirs=[str(SRC)],
            cxx_std=20,
            # The levels are the same bits as the program's only when no
            # multiply-add is fused.
            extra_compile_args=["-ffp-contract=off", "-fno-fast-math"],
        )
    ],
    zip_safe=False,
)
