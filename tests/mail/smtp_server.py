"""A real SMTP server for the mail tests (aiosmtpd, run by Debian's python3).

    smtp_server.py --dir OUT [--auth USER:PASS] [--tls none|starttls|ssl]
                   [--refuse ADDRESS]... [--slow ADDRESS:SECONDS] [--certdir DIR]

Prints "READY <port> <certificate or ->" once it listens on 127.0.0.1 and serves
until its standard input closes. Every accepted mail is written to OUT as
NNNN.json: the envelope, the connection it came on, the raw message and what
mailcheck.py reads from it; every RCPT address tried goes to OUT/rcpt.log.
Refused recipients get 550. For a --slow recipient
the file OUT/slow-started is written when its DATA arrives, and the reply waits
SECONDS."""

import argparse
import asyncio
import base64
import json
import os
import socket
import ssl
import subprocess
import sys
import threading
import logging
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mailcheck  # noqa: E402


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_certificate(directory):
    cert = os.path.join(directory, "cert.pem")
    key = os.path.join(directory, "key.pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=localhost",
         "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"],
        check=True, capture_output=True)
    return cert, key


class Handler:
    def __init__(self, out, refuse, slow):
        self.out = out
        self.refuse = set(refuse)
        self.slow = slow
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        with open(os.path.join(self.out, "rcpt.log"), "a", encoding="utf-8") as f:
            f.write(address + "\n")
        if address in ("", "<>"):
            # As Postfix answers it; aiosmtpd alone would take it.
            return "501 5.1.3 Bad recipient address syntax"
        if address in self.refuse:
            return "550 5.1.1 <%s>: Recipient address rejected: User unknown" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.slow and self.slow[0] in envelope.rcpt_tos:
            with open(os.path.join(self.out, "slow-started"), "w") as f:
                f.write("1")
            await asyncio.sleep(self.slow[1])
        raw = envelope.original_content or envelope.content
        self.count += 1
        record = {
            "peer": "%s:%s" % tuple(session.peer[:2]),
            "authenticated": bool(session.authenticated),
            "tls": (session.ssl is not None
                    or server.transport.get_extra_info("ssl_object") is not None),
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "raw": base64.b64encode(raw).decode("ascii"),
        }
        record.update(mailcheck.check_mail(raw))
        path = os.path.join(self.out, "%04d.json" % self.count)
        with open(path + ".tmp", "w", encoding="utf-8") as f:
            json.dump(record, f, ensure_ascii=False)
        os.replace(path + ".tmp", path)
        return "250 Message accepted for delivery"


def main():
    warnings.filterwarnings("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--auth")
    parser.add_argument("--tls", default="none", choices=["none", "starttls", "ssl"])
    parser.add_argument("--refuse", action="append", default=[])
    parser.add_argument("--slow")
    parser.add_argument("--certdir")
    args = parser.parse_args()

    slow = None
    if args.slow:
        address, seconds = args.slow.rsplit(":", 1)
        slow = (address, float(seconds))
    handler = Handler(args.dir, args.refuse, slow)

    kwargs = {}
    if args.auth:
        user, password = args.auth.split(":", 1)

        def authenticator(server, session, envelope, mechanism, auth_data):
            if (isinstance(auth_data, LoginPassword) and auth_data.login == user.encode()
                    and auth_data.password == password.encode()):
                return AuthResult(success=True)
            return AuthResult(success=False, handled=False)

        kwargs.update(authenticator=authenticator, auth_required=True, auth_require_tls=False)

    cert = "-"
    if args.tls != "none":
        cert, key = make_certificate(args.certdir or args.dir)
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(cert, key)
        if args.tls == "starttls":
            kwargs.update(tls_context=context, require_starttls=True)
        else:
            kwargs.update(ssl_context=context, server_hostname="localhost")

    port = free_port()
    controller = Controller(handler, hostname="127.0.0.1", port=port, **kwargs)
    controller.start()
    print("READY %d %s" % (port, cert), flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    threading.current_thread().name = "smtp-test-server"
    main()
