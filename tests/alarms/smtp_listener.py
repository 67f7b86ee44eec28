#!/usr/bin/env python3
"""An SMTP server on loopback for the notification tests (aiosmtpd, plain
SMTP): prints its port, then appends each message it takes to LOG as one
JSON line (envelope sender, recipients, the message as sent). With
"refuse-rcpt" it refuses every recipient with 550."""
import json
import signal
import socket
import sys

from aiosmtpd.controller import Controller

log = sys.argv[1]
refuse = len(sys.argv) > 2 and sys.argv[2] == "refuse-rcpt"


class Handler:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if refuse:
            return "550 5.1.1 no such mailbox here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with open(log, "a") as f:
            f.write(json.dumps({"from": envelope.mail_from,
                                "to": envelope.rcpt_tos,
                                "message": envelope.original_content.decode("utf-8")}) + "\n")
        return "250 2.0.0 taken"


with socket.socket() as s:
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
# Blocked before the server's thread starts, so the wait below takes them.
signal.pthread_sigmask(signal.SIG_BLOCK, [signal.SIGTERM, signal.SIGINT])
controller = Controller(Handler(), hostname="127.0.0.1", port=port)
controller.start()
print(port, flush=True)
signal.sigwait([signal.SIGTERM, signal.SIGINT])
controller.stop()
