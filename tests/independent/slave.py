#!/usr/bin/python3
"""A Modbus slave that shares no code with q7 or its simulator.

It is built on pymodbus (Debian's python3-pymodbus) and answers on one end of
a pseudo-terminal pair made by socat, q7 opening the other end; or, with
--tcp, as a Modbus TCP server on a loopback port. Every request it receives is
logged as hex bytes (an RTU frame with its CRC recomputed by pymodbus, or the
Modbus TCP frame), so a test can compare what reached the controller with
what the program meant to send.

usage: slave.py DIR [options]
  DIR/master        the device q7 opens (a link to a pseudo-terminal)
  DIR/port          with --tcp: the port listened on, on 127.0.0.1
  DIR/requests.log  one request a line, e.g. "01 03 10 00 00 01 80 CA"
  DIR/ready         made once the slave answers
options:
  --id N[,N...]          slave addresses, each a controller of its own (default 1)
  --set [ID:]REG=VALUE   a holding register's value, of every id or of ID (repeatable)
  --tcp                  serve Modbus TCP on 127.0.0.1 instead, on a free port
  --refuse-write REG[:CODE]  answer a write of REG with exception CODE (3)
  --refuse-read REG[:CODE]   answer a read starting at REG with exception CODE (2)
  --drop-every N         say nothing to every Nth request
  --silent               say nothing at all
"""
import argparse
import asyncio
import select
import termios
import tty
import logging
import os
import signal
import subprocess
import sys
import time

from pymodbus.datastore import ModbusServerContext, ModbusSlaveContext, ModbusSparseDataBlock
from pymodbus.pdu import ExceptionResponse
from pymodbus.server import StartAsyncSerialServer
import pymodbus.server.async_io as async_io
from pymodbus.transaction import ModbusRtuFramer, ModbusSocketFramer
from pymodbus.utilities import computeCRC


def number(text):
    return int(text, 0)


def register_and_code(default_code):
    def parse(text):
        reg, _, code = text.partition(':')
        return number(reg), (number(code) if code else default_code)
    return parse


args = argparse.ArgumentParser()
args.add_argument('dir')
args.add_argument('--id', type=lambda text: [number(i) for i in text.split(',')], default=[1])
args.add_argument('--set', action='append', default=[])
args.add_argument('--refuse-write', type=register_and_code(3), action='append', default=[])
args.add_argument('--refuse-read', type=register_and_code(2), action='append', default=[])
args.add_argument('--drop-every', type=number, default=0)
args.add_argument('--silent', action='store_true')
args.add_argument('--tcp', action='store_true')
opts = args.parse_args()
# Being stopped is how every test ends; pymodbus would call it an error.
logging.disable(logging.CRITICAL)

os.makedirs(opts.dir, exist_ok=True)
slave_end = os.path.join(opts.dir, 'slave')
master_end = os.path.join(opts.dir, 'master')
line = None
if not opts.tcp:
    line = subprocess.Popen(['socat', f'pty,raw,echo=0,link={slave_end}',
                             f'pty,raw,echo=0,link={master_end}'])
    for _ in range(200):
        if os.path.exists(slave_end) and os.path.exists(master_end):
            break
        time.sleep(0.02)

# A controller as it might stand on a bench: model '@', one decimal place,
# SV 25.0, Lo/Hi -200.0/1200.0, PV 23.4.
registers = {r: 0 for r in list(range(0x0000, 0x0060)) + list(range(0x1000, 0x1010)) + [0x1F00]}
registers.update({0x1F00: 0x4001, 0x0000: 250, 0x0003: 1, 0x0004: 1000, 0x0005: 10,
                  0x0021: 1, 0x0023: 0xF830, 0x0024: 12000, 0x1000: 234, 0x1001: 250})
held = {unit: dict(registers) for unit in opts.id}
for item in opts.set:
    target, _, value = item.partition('=')
    unit, _, reg = target.rpartition(':')
    for u in ([number(unit)] if unit else opts.id):
        held[u][number(reg)] = number(value) & 0xFFFF


def controller(values):
    block = ModbusSparseDataBlock(values)
    return ModbusSlaveContext(hr=block, ir=block, zero_mode=True)


context = ModbusServerContext(slaves={u: controller(held[u]) for u in opts.id}, single=False)
log = open(os.path.join(opts.dir, 'requests.log'), 'a', buffering=1)
seen = 0
answer = async_io.ModbusBaseRequestHandler.execute
# Until the slave has answered its own first request it is not ready: that
# request is answered as asked, and neither logged nor counted.
warming = not opts.tcp


def execute(handler, request, *addr):
    global seen
    if warming:
        answer(handler, request, *addr)
        return
    seen += 1
    frame = bytes([request.unit_id, request.function_code]) + request.encode()
    if opts.tcp:
        tid = request.transaction_id
        frame = bytes([tid >> 8, tid & 0xFF, 0, 0, 0, len(frame)]) + frame
    else:
        crc = computeCRC(frame)
        frame += bytes([crc >> 8, crc & 0xFF])
    log.write(frame.hex(' ').upper() + '\n')
    if opts.silent or (opts.drop_every and seen % opts.drop_every == 0):
        return
    refusals = opts.refuse_write if request.function_code == 6 else opts.refuse_read
    for reg, code in refusals:
        if getattr(request, 'address', None) == reg:
            reply = ExceptionResponse(request.function_code, code)
            reply.transaction_id = request.transaction_id
            reply.unit_id = request.unit_id
            handler.send(reply, *addr)
            return
    answer(handler, request, *addr)


async_io.ModbusBaseRequestHandler.execute = execute


def ready():
    open(os.path.join(opts.dir, 'ready'), 'w').close()


def answered_once():
    """Asks PV of the first id over the line until the reply comes: the
    server has the port open then, and no request of a test can be lost to
    a port nobody reads yet."""
    frame = bytes([opts.id[0], 0x03, 0x10, 0x00, 0x00, 0x01])
    crc = computeCRC(frame)
    frame += bytes([crc >> 8, crc & 0xFF])
    fd = os.open(master_end, os.O_RDWR | os.O_NOCTTY)
    try:
        tty.setraw(fd)
        # A loaded machine answers late: a request is asked again only after
        # three seconds without a reply, and what a repeat brings back late
        # is read here, not left on the line for the test's own request.
        for _ in range(20):
            termios.tcflush(fd, termios.TCIFLUSH)
            os.write(fd, frame)
            got = b''
            while len(got) < 7 and select.select([fd], [], [], 3.0)[0]:
                got += os.read(fd, 7 - len(got))
            if len(got) == 7:
                while select.select([fd], [], [], 0.3)[0]:
                    os.read(fd, 256)
                return True
        return False
    finally:
        os.close(fd)


async def serve_serial():
    global warming
    server = asyncio.create_task(StartAsyncSerialServer(
        context=context, framer=ModbusRtuFramer, port=slave_end, baudrate=19200, bytesize=8,
        parity='N', stopbits=2, timeout=0.005, ignore_missing_slaves=True))
    if await asyncio.to_thread(answered_once):
        warming = False
        ready()
    await server


async def serve_tcp():
    server = async_io.ModbusTcpServer(context, framer=ModbusSocketFramer,
                                      address=('127.0.0.1', 0), ignore_missing_slaves=True)
    running = asyncio.create_task(server.serve_forever())
    await server.serving
    port = server.server.sockets[0].getsockname()[1]
    with open(os.path.join(opts.dir, 'port.new'), 'w') as f:
        f.write(f'{port}\n')
    os.rename(os.path.join(opts.dir, 'port.new'), os.path.join(opts.dir, 'port'))
    ready()
    await running


def stop(*_):
    if line:
        line.terminate()
    sys.exit(0)


signal.signal(signal.SIGTERM, stop)
try:
    asyncio.run(serve_tcp() if opts.tcp else serve_serial())
finally:
    if line:
        line.terminate()
