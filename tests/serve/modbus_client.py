#!/usr/bin/env python3
"""An independent Modbus TCP master for the bridge's tests.

modbus_client.py PORT OP... where each OP is r:UNIT:ADDRESS:COUNT (function
03), i:UNIT:ADDRESS:COUNT (04) or w:UNIT:ADDRESS:VALUE (06). Prints one line
per OP: the words read or written, or "exception N" (N in hex), or "failed".
"""
import sys

from pymodbus.client import ModbusTcpClient


def main():
    client = ModbusTcpClient("127.0.0.1", port=int(sys.argv[1]), timeout=10, retries=0)
    if not client.connect():
        print("no connection")
        return 1
    for op in sys.argv[2:]:
        kind, unit, address, n = op.split(":")
        unit, address, n = int(unit), int(address, 0), int(n)
        try:
            if kind == "r":
                reply = client.read_holding_registers(address, n, slave=unit)
            elif kind == "i":
                reply = client.read_input_registers(address, n, slave=unit)
            else:
                reply = client.write_register(address, n, slave=unit)
        except Exception as e:  # a dropped connection, a time-out
            print(op, "failed", type(e).__name__)
            continue
        if reply.isError():
            code = getattr(reply, "exception_code", None)
            print(op, "failed" if code is None else "exception %02X" % code)
        elif kind == "w":
            print(op, reply.value)
        else:
            print(op, " ".join(str(w) for w in reply.registers))
    client.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
