#!/usr/bin/env python3
"""Compares the Code blocks of JDK 25's javap with those of VQAppendJavapCode.

usage: compare.py JAVAP CODE_BLOCKS MODE DIR [--out DIR]

MODE is -c (javap -c -p), -cl (javap -c -l -p) or -v (javap -v -p). Every class file
under DIR is printed by both; only the methods' Code blocks are compared, in file order.
Prints the counts of classes whose blocks all match and of those that differ, and writes
each difference under --out.
"""
import os, subprocess, sys

def lines_of(text):
    # Only '\n' ends a line: javap prints U+2028 and the like inside string constants.
    parts = text.split('\n')
    return [p + '\n' for p in parts[:-1]] + ([parts[-1]] if parts[-1] else [])

def code_blocks(lines):
    blocks, current = [], None
    for line in lines:
        if line == '    Code:\n':
            current = [line]
            blocks.append(current)
        elif current is not None and (line.startswith('      ') or line.startswith('Error: ')):
            current.append(line)
        else:
            current = None
    return [''.join(b) for b in blocks]

def javap_classes(javap, flags, files):
    out = subprocess.run(['nice', javap] + flags + files, capture_output=True, text=True).stdout
    # One class per "Classfile" (-v) or per closing brace at column 0.
    per, current = [], []
    for line in lines_of(out):
        current.append(line)
        if line == '}\n':
            per.append(current)
            current = []
    return per

def ours(tool, mode, files):
    out = subprocess.run([tool, mode] + files, capture_output=True, text=True).stdout
    result = {f: [] for f in files}
    current = None
    for line in lines_of(out):
        if line.startswith('=== '):
            name = line[4:].rsplit(' ', 1)[0]
            if ' failed: ' in line:
                current = None
                continue
            current = [] ; result[name].append(current)
        elif current is not None:
            current.append(line)
    return {f: [''.join(b) for b in bs] for f, bs in result.items()}

def main():
    javap, tool, mode, root = sys.argv[1:5]
    outdir = sys.argv[sys.argv.index('--out') + 1] if '--out' in sys.argv else None
    flags = {'-c': ['-c', '-p'], '-cl': ['-c', '-l', '-p'], '-v': ['-v', '-p']}[mode]
    files = sorted(os.path.join(d, f) for d, _, fs in os.walk(root) for f in fs
                   if f.endswith('.class') and f != 'module-info.class')
    same = differ = 0
    for start in range(0, len(files), 400):
        chunk = files[start:start + 400]
        theirs = javap_classes(javap, flags, chunk)
        mine = ours(tool, mode, chunk)
        if len(theirs) != len(chunk):
            print('javap printed %d classes for %d files' % (len(theirs), len(chunk)), file=sys.stderr)
            continue
        for f, text in zip(chunk, theirs):
            expected = code_blocks(text)
            if expected == mine[f]:
                same += 1
            else:
                differ += 1
                if outdir:
                    os.makedirs(outdir, exist_ok=True)
                    base = os.path.join(outdir, f.replace('/', '_'))
                    open(base + '.javap', 'w').write(''.join(expected))
                    open(base + '.ours', 'w').write(''.join(mine[f]))
    print('%s %s: %d classes match, %d differ' % (mode, root, same, differ))

main()
