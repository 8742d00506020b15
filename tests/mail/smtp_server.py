"""A real SMTP server for the mail tests (aiosmtpd, run by Debian's python3).

    smtp_server.py --dir OUT [--auth USER:PASS] [--tls none|starttls|ssl]
                   [--refuse ADDRESS]... [--slow ADDRESS:SECONDS] [--no-8bitmime]
                   [--drop-at N] [--pipelining]

Prints "READY <port> <certificate or ->" once it listens on 127.0.0.1 and serves
until its standard input closes. Every accepted mail goes to OUT/NNNN.json: the
envelope, the connection it came on, when it arrived, the mail itself (base64)
and what mailcheck.py reads from it; every
RCPT address tried goes to OUT/rcpt.log. Refused recipients get 550. For a --slow
recipient OUT/slow-started is written when its DATA arrives, and the reply waits
SECONDS. --no-8bitmime leaves 8BITMIME out of the EHLO reply. --drop-at N drops
the connection when the N-th mail's data has arrived, without a reply (once).
--pipelining announces PIPELINING (aiosmtpd reads the commands in turn anyway)."""

import argparse
import asyncio
import base64
import json
import logging
import os
import socket
import ssl
import subprocess
import sys
import time
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mailcheck  # noqa: E402


class Handler:
    def __init__(self, args):
        self.args, self.count, self.data = args, 0, 0
        self.slow = args.slow.rsplit(":", 1) if args.slow else (None, 0)

    def write(self, name, text, mode="w"):
        with open(os.path.join(self.args.dir, name), mode, encoding="utf-8") as f:
            f.write(text)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        self.write("rcpt.log", address + "\n", "a")
        if address in self.args.refuse:
            return "550 5.1.1 <%s>: Recipient address rejected: User unknown" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.data += 1
        if self.data == self.args.drop_at:
            server.transport.abort()
            return "421 dropped"  # never reaches the client
        if self.slow[0] in envelope.rcpt_tos:
            self.write("slow-started", "1")
            await asyncio.sleep(float(self.slow[1]))
        raw = envelope.original_content or envelope.content
        record = {"peer": "%s:%s" % tuple(session.peer[:2]), "authenticated": bool(session.authenticated),
                  "tls": session.ssl is not None or server.transport.get_extra_info("ssl_object") is not None,
                  "mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos}
        record.update(mailcheck.check_mail(raw), arrived=time.time(), raw=base64.b64encode(raw).decode())
        self.count += 1
        path = os.path.join(self.args.dir, "%04d.json" % self.count)
        self.write(path + ".tmp", json.dumps(record, ensure_ascii=False))
        os.replace(path + ".tmp", path)
        return "250 Message accepted for delivery"


class PipeliningHandler(Handler):
    async def handle_EHLO(self, server, session, envelope, hostname, responses):
        session.host_name = hostname
        return responses[:-1] + ["250-PIPELINING", responses[-1]]


def main():
    warnings.filterwarnings("ignore")
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--auth")
    parser.add_argument("--tls", default="none", choices=["none", "starttls", "ssl"])
    parser.add_argument("--refuse", action="append", default=[])
    parser.add_argument("--slow")
    parser.add_argument("--no-8bitmime", action="store_true")
    parser.add_argument("--drop-at", type=int, default=0)
    parser.add_argument("--pipelining", action="store_true")
    args = parser.parse_args()

    # Without 8-bit data taken as it is, aiosmtpd leaves 8BITMIME out.
    kwargs = {"decode_data": args.no_8bitmime}
    if args.auth:
        def authenticator(server, session, envelope, mechanism, data):
            good = isinstance(data, LoginPassword) and b"%s:%s" % (data.login, data.password) == args.auth.encode()
            return AuthResult(success=good, handled=good)

        kwargs.update(authenticator=authenticator, auth_required=True, auth_require_tls=False)
    cert = "-"
    if args.tls != "none":
        cert, key = os.path.join(args.dir, "cert.pem"), os.path.join(args.dir, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                        "-nodes", "-keyout", key, "-out", cert, "-days", "2", "-subj", "/CN=localhost",
                        "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"], check=True, capture_output=True)
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(cert, key)
        if args.tls == "starttls":
            kwargs.update(tls_context=context, require_starttls=True)
        else:
            kwargs.update(ssl_context=context, server_hostname="localhost")
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    handler = PipeliningHandler(args) if args.pipelining else Handler(args)
    controller = Controller(handler, hostname="127.0.0.1", port=port, **kwargs)
    controller.start()
    print("READY %d %s" % (port, cert), flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
