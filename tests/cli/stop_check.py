#!/usr/bin/env python3
"""A termination signal while a group of finished outputs waits for its
commit, through the built program: two small files are written and wait in
their group while a large third one is being converted; the program is held
(SIGSTOP) inside the third, sent the signal, and let go. The two waiting
outputs must be dropped, said on standard error and reported "stopped" with
the third, and nothing may be left under an output name.

Usage: stop_check.py ROWVANE_CLI
"""
import json
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

CLI = None
LIMIT = 120
WAITING = ['a.csv', 'b.csv']
LARGE = 'c.csv'


def wait_for(condition, what):
    deadline = time.monotonic() + LIMIT
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError('timed out waiting for ' + what)
        time.sleep(0.002)


def open_files(pid):
    fds = '/proc/%d/fd' % pid
    try:
        return [os.readlink(os.path.join(fds, fd)) for fd in os.listdir(fds)]
    except (FileNotFoundError, ProcessLookupError):
        return []


def inside_large_with_others_written(pid, inbox, out):
    """The large input open, the small ones read and closed, and three outputs
    open: the two written ones waiting in their group, and the large one's."""
    files = open_files(pid)
    return (os.path.join(inbox, LARGE) in files
            and not any(os.path.join(inbox, name) in files for name in WAITING)
            and len([f for f in files if f.startswith(out + '/')]) == 3)


class SignalInsideGroup(unittest.TestCase):
    # how it runs, the signal, jobs, the exit status (-N: ended by signal N), whether the report ends with totals
    CASES = [
        ('batch', signal.SIGTERM, '1', -signal.SIGTERM, True),
        ('batch', signal.SIGINT, '2', -signal.SIGINT, True),
        ('watch', signal.SIGTERM, '1', 0, False),
    ]

    def test_rows(self):
        for mode, sig, jobs, status, totals in self.CASES:
            with self.subTest('%s %s -j%s' % (mode, sig.name, jobs)), \
                    tempfile.TemporaryDirectory() as root:
                self.check(root, mode, sig, jobs, status, totals)

    def check(self, root, mode, sig, jobs, status, totals):
        inbox, out = os.path.join(root, 'in'), os.path.join(root, 'out')
        os.makedirs(inbox)
        os.makedirs(out)
        for i, name in enumerate(WAITING):
            with open(os.path.join(inbox, name), 'wb') as f:
                f.write(b'n\r\n%d\r\n' % i)
        with open(os.path.join(inbox, LARGE), 'wb') as f:
            f.write(b'a,b\r\n' + (b'x' * 60 + b',' + b'y' * 60 + b'\r\n') * 300000)
        report = os.path.join(root, 'report.jsonl')
        if mode == 'watch':
            args = ['--watch', inbox, '--settle', '0.1']
        else:
            args = [os.path.join(inbox, n) for n in WAITING + [LARGE]]
        err = open(os.path.join(root, 'err'), 'w+b')
        # A program started here would ignore SIGINT were it started in the background.
        process = subprocess.Popen([CLI, '-q', '-j', jobs, '-o', out, '--report', report] + args,
                                   stderr=err, stdin=subprocess.DEVNULL,
                                   preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
        try:
            held = lambda: inside_large_with_others_written(process.pid, inbox, out)
            wait_for(held, 'the large file to be read, the others written')
            os.kill(process.pid, signal.SIGSTOP)
            self.assertTrue(held(), 'held inside the large file')
            process.send_signal(sig)
            os.kill(process.pid, signal.SIGCONT)
            self.assertEqual(process.wait(LIMIT), status)
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
        err.seek(0)
        errors = err.read().decode()
        err.close()
        self.assertEqual(os.listdir(out), [], 'outputs or temporary files left')
        for name in WAITING:
            self.assertIn('%s: stopped before its output took its name; not converted'
                          % os.path.join(inbox, name), errors)
        self.assertNotIn(LARGE + ': stopped', errors)
        with open(report) as f:
            lines = [json.loads(line) for line in f]
        files = {os.path.basename(line['input']): line for line in lines if line['type'] == 'file'}
        self.assertEqual(sorted(files), sorted(WAITING + [LARGE]))
        for name, line in files.items():
            self.assertEqual(line['status'], 'stopped', name)
            written = name in WAITING
            self.assertEqual(line['reason'], 'stopped before its output took its name' if written
                             else 'stopped before it was converted')
        self.assertEqual(lines[-1]['type'] == 'totals', totals)
        if totals:
            self.assertEqual(lines[-1]['converted'], 0)
        for name in WAITING + [LARGE]:
            self.assertTrue(os.path.exists(os.path.join(inbox, name)), name + ' left the inbox')


if __name__ == '__main__':
    CLI = os.path.abspath(sys.argv.pop(1))
    unittest.main()
