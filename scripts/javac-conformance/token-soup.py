#!/usr/bin/env python3
"""Writes N files of random token soup (literal forms, escapes, Unicode escapes, text blocks,
operators, comments, line ends, non-ASCII identifiers) for run.sh: a check of the corners,
errors and recovery included, that real sources rarely reach.
    token-soup.py DIR [N] [SEED]"""
import os
import random
import sys

PIECES = ['a', '_x', '$y', '\u00e9t\u00e9', '\U0001D465v', 'x\u00ady', 'int', 'private', 'protected',
          'assert', 'enum', '_', 'var', 'non-sealed', '0', '07', '0_7', '0x1F', '0xCAFE_babeL', '0b1010',
          '0B1_1l', '1_000', '1e10', '1.5e-3f', '.5', '1.', '0x1.8p3', '0x.8P-1d', '0x1p+2F', '3D', '09.5',
          '1__2e1_0', '"s"', '"\\t\\n\\\\"', '"\\u0041"', '"\\\\u0041"', '"\\uuu0041"', '"\\s"',
          '"\\0\\12\\377\\477"', "'\\''", "'x'", "'\\u00e9'", "'\\177'", '@', '->', '::', '...', '>>>=',
          '>>', '<<=', '&&', '||', '++', '--', '!=', '==', '?', ':', ';', ',', '.', '(', ')', '{', '}', '[',
          ']', '~', '^=', '%=', '/* c */', '/** d */', '/**/', '// line\n', '\n', '\r\n', '\r', '\t',
          '\f', ' ', '"""\n  a\n   b\n  """', '"""  \n\tx\\\n\ty\\s\n\t"""', '"""\n  q\\"""x\n  """',
          '"""\n  ""\n"""', '\\u0061', '\\uu0062c', '\\u005c\\u005c']


def main():
    out, n, seed = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 300, \
        int(sys.argv[3]) if len(sys.argv) > 3 else 7
    random.seed(seed)
    os.makedirs(out, exist_ok=True)
    for i in range(n):
        tokens = [random.choice(PIECES) for _ in range(random.randint(5, 60))]
        with open(os.path.join(out, f"g{i:03d}.java"), "w", encoding="utf-8", newline="") as f:
            f.write(" ".join(tokens))


if __name__ == "__main__":
    main()
