#!/usr/bin/env python3
"""Sets the COM ports of a Wine prefix while no wineserver runs on it.

Usage: wine_ports.py PREFIX [COMn=/dev/pts/N ...]

Rewrites the [Software\\Wine\\Ports] key of system.reg so that it holds exactly
the given ports (Wine's device manager links dosdevices/comN to them at the
next session start), and removes every dosdevices/com* link left behind.
"""
import os
import re
import sys


def main():
    prefix = sys.argv[1]
    ports = []
    for arg in sys.argv[2:]:
        name, _, target = arg.partition('=')
        if not re.fullmatch(r'COM[1-9][0-9]?', name) or not target.startswith('/dev/pts/'):
            sys.exit('wine_ports: refusing %r (only COMn=/dev/pts/N)' % arg)
        ports.append((name, target))

    reg = os.path.join(prefix, 'system.reg')
    with open(reg, encoding='utf-8', errors='surrogateescape') as f:
        lines = f.read().split('\n')
    header = re.compile(r'^\[Software\\\\Wine\\\\Ports\]')
    out, i, found = [], 0, False
    while i < len(lines):
        line = lines[i]
        out.append(line)
        i += 1
        if header.match(line):
            found = True
            # Keep the section's meta lines, replace its values.
            while i < len(lines) and lines[i].startswith('#'):
                out.append(lines[i])
                i += 1
            while i < len(lines) and lines[i] != '' and not lines[i].startswith('['):
                i += 1
            for name, target in ports:
                out.append('"%s"="%s"' % (name, target))
    if not found:
        out += ['', '[Software\\\\Wine\\\\Ports] 0'] + ['"%s"="%s"' % p for p in ports] + ['']
    with open(reg + '.tmp', 'w', encoding='utf-8', errors='surrogateescape') as f:
        f.write('\n'.join(out))
    os.replace(reg + '.tmp', reg)

    dosdevices = os.path.join(prefix, 'dosdevices')
    for entry in os.listdir(dosdevices):
        if re.fullmatch(r'com\d+', entry, re.IGNORECASE):
            os.unlink(os.path.join(dosdevices, entry))


if __name__ == '__main__':
    main()
