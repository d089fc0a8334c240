#!/usr/bin/env python3
"""run_fixtures.py EXE [--fixtures DIR]...: runs the Windows build of metclust
under Wine on every job of tests/fixtures and tests/windows/fixtures (the jobs only Windows can
run), as tests/jobs/end_to_end_test.cpp does for the Linux build: the job's input/ copied to a
fresh folder, the answers on standard input, and standard output, standard error, the exit status
and every file left in the folder compared byte for byte with expected/. On the error stream the
job folder must appear as Windows spells it (Z:\\tmp\\...); it is shown as <DIR>, with the path
separators after it shown as /. Wine hands on only the low 8 bits of an exit status, so each job
runs a second time from a batch file, where Windows shows the whole status: 0xC0000000 plus the
expected number, or 0.

Wine runs with WINEDEBUG=-all in the prefix named by WINEPREFIX (Wine's own default when unset).
Its server is kept running for the whole run and warmed up first, so that the prefix's first-start
messages and Wine's own background processes never meet a job's streams; it is stopped at the end.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
RUN_FACTS = ('stdout', 'stderr', 'status')
TIMEOUT = 60

# Jobs that cannot make sense on Windows, with the reason.
SKIPPED = {
    'job_name_49': 'its file name ends in a dot, which Windows drops from every path, '
                   'so no Windows file can carry that name',
}


def wine_command():
    wine = os.environ.get('WINE')
    if wine:
        return wine.split()
    for name in ('wine', 'wine64'):
        if shutil.which(name):
            return [name]
    sys.exit('run_fixtures: neither wine nor wine64 is installed')


def wine_environment():
    env = dict(os.environ)
    env['WINEDEBUG'] = '-all'
    return env


def start_server(env):
    """Starts a Wine server that stays until it is stopped; its path, None when there is none."""
    server = shutil.which('wineserver') or shutil.which('wineserver64')
    if server:
        subprocess.run([server, '-p'], check=False, env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return server


def warm_up(wine, env):
    """Starts Wine's background processes, making the prefix if it is new. They keep the
    streams they are given as long as the server runs: never a pipe that anyone waits on."""
    with tempfile.TemporaryFile() as messages:
        try:
            warm = subprocess.run(wine + ['cmd', '/c', 'exit'], env=env, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=messages, timeout=300)
            status = warm.returncode
        except subprocess.TimeoutExpired:
            status = 'no end within 300 s'
        if status != 0:
            messages.seek(0)
            sys.exit('run_fixtures: Wine does not start (%s):\n%s'
                     % (status, messages.read().decode(errors='replace')))


def stop_wine(server, env):
    if server:
        subprocess.run([server, '-k'], check=False, env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def visible(line):
    return repr(line)[1:]


def first_difference(expected, actual):
    """Names the first line (split at LF, counted from 1) where the two part."""
    want, got = expected.split(b'\n'), actual.split(b'\n')
    for k in range(max(len(want), len(got))):
        w = want[k] if k < len(want) else None
        g = got[k] if k < len(got) else None
        if w != g:
            shown = [visible(x) if x is not None else '(no more lines)' for x in (w, g)]
            return 'line %d\n    expected: %s\n    actual:   %s' % (k + 1, shown[0], shown[1])
    return 'same lines, different bytes'


def show_folder(stderr, folder):
    """Shows the folder's Windows spelling as <DIR> and the separators after it as /."""
    windows = ('Z:' + folder.replace('/', '\\')).encode()
    lines = []
    for line in stderr.split(b'\n'):
        k = line.lower().find(windows.lower())
        if k >= 0:
            line = line[:k] + b'<DIR>' + line[k + len(windows):].replace(b'\\', b'/')
        lines.append(line)
    return b'\n'.join(lines)


def windows_path(path):
    """The spelling of a path on Wine's drive Z:, which holds the whole file system."""
    return 'Z:' + path.replace('/', '\\')


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


def companion_version(wine, env, exe):
    """A companion program's --version under Wine: empty when it answers with its name and
    status 0, else what went wrong."""
    name = os.path.splitext(os.path.basename(exe))[0]
    try:
        run = subprocess.run(wine + [exe, '--version'], env=env, stdin=subprocess.DEVNULL,
                             capture_output=True, timeout=TIMEOUT)
    except subprocess.TimeoutExpired:
        return 'no end within %d s' % TIMEOUT
    if run.returncode != 0 or not run.stdout.startswith(name.encode() + b' '):
        return 'status %d, output %r, errors %r' % (run.returncode, run.stdout, run.stderr)
    return ''


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('exe')
    parser.add_argument('--fixtures', action='append',
                        help='a folder of jobs (default: tests/fixtures and tests/windows/fixtures)')
    parser.add_argument('--companion', action='append', default=[],
                        help='a companion program (metclust-import.exe, ...) whose --version must run')
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
        for companion in map(os.path.abspath, args.companion):
            problem = companion_version(wine, env, companion)
            if problem:
                print('FAIL %s --version: %s' % (os.path.basename(companion), problem))
                failed += 1
            else:
                passed += 1
        print('%d passed, %d failed, %d skipped' % (passed, failed, skipped), flush=True)
    finally:
        stop_wine(server, env)
    sys.exit(0 if failed == 0 else 1)


if __name__ == '__main__':
    main()
