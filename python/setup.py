"""Builds the metclust package from the project's own sources.

The engine's folders (src/cluster, src/trees, src/records, src/formats), the
kits that read a finished job (src/kits/cli, src/kits/text, src/kits/jobs)
and src/bindings are compiled from the checkout this folder sits in, or from
the folder that METCLUST_SOURCE names when the package is built elsewhere.
Location names are compared in Unicode normalization form C with utf8proc
(Debian: libutf8proc-dev).
"""

import os
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension
from setuptools import setup

HERE = Path(__file__).resolve().parent
FOLDERS = ["cluster", "trees", "records", "formats", "kits/cli", "kits/text", "kits/jobs", "bindings"]
# The Windows half of the operating-system layer, and the programs' version,
# which the package does not show.
LEFT_OUT = {"platform_windows.cpp", "version.cpp"}


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
        if path.name in LEFT_OUT:
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
            # "cli/...", "jobs/..." and "text/..." are the kits' folders.
            include_dirs=[str(SRC), str(SRC / "kits")],
            define_macros=[("METCLUST_HAVE_UTF8PROC", None)],
            libraries=["utf8proc"],
            cxx_std=20,
            # The levels are the same bits as the program's only when no
            # multiply-add is fused.
            extra_compile_args=["-ffp-contract=off", "-fno-fast-math"],
        )
    ],
    zip_safe=False,
)
