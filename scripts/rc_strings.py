#!/usr/bin/env python3
"""String tables of the .rc files as a C++ table, for the host build.

The Windows build compiles the .rc files with windres; the host build has no
resources, so the same STRINGTABLE entries become a sorted array with the texts in
GBK (code page 936), exactly the bytes LoadStringA returns under Wine.

usage: rc_strings.py ROOT.rc OUT.cpp
"""
import os
import re
import sys

defines = {}


def resolve(tok):
    tok = tok.strip().strip('()')
    seen = 0
    while tok in defines and seen < 20:
        tok = defines[tok].strip().strip('()')
        seen += 1
    try:
        return int(tok, 0)
    except ValueError:
        # simple sums such as BASE + 3
        if '+' in tok:
            return sum(resolve(p) for p in tok.split('+'))
        raise SystemExit(f"rc_strings: cannot resolve id {tok!r}")


def unescape(body):
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c == '"' and i + 1 < len(body) and body[i + 1] == '"':
            out.append('"')
            i += 2
            continue
        if c == '\\' and i + 1 < len(body):
            n = body[i + 1]
            simple = {'n': '\n', 't': '\t', 'r': '\r', 'a': '\a', '\\': '\\', '"': '"', "'": "'"}
            if n in simple:
                out.append(simple[n])
                i += 2
                continue
            if n == 'x':
                m = re.match(r'[0-9a-fA-F]{1,4}', body[i + 2:])
                out.append(chr(int(m.group(0), 16)))
                i += 2 + len(m.group(0))
                continue
            if n.isdigit():
                m = re.match(r'[0-7]{1,3}', body[i + 1:])
                out.append(chr(int(m.group(0), 8)))
                i += 1 + len(m.group(0))
                continue
        out.append(c)
        i += 1
    return ''.join(out)


entry_re = re.compile(r'^\s*([A-Za-z_0-9+ ()]+?)\s*,?\s*"((?:[^"]|"")*)"\s*$')


def read(path, strings):
    base = os.path.dirname(path)
    in_table = False
    with open(path, encoding='utf-8-sig') as f:
        for raw in f:
            line = raw.rstrip('\n').rstrip('\r')
            s = line.strip()
            m = re.match(r'#\s*include\s+"([^"]+)"', s)
            if m:
                inc = os.path.join(base, m.group(1))
                if os.path.exists(inc):
                    read(inc, strings)
                continue
            m = re.match(r'#\s*define\s+(\w+)\s+(.+?)\s*(//.*)?$', s)
            if m:
                defines[m.group(1)] = m.group(2)
                continue
            if s.startswith('STRINGTABLE'):
                in_table = True
                continue
            if not in_table:
                continue
            if s in ('BEGIN', '{'):
                continue
            if s in ('END', '}'):
                in_table = False
                continue
            if not s or s.startswith('//'):
                continue
            m = entry_re.match(line)
            if not m:
                raise SystemExit(f"rc_strings: {path}: cannot read {line!r}")
            sid = resolve(m.group(1))
            if sid in strings:
                raise SystemExit(f"rc_strings: {path}: string id {sid} defined twice")
            strings[sid] = unescape(m.group(2))


def main():
    root, out = sys.argv[1], sys.argv[2]
    strings = {}
    read(root, strings)
    lines = ['// Generated from the .rc string tables; do not edit.',
             '#include "platform/cstring.h"', '', 'namespace {',
             'const HostStringEntry kStrings[] = {']
    for sid in sorted(strings):
        data = strings[sid].encode('gbk')
        lit = ''.join('\\x%02x' % b for b in data)
        lines.append('  {%du, "%s"},' % (sid, lit))
    if not strings:
        lines.append('  {0u, ""},')
    lines += ['};', 'struct Register {',
              '  Register() { RegisterHostStringTable(kStrings, (int)(sizeof kStrings / sizeof kStrings[0])); }',
              '} g_register;', '}  // namespace', '']
    text = '\n'.join(lines)
    if not os.path.exists(out) or open(out).read() != text:
        with open(out, 'w') as f:
            f.write(text)


if __name__ == '__main__':
    main()
