#!/usr/bin/env python3
"""Writes the kept state logs of the recorded flights (tests/data/NAME.golden.gz): the headless
runner's replay log with the obstacle positions replaced by a 64-bit FNV-1a digest of their text.
Run only when a change to the simulation is meant to change the logs, and say so in the commit.
Usage: scripts/make-golden-logs.py BUILD_DIR"""
import gzip, os, subprocess, sys, tempfile

KEY = '"obstaclePositions":'

def digest(text):
    h = 14695981039346656037
    for c in text.encode():
        h ^= c
        h = (h * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return '%016x' % h

def with_digest(line):
    at = line.find(KEY)
    if at < 0:
        return line
    begin = at + len(KEY)
    end = line.index(']]', begin) + 2
    return line[:at] + '"obstacleDigest":"' + digest(line[begin:end]) + '"' + line[end:]

def main():
    build = sys.argv[1] if len(sys.argv) > 1 else 'build'
    data = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'data')
    for name in ('keyboard_flight', 'mouse_flight'):
        with tempfile.NamedTemporaryFile(suffix='.jsonl') as log:
            subprocess.run([os.path.abspath(os.path.join(build, 'dravik-headless')), '--no-gl', '--log-obstacles',
                            '--replay', os.path.join(data, name + '.dvk'), '--state-log', log.name],
                           check=True, stderr=subprocess.DEVNULL, cwd=build)
            lines = [with_digest(l.rstrip('\n')) for l in open(log.name)]
        out = os.path.join(data, name + '.golden.gz')
        with gzip.GzipFile(out, 'wb', mtime=0) as f:
            f.write(''.join(l + '\n' for l in lines).encode())
        print('%s: %d steps' % (out, len(lines)))

main()
