"""python3 -m sibdecode [--bin] [--summary] [--json] [--sib N] [FILE...]

Prints what the sibdecode tool prints for the same files: hex text (one batch
of BCH blocks per line), raw binary (--bin) or pcap/pcapng captures; SIB
texts on standard output, notes and errors on standard error, the same exit
status (0 all read, 1 a file or capture unreadable or cut, 2 malformed input).
"""

import io
import os
import sys
from typing import BinaryIO, List, Optional

from . import (SUMMARY_SIB3_CELL_IDENTITY, SUMMARY_SIB4_CELL_IDENTITY, CaptureReader, CaptureError,
               Decoder, DroppedChain, Sib, Stop, Summary, summary_parts)

EXIT_OK, EXIT_IO, EXIT_MALFORMED = 0, 1, 2

USAGE = __doc__


class Options:
    def __init__(self) -> None:
        self.binary = False
        self.summary = False
        self.json = False
        self.sib_type: Optional[int] = None
        self.files: List[str] = []


def parse_arguments(argv: List[str]) -> "Options | int":
    options = Options()
    args = iter(argv)
    for arg in args:
        if arg in ("--help", "-h"):
            sys.stdout.write(USAGE)
            return EXIT_OK
        if arg == "--bin":
            options.binary = True
        elif arg == "--summary":
            options.summary = True
        elif arg == "--json":
            options.json = True
        elif arg == "--sib" or arg.startswith("--sib="):
            value = arg[len("--sib="):] if arg.startswith("--sib=") else next(args, None)
            if value is None:
                sys.stderr.write("sibdecode: --sib needs a SIB type (0..31)\n")
                return EXIT_MALFORMED
            if not value.isdigit() or int(value) > 31:
                sys.stderr.write("sibdecode: bad SIB type '%s' (0..31)\n" % value)
                return EXIT_MALFORMED
            options.sib_type = int(value)
        elif len(arg) > 1 and arg.startswith("-") and arg != "-":
            sys.stderr.write("sibdecode: unknown option '%s' (see --help)\n" % arg)
            return EXIT_MALFORMED
        else:
            options.files.append(arg)
    if not options.files:
        options.files.append("-")
    return options


class Output:
    """Standard output as bytes; notes on standard error after what it holds.
    Output that cannot be written (a full disk, a closed pipe) is a failure
    said once at the end, as the tool says it."""

    def __init__(self) -> None:
        self.out = sys.stdout.buffer
        self.failed = False

    def write(self, data: bytes) -> None:
        if self.failed:
            return
        try:
            self.out.write(data)
        except OSError:
            self.failed = True

    def flush(self) -> None:
        if self.failed:
            return
        try:
            self.out.flush()
        except OSError:
            self.failed = True

    def note(self, text: str) -> None:
        self.flush()
        sys.stderr.write(text)
        sys.stderr.flush()


ABSENT = -65535  # the record's mark of a number the message did not hold


def _value(word: int, absent: str) -> str:
    return absent if word == ABSENT else str(word)


def _identities(w: List[int], sib_type: int, absent: str) -> "tuple[str, str]":
    """The cell identities as the tool shows them: only for the SIB that carries one."""
    parts = summary_parts(sib_type)
    return (str(w[0]) if parts & SUMMARY_SIB3_CELL_IDENTITY else absent,
            str(w[1]) if parts & SUMMARY_SIB4_CELL_IDENTITY else absent)


def summary_lines(record: bytes, sib_type: int) -> bytes:
    w = Summary.words(record)
    v = lambda word: _value(word, "absent")  # noqa: E731
    lines = ["summary: sib3.cellIdentity = %s, sib4.cellIdentity = %s" %
             _identities(w, sib_type, "absent")]
    lines.append("  intraFreqCells: %d" % w[99])
    for k in range(min(w[99], 32)):
        lines.append("    [%d] intraFreqCellID = %s, cellParametersID = %s" % (
            k, v(w[100 + 2 * k]), v(w[101 + 2 * k])))
    lines.append("  interFreqCells: %d" % w[164])
    for k in range(min(w[164], 32)):
        lines.append("    [%d] interFreqCellID = %s, uarfcn_Nt = %s, cellParametersID = %s" % (
            k, v(w[165 + 3 * k]), v(w[166 + 3 * k]), v(w[167 + 3 * k])))
    lines.append("  interRATCells: %d" % w[2])
    for k in range(min(w[2], 32)):
        lines.append("    [%d] interRATCellID = %s, bcch_ARFCN = %s, bsic = %s" % (
            k, v(w[3 + 3 * k]), v(w[4 + 3 * k]), v(w[5 + 3 * k])))
    return ("\n".join(lines) + "\n").encode()


def json_summary(record: bytes, sib_type: int) -> str:
    w = Summary.words(record)
    v = lambda word: _value(word, "null")  # noqa: E731
    rat = ",".join('{"interRATCellID":%s,"bcch_ARFCN":%s,"bsic":%s}' % tuple(
        map(v, w[3 + 3 * k:6 + 3 * k])) for k in range(min(w[2], 32)))
    intra = ",".join('{"intraFreqCellID":%s,"cellParametersID":%s}' % tuple(
        map(v, w[100 + 2 * k:102 + 2 * k])) for k in range(min(w[99], 32)))
    inter = ",".join('{"interFreqCellID":%s,"uarfcn_Nt":%s,"cellParametersID":%s}' % tuple(
        map(v, w[165 + 3 * k:168 + 3 * k])) for k in range(min(w[164], 32)))
    return ('{"sib3":{"cellIdentity":%s},"sib4":{"cellIdentity":%s},"sib11":{"interRATCells":[%s],'
            '"intraFreqCells":[%s],"interFreqCells":[%s]}}' %
            (_identities(w, sib_type, "null") + (rat, intra, inter)))


def json_string(text: str) -> str:
    out = []
    for c in text:
        if c in '"\\':
            out.append("\\" + c)
        elif ord(c) < 0x20:
            out.append("\\u%04x" % ord(c))
        else:
            out.append(c)
    return "".join(out)


def json_line(sib_type: int, source: str, frames: Optional[tuple], arfcn: Optional[int],
              record: bytes, value: bytes) -> bytes:
    head = '{"sib":%d,"source":"%s"' % (sib_type, json_string(source))
    if frames:
        head += ',"frames":[%s]' % ",".join(map(str, frames))
    if arfcn is not None:
        head += ',"arfcn":%d' % arfcn
    head += ',"summary":%s,"value":' % json_summary(record, sib_type)
    return head.encode("utf-8", "surrogateescape") + value + b"}\n"


class Run:
    def __init__(self, options: Options) -> None:
        self.options = options
        self.output = Output()
        self.decoder = Decoder()

    def batch(self, data: bytes, source: str) -> int:
        """One batch (or bare SIB) through the decoder to the output; the exit status."""
        options, out = self.options, self.output
        status = EXIT_OK
        extra = len(data) % BLOCK_BYTES if options.sib_type is None else 0
        if extra:
            # The bytes behind the last whole block are no block: they are left out.
            out.note("%s: %d bytes are not a whole number of %d-byte blocks: the last %d not "
                     "decoded\n" % (source, len(data), BLOCK_BYTES, extra))
            status = EXIT_MALFORMED
            data = data[:len(data) - extra]
            if not data:
                return status
        if options.json:
            if options.sib_type is not None:
                value, record = self.decoder.sib_json(options.sib_type, data)
                sib_type = options.sib_type
            else:
                value, sib_type, record = self.decoder.batch_json(data)
            if value is None:
                out.note("%s: nothing decoded\n" % source)
                return status
            status = max(status, self.note_report(source, "", sib_type, self.decoder.report()))
            out.write(json_line(sib_type, source, None, None, record, value))
            return status
        if options.sib_type is not None:
            text, record = self.decoder.sib_text(options.sib_type, data)
        else:
            text, record = self.decoder.batch_text(data)
        sib_type = 0
        if text is not None:
            sib_type = options.sib_type if options.sib_type is not None else _sib_type_of(text)
            status = max(status, self.note_report(source, "", sib_type, self.decoder.report()))
            out.write(text + b"\r\n")
        else:
            out.note("%s: nothing decoded\n" % source)
        if options.summary:
            out.write(summary_lines(record, sib_type))
        return status

    def note_report(self, where: str, cell: str, sib_type: int, stop: Stop) -> int:
        """A note for a SIB that stopped early or carried warnings; the exit status."""
        if stop.complete and not stop.warning_count:
            return EXIT_OK
        line = "%s: SIB%d%s %s" % (where, sib_type, cell, stop.note)
        self.output.note(line + "\n")
        return EXIT_OK if stop.complete else EXIT_MALFORMED

    def hex(self, stream: BinaryIO, head: bytes, name: str) -> int:
        status = EXIT_OK
        data = head + stream.read()
        if data.startswith(b"\xef\xbb\xbf"):  # a UTF-8 byte-order mark
            data = data[3:]
        lines = data.split(b"\n")
        if lines and lines[-1] == b"":
            lines.pop()
        for number, line in enumerate(lines, 1):
            parsed = parse_hex_line(line)
            if isinstance(parsed, str):
                self.output.note("%s:%d: %s\n" % (name, number, parsed))
                status = max(status, EXIT_MALFORMED)
            elif parsed:
                status = max(status, self.batch(parsed, "%s:%d" % (name, number)))
        return status

    def capture(self, stream: BinaryIO, head: bytes, name: str) -> int:
        out, options = self.output, self.options
        status = EXIT_OK
        try:
            reader = CaptureReader(_Prefixed(head, stream), name)
        except CaptureError as error:
            out.note("%s: %s\n" % (name, error.message))
            return EXIT_IO
        with reader:
            for event in reader:
                if isinstance(event, Sib):
                    status = max(status, self.note_report(
                        "%s: frames %s" % (name, ",".join(map(str, event.frames))),
                        " on ARFCN %d" % event.arfcn, event.type, event.stop))
                    if options.json:
                        value, _ = self.decoder.sib_json(event.type, event.sib_bits)
                        if value is not None:
                            out.write(json_line(event.type, name, event.frames, event.arfcn,
                                                event.summary_record, value))
                        continue
                    time = event.time.strftime("%Y-%m-%dT%H:%M:%S.%fZ")
                    out.write(("# frames %s arfcn %d time %s\n" % (
                        ",".join(map(str, event.frames)), event.arfcn, time)).encode())
                    out.write(event.text_bytes + b"\r\n")
                    if options.summary:
                        out.write(summary_lines(event.summary_record, event.type))
                elif isinstance(event, DroppedChain):
                    out.note("%s: frames %s: SIB type %d on ARFCN %d dropped: %s\n" % (
                        name, ",".join(map(str, event.frames)), event.type, event.arfcn,
                        event.message))
                else:
                    out.note("%s: frame %d: %s\n" % (name, event.frame, event.message))
                    status = max(status, EXIT_MALFORMED if event.kind == "wrong_size" else EXIT_IO)
            c = reader.counts
            causes = ", ".join("%d %s" % (n, cause) for n, cause in (
                (c.skipped_link_layer, "other link type or network protocol"),
                (c.skipped_not_udp, "not UDP or cut short"),
                (c.skipped_other_port, "other UDP port"),
                (c.skipped_not_gsmtap, "not GSMTAP version 2"),
                (c.skipped_other_message, "other GSMTAP type or sub-type"),
                (c.skipped_ip_fragment, "IP fragment"),
                (c.skipped_repeated_block, "captured twice")) if n)
            out.note("%s: %d frames, %d skipped%s; %d SIBs decoded (%d complete, %d stopped early), "
                     "%d not decoded, %d chains dropped, %d stray segments\n" % (
                         name, c.frames, c.skipped, " (%s)" % causes if causes else "",
                         c.sibs_decoded, c.sibs_decoded - c.sibs_stopped, c.sibs_stopped,
                         c.sibs_not_decoded, c.chains_dropped, c.stray_segments))
        return status

    def one(self, path: str) -> int:
        is_stdin = path == "-"
        name = "<stdin>" if is_stdin else path
        try:
            stream = sys.stdin.buffer if is_stdin else open(path, "rb", buffering=0)
        except OSError as error:
            self.output.note("%s: %s\n" % (path, error.strerror))
            return EXIT_IO
        try:
            if self.options.binary or self.options.sib_type is not None:
                if self.options.binary:
                    return self.batch(stream.read(), name)
                return self.hex(stream, b"", name)
            head = _read_head(stream)
            if _may_start_capture(head) and len(head) >= 4:
                return self.capture(stream, head, name)
            return self.hex(stream, head, name)
        except OSError as error:
            self.output.note("%s: read error: %s\n" % (name, error.strerror))
            return EXIT_IO
        finally:
            if not is_stdin:
                stream.close()


BLOCK_BYTES = 31  # one BCH transport block


def _sib_type_of(text: bytes) -> int:
    """The type of a text that starts "SysInfoTypeN ::="."""
    digits = text[len(b"SysInfoType"):].split(b" ", 1)[0] if text.startswith(b"SysInfoType") else b""
    return int(digits) if digits.isdigit() else 0


_MAGICS = (b"\xd4\xc3\xb2\xa1", b"\xa1\xb2\xc3\xd4", b"\x4d\x3c\xb2\xa1", b"\xa1\xb2\x3c\x4d",
           b"\x0a\x0d\x0d\x0a")


def _may_start_capture(head: bytes) -> bool:
    return any(m.startswith(head[:4]) for m in _MAGICS)


def _read_head(stream: BinaryIO) -> bytes:
    """The first bytes, as far as they may still be a capture's magic number."""
    head = b""
    while len(head) < 4 and _may_start_capture(head):
        more = stream.read(4 - len(head))
        if not more:
            break
        head += more
    return head


class _Prefixed(io.RawIOBase):
    """The bytes read to recognise a capture, then the rest of the stream."""

    def __init__(self, head: bytes, stream: BinaryIO) -> None:
        self.head = head
        self.stream = stream
        self.name = getattr(stream, "name", "<stream>")

    def readable(self) -> bool:
        return True

    def readinto(self, buffer) -> int:  # type: ignore[override]
        if self.head:
            n = min(len(buffer), len(self.head))
            buffer[:n] = self.head[:n]
            self.head = self.head[n:]
            return n
        data = self.stream.read(len(buffer))
        buffer[:len(data)] = data
        return len(data)


_HEX = {c: int(chr(c), 16) for c in b"0123456789abcdefABCDEF"}


def parse_hex_line(line: bytes) -> "bytes | str":
    """The line's bytes, or the message for the first fault in it."""
    stripped = line.split(b"#", 1)[0].translate(None, b" \t\r\n")
    try:
        if len(stripped) % 2 == 0:
            return bytes.fromhex(stripped.decode("ascii"))
    except (ValueError, UnicodeDecodeError):
        pass
    # A fault: find the first one as the tool reports it.
    pending = False
    for column, c in enumerate(line, 1):
        if c in b" \t\r\n":
            continue
        if c == ord("#"):
            break
        if c not in _HEX:
            if 0x20 <= c < 0x7F:
                return "bad character '%c' in column %d" % (c, column)
            return "bad byte 0x%02X in column %d" % (c, column)
        pending = not pending
    return "odd number of hex digits" if pending else bytes.fromhex(stripped.decode("ascii"))


def main(argv: Optional[List[str]] = None) -> int:
    options = parse_arguments(sys.argv[1:] if argv is None else argv)
    if isinstance(options, int):
        return options
    run = Run(options)
    status = EXIT_OK
    for path in options.files:
        status = max(status, run.one(path))
    run.output.flush()
    if run.output.failed:
        sys.stderr.write("sibdecode: cannot write the output\n")
        status = max(status, EXIT_IO)
        # Nothing more for the interpreter to flush into the closed output at exit.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
    return status


if __name__ == "__main__":
    sys.exit(main())
