#!/usr/bin/env python3
"""wine_session.py RUNNER EXE [--pipeline LINUX_BUILD]: the Windows tests, in one Wine session.

Runs the fixture jobs with the Windows build of metclust (EXE) through the fixture runner of the
test suite (RUNNER, the run_fixtures program of a Linux build: tests/support/run_fixtures.cpp),
with Wine as its launcher: the same runner and the same jobs as the Linux tests, compared byte for
byte in the same way. With --pipeline, every program of the Windows build then runs a small job
through the whole pipeline beside the Linux build of the same programs (pipeline.py).

Wine runs as wine.py sets it up, in the prefix named by WINEPREFIX (Wine's own default when unset).
Its server is kept running for the whole session and warmed up first, so that the prefix's
first-start messages and Wine's own background processes never meet a job's streams; it is stopped
at the end.
"""
import argparse
import os
import subprocess
import sys

# The modules beside this one are imported without leaving compiled files in the source tree.
sys.dont_write_bytecode = True
import pipeline
from wine import start_server, stop_wine, warm_up, wine_command, wine_environment


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('runner', help='the run_fixtures program of a Linux build')
    parser.add_argument('exe', help='metclust.exe of the Windows build')
    parser.add_argument('--pipeline', metavar='LINUX_BUILD',
                        help='also run every program of the folder of EXE beside the Linux '
                             'programs of LINUX_BUILD (see pipeline.py)')
    args = parser.parse_args()
    exe = os.path.abspath(args.exe)
    for program in (args.runner, exe):
        if not os.path.isfile(program):
            sys.exit('wine_session: no program at %s' % program)
    if args.pipeline:
        missing = pipeline.missing_programs(os.path.abspath(args.pipeline), os.path.dirname(exe))
        if missing:
            sys.exit('wine_session: no program at %s' % ', '.join(missing))

    wine, env = wine_command(), wine_environment()
    server = start_server(env)
    try:
        warm_up(wine, env)
        fixtures = subprocess.run([args.runner, '--launcher', ' '.join(wine), exe], env=env,
                                  stdin=subprocess.DEVNULL)
        failed = fixtures.returncode != 0
        if args.pipeline:
            steps = pipeline.run(wine, env, os.path.abspath(args.pipeline), os.path.dirname(exe))
            print('pipeline: %d steps passed, %d failed, %d known differences' % steps, flush=True)
            failed = failed or steps[1] != 0
    finally:
        stop_wine(server, env)
    sys.exit(1 if failed else 0)


if __name__ == '__main__':
    main()
