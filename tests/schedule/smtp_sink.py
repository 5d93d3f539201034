"""A local SMTP server for the mail tests: takes mail on the loopback, with a login when
--user and --password are given, and keeps each message as a numbered .eml file beside a
.rcpt file of its recipients. Prints its port once it listens, then runs until killed."""
import argparse
import logging
import os
import signal
import socket
import sys
import threading
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class Keep:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "%03d" % self.count)
        with open(base + ".rcpt", "w") as f:
            f.write("\n".join(envelope.rcpt_tos) + "\n")
        with open(base + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        os.rename(base + ".tmp", base + ".eml")
        return "250 OK"


def main():
    # The login is checked without TLS on the loopback; the server's warnings about it
    # would only fill the test's output.
    logging.disable(logging.WARNING)
    warnings.simplefilter("ignore")
    a = argparse.ArgumentParser()
    a.add_argument("folder")
    a.add_argument("--user")
    a.add_argument("--password")
    o = a.parse_args()

    def check(server, session, envelope, mechanism, data):
        ok = isinstance(data, LoginPassword) and data.login.decode() == o.user and \
            data.password.decode() == o.password
        return AuthResult(success=ok, handled=False)

    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    options = {}
    if o.user:
        options = dict(authenticator=check, auth_require_tls=False)
    controller = Controller(Keep(o.folder), hostname="127.0.0.1", port=port, **options)
    controller.start()
    print(port, flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    stop.wait()
    controller.stop()


if __name__ == "__main__":
    sys.exit(main())
