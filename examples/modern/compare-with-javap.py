#!/usr/bin/env python3
"""Compares `ornith describe --format javap` with JDK 25's javap class by class.

usage: compare-with-javap.py JDK_HOME ORNITH SOURCE [--modes M,...] [--out DIR] [--limit N]
                             [--without-code] [--cache DIR]

SOURCE is a directory of classes, a jar, a .jmod, or jrt:MODULE (a module of JDK_HOME's
runtime image, for a JDK that ships no .jmod files). Every class in it (module-info
aside, which is given by path when it sits in a directory) is printed by both in each
mode, and the counts of identical and different classes are printed per mode. Each class
that differs is named, with the first line where the two part as the reason, in
DIR/SOURCE.MODE.diff (default /tmp/javap-diffs), beside both texts.

The classes of a .jmod or a jrt: module are the platform's own: both tools then read them
from the JDK's runtime image (javap's jrt: file names, and ornith's --system JDK_HOME), so
that -v and -sysinfo name the same file.

Modes (default: default,p,constants): default, p, constants, and the combinations
c-p (-c -p), c-l-p (-c -l -p), s-p (-s -p), v-p (-v -p), c-p-constants (-c -p -constants),
sysinfo-p (-sysinfo -p). --without-code compares the texts without their "Code:"
blocks. javap is given many classes per process and run under nice, since
one start of it costs more than a second. With --cache, javap's text of each batch is
kept in DIR and read back on the next run with the same source, mode and classes, so that
a sweep repeated after a change to ornith runs only ornith.
"""
import hashlib
import os, subprocess, sys, zipfile

MODES = {
    'default': [], 'p': ['-p'], 'constants': ['-constants'],
    'c-p': ['-c', '-p'], 'c-l-p': ['-c', '-l', '-p'], 's-p': ['-s', '-p'],
    'v-p': ['-v', '-p'], 'c-p-constants': ['-c', '-p', '-constants'],
    'sysinfo-p': ['-sysinfo', '-p'],
}

def image_class_names(jdk, module):
    """The classes of one module of the runtime image, as the JDK's jimage lists them."""
    listing = run([os.path.join(jdk, 'bin', 'jimage'), 'list', os.path.join(jdk, 'lib', 'modules')])
    current = None
    for line in listing.splitlines():
        if line.startswith('Module: '):
            current = line[len('Module: '):].strip()
        elif current == module and line.endswith('.class'):
            n = line.strip()
            if 'module-info' not in n:
                yield n[:-6].replace('/', '.')

def class_names(source):
    if os.path.isdir(source):
        for root, _, files in os.walk(source):
            for f in files:
                if f.endswith('.class') and f != 'module-info.class':
                    rel = os.path.relpath(os.path.join(root, f), source)
                    yield rel[:-6].replace(os.sep, '.')
        return
    prefix = 'classes/' if source.endswith('.jmod') else ''
    with zipfile.ZipFile(source) as z:
        for n in z.namelist():
            if not n.startswith(prefix) or not n.endswith('.class'):
                continue
            n = n[len(prefix):]
            if n.startswith('META-INF/') or 'module-info' in n:
                continue
            yield n[:-6].replace('/', '.')

def blocks(text, verbose):
    """One block per class. A -v or -sysinfo block starts at its "Classfile" line; any
    other ends with the '}' at column 0 that closes the class."""
    out, current = [], []
    for line in text.splitlines(keepends=True):
        if verbose and line.startswith('Classfile ') and current:
            out.append(''.join(current))
            current = []
        current.append(line)
        if not verbose and line == '}\n':
            out.append(''.join(current))
            current = []
    if current:
        out.append(''.join(current))
    return out

def without_code(text):
    """The text without its method bodies: each "Code:" block and what is indented under
    it (for counting what the rest of a -v or -c view gets right on its own)."""
    out, in_code = [], False
    for line in text.splitlines(keepends=True):
        if line == '    Code:\n':
            in_code = True
        elif in_code and not line.startswith('      '):
            in_code = False
        if not in_code:
            out.append(line)
    return ''.join(out)

def run(cmd):
    return subprocess.run(['nice'] + cmd, capture_output=True, text=True,
                          encoding='utf-8', errors='surrogateescape').stdout

def reason(a, b):
    """Where the two texts part: the line number and both lines."""
    la, lb = a.splitlines(), b.splitlines()
    for i, (x, y) in enumerate(zip(la, lb)):
        if x != y:
            return f'line {i + 1}: javap {x.strip()!r} / ornith {y.strip()!r}'
    return f'line {min(len(la), len(lb)) + 1}: javap has {len(la)} lines, ornith {len(lb)}'

def javap_text(cache, cmd, key):
    """javap's output for cmd, from the cache when a run with the same key left it."""
    if not cache:
        return run(cmd)
    digest = hashlib.sha256('\0'.join(key + cmd).encode('utf-8', 'surrogateescape')).hexdigest()
    path = os.path.join(cache, digest[:32] + '.txt')
    if os.path.exists(path):
        with open(path, encoding='utf-8', errors='surrogateescape') as f:
            return f.read()
    text = run(cmd)
    with open(path + '.part', 'w', encoding='utf-8', errors='surrogateescape') as f:
        f.write(text)
    os.replace(path + '.part', path)
    return text

def ours_flags(flags):
    spelled = {'-constants': '--constants', '-sysinfo': '--sysinfo'}
    return [spelled.get(f, f) for f in flags]

def main():
    args = sys.argv[1:]
    def option(name, default):
        if name in args:
            i = args.index(name)
            value = args[i + 1]
            del args[i:i + 2]
            return value
        return default
    outdir = option('--out', '/tmp/javap-diffs')
    modes = option('--modes', 'default,p,constants').split(',')
    limit = int(option('--limit', '0'))
    cache = option('--cache', '')
    if cache:
        os.makedirs(cache, exist_ok=True)
    skip_code = '--without-code' in args
    if skip_code:
        args.remove('--without-code')
    jdk, ornith, source = args[:3]
    os.makedirs(outdir, exist_ok=True)
    image_module = source[len('jrt:'):] if source.startswith('jrt:') else None
    names = sorted(set(image_class_names(jdk, image_module) if image_module
                       else class_names(source)))
    if limit:
        names = names[:limit]
    javap = os.path.join(jdk, 'bin', 'javap')
    platform = source.endswith('.jmod') or image_module is not None
    theirs_path = [] if platform else ['-cp', source]
    ours_path = ['--system', jdk] if platform else ['--no-default', '-cp', source]
    base = image_module or os.path.basename(source)
    chunk = 1500
    for mode in modes:
        flags = MODES[mode]
        verbose = '-v' in flags or '-sysinfo' in flags
        same = differ = 0
        diffs = []
        for i in range(0, len(names), chunk):
            part = names[i:i + chunk]
            # The source's size and time stand for its contents in the cache's key.
            st = os.stat(os.path.join(jdk, 'lib', 'modules') if image_module else source)
            theirs = blocks(javap_text(cache, [javap, '-J-Dstdout.encoding=UTF-8'] + theirs_path +
                                       flags + part, [str(st.st_size), str(st.st_mtime_ns)]),
                            verbose)
            ours = blocks(run([ornith, 'describe', '--raw', '--format', 'javap'] + ours_path +
                              ours_flags(flags) + part), verbose)
            if len(theirs) != len(part) or len(ours) != len(part):
                print(f'{mode}: block count mismatch at chunk {i}: javap {len(theirs)}, '
                      f'ornith {len(ours)}, classes {len(part)}', file=sys.stderr)
            for name, a, b in zip(part, theirs, ours):
                if skip_code:
                    a, b = without_code(a), without_code(b)
                if a == b:
                    same += 1
                else:
                    differ += 1
                    diffs.append((name, a, b))
        mi = os.path.join(source, 'module-info.class')
        if os.path.isdir(source) and os.path.exists(mi):
            a = run([javap, '-J-Dstdout.encoding=UTF-8'] + flags + [mi])
            b = run([ornith, 'describe', '--raw', '--format', 'javap'] + ours_flags(flags) + [mi])
            if a == b:
                same += 1
            else:
                differ += 1
                diffs.append(('module-info', a, b))
        print(f'{base} {mode}: {same} identical, {differ} different')
        with open(os.path.join(outdir, f'{base}.{mode}.diff'), 'w',
                  encoding='utf-8', errors='surrogateescape') as f:
            for name, a, b in diffs:
                f.write(f'=== {name}: {reason(a, b)}\n')
            for name, a, b in diffs:
                f.write(f'=== {name}\n--- javap\n{a}--- ornith\n{b}')

main()
