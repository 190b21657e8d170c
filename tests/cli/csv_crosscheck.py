#!/usr/bin/env python3
"""Cross-checks rowvane-cli --format standard against Python's csv module.

For random texts and one-character separators, the values of every record,
read back from the XML with an XML parser (expat), must equal the rows that
csv.reader gives for the same text, normalised as the format defines: blank
rows dropped, header repeats dropped, rows padded or cut to the header's
count, forbidden characters as U+FFFD. Headers of random characters check that
every fixed name is one the parser accepts.

Usage: csv_crosscheck.py ROWVANE_CLI [ROUNDS]
"""
import csv
import io
import os
import random
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

PIECES = ['a', 'b', 'xy', ' ', '1', '"', '"', '""', ',', ';', '\t', '|', '\r', '\n', '\r\n',
          '\r\n', '\u00e9', '\u20ac', '&', '<', '>', '\x01', '\x1f', '\ufffe', ']]>', 'é"']
SEPARATORS = [',', ';', '\t', '|', ' ', '\u00e9']
FORBIDDEN = re.compile('[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff]')


def random_text(rng):
    return ''.join(rng.choice(PIECES) for _ in range(rng.randrange(40)))


def random_name(rng):
    # Any BMP character but surrogates, NUL and the separator's neighbours.
    chars = []
    for _ in range(rng.randrange(1, 4)):
        c = rng.randrange(0x20, 0x10000)
        if 0xD800 <= c <= 0xDFFF or chr(c) in '",;\t| \u00e9\r\n':
            c = ord('n')
        chars.append(chr(c))
    return ''.join(chars)


def expected_rows(text, separator, header):
    csv.field_size_limit(sys.maxsize)
    rows = [row for row in csv.reader(io.StringIO(text, newline=''), delimiter=separator) if row]
    if not rows:
        return []
    count = len(rows[0])
    if header:
        names = rows[0]
        rows = [row for row in rows[1:] if row != names]  # compared before any replacement
    return [[FORBIDDEN.sub('\ufffd', value) for value in (row + [''] * count)[:count]]
            for row in rows]


def actual_rows(path):
    root = ElementTree.parse(path).getroot()
    return [[field.text or '' for field in row] for row in root]


def main():
    cli = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    rng = random.Random(20261207)
    cases = []
    with tempfile.TemporaryDirectory() as work:
        inputs = {sep: [] for sep in SEPARATORS}
        for header in (True, False):
            for i in range(rounds // 2):
                separator = rng.choice(SEPARATORS)
                text = random_text(rng)
                if header and i % 4 == 0:
                    text = separator.join(random_name(rng) for _ in range(3)) + '\n' + text
                folder = os.path.join(work, 'h' if header else 'n')
                os.makedirs(folder, exist_ok=True)
                path = os.path.join(folder, f'case{len(cases)}.csv')
                with open(path, 'w', encoding='utf-8', newline='') as f:
                    f.write(text)
                cases.append((path, text, separator, header))
                inputs[separator].append((path, header))
        out = os.path.join(work, 'out')
        os.makedirs(out)
        for separator, files in inputs.items():
            for header in (True, False):
                paths = [p for p, h in files if h == header]
                if not paths:
                    continue
                args = [cli, '--format', 'standard', '-q', '-s', separator, '-o', out]
                args += [] if header else ['--no-header']
                subprocess.run(args + paths, check=True, stderr=subprocess.DEVNULL)
        failures = 0
        for path, text, separator, header in cases:
            xml = os.path.join(out, os.path.basename(path)[:-4] + '.xml')
            try:
                actual = actual_rows(xml)
            except ElementTree.ParseError as error:
                actual = f'not XML: {error}'
            expected = expected_rows(text, separator, header)
            if actual != expected:
                failures += 1
                if failures <= 5:
                    print(f'MISMATCH text={text!r} separator={separator!r} header={header}\n'
                          f'  csv:     {expected!r}\n  rowvane: {actual!r}')
        print(f'{len(cases)} texts compared, {failures} mismatches')
        return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
