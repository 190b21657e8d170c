#!/usr/bin/env python3
"""rowvane-cli on a cluster, through the built program: shares taken from the
job runner's variables, the totals' "shard".

Usage: cluster_check.py ROWVANE_CLI
"""
import json
import os
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


if __name__ == '__main__':
    CLI = sys.argv[1]
    unittest.main(argv=sys.argv[:1], verbosity=1)
