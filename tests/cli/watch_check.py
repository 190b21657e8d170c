#!/usr/bin/env python3
"""rowvane-cli --watch through the built program on real folders: each row
drops files into a watched inbox the way a writer would and waits for what
must become of them. Waits are on observable results with generous limits;
where a row proves that something was NOT done, it waits for a later file to
be done first, so the watcher had the time to do it.

Usage: watch_check.py ROWVANE_CLI
"""
import gzip
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

CLI = None
ROWS = b'a,b\r\n1,2\r\n'
XML = b'<XML>\r\n <row>\r\n  <a>1</a>\r\n  <b>2</b>\r\n </row>\r\n</XML>'
LIMIT = 120  # seconds: generous for a loaded machine


def wait_for(condition, what, limit=LIMIT):
    deadline = time.monotonic() + limit
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError('timed out waiting for ' + what)
        time.sleep(0.02)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


def read(path):
    with open(path, 'rb') as f:
        return f.read()


class Watch:
    """One watching rowvane-cli and its folders."""

    def __init__(self, root, args=(), done=True, failed=True, settle='0.3'):
        self.root = root
        self.inbox = os.path.join(root, 'in')
        self.out = os.path.join(root, 'out')
        self.done = os.path.join(root, 'done') if done is True else done
        self.failed = os.path.join(root, 'failed') if failed else None
        self.args = list(args)
        self.settle = settle
        for folder in (self.inbox, self.out, self.done, self.failed):
            if folder:
                os.makedirs(folder, exist_ok=True)
        self.process = None

    def start(self):
        args = [CLI, '--watch', self.inbox, '-o', self.out] + self.args
        if '--settle' not in self.args:
            args += ['--settle', self.settle]
        if self.done:
            args += ['--done', self.done]
        if self.failed:
            args += ['--failed', self.failed]
        self.err = open(os.path.join(self.root, 'err.%d' % time.monotonic_ns()), 'w+b')
        self.process = subprocess.Popen(args, stderr=self.err, stdin=subprocess.DEVNULL)
        wait_for(self.watching, 'the watch to be set up')
        return self

    def watching(self):
        """True once the inbox's inotify watch shows in /proc."""
        fdinfo = '/proc/%d/fdinfo' % self.process.pid
        try:
            for fd in os.listdir(fdinfo):
                with open(os.path.join(fdinfo, fd)) as f:
                    if 'inotify wd:' in f.read():
                        return True
        except FileNotFoundError:
            pass
        return self.process.poll() is not None

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.err.close()

    def stop(self, sig=signal.SIGTERM):
        self.process.send_signal(sig)
        return self.process.wait(LIMIT)

    def errors(self):
        self.err.flush()
        self.err.seek(0)
        return self.err.read().decode('utf-8', 'replace')

    def drop(self, name, data=ROWS, mtime_ns=None):
        """Written beside the inbox, then moved in: a writer's usual hand-over."""
        staging = os.path.join(self.root, 'staging', name)
        write(staging, data)
        if mtime_ns is not None:
            os.utime(staging, ns=(mtime_ns, mtime_ns))
        os.makedirs(os.path.dirname(os.path.join(self.inbox, name)), exist_ok=True)
        os.rename(staging, os.path.join(self.inbox, name))

    def output(self, name):
        return os.path.join(self.out, name)

    def wait_output(self, name, content=None):
        path = self.output(name)
        wait_for(lambda: os.path.exists(path) and (content is None or read(path) == content),
                 path + (' with the expected content' if content else ''))

    def wait_done(self, name):
        wait_for(lambda: os.path.exists(os.path.join(self.done, name)), name + ' in done')

    def reading(self, path):
        """True while the watcher holds `path` open."""
        fds = '/proc/%d/fd' % self.process.pid
        try:
            return any(os.readlink(os.path.join(fds, fd)) == path for fd in os.listdir(fds))
        except FileNotFoundError:
            return False

    def temporaries(self):
        return [n for n in os.listdir(self.out) if n.startswith('.rowvane-')]


def paused_writer(test, w):
    held = open(os.path.join(w.inbox, 'held.csv'), 'wb')
    held.write(b'a,b\r\n1,2\r\n')
    held.flush()
    w.drop('marker.csv')  # quiet for longer than the settle time once this is done
    w.wait_output('marker.xml')
    test.assertFalse(os.path.exists(w.output('held.xml')), 'taken while held open')
    held.write(b'3,4\r\n')
    held.close()
    w.wait_done('held.csv')
    w.wait_output('held.xml')
    test.assertIn(b'<a>3</a>', read(w.output('held.xml')))


def reopened_and_extended(test, w):
    path = os.path.join(w.inbox, 'grown.csv')
    write(path, b'a,b\r\n1,2\r\n')
    with open(path, 'ab') as f:  # reopened before it settled
        f.write(b'3,4\r\n')
    w.wait_done('grown.csv')
    test.assertIn(b'<a>3</a>', read(w.output('grown.xml')))


def reopened_after_taken(test, w):
    path = os.path.join(w.inbox, 'kept.csv')
    write(path, ROWS)
    w.wait_output('kept.xml', XML)
    with open(path, 'ab') as f:
        f.write(b'3,4\r\n')
    wait_for(lambda: b'<a>3</a>' in read(w.output('kept.xml')), 'the output made again')


def moved_in(test, w):
    w.drop('moved.csv')
    w.wait_done('moved.csv')
    test.assertEqual(read(w.output('moved.xml')), XML)
    test.assertFalse(os.path.exists(os.path.join(w.inbox, 'moved.csv')))


def hard_linked(test, w):
    source = os.path.join(w.root, 'linked-source.csv')
    write(source, ROWS)
    os.link(source, os.path.join(w.inbox, 'linked.csv'))
    w.wait_done('linked.csv')
    test.assertEqual(read(w.output('linked.xml')), XML)


def unnamed_then_linked(test, w):
    # Written while it has no name, then given one: the create is all that shows.
    fd = os.open(w.inbox, os.O_TMPFILE | os.O_WRONLY, 0o644)
    inbox = os.open(w.inbox, os.O_RDONLY | os.O_DIRECTORY)
    try:
        os.write(fd, ROWS)
        # With a folder given, link follows the descriptor's name (linkat, AT_SYMLINK_FOLLOW).
        os.link('/proc/self/fd/%d' % fd, 'unnamed.csv', dst_dir_fd=inbox)
    finally:
        os.close(fd)
        os.close(inbox)
    w.wait_done('unnamed.csv')
    test.assertEqual(read(w.output('unnamed.xml')), XML)


def symlink_not_followed(test, w):
    source = os.path.join(w.root, 'elsewhere.csv')
    write(source, ROWS)
    os.symlink(source, os.path.join(w.inbox, 'pointer.csv'))
    w.drop('after.csv')
    w.wait_done('after.csv')
    test.assertFalse(os.path.exists(w.output('pointer.xml')))
    test.assertTrue(os.path.islink(os.path.join(w.inbox, 'pointer.csv')))


def burst(test, w):
    for i in range(1000):
        w.drop('b%04d.csv' % i, b'n\r\n%d\r\n' % i)
    wait_for(lambda: len(os.listdir(w.done)) == 1000, '1000 files in done')
    test.assertEqual(sorted(os.listdir(w.inbox)), [])
    test.assertIn(b'<n>999</n>', read(w.output('b0999.xml')))


def overflow(test, w):
    # Stopped, the watcher reads no events; a drop of many files overflows the
    # kernel's queue (16384 events by default; three per file written).
    os.kill(w.process.pid, signal.SIGSTOP)
    for i in range(6000):
        write(os.path.join(w.inbox, 'o%04d.csv' % i), b'n\r\n%d\r\n' % i)
    os.kill(w.process.pid, signal.SIGCONT)
    wait_for(lambda: len(os.listdir(w.done)) == 6000, '6000 files in done')
    test.assertIn('events were lost', w.errors())


def terminated_mid_file(test, w):
    row = b'x' * 4000 + b',' + b'y' * 4000 + b'\r\n'
    w.drop('big.csv', b'a,b\r\n' + row * 5000)
    big = os.path.join(w.inbox, 'big.csv')
    wait_for(lambda: w.reading(big), 'big.csv being read')
    os.kill(w.process.pid, signal.SIGSTOP)  # held in the middle of the file
    test.assertTrue(w.reading(big))
    w.process.send_signal(signal.SIGTERM)
    os.kill(w.process.pid, signal.SIGCONT)
    test.assertEqual(w.process.wait(LIMIT), 0)
    test.assertEqual(w.temporaries(), [])
    test.assertFalse(os.path.exists(w.output('big.xml')))
    test.assertTrue(os.path.exists(os.path.join(w.inbox, 'big.csv')))


def failed_input(test, w):
    w.drop('broken.csv.gz', b'not gzip at all')
    wait_for(lambda: os.path.exists(os.path.join(w.failed, 'broken.csv.gz.error.txt')),
             'the error note')
    test.assertTrue(read(os.path.join(w.failed, 'broken.csv.gz.error.txt')).strip())
    test.assertEqual(read(os.path.join(w.failed, 'broken.csv.gz')), b'not gzip at all')
    test.assertFalse(os.path.exists(w.output('broken.csv.xml')))


def done_across_file_systems(test, w):
    test.assertNotEqual(os.stat(w.done).st_dev, os.stat(w.inbox).st_dev)
    write(os.path.join(w.done, 'same.csv'), b'already here')
    w.drop('same.csv', ROWS, mtime_ns=1_000_000_000)
    w.wait_done('same-1.csv')
    test.assertEqual(read(os.path.join(w.done, 'same-1.csv')), ROWS)
    test.assertEqual(os.stat(os.path.join(w.done, 'same-1.csv')).st_mtime_ns, 1_000_000_000)
    test.assertEqual(read(os.path.join(w.done, 'same.csv')), b'already here')
    test.assertFalse(os.path.exists(os.path.join(w.inbox, 'same.csv')))
    test.assertEqual([n for n in os.listdir(w.done) if n.startswith('.')], [])


def restart_without_done(test, w):
    w.drop('kept.csv')
    w.wait_output('kept.xml', XML)
    test.assertEqual(w.stop(), 0)
    first = os.stat(w.output('kept.xml')).st_mtime_ns
    w.err.close()
    w.start()
    w.drop('second.csv')
    w.wait_output('second.xml')
    test.assertEqual(os.stat(w.output('kept.xml')).st_mtime_ns, first)
    # A file's report line follows its output's taking its name.
    report_path = os.path.join(w.root, 'report.jsonl')
    wait_for(lambda: len(read(report_path).decode().splitlines()) >= 2, 'the second report line')
    report = read(report_path).decode().splitlines()
    test.assertEqual(len(report), 2)  # appended by the second run, one line per file


def sub_folder_later(test, w):
    os.makedirs(os.path.join(w.inbox, 'new', 'deeper'))
    w.drop('new/deeper/inner.csv')
    w.wait_output('new/deeper/inner.xml', XML)


def inbox_removed(test, w):
    shutil.rmtree(w.inbox)
    test.assertEqual(w.process.wait(LIMIT), 1)
    test.assertIn('gone', w.errors())


def interrupted_when_idle(test, w):
    w.drop('one.csv')
    w.wait_done('one.csv')
    test.assertEqual(w.stop(signal.SIGINT), 0)


class Rows(unittest.TestCase):
    # name, scenario, extra arguments, done folder (True: beside the inbox;
    # None: no --done; 'tmpfs': on /dev/shm), files already in the inbox.
    # The settle time is short (0.3 s) except where a row writes twice
    # without a pause of its own: there 5 s leave a loaded machine room.
    CASES = [
        ('writer that pauses', paused_writer, [], True, {}),
        ('reopened and extended before it settled', reopened_and_extended, ['--settle', '5'],
         True, {}),
        ('extended after it was taken', reopened_after_taken, [], None, {}),
        ('moved in', moved_in, [], True, {}),
        ('hard-linked drop', hard_linked, [], True, {}),
        ('unnamed temporary file linked in', unnamed_then_linked, [], True, {}),
        ('symbolic link', symlink_not_followed, [], True, {}),
        ('burst of 1000 files', burst, ['-j', '2'], True, {}),
        ('lost events', overflow, ['-j', '2'], True, {}),
        ('SIGTERM in the middle of a file', terminated_mid_file, [], True, {}),
        ('failed input', failed_input, [], True, {}),
        ('--done on another file system', done_across_file_systems, [], 'tmpfs', {}),
        ('restart without --done', restart_without_done, ['--report', 'REPORT'], None, {}),
        ('sub-folder made while watching', sub_folder_later, ['-r', '--keep-tree'], True, {}),
        ('INBOX removed', inbox_removed, [], True, {}),
        ('SIGINT while idle', interrupted_when_idle, [], True, {}),
        ('files there before the start', lambda test, w: w.wait_done('early.csv'), [], True,
         {'early.csv': ROWS}),
    ]

    def test_rows(self):
        only = os.environ.get('WATCH_ROWS')
        for name, scenario, args, done, present in self.CASES:
            if only and only not in name:
                continue
            with self.subTest(name), tempfile.TemporaryDirectory() as root, \
                    tempfile.TemporaryDirectory(dir='/dev/shm') as shm:
                for file, data in present.items():
                    write(os.path.join(root, 'in', file), data)
                args = [a.replace('REPORT', os.path.join(root, 'report.jsonl')) for a in args]
                w = Watch(root, args, done=os.path.join(shm, 'done') if done == 'tmpfs' else done)
                w.start()
                try:
                    scenario(self, w)
                finally:
                    w.close()


class Limits(unittest.TestCase):
    """The kernel's inotify limits, lowered for real in a user namespace of
    the watcher's own (the rest of the machine keeps its limits)."""
    # limit, its value, sub-folders at the start, sub-folders made later,
    # what the message must say
    CASES = [
        ('max_inotify_watches', 3, 5, 0, 'the limit of watched folders is reached'),
        ('max_inotify_watches', 3, 1, 4, 'the limit of watched folders is reached'),
        ('max_inotify_instances', 0, 0, 0, 'fs.inotify.max_user_instances'),
    ]

    def test_rows(self):
        for limit, value, at_start, later, message in self.CASES:
            with self.subTest('%s=%d, %d+%d sub-folders' % (limit, value, at_start, later)), \
                    tempfile.TemporaryDirectory() as root:
                inbox, out = os.path.join(root, 'in'), os.path.join(root, 'out')
                for i in range(at_start):
                    os.makedirs(os.path.join(inbox, 's%d' % i))
                os.makedirs(out)
                os.makedirs(inbox, exist_ok=True)
                script = 'echo %d >/proc/sys/user/%s && exec "$@"' % (value, limit)
                args = ['unshare', '--user', '--map-root-user', 'sh', '-c', script, 'sh', CLI,
                        '--watch', inbox, '-o', out, '-r', '--settle', '0.1']
                if subprocess.run(['unshare', '--user', '--map-root-user', 'true']).returncode:
                    self.skipTest('no user namespace can be made here to lower the limit in')
                err = open(os.path.join(root, 'err'), 'w+b')
                process = subprocess.Popen(args, stderr=err, stdin=subprocess.DEVNULL)
                try:
                    if later:
                        time.sleep(0.5)  # a watch taken first: the folders must come later
                        for i in range(later):
                            os.makedirs(os.path.join(inbox, 'late%d' % i))
                    self.assertEqual(process.wait(LIMIT), 1)
                finally:
                    if process.poll() is None:
                        process.kill()
                        process.wait()
                err.seek(0)
                self.assertIn(message, err.read().decode())
                err.close()


class Usage(unittest.TestCase):
    # arguments (IN, OUT and TMP stand for the inbox, the output folder and
    # the temporary folder), what the message must say
    CASES = [
        (['--done', 'OUT', '-o', 'OUT', 'IN/x.csv'], '--done needs --watch'),
        (['--failed', 'OUT', '-o', 'OUT', 'IN/x.csv'], '--failed needs --watch'),
        (['--watch', 'IN', '-o', 'OUT', 'IN/x.csv'], 'give no INPUT'),
        (['--watch', 'IN', '-O', 'TMP/x.xml'], '-O cannot be used with --watch'),
        (['--watch', 'IN', '-o', 'OUT', '--dry-run'], '--dry-run cannot be used with --watch'),
        (['--watch', 'IN', '-o', 'OUT', '--shard', '0/2'], '--shard cannot be used'),
        (['--watch', 'IN', '-o', 'IN/sub'], "-o '{in}/sub' is inside the watched INBOX"),
        (['--watch', 'IN', '-o', 'OUT', '--done', 'IN'], 'is inside the watched INBOX'),
        (['--watch', 'IN', '-o', 'OUT', '--failed', 'IN/f'], 'is inside the watched INBOX'),
        (['--watch', 'IN', '-o', 'OUT', '--report', 'IN/r.jsonl'], 'is inside the watched'),
        (['--watch', 'TMP/none', '-o', 'OUT'], 'No such file'),
        (['--watch', 'IN', '-o', 'OUT', '--done', 'TMP/none'], 'no such folder'),
        (['--watch', 'FUSE', '-o', 'OUT'], 'is on FUSE'),
    ]

    def test_rows(self):
        for args, message in self.CASES:
            with self.subTest(' '.join(args)), tempfile.TemporaryDirectory() as root:
                places = {'IN': os.path.join(root, 'in'), 'OUT': os.path.join(root, 'out'),
                          'TMP': root, 'FUSE': os.path.join(root, 'fuse')}
                for folder in ('in', 'in/sub', 'out', 'fuse'):
                    os.makedirs(os.path.join(root, folder))
                mounted = 'FUSE' in args and self.mount_fuse(places['IN'], places['FUSE'])
                try:
                    typed = [places.get(a.split('/')[0], a.split('/')[0]) +
                             a[len(a.split('/')[0]):] for a in args]
                    result = subprocess.run([CLI] + typed, capture_output=True, timeout=LIMIT)
                    self.assertEqual(result.returncode, 2, result.stderr)
                    self.assertIn(message.format(**{'in': places['IN']}), result.stderr.decode())
                finally:
                    if mounted:
                        subprocess.run(['umount', places['FUSE']], check=True)

    def mount_fuse(self, source, target):
        # bindfs (scripts/install-deps) gives a real FUSE mount of a local folder.
        subprocess.run(['bindfs', source, target], check=True)
        return True


if __name__ == '__main__':
    CLI = os.path.abspath(sys.argv.pop(1))
    unittest.main()
