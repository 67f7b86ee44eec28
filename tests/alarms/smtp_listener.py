#!/usr/bin/env python3
"""An SMTP server on loopback for the notification tests (aiosmtpd, plain
SMTP): prints its port, then appends each message it takes to LOG as one
JSON line (envelope sender, recipients, the message as sent). With
"refuse-rcpt" it refuses every recipient with 550; with "auth=USER:PASS" it
offers AUTH (in plain SMTP, as a test may) and takes mail only from that
login. With "tls=CERT:KEY" it offers STARTTLS with that certificate, requires
it before anything else, and then offers AUTH only over TLS."""
import json
import logging
import signal
import socket
import ssl
import sys
import warnings

# AUTH without TLS is what this test server is for: no warning of it.
warnings.simplefilter("ignore")
logging.getLogger("mail.log").setLevel(logging.CRITICAL)

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

log = sys.argv[1]
refuse = "refuse-rcpt" in sys.argv[2:]
login = next((a[5:] for a in sys.argv[2:] if a.startswith("auth=")), None)
tls = next((a[4:] for a in sys.argv[2:] if a.startswith("tls=")), None)


def authenticator(server, session, envelope, mechanism, auth_data):
    given = auth_data.login.decode() + ":" + auth_data.password.decode()
    return AuthResult(success=given == login, handled=False)


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
options = {"authenticator": authenticator, "auth_required": True,
           "auth_require_tls": bool(tls)} if login else {}
if tls:
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(*tls.split(":"))
    options.update(tls_context=context, require_starttls=True)
controller = Controller(Handler(), hostname="127.0.0.1", port=port, **options)
controller.start()
print(port, flush=True)
signal.sigwait([signal.SIGTERM, signal.SIGINT])
controller.stop()
