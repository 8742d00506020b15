"""Reads mails with Python's email package and reports what a reader would see,
one JSON object per file and line; anything malformed is listed under "problems".

    mailcheck.py FILE...

ISO-2022-JP is read through Python's cp932 table, so the NEC row-13 characters
(①, ㈱) that Windows mailers send decode as well; without row 13, Python's own
iso2022_jp codec must read the same. UTF-8 must be valid. Each RFC 2047 encoded-word is decoded on its own (an ISO-2022-JP word
must end in ASCII mode), and the email package's reading of the whole header
must agree."""

import base64
import email
import email.header
import email.policy
import email.utils
import json
import re
import sys

# Python's iso2022_jp reads these JIS codes as the JIS characters, cp932 (what
# Windows mailers mean) as their Windows twins.
JIS_TWINS = str.maketrans("\u301c\u2016\u2212\u00a2\u00a3\u00ac", "\uff5e\u2225\uff0d\uffe0\uffe1\uffe2")
ENCODED_WORD = re.compile(r"=\?([^?\s]+)\?[Bb]\?([^?\s]*)\?=")
FOLD = re.compile(r"\r\n([ \t])")


def decode_jis(data, problems, what):
    data, out, jis, row13 = bytes(data), [], False, False
    for part in re.split(rb"(\x1b[$(][@BJ])", data):
        if part.startswith(b"\x1b"):
            jis = part[1:2] == b"$"
        elif any(b >= 0x80 or b == 0x1B for b in part) or jis and (b"\r" in part or b"\n" in part or len(part) % 2):
            problems.append("%s: 8-bit data, an unknown escape, or a line break or half a character in JIS mode" % what)
        elif not jis:
            out.append(part.decode("ascii"))
        else:
            for j1, j2 in zip(part[::2], part[1::2]):
                row13 |= j1 == 0x2D
                s1 = ((j1 - 0x21) >> 1) + 0x81
                try:
                    out.append(bytes([s1 + (0x40 if s1 > 0x9F else 0), j2 + 0x1F + (j2 >= 0x60) if j1 & 1 else j2 + 0x7E])
                               .decode("cp932"))
                except UnicodeDecodeError:
                    problems.append("%s: JIS code %02X%02X not in cp932" % (what, j1, j2))
    if jis:
        problems.append("%s: ends in JIS mode" % what)
    try:
        if not row13 and data.decode("iso2022_jp").translate(JIS_TWINS) != "".join(out):
            problems.append("%s: Python's iso2022_jp reads it otherwise" % what)
    except UnicodeDecodeError as e:
        problems.append("%s: Python's iso2022_jp cannot read it (%s)" % (what, e))
    return "".join(out)


def decode(data, charset, problems, what):
    if charset == "iso-2022-jp":
        return decode_jis(data, problems, what)
    try:
        return bytes(data).decode(charset or "ascii")
    except (UnicodeDecodeError, LookupError) as e:
        problems.append("%s: not %s (%s)" % (what, charset, e))
        return ""


def decode_words(value, problems, what):
    value, parts, pos = str(value), [], 0
    for count, m in enumerate(ENCODED_WORD.finditer(value)):
        between = value[pos:m.start()]
        if count == 0 or between.strip(" \t\r\n"):  # blanks between two words are not text
            parts.append(FOLD.sub(r"\1", between))
        parts.append(decode(base64.b64decode(m.group(2)), m.group(1).lower(), problems, "%s word %d" % (what, count + 1)))
        pos = m.end()
    text = "".join(parts) + FOLD.sub(r"\1", value[pos:])
    theirs = "".join(c if isinstance(c, str) else decode(c, (cs or "ascii").lower(), [], what)
                     for c, cs in email.header.decode_header(value))
    if theirs != text:
        problems.append("%s: the email package reads %r" % (what, theirs))
    return text


def check_mail(raw):
    problems = []
    if any(len(line) > 998 for line in raw.split(b"\r\n")):
        problems.append("a line longer than 998 bytes")
    if b"\n" in raw.replace(b"\r\n", b""):
        problems.append("bare LF in the message")
    msg = email.message_from_bytes(raw, policy=email.policy.compat32)
    result = {"cte": str(msg.get("Content-Transfer-Encoding", "")).strip().lower(), "charset": msg.get_content_charset(),
              "header_names": list(msg.keys()), "mime_version": str(msg.get("MIME-Version", "")),
              "message_id": str(msg.get("Message-ID", "")),
              "longest_header_line": max(len(line) for line in raw[:raw.find(b"\r\n\r\n")].split(b"\r\n"))}
    if any(b >= 0x80 for b in raw) and result["cte"] != "8bit":
        problems.append("8-bit data in a %s message" % result["cte"])
    if email.utils.parsedate_tz(str(msg.get("Date", ""))) is None:
        problems.append("no readable Date")
    for header in ("From", "To"):
        name, address = email.utils.parseaddr(str(msg.get(header, "")))
        if not address:
            problems.append("empty %s address" % header)
        result[header.lower() + "_name"] = decode_words(name, problems, header + " name")
        result[header.lower() + "_addr"] = address
    result["subject"] = decode_words(msg.get("Subject", ""), problems, "Subject")
    if msg.get_content_type() != "text/plain" or result["charset"] not in ("iso-2022-jp", "utf-8"):
        problems.append("content %s; charset=%s" % (msg.get_content_type(), result["charset"]))
    result["body"] = decode(msg.get_payload(decode=True) or b"", result["charset"], problems, "body")
    result["problems"] = problems
    return result


if __name__ == "__main__":
    for path in sys.argv[1:]:
        with open(path, "rb") as f:
            print(json.dumps(check_mail(f.read()), ensure_ascii=False))
