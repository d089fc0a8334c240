"""Running Windows programs under Wine for the Windows tests: the Wine command, its environment,
a server kept running for a whole test run, and the helpers that show a path as Windows spells it
and where two byte strings part.

Wine runs with WINEDEBUG=-all and LC_ALL=C.UTF-8 in the prefix named by WINEPREFIX (Wine's own
default when unset). The locale settles two things a test must not leave to whoever runs it: file
names on the Linux side are UTF-8, and the ANSI code page the programs see is 1252, in which an
argument such as "Cœuvres" arrives as the bytes 43 9C 75 76 72 65 73.
"""
import os
import shutil
import subprocess
import sys
import tempfile

ANSI_CODE_PAGE = 'cp1252'


def wine_command():
    wine = os.environ.get('WINE')
    if wine:
        return wine.split()
    for name in ('wine', 'wine64'):
        if shutil.which(name):
            return [name]
    sys.exit('wine_session: neither wine nor wine64 is installed')


def wine_environment():
    env = dict(os.environ)
    env['WINEDEBUG'] = '-all'
    env['LC_ALL'] = 'C.UTF-8'
    return env


def start_server(env):
    """Starts a Wine server that stays until it is stopped; its path, None when there is none.
    A prefix that does not exist yet is made as an empty folder first, which Wine fills on its
    first start: the server runs in the prefix's folder and does not start without it."""
    server = shutil.which('wineserver') or shutil.which('wineserver64')
    if env.get('WINEPREFIX'):
        os.makedirs(env['WINEPREFIX'], exist_ok=True)
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
            sys.exit('wine_session: Wine does not start (%s):\n%s'
                     % (status, messages.read().decode(errors='replace')))


def stop_wine(server, env):
    if server:
        subprocess.run([server, '-k'], check=False, env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def windows_path(path):
    """The spelling of a path on Wine's drive Z:, which holds the whole file system."""
    return 'Z:' + path.replace('/', '\\')


def show_folder(stream, folder):
    """Shows the folder's Windows spelling as <DIR> and the separators after it as /."""
    windows = windows_path(folder).encode()
    lines = []
    for line in stream.split(b'\n'):
        k = line.lower().find(windows.lower())
        if k >= 0:
            line = line[:k] + b'<DIR>' + line[k + len(windows):].replace(b'\\', b'/')
        lines.append(line)
    return b'\n'.join(lines)


def visible(line):
    return repr(line)[1:]


def first_difference(expected, actual):
    """Names the first byte where the two part, with its line (split at LF, counted from 1)."""
    offset = next((k for k, (w, g) in enumerate(zip(expected, actual)) if w != g),
                  min(len(expected), len(actual)))
    want, got = expected.split(b'\n'), actual.split(b'\n')
    for k in range(max(len(want), len(got))):
        w = want[k] if k < len(want) else None
        g = got[k] if k < len(got) else None
        if w != g:
            shown = [visible(x) if x is not None else '(no more lines)' for x in (w, g)]
            return ('byte %d, line %d\n    expected: %s\n    actual:   %s'
                    % (offset, k + 1, shown[0], shown[1]))
    return 'same lines, different bytes'
