#!/usr/bin/env python3
"""Compares `ornith describe --format javap` with JDK 25's javap class by class.

usage: compare-with-javap.py JDK_HOME ORNITH CLASSPATH [--list FILE] [--out DIR]

CLASSPATH is a directory of classes or a jar. Every class in it (module-info.class
aside, which is given by path when it sits in a directory) is printed by both, in the
default view, with -p and with -constants; the counts of identical and different classes
are printed and each difference is written under --out. javap is given many classes per
process and run under nice, since one start of it costs more than a second.
"""
import os, subprocess, sys, zipfile

def class_names(classpath):
    if os.path.isdir(classpath):
        for root, _, files in os.walk(classpath):
            for f in files:
                if f.endswith('.class') and f != 'module-info.class':
                    rel = os.path.relpath(os.path.join(root, f), classpath)
                    yield rel[:-6].replace(os.sep, '.')
    else:
        with zipfile.ZipFile(classpath) as z:
            for n in z.namelist():
                if n.endswith('.class') and not n.startswith('META-INF/') and 'module-info' not in n:
                    yield n[:-6].replace('/', '.')

def blocks(text):
    """One block per class: every line up to and including a '}' at column 0."""
    out, current = [], []
    for line in text.splitlines(keepends=True):
        current.append(line)
        if line == '}\n':
            out.append(''.join(current))
            current = []
    if current:
        out.append(''.join(current))
    return out

def run(cmd):
    return subprocess.run(['nice'] + cmd, capture_output=True, text=True,
                          encoding='utf-8', errors='surrogateescape').stdout

def main():
    jdk, ornith, classpath = sys.argv[1:4]
    outdir = sys.argv[sys.argv.index('--out') + 1] if '--out' in sys.argv else '/tmp/javap-diffs'
    os.makedirs(outdir, exist_ok=True)
    names = sorted(set(class_names(classpath)))
    javap = os.path.join(jdk, 'bin', 'javap')
    modes = {'default': [], 'p': ['-p'], 'constants': ['-constants']}
    chunk = 1500
    for mode, flags in modes.items():
        same = differ = 0
        diffs = []
        for i in range(0, len(names), chunk):
            part = names[i:i + chunk]
            theirs = blocks(run([javap, '-J-Dstdout.encoding=UTF-8', '-cp', classpath] + flags + part))
            ours_flags = ['-p'] if mode == 'p' else ['--constants'] if mode == 'constants' else []
            ours = blocks(run([ornith, 'describe', '--raw', '--format', 'javap', '--no-default',
                               '-cp', classpath] + ours_flags + part))
            if len(theirs) != len(part) or len(ours) != len(part):
                print(f'{mode}: block count mismatch at chunk {i}: javap {len(theirs)}, '
                      f'ornith {len(ours)}, classes {len(part)}', file=sys.stderr)
            for name, a, b in zip(part, theirs, ours):
                if a == b:
                    same += 1
                else:
                    differ += 1
                    diffs.append((name, a, b))
        mi = os.path.join(classpath, 'module-info.class')
        if os.path.isdir(classpath) and os.path.exists(mi):
            a = run([javap, '-J-Dstdout.encoding=UTF-8'] + flags + [mi])
            b = run([ornith, 'describe', '--raw', '--format', 'javap'] + ours_flags + [mi])
            if a == b:
                same += 1
            else:
                differ += 1
                diffs.append(('module-info', a, b))
        print(f'{os.path.basename(classpath)} {mode}: {same} identical, {differ} different')
        with open(os.path.join(outdir, f'{os.path.basename(classpath)}.{mode}.diff'), 'w') as f:
            for name, a, b in diffs:
                f.write(f'=== {name}\n--- javap\n{a}--- ornith\n{b}')

main()
