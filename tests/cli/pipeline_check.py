#!/usr/bin/env python3
"""rowvane-cli in data pipelines, through the built program: the --report
lines read back by a JSON parser, gzip inputs and outputs, and --shard splits
checked against an FNV-1a model.

Usage: pipeline_check.py ROWVANE_CLI MAN_PAGE
"""
import gzip
import json
import os
import pty
import re
import subprocess
import sys
import tempfile
import unittest

CLI = None
MAN_PAGE = None
ROWS = 'a,b\r\n1,2\r\n3,4\r\n'


GROUPS = ('<d xmlns:rv="urn:rowvane:layout"><g rv:group-by="{a}">'
          '<r rv:for-each="record">{a}</r></g></d>')


def run(args, cwd, stdin=None):
    return subprocess.run([CLI] + args, cwd=cwd, input=stdin, capture_output=True)


def write(folder, name, data):
    path = os.path.join(os.fsencode(folder), os.fsencode(name) if isinstance(name, str) else name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data.encode('utf-8') if isinstance(data, str) else data)
    return path


def read(path):
    with open(path, 'rb') as f:
        return f.read()


def fnv1a64(data):
    value = 0xcbf29ce484222325
    for byte in data:
        value = ((value ^ byte) * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
    return value


class Report(unittest.TestCase):
    # name, files to write, extra arguments, the input asked about, expected fields
    CASES = [
        ('clean', {'x.csv': ROWS}, [], 'x.csv',
         {'status': 'converted', 'records': 2, 'warnings': [], 'reason': None}),
        ('unterminated quote', {'x.csv': 'a,b\n"x,1\n'}, ['--format', 'standard'], 'x.csv',
         {'status': 'converted', 'warnings': [{'kind': 'unterminated-quote', 'line': 2}]}),
        ('forbidden characters', {'x.csv': 'a\n\x01\n'}, ['--format', 'standard'], 'x.csv',
         {'status': 'converted', 'records': 1,
          'warnings': [{'kind': 'forbidden-characters', 'count': 1}]}),
        ('LF without CR LF', {'x.csv': 'a\nb\n'}, [], 'x.csv',
         {'status': 'converted', 'records': 0, 'warnings': [{'kind': 'lf-without-crlf'}]}),
        ('ill-formed UTF-8', {'x.csv': b'a\r\n\xff\r\n'}, ['--encoding', 'utf-8'], 'x.csv',
         {'status': 'converted', 'warnings': [{'kind': 'ill-formed-utf8', 'count': 1}]}),
        ('ill-formed UTF-16', {'x.csv': b'\xff\xfe' + 'a\r\n'.encode('utf-16-le') + b'\x00\xd8'
                               + '\r\n'.encode('utf-16-le')}, [], 'x.csv',
         {'status': 'converted', 'records': 1,
          'warnings': [{'kind': 'ill-formed-utf16', 'count': 1}]}),
        ('dropped values', {'x.csv': 'a\r\n1,2,3\r\n'}, [], 'x.csv',
         {'status': 'converted', 'records': 1, 'warnings': [{'kind': 'dropped-values', 'count': 2}]}),
        ('groups gathered', {'x.csv': 'a\r\n1\r\n2\r\n1\r\n', 't.xml': GROUPS}, ['--template', 't.xml'],
         'x.csv', {'status': 'converted', 'records': 3, 'warnings': []}),
        ('name without a dot', {'nodot': ROWS}, [], 'nodot',
         {'status': 'converted', 'warnings': [{'kind': 'name-without-dot'}]}),
        ('missing input', {}, [], 'gone.csv',
         {'status': 'failed', 'errno': 'ENOENT', 'reason': 'input file not found'}),
        ('corrupt gzip', {'x.csv.gz': b'not gzip at all'}, [], 'x.csv.gz',
         {'status': 'failed', 'errno': None, 'output': 'out/x.xml'}),
        ('output is a folder', {'x.csv': ROWS, 'out/x.xml/keep': ''}, [], 'x.csv',
         {'status': 'failed', 'errno': 'EISDIR'}),
        ('refused by -n', {'x.csv': ROWS, 'out/x.xml': 'old'}, ['-n'], 'x.csv',
         {'status': 'skipped', 'output': 'out/x.xml'}),
        ('folder without -r', {'dir/x.csv': ROWS}, [], 'dir',
         {'status': 'skipped', 'output': None}),
        ('name that is not UTF-8', {b'\xff.csv': ROWS}, [], b'\xff.csv',
         {'status': 'converted', 'input': '\\xff.csv', 'input_escaped': True,
          'output': 'out/\\xff.xml', 'output_escaped': True}),
    ]

    def test_each_status_and_warning_kind(self):
        for name, files, args, asked, expected in self.CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as top:
                os.mkdir(os.path.join(top, 'out'))
                for path, data in files.items():
                    write(top, path, data)
                inputs = [asked, 'other.csv']
                write(top, 'other.csv', ROWS)
                result = run(['--report', 'r.jsonl', '-o', 'out'] + args + inputs, top)
                lines = [json.loads(line) for line in read(os.path.join(top, 'r.jsonl')).splitlines()]
                files_lines = [line for line in lines if line['type'] == 'file']
                shown = asked if isinstance(asked, str) else expected['input']
                mine = [line for line in files_lines if line['input'] == shown]
                self.assertEqual(len(mine), 1, lines)
                for key, value in expected.items():
                    self.assertEqual(mine[0][key], value, (key, mine[0]))
                self.assertEqual(lines[-1]['type'], 'totals')
                for status in ('converted', 'failed', 'skipped', 'stopped'):
                    self.assertEqual(lines[-1][status],
                                     sum(line['status'] == status for line in files_lines))
                self.assertEqual(lines[-1]['records'], sum(line['records'] for line in files_lines))
                clean = mine[0]['status'] == 'converted' and mine[0]['reason'] is None
                self.assertEqual(result.returncode, 0 if clean else 1, result.stderr)

    def test_report_on_standard_error_has_it_alone(self):
        with tempfile.TemporaryDirectory() as top:
            write(top, 'x.csv', ROWS)
            result = run(['--report', '-', '-v', '-o', '.', 'x.csv', 'gone.csv'], top)
            self.assertEqual(result.returncode, 1)
            kinds = [json.loads(line)['type'] for line in result.stderr.splitlines()]
            self.assertEqual(kinds, ['file', 'file', 'totals'])

    def test_report_that_cannot_be_written_fails_the_run(self):
        with tempfile.TemporaryDirectory() as top:
            write(top, 'x.csv', ROWS)
            result = run(['--report', '/dev/full', '-o', '.', 'x.csv'], top)
            self.assertEqual(result.returncode, 1, result.stderr)
            self.assertIn(b'the report could not be written', result.stderr)

    def test_report_that_is_an_input_or_output_is_refused(self):
        for report in ('x.csv', './x.csv', 'out/x.xml', 'out/../out/x.xml'):
            with self.subTest(report), tempfile.TemporaryDirectory() as top:
                write(top, 'x.csv', ROWS)
                os.mkdir(os.path.join(top, 'out'))
                result = run(['--report', report, '-o', 'out', 'x.csv'], top)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertEqual(read(os.path.join(top, 'x.csv')), ROWS.encode())
                self.assertFalse(os.path.exists(os.path.join(top, 'out', 'x.xml')))


class Gzip(unittest.TestCase):
    LATIN = 'a;b\r\ncaf\xe9;\xe0\r\n'.encode('windows-1252')
    # name, bytes of in.csv.gz (None: keep the plain file), arguments, exit,
    # the text the output must hold as if converted plain (None: the earlier output stays)
    CASES = [
        ('one member', gzip.compress(ROWS.encode()), [], 0, ROWS.encode()),
        ('several members', gzip.compress(b'a,b\r\n1,2\r\n') + gzip.compress(b'3,4\r\n')
         + gzip.compress(b''), [], 0, ROWS.encode()),
        ('decoded again as Windows-1252', gzip.compress(LATIN), ['-s', ';'], 0, LATIN),
        ('corrupt', gzip.compress(ROWS.encode())[:12] + b'\xff' * 20, [], 1, None),
        ('truncated', gzip.compress(ROWS.encode() * 50)[:-9], [], 1, None),
        ('empty file', b'', [], 1, None),
        ('trailing garbage', gzip.compress(ROWS.encode()) + b'garbage', [], 1, None),
    ]

    def convert_plain(self, top, text, args):
        write(top, 'plain/in.csv', text)
        os.makedirs(os.path.join(top, 'plainout'), exist_ok=True)
        run(args + ['-o', 'plainout', 'plain/in.csv'], top)
        return read(os.path.join(top, 'plainout', 'in.xml'))

    def test_compressed_inputs(self):
        for name, data, args, code, text in self.CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as top:
                write(top, 'out/in.xml', 'earlier')
                write(top, 'in.csv.gz', data)
                result = run(args + ['-o', 'out', 'in.csv.gz'], top)
                self.assertEqual(result.returncode, code, result.stderr)
                expected = b'earlier' if text is None else self.convert_plain(top, text, args)
                self.assertEqual(read(os.path.join(top, 'out', 'in.xml')), expected)

    def test_compressed_outputs(self):
        # arguments, output file, exit
        cases = [(['--gzip', '-o', 'out'], 'out/in.xml.gz', 0),
                 (['--gzip=1', '-o', 'out'], 'out/in.xml.gz', 0),
                 (['--gzip=9', '-o', 'out'], 'out/in.xml.gz', 0),
                 (['--gzip', '-O', 'named.xml'], 'named.xml', 0),
                 (['--gzip', '-O', '-'], None, 0),
                 (['--gzip=0', '-o', 'out'], None, 2),
                 (['--gzip=10', '-o', 'out'], None, 2),
                 (['--gzip=x', '-o', 'out'], None, 2)]
        for args, output, code in cases:
            with self.subTest(' '.join(args)), tempfile.TemporaryDirectory() as top:
                write(top, 'in.csv.gz', gzip.compress(ROWS.encode()))
                os.mkdir(os.path.join(top, 'out'))
                result = run(args + ['in.csv.gz'], top)
                self.assertEqual(result.returncode, code, result.stderr)
                if code != 0:
                    self.assertEqual(os.listdir(os.path.join(top, 'out')), [])
                    continue
                written = result.stdout if output is None else read(os.path.join(top, output))
                self.assertEqual(gzip.decompress(written), self.convert_plain(top, ROWS, []))

    def test_compressed_output_to_a_terminal_is_refused(self):
        with tempfile.TemporaryDirectory() as top:
            write(top, 'x.csv', ROWS)
            leader, follower = pty.openpty()
            try:
                result = subprocess.run([CLI, '--gzip', '-O', '-', 'x.csv'], cwd=top,
                                        stdout=follower, stderr=subprocess.PIPE)
            finally:
                os.close(follower)
                os.close(leader)
            self.assertEqual(result.returncode, 2)
            self.assertIn(b'terminal', result.stderr)

    def test_recursive_gathers_compressed_files_and_standard_input_stays_compressed(self):
        with tempfile.TemporaryDirectory() as top:
            write(top, 'data/a.csv', ROWS)
            write(top, 'data/sub/b.csv.gz', gzip.compress(ROWS.encode()))
            write(top, 'data/c.txt.gz', gzip.compress(ROWS.encode()))
            os.mkdir(os.path.join(top, 'out'))
            self.assertEqual(run(['-r', '-o', 'out', 'data'], top).returncode, 0)
            self.assertEqual(sorted(os.listdir(os.path.join(top, 'out'))), ['a.xml', 'b.xml'])
            piped = run(['-', '-O', '-'], top, stdin=gzip.compress(ROWS.encode()))
            self.assertNotIn(b'<b>2</b>', piped.stdout)


class Shards(unittest.TestCase):
    def make_tree(self, top):
        # p.csv twice: without --keep-tree both give out/p.xml, the later winning.
        write(top, 'data/a/p.csv', 'v\r\nfrom a\r\n')
        write(top, 'data/b/p.csv', 'v\r\nfrom b\r\n')
        for i in range(40):
            write(top, f'data/{"ab"[i % 2]}/f{i}.csv', f'v\r\n{i}\r\n')
        write(top, 'data/b/g.csv.gz', gzip.compress(b'v\r\ng\r\n'))

    def listing(self, top, args):
        result = run(['--dry-run', '-p', '-r', '-o', 'out'] + args + ['data'], top)
        self.assertEqual(result.returncode, 0, result.stderr)
        return [line.split(b' -> ') for line in result.stdout.splitlines()]

    def test_shards_are_disjoint_complete_and_follow_the_hash(self):
        for tree in ([], ['--keep-tree']):
            with self.subTest(tree), tempfile.TemporaryDirectory() as top:
                self.make_tree(top)
                everything = self.listing(top, tree)
                shares = [self.listing(top, tree + ['--shard', f'{k}/4']) for k in range(4)]
                self.assertEqual(sorted(sum(shares, [])), sorted(everything))
                for k, share in enumerate(shares):
                    for _, output in share:
                        relative = output[len(b'out/'):]
                        self.assertEqual(fnv1a64(relative) % 4, k, output)
                if not tree:  # the two p.csv share out/p.xml, so they share a shard
                    holders = {k for k, share in enumerate(shares)
                               for pair in share if pair[0].endswith(b'/p.csv')}
                    self.assertEqual(len(holders), 1)

    def test_four_shard_runs_give_what_one_run_gives(self):
        with tempfile.TemporaryDirectory() as top:
            self.make_tree(top)
            os.mkdir(os.path.join(top, 'one'))
            os.mkdir(os.path.join(top, 'out'))
            run(['-r', '-o', 'one', 'data'], top)
            for k in range(4):
                run(['-r', '--shard', f'{k}/4', '-o', 'out', 'data'], top)
            names = sorted(os.listdir(os.path.join(top, 'one')))
            self.assertEqual(sorted(os.listdir(os.path.join(top, 'out'))), names)
            for name in names:
                self.assertEqual(read(os.path.join(top, 'out', name)),
                                 read(os.path.join(top, 'one', name)), name)

    def test_bad_shares_are_usage_errors_and_an_empty_share_is_not(self):
        with tempfile.TemporaryDirectory() as top:
            write(top, 'x.csv', ROWS)
            for share in ('0/0', '3/3', '5/3', 'x/2', '1', '-1/2', '+1/2', '1/2/3', '', ' 1/2',
                         '1/18446744073709551616'):
                with self.subTest(share):
                    self.assertEqual(run(['--shard', share, '-o', '.', 'x.csv'], top).returncode, 2)
            empty = next(k for k in range(2) if fnv1a64(b'x.xml') % 2 != k)
            result = run(['--shard', f'{empty}/2', '-o', '.', 'x.csv'], top)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertFalse(os.path.exists(os.path.join(top, 'x.xml')))

    def test_published_vectors_hold(self):
        with open(MAN_PAGE, encoding='utf-8') as f:
            vectors = re.findall(r'^"(.*)"\s+0x([0-9a-f]{16})\s+(\d+)$', f.read(), re.M)
        self.assertEqual(len(vectors), 3)
        for path, hash_hex, share in vectors:
            self.assertEqual(fnv1a64(path.encode()), int(hash_hex, 16), path)
            self.assertEqual(int(hash_hex, 16) % 16, int(share), path)


if __name__ == '__main__':
    CLI, MAN_PAGE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=1)
