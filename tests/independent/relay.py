#!/usr/bin/python3
"""A slow line in front of a Modbus RTU slave: every reply is passed on in
order, each one a random time after its request, some of them after q7's
1 s time-out, as a slow radio link or a busy gateway answers.

It shares no code with q7. It takes one request at a time: each goes on to
the slave once the one before it has had its reply, or the relay has waited
--reply-wait seconds for it (an absent id), so requests that come faster
queue up in front of it. Each reply is held until its request's delay has
passed, and never passed on ahead of an earlier one.

usage: relay.py DIR TARGET [--max-delay SECONDS] [--reply-wait SECONDS] [--seed N]
  DIR/master   the device q7 opens (a link to a pseudo-terminal)
  DIR/ready    made once the relay listens
  TARGET       the slave's device
"""
import argparse
import os
import random
import select
import signal
import subprocess
import sys
import termios
import threading
import time
import tty
import queue

args = argparse.ArgumentParser()
args.add_argument('dir')
args.add_argument('target')
args.add_argument('--max-delay', type=float, default=1.15)
args.add_argument('--reply-wait', type=float, default=0.5)
args.add_argument('--seed', type=int, default=1)
opts = args.parse_args()

os.makedirs(opts.dir, exist_ok=True)
near = os.path.join(opts.dir, 'near')
master = os.path.join(opts.dir, 'master')
line = subprocess.Popen(['socat', f'pty,raw,echo=0,link={near}', f'pty,raw,echo=0,link={master}'])
for _ in range(200):
    if os.path.exists(near) and os.path.exists(master):
        break
    time.sleep(0.02)


def open_raw(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    return fd


def read_frame(fd, deadline):
    """One reply from the slave, its length told by its own bytes."""
    frame = b''
    while True:
        if len(frame) >= 2:
            function = frame[1]
            if function & 0x80:
                length = 5
            elif function == 0x03 and len(frame) >= 3:
                length = 5 + frame[2]
            elif function == 0x06:
                length = 8
            else:
                length = None
            if length is not None and len(frame) >= length:
                return frame[:length]
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            return None
        frame += os.read(fd, 256)


near_fd = open_raw(near)
target_fd = open_raw(opts.target)
delays = random.Random(opts.seed)
requests = queue.Queue()


def take_requests():
    """q7's requests, 8 bytes each, with the time each came in."""
    pending = b''
    while True:
        pending += os.read(near_fd, 256)
        while len(pending) >= 8:
            requests.put((time.monotonic(), pending[:8]))
            pending = pending[8:]


threading.Thread(target=take_requests, daemon=True).start()


def answer_in_order():
    due = 0.0
    while True:
        came, request = requests.get()
        termios.tcflush(target_fd, termios.TCIFLUSH)
        os.write(target_fd, request)
        reply = read_frame(target_fd, time.monotonic() + opts.reply_wait)
        if reply is None:
            continue
        due = max(came + delays.uniform(0.0, opts.max_delay), due)
        time.sleep(max(0.0, due - time.monotonic()))
        os.write(near_fd, reply)


def stop(*_):
    line.terminate()
    sys.exit(0)


signal.signal(signal.SIGTERM, stop)
open(os.path.join(opts.dir, 'ready'), 'w').close()
try:
    answer_in_order()
finally:
    line.terminate()
