#!/usr/bin/python3
"""A cheap Modbus TCP gateway in front of a Modbus RTU slave's serial line.

It shares no code with q7. Each request is written to the serial line and
the first whole frame read off it is the reply, under the request's
transaction id; when none comes within the gateway's serial time-out, it
answers exception 0B. It never empties its serial side: an answer that came
after the time-out is the reply to the next request. Optionally it spoils
replies on the TCP side: cuts one short (the rest never comes), or sends a
header whose length is not the frame's. With --routes it knows which unit
ids sit on its serial side, and answers any other id (such as 248) itself,
at once, with exception 0B, without touching the serial line.

usage: lazy_gateway.py DIR TARGET --tcp [--serial-timeout S] [--cut-every N]
                       [--lie-every N] [--routes ID,ID...]
  DIR/port      the loopback port it listens on
  DIR/ready     made once it listens
  DIR/requests.log  each request received, in hex
  TARGET        the slave's serial device
"""
import argparse
import os
import select
import signal
import socket
import struct
import sys
import threading
import time
import tty

args = argparse.ArgumentParser()
args.add_argument('dir')
args.add_argument('target')
args.add_argument('--tcp', action='store_true')
args.add_argument('--serial-timeout', type=float, default=0.9)
args.add_argument('--cut-every', type=int, default=0)
args.add_argument('--lie-every', type=int, default=0)
args.add_argument('--routes', default='')
opts = args.parse_args()
routes = {int(unit) for unit in opts.routes.split(',') if unit}


def crc16(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return bytes([crc & 0xFF, crc >> 8])


def frame_length(frame):
    """The whole frame's length, once its first bytes tell it."""
    if len(frame) < 2:
        return None
    if frame[1] & 0x80:
        return 5
    if frame[1] in (0x03, 0x04):
        return 5 + frame[2] if len(frame) >= 3 else None
    return 8


serial_fd = os.open(opts.target, os.O_RDWR | os.O_NOCTTY)
tty.setraw(serial_fd)
pending = bytearray()  # what came off the serial line and is not handed out yet
lock = threading.Lock()  # one request on the serial line at a time
replies = 0
log = open(os.path.join(opts.dir, 'requests.log'), 'a', buffering=1)


def read_frame(deadline):
    global pending
    while True:
        length = frame_length(pending)
        if length is not None and len(pending) >= length:
            frame = bytes(pending[:length])
            del pending[:length]
            return frame
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([serial_fd], [], [], left)[0]:
            return None
        pending += os.read(serial_fd, 256)


def spoil(reply):
    """Every Nth reply cut short, or with a length that is not its own."""
    global replies
    replies += 1
    if opts.cut_every and replies % opts.cut_every == 0:
        return reply[:len(reply) - 3]
    if opts.lie_every and replies % opts.lie_every == 0:
        length = struct.unpack('>H', reply[4:6])[0]
        wrong = length + 2 if replies % 2 else length - 1
        return reply[:4] + struct.pack('>H', wrong) + reply[6:]
    return reply


def recv_exactly(conn, count):
    data = b''
    while len(data) < count:
        more = conn.recv(count - len(data))
        if not more:
            return None
        data += more
    return data


def serve(conn):
    with conn:
        while True:
            header = recv_exactly(conn, 7)
            if header is None:
                return
            tid, _, length, unit = struct.unpack('>HHHB', header)
            pdu = recv_exactly(conn, length - 1)
            if pdu is None:
                return
            log.write((header + pdu).hex(' ').upper() + '\n')
            rtu = bytes([unit]) + pdu
            if routes and unit not in routes:
                body = bytes([unit, pdu[0] | 0x80, 0x0B])
                conn.sendall(struct.pack('>HHH', tid, 0, len(body)) + body)
                continue
            with lock:
                os.write(serial_fd, rtu + crc16(rtu))
                frame = read_frame(time.monotonic() + opts.serial_timeout)
                if frame is None or crc16(frame[:-2]) != frame[-2:]:
                    body = bytes([unit, pdu[0] | 0x80, 0x0B])
                else:
                    body = frame[:-2]
                reply = struct.pack('>HHH', tid, 0, len(body)) + body
                conn.sendall(spoil(reply))


listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(('127.0.0.1', 0))
listener.listen(4)
with open(os.path.join(opts.dir, 'port.new'), 'w') as f:
    f.write(f'{listener.getsockname()[1]}\n')
os.rename(os.path.join(opts.dir, 'port.new'), os.path.join(opts.dir, 'port'))
signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
open(os.path.join(opts.dir, 'ready'), 'w').close()
while True:
    connection, _ = listener.accept()
    connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    threading.Thread(target=serve, args=(connection,), daemon=True).start()
