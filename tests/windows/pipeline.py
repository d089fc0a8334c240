"""Every program of the project under Wine beside its Linux build: one pipeline of steps (CSV files
-> metclust-import -> metclust-check -> metclust -> metclust-export, metclust-plot,
metclust-compare, metclust-choose, and a failing case for each program) runs twice, each time in a fresh folder
holding the files of tests/windows/pipeline/: once with the Linux programs, once with the Windows
programs under Wine. Each step of the two runs must agree:

- the exit status, which must also be the one the step expects (Wine hands on the low 8 bits of a
  Windows status, the report number itself);
- the files the step writes, changes or removes, their names and every byte; a step that fails
  writes nothing;
- standard output and standard error, in the form both systems share: the Windows streams are
  read in the ANSI code page (1252 under the runner's locale) and must end every line in CR LF;
  line ends are then compared as line ends, because the programs' own texts (file lists, notes,
  faults, usage, --help and --version) go through the C++ streams, which Windows turns from LF
  into CR LF, while metclust's records end in CR LF everywhere; the scratch folder is shown as
  <DIR>, and on Windows a backslash is taken as the / it stands for, since a program joins a folder
  and a file name with the separator of its system (export\\TRIAL-s3-1995.nwk).

A step listed in KNOWN_DIFFERENCES is reported as KNOWN, with why the two systems part there,
and counts as no failure while they part; once they agree it fails until it leaves the list.
"""
import os
import shutil
import subprocess
import tempfile
from typing import NamedTuple, Optional

from wine import ANSI_CODE_PAGE, first_difference, show_folder, windows_path

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, 'pipeline')
TIMEOUT = 60
PROGRAMS = ('metclust', 'metclust-import', 'metclust-check', 'metclust-export', 'metclust-plot',
            'metclust-compare', 'metclust-choose')


class Run(NamedTuple):
    label: str
    program: str
    arguments: list
    status: int


class Copy(NamedTuple):
    """A file of the folder copied within it, on each system alike; with lines, only its first
    lines (split after LF): a file cut short."""
    source: str
    target: str
    lines: Optional[int] = None


# "œ" is 0x9C in code page 1252: a byte that Latin-1 and Unicode give to a control character.
ANSI_JOB = 'ansi/Cœuvres'
TRIALS = ['--trials', 'trials.csv']

STEPS = [
    *[Run('%s --version' % program, program, ['--version'], 0) for program in PROGRAMS],

    Run('import trial results', 'metclust-import',
        TRIALS + ['--measure', 'correlation', '--title', 'Wine pipeline', 'job/TRIAL'], 0),
    Run('import onto a job that exists', 'metclust-import',
        TRIALS + ['--measure', 'euclidean', 'job/TRIAL'], 1),
    Run('import --force replaces the job', 'metclust-import',
        ['--force'] + TRIALS + ['--measure', 'euclidean', '--title', 'Wine pipeline', 'job/TRIAL'], 0),
    Run('import matrices', 'metclust-import',
        ['--matrix', '1995=m1995.csv', '--matrix', '2004=m2004.csv', 'job/MATRIX'], 0),
    Run('import pairs', 'metclust-import', ['--long', 'pairs.csv', 'job/PAIRS'], 0),
    Run('check --strict', 'metclust-check', ['--strict', 'job/TRIAL.EMA'], 0),
    Run('check matrices', 'metclust-check', ['job/MATRIX'], 0),
    Run('metclust, every strategy', 'metclust', ['--strategy', 'all', '-o', 'out', 'job/TRIAL'], 0),
    Run('metclust, two jobs', 'metclust', ['-s', '8', 'job/MATRIX', 'job/PAIRS.EMA'], 0),
    Run('export --groups', 'metclust-export', ['--groups', '3', '-o', 'export', 'out/TRIAL-s3'], 0),
    Run('export --height into the job folder', 'metclust-export', ['--height', '1.5', 'out/TRIAL-s5'],
        0),
    Run('export more groups than a year has locations', 'metclust-export',
        ['--groups', '6', '-o', 'export', 'out/TRIAL-s8'], 0),
    Run('plot --groups --same-scale', 'metclust-plot',
        ['--groups', '3', '--same-scale', '-o', 'plot', 'out/TRIAL-s3'], 0),
    Run('plot in fusion order into the job folder', 'metclust-plot', ['--order', 'out/TRIAL-s1'], 0),
    Run('compare --groups', 'metclust-compare', ['--groups', '4', '-o', 'compare', 'out/TRIAL-s3'], 0),
    Run('compare --height', 'metclust-compare', ['--height', '1.5', '-o', 'compare', 'out/TRIAL-s5'],
        0),
    Run('compare jobs of two matrices', 'metclust-compare', ['--groups', '2', 'job/MATRIX'], 0),
    Run('choose without the .EMA beside the runs', 'metclust-choose', ['-o', 'choose', 'out/TRIAL'], 0),
    Copy('job/TRIAL.EMA', 'out/TRIAL.EMA'),
    Run('choose among every strategy', 'metclust-choose', ['-o', 'choose', 'out/TRIAL'], 0),
    Run('choose for one run, --max-groups', 'metclust-choose', ['--max-groups', '4', 'job/MATRIX'], 0),

    Run('import: a comma left unquoted', 'metclust-import',
        ['--trials', 'unquoted-comma.csv', '--measure', 'euclidean', 'bad/TRIAL'], 1),
    Copy('job/TRIAL.EMA', 'bad/SHORT.EMA', lines=12),
    Copy('job/TRIAL.NAQ', 'bad/SHORT.NAQ'),
    Run('check: the file ends inside a year', 'metclust-check', ['bad/SHORT'], 1),
    Run('metclust: a job that is not there', 'metclust', ['-s', '3', 'bad/NONE'], 29),
    Copy('out/TRIAL-s3.PCL', 'bad/NOCLS.PCL'),
    Run('export: the job has no .CLS', 'metclust-export', ['--groups', '3', 'bad/NOCLS'], 1),
    Copy('out/TRIAL-s3.PCL', 'bad/CUT.PCL', lines=7),
    Run('plot: plot data cut short', 'metclust-plot', ['bad/CUT'], 1),
    Run('compare: no cut given', 'metclust-compare', ['out/TRIAL-s3'], 2),
    Run('choose: no run of the job', 'metclust-choose', ['bad/NONE'], 1),

    Copy('job/TRIAL.EMA', ANSI_JOB + '.EMA'),
    Copy('job/TRIAL.NAQ', ANSI_JOB + '.NAQ'),
    Run('check a job named in the ANSI code page', 'metclust-check', [ANSI_JOB], 0),
    Run('metclust on a job named in the ANSI code page', 'metclust', ['-q', '-s', '3', ANSI_JOB], 0),
    Run('export a job named in the ANSI code page', 'metclust-export', ['--groups', '2', ANSI_JOB], 0),
    Run('plot a job named in the ANSI code page', 'metclust-plot', [ANSI_JOB], 0),
    Run('compare a job named in the ANSI code page', 'metclust-compare', ['--groups', '2', ANSI_JOB],
        0),
    Run('choose for a job named in the ANSI code page', 'metclust-choose', [ANSI_JOB], 0),
    Run('import a job named in the ANSI code page', 'metclust-import',
        ['--matrix', '1995=m1995.csv', 'ansi/Bœrsch'], 0),
]

KNOWN_DIFFERENCES = {}


def missing_programs(native_dir, windows_dir):
    """The programs the pipeline runs that are not there."""
    paths = [os.path.join(native_dir, p) for p in PROGRAMS]
    paths += [os.path.join(windows_dir, p + '.exe') for p in PROGRAMS]
    return [path for path in paths if not os.path.isfile(path)]


class Outcome(NamedTuple):
    status: int
    stdout: bytes
    stderr: bytes
    written: dict  # name -> bytes, None for a file removed


def snapshot(folder):
    """Every file under the folder, by its name relative to it (bytes), with its bytes."""
    files = {}
    root = os.fsencode(folder)
    for path, _, names in os.walk(root):
        for name in names:
            full = os.path.join(path, name)
            files[os.path.relpath(full, root)] = open(full, 'rb').read()
    return files


def copy_within(folder, copy):
    source = os.path.join(os.fsencode(folder), copy.source.encode())
    target = os.path.join(os.fsencode(folder), copy.target.encode())
    data = open(source, 'rb').read()
    if copy.lines is not None:
        data = b''.join(data.splitlines(keepends=True)[:copy.lines])
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, 'wb') as out:
        out.write(data)


def run_steps(folder, command, env):
    """Runs the pipeline in the folder; the outcome of each Run, by its label."""
    for name in os.listdir(DATA):
        shutil.copy(os.path.join(DATA, name), folder)
    outcomes = {}
    for step in STEPS:
        if isinstance(step, Copy):
            copy_within(folder, step)
            continue
        before = snapshot(folder)
        arguments = command(step.program) + [a.encode() for a in step.arguments]
        try:
            run = subprocess.run(arguments, cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                 capture_output=True, timeout=TIMEOUT)
            status, stdout, stderr = run.returncode, run.stdout, run.stderr
        except subprocess.TimeoutExpired:
            status, stdout, stderr = 'no end within %d s' % TIMEOUT, b'', b''
        after = snapshot(folder)
        written = {name: after.get(name) for name in set(before) | set(after)
                   if before.get(name) != after.get(name)}
        outcomes[step.label] = Outcome(status, stdout, stderr, written)
    return outcomes


def bare_line_feed(stream):
    """The offset of the first LF without a CR before it; None when there is none."""
    for k, byte in enumerate(stream):
        if byte == 0x0A and (k == 0 or stream[k - 1] != 0x0D):
            return k
    return None


def common_form(stream, folder, windows):
    if windows:
        stream = stream.decode(ANSI_CODE_PAGE, errors='backslashreplace').encode()
        stream = show_folder(stream, folder).replace(b'\\', b'/')
    else:
        stream = stream.replace(folder.encode(), b'<DIR>')
    return stream.replace(b'\r\n', b'\n')


def shown(name):
    """A file name as text, with what would not show escaped."""
    text = name.decode(errors='backslashreplace')
    return ''.join(c if c.isprintable() else ascii(c)[1:-1] for c in text)


def differences(step, linux, windows, folders):
    """What parts the two outcomes of a step, and what either does against the step's
    expectations; empty when nothing does."""
    problems = []
    if linux.status != step.status or windows.status != step.status:
        problems.append('status: Linux %s, Windows %s, expected %d'
                        % (linux.status, windows.status, step.status))
    for stream in ('stdout', 'stderr'):
        raw = getattr(windows, stream)
        bare = bare_line_feed(raw)
        if bare is not None:
            problems.append('%s on Windows: a line ends in LF alone at byte %d' % (stream, bare))
        want = common_form(getattr(linux, stream), folders[0], False)
        got = common_form(raw, folders[1], True)
        if want != got:
            problems.append('%s (Linux as expected, Windows as actual): %s'
                            % (stream, first_difference(want, got)))
    for name in sorted(set(linux.written) | set(windows.written)):
        mine = [name in outcome.written for outcome in (linux, windows)]
        if mine != [True, True]:
            problems.append('%s: written on %s only' % (shown(name), 'Linux' if mine[0] else 'Windows'))
        elif linux.written[name] != windows.written[name]:
            if None in (linux.written[name], windows.written[name]):
                problems.append('%s: removed on %s only' % (
                    shown(name), 'Linux' if linux.written[name] is None else 'Windows'))
            else:
                problems.append('%s (Linux as expected, Windows as actual): %s' % (
                    shown(name), first_difference(linux.written[name], windows.written[name])))
    if step.status != 0:
        for system, outcome in (('Linux', linux), ('Windows', windows)):
            for name in sorted(outcome.written):
                problems.append('the failed run on %s changed %s' % (system, shown(name)))
    return problems


def run(wine, env, native_dir, windows_dir):
    """Runs the pipeline on both systems and prints what parts them; the counts of steps
    passed, failed and known to differ."""
    scratch = os.path.realpath(tempfile.mkdtemp(prefix='metclust-pipeline-'))
    folders = (os.path.join(scratch, 'linux'), os.path.join(scratch, 'windows'))
    for folder in folders:
        os.mkdir(folder)
    linux = run_steps(folders[0], lambda p: [os.fsencode(os.path.join(native_dir, p))], env)
    windows = run_steps(folders[1], lambda p: [os.fsencode(w) for w in wine]
                        + [os.fsencode(os.path.join(windows_dir, p + '.exe'))], env)
    passed = failed = known = 0
    for step in STEPS:
        if isinstance(step, Copy):
            continue
        problems = differences(step, linux[step.label], windows[step.label], folders)
        why = KNOWN_DIFFERENCES.get(step.label)
        if why and problems:
            print('KNOWN pipeline: %s: %s\n  why: %s' % (step.label, '\n  '.join(problems), why))
            known += 1
        elif why:
            print('FAIL pipeline: %s: Linux and Windows agree now; take it out of '
                  'KNOWN_DIFFERENCES' % step.label)
            failed += 1
        elif problems:
            print('FAIL pipeline: %s: %s' % (step.label, '\n  '.join(problems)))
            failed += 1
        else:
            passed += 1
    if failed:
        print('pipeline folders: %s (Windows: %s)' % (scratch, windows_path(folders[1])))
    else:
        shutil.rmtree(scratch, ignore_errors=True)
    return passed, failed, known
