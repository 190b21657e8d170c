#!/usr/bin/env python3
"""rowvane-cli on a cluster, through the built program: shares taken from the
job runner's variables, the totals' "shard", the shares' reports merged,
cheap reruns with --update, signals from the first moment, the default -j.

Usage: cluster_check.py ROWVANE_CLI
"""
import json
import os
import random
import shutil
import signal
import time
import subprocess
import sys
import tempfile
import unittest

CLI = None
SLURM_VARIABLES = ('SLURM_ARRAY_TASK_ID', 'SLURM_ARRAY_TASK_MIN', 'SLURM_ARRAY_TASK_MAX',
                   'SLURM_ARRAY_TASK_COUNT', 'JOB_COMPLETION_INDEX')


def run(args, cwd, variables=None, stdin=None):
    environment = {k: v for k, v in os.environ.items() if k not in SLURM_VARIABLES}
    environment.update(variables or {})
    return subprocess.run([CLI] + args, cwd=cwd, env=environment, input=stdin,
                          capture_output=True)


def write(folder, name, data):
    path = os.path.join(folder, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data.encode('utf-8') if isinstance(data, str) else data)
    return path


def read_report(path):
    with open(path, 'rb') as f:
        return [json.loads(line) for line in f.read().splitlines()]


def make_tree(top, count=60):
    for i in range(count):
        write(top, f'data/{i % 3}/f{i}.csv', f'v\r\n{i}\r\n')


def slurm(task, first, last, count):
    return {'SLURM_ARRAY_TASK_ID': str(task), 'SLURM_ARRAY_TASK_MIN': str(first),
            'SLURM_ARRAY_TASK_MAX': str(last), 'SLURM_ARRAY_TASK_COUNT': str(count)}


class AutoShares(unittest.TestCase):
    def share_run(self, top, shard, variables, report):
        return run(['-r', '--keep-tree', '-p', '--shard', shard, '--report', report,
                    '-o', 'out', 'data'], top, variables)

    def test_array_tasks_together_convert_everything_once(self):
        # (what --shard says, the variables of each task of the array)
        arrays = [
            ('auto', [slurm(t, 0, 3, 4) for t in range(4)]),
            ('auto', [slurm(t, 1, 4, 4) for t in range(1, 5)]),
            ('auto/3', [slurm(t, 7, 9, 3) for t in range(7, 10)]),
            ('auto/3', [{'SLURM_ARRAY_TASK_ID': str(t), 'SLURM_ARRAY_TASK_MIN': '0'}
                        for t in range(3)]),
            ('auto/5', [{'JOB_COMPLETION_INDEX': str(t)} for t in range(5)]),
        ]
        for shard, tasks in arrays:
            with self.subTest(shard=shard, first=tasks[0]), tempfile.TemporaryDirectory() as top:
                make_tree(top)
                inputs = []
                for number, variables in enumerate(tasks):
                    result = self.share_run(top, shard, variables, f'r{number}.jsonl')
                    self.assertEqual(result.returncode, 0, result.stderr)
                    lines = read_report(os.path.join(top, f'r{number}.jsonl'))
                    self.assertEqual(lines[-1]['shard'], f'{number}/{len(tasks)}')
                    inputs += [line['input'] for line in lines if line['type'] == 'file']
                self.assertEqual(sorted(inputs), sorted(set(inputs)))
                self.assertEqual(len(inputs), 60)

    def test_a_given_share_is_in_the_totals_and_no_shard_gives_none(self):
        with tempfile.TemporaryDirectory() as top:
            make_tree(top, 6)
            self.assertEqual(self.share_run(top, '1/2', {}, 'r.jsonl').returncode, 0)
            self.assertEqual(read_report(os.path.join(top, 'r.jsonl'))[-1]['shard'], '1/2')
            run(['-r', '--report', 'r.jsonl', '-o', 'out', 'data'], top)
            self.assertNotIn('shard', read_report(os.path.join(top, 'r.jsonl'))[-1])

    def test_arrays_that_would_miss_files_are_refused_before_anything_is_written(self):
        cases = [
            ('auto', slurm(2, 0, 14, 8), 'consecutive'),
            ('auto', {'SLURM_ARRAY_TASK_ID': '2'}, 'SLURM_ARRAY_TASK_COUNT'),
            ('auto/16', slurm(2, 0, 7, 8), 'SLURM_ARRAY_TASK_COUNT'),
            ('auto/4', {}, 'JOB_COMPLETION_INDEX'),
            ('auto/4', dict(slurm(1, 0, 3, 4), JOB_COMPLETION_INDEX='1'), 'both'),
            ('auto/4', {'JOB_COMPLETION_INDEX': '4'}, 'JOB_COMPLETION_INDEX 4'),
        ]
        for shard, variables, said in cases:
            with self.subTest(shard=shard, variables=variables), \
                    tempfile.TemporaryDirectory() as top:
                make_tree(top, 6)
                result = self.share_run(top, shard, variables, 'r.jsonl')
                self.assertEqual(result.returncode, 2)
                self.assertIn(said.encode(), result.stderr)
                self.assertFalse(os.path.exists(os.path.join(top, 'out')))
                self.assertFalse(os.path.exists(os.path.join(top, 'r.jsonl')))


def file_line(name, status='converted', reason=None, output=True, records=1):
    return json.dumps({'type': 'file', 'input': name, 'output': 'out/' + name if output else None,
                       'status': status, 'reason': reason, 'errno': None,
                       'warnings': [{'kind': 'lf-without-crlf'}] if records == 2 else [],
                       'records': records, 'bytes_in': 10, 'bytes_out': 20, 'seconds': 0.5})


def totals_line(shard=None, **extra):
    line = {'type': 'totals'}
    if shard:
        line['shard'] = shard
    line.update(extra)
    line['seconds'] = 1.5
    return json.dumps(line)


class MergedReports(unittest.TestCase):
    def merge(self, reports, top, stdin=None, variables=None):
        names = []
        for number, lines in enumerate(reports):
            names.append(f'r{number}.jsonl')
            write(top, names[-1], ''.join(line + '\n' for line in lines))
        return run(['--merge-reports'] + names, top, variables, stdin)

    def test_each_kind_of_gap_and_its_exit_status(self):
        share = lambda k, n, *inputs: [file_line(i) for i in inputs] + [totals_line(f'{k}/{n}')]
        # name, reports, exit status, words on standard error
        cases = [
            ('all shares', [share(0, 3, 'a'), share(1, 3, 'b'), share(2, 3)], 0, [b'complete']),
            ('no shards at all', [[file_line('a'), totals_line()]], 0, [b'complete']),
            ('a failure', [share(0, 2, 'a'), [file_line('b', 'failed', 'bad data'),
                                              totals_line('1/2')]], 1, [b'b: failed: bad data']),
            ('refused by -n', [[file_line('a', 'skipped', 'not converted: out/a exists'),
                                totals_line()]], 1, [b'not converted']),
            ('up to date is no failure', [[file_line('a', 'skipped', 'up to date'),
                                           totals_line()]], 0, [b'complete']),
            ('missing shares', [share(1, 6, 'a'), share(3, 6, 'b')], 3,
             [b'shares missing of 6: 0, 2, 4-5']),
            ('share given twice', [share(0, 2, 'a'), share(0, 2, 'b'), share(1, 2)], 3,
             [b'share 0/2 is in both r0.jsonl and r1.jsonl']),
            ('disagreeing N', [share(0, 2, 'a'), share(1, 3, 'b')], 3, [b'disagree', b'1/3']),
            ('share and no share', [share(0, 1, 'a'), [file_line('b'), totals_line()]], 3,
             [b'name no share']),
            ('unfinished report', [share(0, 2, 'a'), [file_line('b')]], 3,
             [b'r1.jsonl: no totals line']),
            ('interrupted run', [[file_line('a'), file_line('b', 'stopped', 'stopped'),
                                  totals_line(interrupted=True)]], 3,
             [b'ended by a signal', b'1 inputs were stopped']),
            ('line cut short', [[file_line('a'), totals_line(), '{"type":"fi']], 3,
             [b'line 3 is not a line of a report']),
            ('line after the totals', [[totals_line(), file_line('a')]], 3,
             [b'line 2 follows the totals line']),
            ('input in two reports', [share(0, 2, 'a', 'b'), share(1, 2, 'b')], 3,
             [b'b: in r1.jsonl and in r0.jsonl']),
            ('a folder refusal in every share is no duplicate',
             [[file_line('dir', 'skipped', 'up to date', output=False), totals_line('0/2')],
              [file_line('dir', 'skipped', 'up to date', output=False), totals_line('1/2')]],
             0, [b'complete']),
        ]
        for name, reports, status, said in cases:
            with self.subTest(name), tempfile.TemporaryDirectory() as top:
                result = self.merge(reports, top)
                self.assertEqual(result.returncode, status, result.stderr)
                for words in said:
                    self.assertIn(words, result.stderr)
                totals = json.loads(result.stdout)
                lines = [json.loads(l) for r in reports for l in r if l.startswith('{"type": "file"')]
                self.assertEqual(totals['files'], len(lines))
                for status_name in ('converted', 'failed', 'skipped', 'stopped'):
                    self.assertEqual(totals[status_name],
                                     sum(l['status'] == status_name for l in lines))
                self.assertEqual(totals['records'], sum(l['records'] for l in lines))
                self.assertEqual(totals['warnings'], sum(len(l['warnings']) for l in lines))

    def test_reports_of_real_share_runs_merge_to_the_one_run(self):
        with tempfile.TemporaryDirectory() as top:
            make_tree(top, 30)
            write(top, 'data/bad.csv.gz', b'not gzip')
            whole = run(['-r', '-p', '--keep-tree', '--report', 'all.jsonl', '-o', 'one', 'data'],
                        top)
            self.assertEqual(whole.returncode, 1)
            names = []
            for k in range(3):
                names.append(f's{k}.jsonl')
                run(['-r', '-p', '--keep-tree', '--shard', f'{k}/3', '--report', names[-1],
                     '-o', 'out', 'data'], top)
            merged = run(['--merge-reports'] + names, top)
            self.assertEqual(merged.returncode, 1, merged.stderr)
            self.assertIn(b'bad.csv.gz: failed', merged.stderr)
            one = read_report(os.path.join(top, 'all.jsonl'))[-1]
            totals = json.loads(merged.stdout)
            for key in ('files', 'converted', 'failed', 'records', 'bytes_in', 'bytes_out'):
                self.assertEqual(totals[key], one[key], key)
            missing = run(['--merge-reports', names[0], '-', names[2]], top,
                          stdin=b'')  # the middle share's report is empty
            self.assertEqual(missing.returncode, 3)
            self.assertIn(b'shares missing of 3: 1', missing.stderr)

    def test_a_million_lines_stream_through_bounded_memory(self):
        # Names of 200 bytes: keeping them would take over 200 MB. GNU time
        # measures the program alone, not a fork of this big test process.
        count = 1_000_000
        stem = 'n' * 190
        with tempfile.TemporaryDirectory() as top:
            environment = dict(os.environ, ASAN_OPTIONS='quarantine_size_mb=0:detect_leaks=0')
            child = subprocess.Popen(['/usr/bin/time', '-f', 'peak %M', CLI, '--merge-reports',
                                      '-'], cwd=top, env=environment, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            for first in range(0, count, 10_000):
                child.stdin.write(''.join(
                    f'{{"type":"file","input":"{stem}{i:09d}","output":"o/{i}",'
                    f'"status":"converted","reason":null,"errno":null,"warnings":[],'
                    f'"records":1,"bytes_in":1,"bytes_out":1,"seconds":0.0}}\n'
                    for i in range(first, first + 10_000)).encode())
            child.stdin.write(b'{"type":"totals","seconds":1.0}\n')
            out, err = child.communicate()
            self.assertEqual(child.returncode, 0, err)
            self.assertEqual(json.loads(out)['files'], count)
        peak_kib = int(err.decode().rsplit('peak ', 1)[1])
        self.assertLess(peak_kib, 120 * 1024)

    def test_merge_refuses_other_options_and_no_reports(self):
        with tempfile.TemporaryDirectory() as top:
            for args in (['--merge-reports'], ['--merge-reports', '-o', 'x', 'r'],
                         ['--merge-reports', '-r', 'r']):
                self.assertEqual(run(args, top).returncode, 2, args)
            result = run(['--merge-reports', 'gone.jsonl'], top)
            self.assertEqual(result.returncode, 3)
            self.assertIn(b'gone.jsonl: cannot read the report', result.stderr)


def tree_of(folder):
    found = {}
    for root, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(root, name)
            with open(path, 'rb') as f:
                found[os.path.relpath(path, folder)] = f.read()
    return found


def set_time(path, nanoseconds):
    os.utime(path, ns=(nanoseconds, nanoseconds))


class Update(unittest.TestCase):
    BASE = 1_700_000_000_000_000_000

    def report_of(self, top):
        lines = read_report(os.path.join(top, 'r.jsonl'))
        return {l['input']: (l['status'], l['reason']) for l in lines if l['type'] == 'file'}

    def test_times_decide_to_the_nanosecond(self):
        # input time - output time, in nanoseconds; what --update does
        cases = [(-1_000_000_000, 'skipped'), (-1, 'skipped'), (0, 'skipped'), (1, 'converted'),
                 (5_000_000_000, 'converted')]
        for difference, status in cases:
            with self.subTest(difference), tempfile.TemporaryDirectory() as top:
                write(top, 'a.csv', 'v\r\nnew\r\n')
                write(top, 'out/a.xml', 'old output')
                set_time(os.path.join(top, 'out/a.xml'), self.BASE)
                set_time(os.path.join(top, 'a.csv'), self.BASE + difference)
                result = run(['--update', '--report', 'r.jsonl', '-o', 'out', 'a.csv'], top)
                self.assertEqual(result.returncode, 0, result.stderr)
                expected = ('skipped', 'up to date') if status == 'skipped' else (status, None)
                self.assertEqual(self.report_of(top)['a.csv'], expected)
                with open(os.path.join(top, 'out/a.xml'), 'rb') as f:
                    self.assertEqual(f.read() == b'old output', status == 'skipped')

    def test_a_rerun_after_a_cut_short_run_gives_the_full_run_tree(self):
        with tempfile.TemporaryDirectory() as top:
            make_tree(top, 24)
            write(top, 'data/0/p.csv', 'v\r\nfirst\r\n')
            write(top, 'data/1/p.csv', 'v\r\nsecond\r\n')
            write(top, 'data/2/bad.csv.gz', b'not gzip')
            full = run(['-r', '-p', '-o', 'full', 'data'], top)
            self.assertEqual(full.returncode, 1)
            # A run cut short: some outputs written, p.xml from the earlier input.
            run(['-r', '-p', '--shard', '0/3', '-o', 'out', 'data'], top)
            run(['-p', '-o', 'out', 'data/0/p.csv'], top)
            rerun = run(['-r', '--update', '--report', 'r.jsonl', '-o', 'out', 'data'], top)
            self.assertEqual(rerun.returncode, 1, rerun.stderr)
            self.assertEqual(tree_of(os.path.join(top, 'out')), tree_of(os.path.join(top, 'full')))
            report = self.report_of(top)
            self.assertEqual(report['data/0/p.csv'], ('skipped', 'replaced by data/1/p.csv'))
            self.assertEqual(report['data/1/p.csv'], ('converted', None))
            self.assertEqual(report['data/2/bad.csv.gz'][0], 'failed')
            statuses = [status for status, _ in report.values()]
            self.assertGreater(statuses.count('skipped'), 2)
            self.assertGreater(statuses.count('converted'), 2)
            # Once more: everything but the failure is now up to date.
            again = run(['-r', '--update', '--report', 'r.jsonl', '-o', 'out', 'data'], top)
            self.assertEqual(again.returncode, 1)
            statuses = [status for status, _ in self.report_of(top).values()]
            self.assertEqual(statuses.count('converted'), 1)  # the later p.csv, always
            self.assertEqual(statuses.count('failed'), 1)
            merged = run(['--merge-reports', 'r.jsonl'], top)
            self.assertEqual(merged.returncode, 1)  # the bad input, not the skipped ones

    def test_no_clobber_keeps_its_meaning(self):
        with tempfile.TemporaryDirectory() as top:
            write(top, 'old.csv', 'v\r\n1\r\n')
            write(top, 'new.csv', 'v\r\n2\r\n')
            write(top, 'out/old.xml', 'kept')
            write(top, 'out/new.xml', 'kept')
            set_time(os.path.join(top, 'old.csv'), self.BASE)
            set_time(os.path.join(top, 'out/old.xml'), self.BASE)
            set_time(os.path.join(top, 'out/new.xml'), self.BASE)
            set_time(os.path.join(top, 'new.csv'), self.BASE + 1)
            result = run(['--update', '-n', '--report', 'r.jsonl', '-o', 'out', 'old.csv',
                          'new.csv'], top)
            self.assertEqual(result.returncode, 1)
            report = self.report_of(top)
            self.assertEqual(report['old.csv'], ('skipped', 'up to date'))
            self.assertEqual(report['new.csv'][0], 'skipped')
            self.assertIn('-n keeps it', report['new.csv'][1])
            self.assertEqual(tree_of(os.path.join(top, 'out')),
                             {'old.xml': b'kept', 'new.xml': b'kept'})

    def test_update_is_refused_where_it_means_nothing(self):
        with tempfile.TemporaryDirectory() as top:
            write(top, 'a.csv', 'v\r\n1\r\n')
            self.assertEqual(run(['--update', '-O', 'x.xml', 'a.csv'], top).returncode, 2)
            self.assertEqual(run(['--update', '--watch', '.', '-o', 'o'], top).returncode, 2)


def traceable():
    """The environment for the program under strace: LeakSanitizer (in
    sanitizer builds) cannot work under ptrace."""
    options = os.environ.get('ASAN_OPTIONS', '')
    return dict(os.environ, ASAN_OPTIONS=(options + ':' if options else '') + 'detect_leaks=0')


def default_signals():
    for number in (signal.SIGINT, signal.SIGTERM):
        signal.signal(number, signal.SIG_DFL)


class SignalsFromStartUp(unittest.TestCase):
    def start_signalled(self, args, top, call, number):
        # strace sends the signal as the call that marks the stage is entered.
        name = signal.Signals(number).name[3:]
        command = ['strace', '-f', '-qq', '-o', '/dev/null', '-e', 'trace=' + call,
                   '-e', f'inject={call}:signal={name}:when=1', CLI] + args
        # A shell starts background jobs with SIGINT ignored, and the program
        # keeps it so (as nohup wants): here it must be able to arrive.
        return subprocess.run(command, cwd=top, env=traceable(), capture_output=True,
                              preexec_fn=default_signals)

    def wait_for_new_report(self, path):
        # Before main() the process cannot answer; from the report's emptying on it must.
        for _ in range(500):
            with open(path, 'rb') as f:
                if not f.read().startswith(b'OLD'):
                    return
            time.sleep(0.002)
        self.fail('the report was not emptied at the start')

    def test_a_signal_at_each_stage_closes_the_report_as_interrupted(self):
        if shutil.which('strace') is None:
            self.fail('strace is needed (scripts/install-deps installs it)')
        # stage, the call that marks it, arguments, whether the inputs are known
        stages = [
            ('gathering', 'getdents64', ['-r', '-o', 'out', 'data'], False),
            ('making the output folder', 'mkdir,mkdirat', ['-r', '-p', '-o', 'new/out', 'data'],
             False),
            ('making sub-folders', 'mkdir,mkdirat', ['-r', '--keep-tree', '-o', 'out', 'data'],
             True),
        ]
        for stage, call, args, known in stages:
            for number in (signal.SIGTERM, signal.SIGINT):
                with self.subTest(stage=stage, signal=number), \
                        tempfile.TemporaryDirectory() as top:
                    make_tree(top, 9)
                    os.mkdir(os.path.join(top, 'out'))
                    report = write(top, 'r.jsonl', '{"type":"totals","files":99}\n')
                    result = self.start_signalled(['--report', 'r.jsonl'] + args, top, call,
                                                  number)
                    self.assertEqual(result.returncode, -number, result.stderr)
                    lines = read_report(report)
                    self.assertEqual(lines[-1]['type'], 'totals')
                    self.assertTrue(lines[-1].get('interrupted'), lines)
                    files = [line for line in lines if line['type'] == 'file']
                    # The run's thread may go on a little before the signal's
                    # thread takes over: then inputs known by then are in too.
                    self.assertIn(len(files), [9] if known else [0, 9], lines)
                    self.assertTrue(all(line['status'] in ('stopped', 'converted')
                                        for line in files), lines)
                    self.assertEqual(lines[-1]['files'], len(files))
                    self.assertGreater(lines[-1]['stopped'] if known else 1, 0)

    def test_where_the_report_may_go(self):
        # report, other arguments, exit status, what the report file holds after
        # (None: no file), what out/x.xml holds after
        cases = [
            ('r.jsonl', ['-o', 'out'], 0, 'totals', 'new'),
            ('new/r.jsonl', ['-p', '-o', 'new'], 0, 'totals', 'old'),
            ('out/x.xml', ['-o', 'out'], 2, b'old', 'old'),
            ('out/sub/x.xml.gz', ['-r', '--keep-tree', '-o', 'out'], 2, b'old', 'old'),
            ('out/y.xml', ['-o', 'out'], 2, None, 'old'),
            ('other/x.xml', ['-o', 'out'], 0, 'totals', 'new'),
        ]
        for report, args, status, held, output in cases:
            with self.subTest(report=report), tempfile.TemporaryDirectory() as top:
                write(top, 'x.csv', 'v\r\n1\r\n')
                write(top, 'y.csv', 'v\r\n2\r\n')
                write(top, 'out/x.xml', 'old')
                os.makedirs(os.path.join(top, 'other'))
                if held == b'old':
                    write(top, report, 'old')
                inputs = ['.'] if '-r' in args else ['x.csv', 'y.csv']
                result = run(['--report', report] + args + inputs, top)
                self.assertEqual(result.returncode, status, result.stderr)
                path = os.path.join(top, report)
                if held is None:
                    self.assertFalse(os.path.exists(path))
                elif held == 'totals':
                    self.assertEqual(read_report(path)[-1]['type'], 'totals')
                else:
                    with open(path, 'rb') as f:
                        self.assertEqual(f.read(), held)
                with open(os.path.join(top, 'out/x.xml'), 'rb') as f:
                    self.assertEqual(f.read() == b'old', output == 'old')

    def test_a_report_linked_to_an_output_is_refused_before_it_is_emptied(self):
        for target in ('out/x.xml', 'out/y.xml'):  # one there, one to come
            with self.subTest(target), tempfile.TemporaryDirectory() as top:
                write(top, 'x.csv', 'v\r\n1\r\n')
                write(top, 'y.csv', 'v\r\n2\r\n')
                write(top, 'out/x.xml', 'old')
                os.symlink(os.path.join(top, target), os.path.join(top, 'r.jsonl'))
                result = run(['--report', 'r.jsonl', '-o', 'out', 'x.csv', 'y.csv'], top)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertEqual(tree_of(os.path.join(top, 'out')), {'x.xml': b'old'})

    def test_a_signal_at_any_moment_leaves_a_true_report(self):
        generator = random.Random(32)
        with tempfile.TemporaryDirectory() as top:
            make_tree(top, 400)
            for _ in range(12):
                shutil.rmtree(os.path.join(top, 'out'), ignore_errors=True)
                write(top, 'r.jsonl', 'OLD REPORT\n')
                process = subprocess.Popen(
                    [CLI, '-r', '-p', '--keep-tree', '--report', 'r.jsonl', '-o', 'out', 'data'],
                    cwd=top, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                    preexec_fn=default_signals)
                self.wait_for_new_report(os.path.join(top, 'r.jsonl'))
                time.sleep(generator.uniform(0, 0.25))
                process.send_signal(signal.SIGTERM)
                process.communicate()
                lines = read_report(os.path.join(top, 'r.jsonl'))
                totals = lines[-1]
                self.assertEqual(totals['type'], 'totals')
                # A signal after the totals ends the process but adds nothing.
                if totals.get('interrupted', False):
                    self.assertNotEqual(process.returncode, 0)
                else:
                    self.assertEqual(totals['converted'], 400, process.returncode)
                files = [line for line in lines if line['type'] == 'file']
                inputs = [line['input'] for line in files]
                self.assertEqual(len(inputs), len(set(inputs)))
                self.assertEqual(totals['files'], len(files))
                converted = {os.path.relpath(line['output'], 'out') for line in files
                             if line['status'] == 'converted'}
                written = set(tree_of(os.path.join(top, 'out'))) if os.path.isdir(
                    os.path.join(top, 'out')) else set()
                self.assertEqual(converted, written)


class DefaultJobs(unittest.TestCase):
    def threads_made(self, prefix, args, top):
        result = subprocess.run(prefix + ['strace', '-f', '-qq', '-e', 'trace=clone,clone3',
                                          '-o', 'trace.txt', CLI] + args,
                                cwd=top, env=traceable(), capture_output=True)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(top, 'trace.txt')) as f:
            return sum(1 for line in f if 'clone' in line and '= ' in line)

    def test_one_processor_allowed_converts_one_file_at_a_time(self):
        if len(os.sched_getaffinity(0)) < 2:
            self.skipTest('one processor: nothing to tell apart')
        with tempfile.TemporaryDirectory() as top:
            make_tree(top, 40)
            os.mkdir(os.path.join(top, 'out'))
            args = ['-r', '--no-sync', '-o', 'out', 'data']
            first, second = sorted(os.sched_getaffinity(0))[:2]
            pinned = self.threads_made(['taskset', '-c', str(first)], args, top)
            one_job = self.threads_made([], ['-j', '1'] + args, top)
            two_jobs = self.threads_made([], ['-j', '2'] + args, top)
            both = self.threads_made(['taskset', '-c', f'{first},{second}'], args, top)
            self.assertEqual(pinned, one_job)
            self.assertGreater(two_jobs, one_job)
            self.assertEqual(both, two_jobs)


if __name__ == '__main__':
    CLI = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=1)
