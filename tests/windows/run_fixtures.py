#!/usr/bin/env python3
"""run_fixtures.py EXE [--fixtures DIR]... [--pipeline LINUX_BUILD]: the Windows tests under Wine.

Runs the Windows build of metclust under Wine on every job of tests/fixtures and
tests/windows/fixtures (the jobs only Windows can run), as tests/jobs/end_to_end_test.cpp does for
the Linux build: the job's input/ copied to a fresh folder, the answers on standard input, and
standard output, standard error, the exit status and every file left in the folder compared byte
for byte with expected/. On the error stream the job folder must appear as Windows spells it
(Z:\\tmp\\...); it is shown as <DIR>, with the path separators after it shown as /. Wine hands on
only the low 8 bits of an exit status, so each job runs a second time from a batch file, where
Windows shows the whole status: 0xC0000000 plus the expected number, or 0.

With --pipeline, every program of the Windows build then runs a small job through the whole
pipeline beside the Linux build of the same programs (pipeline.py).

Wine runs as wine.py sets it up, in the prefix named by WINEPREFIX (Wine's own default when unset).
Its server is kept running for the whole run and warmed up first, so that the prefix's first-start
messages and Wine's own background processes never meet a job's streams; it is stopped at the end.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

# The modules beside this one are imported without leaving compiled files in the source tree.
sys.dont_write_bytecode = True
import pipeline
from wine import (first_difference, show_folder, start_server, stop_wine, warm_up,
                  windows_path, wine_command, wine_environment)

HERE = os.path.dirname(os.path.abspath(__file__))
RUN_FACTS = ('stdout', 'stderr', 'status')
TIMEOUT = 60

# Jobs that cannot make sense on Windows, with the reason.
SKIPPED = {
    'job_name_49': 'its file name ends in a dot, which Windows drops from every path, '
                   'so no Windows file can carry that name',
}


def windows_status(wine, env, exe, fixture):
    """The job's exit status as Windows reports it, 32 bits wide; None when it shows none."""
    scratch = os.path.realpath(tempfile.mkdtemp(prefix='metclust-wine-'))
    try:
        job = os.path.join(scratch, 'job')
        os.mkdir(job)
        if os.path.isdir(os.path.join(fixture, 'input')):
            shutil.copytree(os.path.join(fixture, 'input'), job, dirs_exist_ok=True)
        shutil.copy(os.path.join(fixture, 'answers'), os.path.join(scratch, 'answers'))
        batch = os.path.join(scratch, 'status.bat')
        with open(batch, 'w', newline='\r\n') as out:
            out.write('@"%s" < "%s" > NUL 2> NUL\n@echo %%ERRORLEVEL%%\n'
                      % (windows_path(exe), windows_path(os.path.join(scratch, 'answers'))))
        run = subprocess.run(wine + ['cmd', '/c', windows_path(batch)], cwd=job, env=env,
                             stdin=subprocess.DEVNULL, capture_output=True, timeout=TIMEOUT)
        return int(run.stdout.strip()) & 0xFFFFFFFF
    except (ValueError, subprocess.TimeoutExpired):
        return None
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def files_in(folder, skip_run_facts):
    files = {}
    for name in os.listdir(folder):
        if skip_run_facts and name in RUN_FACTS:
            continue
        path = os.path.join(folder, name)
        files[name] = open(path, 'rb').read() if os.path.isfile(path) else b'(not a regular file)'
    return files


def run_job(wine, env, exe, fixture):
    """The differences of one job from its expected bytes; empty when there are none."""
    expected_dir = os.path.join(fixture, 'expected')
    scratch = os.path.realpath(tempfile.mkdtemp(prefix='metclust-wine-'))
    job = os.path.join(scratch, 'job')
    os.mkdir(job)
    if os.path.isdir(os.path.join(fixture, 'input')):
        shutil.copytree(os.path.join(fixture, 'input'), job, dirs_exist_ok=True)
    answers = open(os.path.join(fixture, 'answers'), 'rb').read()
    try:
        run = subprocess.run(wine + [exe], input=answers, cwd=job, env=env,
                             capture_output=True, timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        return ['no end within %d s; job folder: %s' % (TIMEOUT, job)]
    got = {'status': b'%d\n' % run.returncode, 'stdout': run.stdout,
           'stderr': show_folder(run.stderr, job)}
    got.update(files_in(job, False))
    want = files_in(expected_dir, False)
    problems = []
    for name in sorted(set(got) | set(want)):
        if name not in got:
            problems.append('missing file %s' % name)
        elif name not in want:
            problems.append('unexpected file %s (%d bytes)' % (name, len(got[name])))
        elif got[name] != want[name]:
            problems.append('%s: %s' % (name, first_difference(want[name], got[name])))
    number = int(want.get('status', b'0'))
    full = windows_status(wine, env, exe, fixture)
    if full != (0xC0000000 + number if number else 0):
        problems.append('status as Windows reports it: %s, expected 0x%08X'
                        % ('none' if full is None else '0x%08X' % full,
                           0xC0000000 + number if number else 0))
    if problems:
        problems.append('job folder: %s' % job)
    else:
        shutil.rmtree(scratch, ignore_errors=True)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('exe')
    parser.add_argument('--fixtures', action='append',
                        help='a folder of jobs (default: tests/fixtures and tests/windows/fixtures)')
    parser.add_argument('--pipeline', metavar='LINUX_BUILD',
                        help='also run every program of the folder of EXE beside the Linux '
                             'programs of LINUX_BUILD (see pipeline.py)')
    args = parser.parse_args()
    exe = os.path.abspath(args.exe)
    if not os.path.isfile(exe):
        sys.exit('run_fixtures: no executable at %s' % exe)
    folders = args.fixtures or [os.path.join(HERE, '..', 'fixtures'), os.path.join(HERE, 'fixtures')]
    jobs = []
    for folder in map(os.path.abspath, folders):
        jobs += sorted(os.path.join(folder, j) for j in os.listdir(folder)
                       if os.path.isfile(os.path.join(folder, j, 'answers')))
    if not jobs:
        sys.exit('run_fixtures: no fixture jobs under %s' % ', '.join(folders))
    if args.pipeline:
        missing = pipeline.missing_programs(os.path.abspath(args.pipeline), os.path.dirname(exe))
        if missing:
            sys.exit('run_fixtures: no program at %s' % ', '.join(missing))

    wine, env = wine_command(), wine_environment()
    server = start_server(env)
    try:
        warm_up(wine, env)
        passed = failed = skipped = 0
        for fixture in jobs:
            job = os.path.basename(fixture)
            if job in SKIPPED:
                print('SKIP %s: %s' % (job, SKIPPED[job]))
                skipped += 1
                continue
            problems = run_job(wine, env, exe, fixture)
            if problems:
                print('FAIL %s: %s' % (job, '\n  '.join(problems)))
                failed += 1
            else:
                passed += 1
        print('%d passed, %d failed, %d skipped' % (passed, failed, skipped), flush=True)
        if args.pipeline:
            steps = pipeline.run(wine, env, os.path.abspath(args.pipeline), os.path.dirname(exe))
            print('pipeline: %d steps passed, %d failed, %d known differences' % steps, flush=True)
            failed += steps[1]
    finally:
        stop_wine(server, env)
    sys.exit(0 if failed == 0 else 1)


if __name__ == '__main__':
    main()
