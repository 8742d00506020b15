"""Reads a received mail with Python's email package and reports what a reader
would see, as a dict (JSON-ready). The ISO-2022-JP text is decoded through
Python's cp932 table, so the NEC row-13 characters (①, ㈱) that Windows mailers
send decode as well; a text without row-13 characters is also decoded by
Python's own iso2022_jp codec, and the two readings must agree. Each RFC 2047
encoded-word of a header is decoded on its own and must end in ASCII mode.
Anything malformed is listed under "problems".

Usable on its own: mailcheck.py FILE prints the dict as JSON."""

import base64
import binascii
import email
import email.header
import email.policy
import email.utils
import json
import quopri
import re
import sys

# Python's iso2022_jp reads these JIS codes as the JIS-standard characters;
# cp932 (what Windows mailers mean) as their Windows twins.
JIS_TWINS = str.maketrans({
    "\u301c": "\uff5e",  # 〜 → ～ (0x2141)
    "\u2016": "\u2225",  # ‖ → ∥ (0x2142)
    "\u2212": "\uff0d",  # − → － (0x215D)
    "\u00a2": "\uffe0",  # ¢ → ￠ (0x2171)
    "\u00a3": "\uffe1",  # £ → ￡ (0x2172)
    "\u00ac": "\uffe2",  # ¬ → ￢ (0x224C)
})

ENCODED_WORD = re.compile(r"=\?([^?\s]+)\?([BbQq])\?([^?\s]*)\?=")


def jis_to_sjis(j1, j2):
    s1 = ((j1 - 0x21) >> 1) + 0x81
    if s1 > 0x9F:
        s1 += 0x40
    if j1 & 1:
        s2 = j2 + 0x1F
        if s2 >= 0x7F:
            s2 += 1
    else:
        s2 = j2 + 0x7E
    return bytes([s1, s2])


def decode_jis(data, problems, what):
    """ISO-2022-JP bytes to text; records lines or texts that end outside ASCII
    mode. Without NEC row 13, Python's iso2022_jp codec must read the same."""
    problems_before = len(problems)
    text = decode_jis_cp932(data, problems, what)
    if len(problems) == problems_before and not uses_row13(data):
        try:
            theirs = bytes(data).decode("iso2022_jp")
        except UnicodeDecodeError as e:
            problems.append("%s: Python's iso2022_jp cannot read it (%s)" % (what, e))
        else:
            if theirs.translate(JIS_TWINS) != text:
                problems.append("%s: Python's iso2022_jp reads %r" % (what, theirs))
    return text


def uses_row13(data):
    """Whether any two-byte character in JIS mode is in row 13 (0x2D21-0x2D7E)."""
    mode = "ascii"
    i = 0
    while i < len(data):
        if data[i] == 0x1B:
            seq = bytes(data[i:i + 3])
            mode = "jis" if seq in (b"\x1b$B", b"\x1b$@") else "ascii"
            i += 3
        elif mode == "jis" and data[i] not in (0x0D, 0x0A):
            if data[i] == 0x2D:
                return True
            i += 2
        else:
            i += 1
    return False


def decode_jis_cp932(data, problems, what):
    out = []
    mode = "ascii"
    i = 0
    while i < len(data):
        b = data[i]
        if b == 0x1B:
            seq = bytes(data[i:i + 3])
            if seq in (b"\x1b(B", b"\x1b(J"):
                mode = "ascii"
            elif seq in (b"\x1b$B", b"\x1b$@"):
                mode = "jis"
            else:
                problems.append("%s: unknown escape %r" % (what, seq))
                return "".join(out)
            i += 3
            continue
        if b >= 0x80:
            problems.append("%s: 8-bit byte 0x%02X" % (what, b))
            out.append("\ufffd")
            i += 1
            continue
        if mode == "ascii":
            out.append(chr(b))
            i += 1
            continue
        if b in (0x0D, 0x0A):
            problems.append("%s: line break in JIS mode" % what)
            out.append(chr(b))
            i += 1
            continue
        if i + 1 >= len(data):
            problems.append("%s: half a JIS character at the end" % what)
            break
        try:
            out.append(jis_to_sjis(b, data[i + 1]).decode("cp932"))
        except UnicodeDecodeError:
            problems.append("%s: JIS code %02X%02X not in cp932" % (what, b, data[i + 1]))
            out.append("\ufffd")
        i += 2
    if mode != "ascii":
        problems.append("%s: ends in JIS mode" % what)
    return "".join(out)


def decode_words(value, problems, what):
    """A header value (possibly RFC 2047 encoded-words) to text. Every
    encoded-word is decoded on its own, so one that ends in JIS mode (leaning on
    the next word) is a problem; the email package's own reading, which joins
    adjacent words first, must give the same text."""
    value = str(value)
    parts = []
    pos = 0
    count = 0
    for m in ENCODED_WORD.finditer(value):
        between = value[pos:m.start()]
        # Blanks between two encoded-words are not part of the text.
        if count == 0 or between.strip(" \t\r\n"):
            parts.append(re.sub(r"\r\n([ \t])", r"\1", between))
        count += 1
        pos = m.end()
        charset, encoding, text = m.groups()
        try:
            if encoding in "Bb":
                raw = base64.b64decode(text, validate=True)
            else:
                raw = quopri.decodestring(text.replace("_", " "), header=True)
        except (binascii.Error, ValueError):
            problems.append("%s: encoded-word %d is not valid %s" % (what, count, encoding))
            continue
        if charset.lower() != "iso-2022-jp":
            problems.append("%s: charset %s" % (what, charset))
            parts.append(raw.decode(charset, "replace"))
            continue
        parts.append(decode_jis(raw, problems, "%s encoded-word %d" % (what, count)))
    parts.append(re.sub(r"\r\n([ \t])", r"\1", value[pos:]))
    text = "".join(parts)

    joined = []
    for chunk, charset in email.header.decode_header(value):
        if isinstance(chunk, str):
            joined.append(chunk)
        elif charset is None:
            joined.append(chunk.decode("ascii", "replace"))
        elif charset.lower() == "iso-2022-jp":
            joined.append(decode_jis(chunk, [], what))
        else:
            joined.append(chunk.decode(charset, "replace"))
    if "".join(joined) != text:
        problems.append("%s: the email package reads %r" % (what, "".join(joined)))
    return text


def mailbox(msg, header, problems):
    raw = msg.get(header)
    if raw is None:
        problems.append("no %s header" % header)
        return "", ""
    name, address = email.utils.parseaddr(str(raw))
    if not address:
        problems.append("empty %s address" % header)
    return decode_words(name, problems, header + " name"), address


def check_mail(raw):
    problems = []
    lines = raw.split(b"\r\n")
    head_end = raw.find(b"\r\n\r\n")
    header_lines = raw[:head_end].split(b"\r\n") if head_end >= 0 else []
    if any(len(line) > 998 for line in lines):
        problems.append("a line longer than 998 bytes")
    if any(b >= 0x80 for b in raw):
        problems.append("8-bit data in the message")
    if b"\n" in raw.replace(b"\r\n", b""):
        problems.append("bare LF in the message")
    msg = email.message_from_bytes(raw, policy=email.policy.compat32)
    from_name, from_addr = mailbox(msg, "From", problems)
    to_name, to_addr = mailbox(msg, "To", problems)
    subject = decode_words(msg.get("Subject", ""), problems, "Subject")
    if msg.get_content_type() != "text/plain":
        problems.append("content type %s" % msg.get_content_type())
    charset = msg.get_content_charset()
    if charset != "iso-2022-jp":
        problems.append("charset %s" % charset)
    payload = msg.get_payload(decode=True) or b""
    body = decode_jis(payload, problems, "body")
    return {
        "from_name": from_name,
        "from_addr": from_addr,
        "to_name": to_name,
        "to_addr": to_addr,
        "subject": subject,
        "body": body,
        "cte": str(msg.get("Content-Transfer-Encoding", "")).strip().lower(),
        "mime_version": str(msg.get("MIME-Version", "")).strip(),
        "date": str(msg.get("Date", "")),
        "date_parsed": email.utils.parsedate_tz(str(msg.get("Date", ""))) is not None,
        "message_id": str(msg.get("Message-ID", "")),
        "header_names": [k for k in msg.keys()],
        "longest_header_line": max((len(line) for line in header_lines), default=0),
        "problems": problems,
    }


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        print(json.dumps(check_mail(f.read()), ensure_ascii=False))
