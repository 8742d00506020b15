#!/usr/bin/python3
"""A local SMTP server for trying Lumivox's sending without mailing anyone.

    scripts/test-mail-server.py [--port 8025] [--save DIR]
        listens on 127.0.0.1 and prints every mail it receives as a reader
        sees it: the headers decoded and the ISO-2022-JP body as text. With
        --save, each mail is also kept as DIR/NNNN.eml. Ctrl+C ends it.
    scripts/test-mail-server.py FILE.eml ...
        prints mails kept earlier the same way.

The server is Debian's python3-aiosmtpd; the mails are read with Python's email
package. ISO-2022-JP is read through the Windows (cp932) table, so the circled
numbers and other NEC characters that Japanese mailers send come out too."""

import argparse
import email
import email.header
import email.policy
import os
import sys
import time


def jis_to_text(data):
    """ISO-2022-JP bytes as text, NEC row 13 (①, ㈱) included."""
    out, mode, i = [], "ascii", 0
    while i < len(data):
        if data[i] == 0x1B and i + 2 < len(data):
            seq = bytes(data[i:i + 3])
            mode = {b"\x1b$B": "jis", b"\x1b$@": "jis", b"\x1b(I": "kana"}.get(seq, "ascii")
            i += 3
        elif mode == "jis" and data[i] not in (0x0D, 0x0A) and i + 1 < len(data):
            j1, j2 = data[i], data[i + 1]
            s1 = ((j1 - 0x21) >> 1) + 0x81
            s1 += 0x40 if s1 > 0x9F else 0
            s2 = j2 + (0x1F if j1 & 1 else 0x7E)
            s2 += 1 if j1 & 1 and s2 >= 0x7F else 0
            out.append(bytes([s1, s2]).decode("cp932", "replace"))
            i += 2
        elif mode == "kana":
            out.append(bytes([data[i] + 0x80]).decode("cp932", "replace"))
            i += 1
        else:
            out.append(chr(data[i]))
            i += 1
    return "".join(out)


def to_text(data, charset):
    charset = (charset or "us-ascii").lower()
    if charset in ("iso-2022-jp", "iso2022jp", "csiso2022jp"):
        return jis_to_text(data)
    try:
        return data.decode(charset, "replace")
    except LookupError:
        return data.decode("ascii", "replace")


def header_text(value):
    return "".join(part if isinstance(part, str) else to_text(part, charset)
                   for part, charset in email.header.decode_header(str(value)))


def show(raw, envelope=None):
    mail = email.message_from_bytes(raw, policy=email.policy.compat32)
    print("=" * 72)
    if envelope:
        print("(envelope) MAIL FROM: %s  RCPT TO: %s" % envelope)
    for name in ("Date", "From", "To", "Subject"):
        if mail[name] is not None:
            print("%s: %s" % (name, header_text(mail[name])))
    print("(%s)" % mail.get("Content-Type", "text/plain"))
    print()
    for part in mail.walk():
        if part.is_multipart():
            continue
        print(to_text(part.get_payload(decode=True) or b"", part.get_content_charset()))
    sys.stdout.flush()


class Printer:
    def __init__(self, save_dir):
        self.save_dir, self.count = save_dir, 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        raw = envelope.original_content or envelope.content
        show(raw, (envelope.mail_from, ", ".join(envelope.rcpt_tos)))
        if self.save_dir:
            with open(os.path.join(self.save_dir, "%04d.eml" % self.count), "wb") as f:
                f.write(raw)
        return "250 OK"


def main():
    parser = argparse.ArgumentParser(description="Lumivox の送信を試すための SMTP サーバー")
    parser.add_argument("files", nargs="*", help="表示する .eml ファイル")
    parser.add_argument("--port", type=int, default=8025)
    parser.add_argument("--save", metavar="DIR", help="受け取ったメールを DIR に .eml で保存する")
    args = parser.parse_args()
    if args.files:
        for name in args.files:
            with open(name, "rb") as f:
                show(f.read())
        return 0
    try:
        from aiosmtpd.controller import Controller
    except ImportError:
        print("python3-aiosmtpd がありません。次のコマンドで入れてください：\n"
              "  sudo apt-get install python3-aiosmtpd", file=sys.stderr)
        return 1
    if args.save:
        os.makedirs(args.save, exist_ok=True)
    controller = Controller(Printer(args.save), hostname="127.0.0.1", port=args.port,
                            decode_data=False)
    controller.start()
    print("127.0.0.1:%d で待っています（Ctrl+C で終了）" % args.port)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass
    finally:
        controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
