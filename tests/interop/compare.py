"""Aligns sibdecode's leaves with tshark's leaves and compares every value.

Tolerated differences (each one a documented tshark behaviour, not a decoder
freedom):
  - tshark omits a DEFAULT member that is absent from the encoding; sibdecode
    prints the default value (checked to be the model's default);
  - a present empty list: sibdecode prints nothing, tshark '0 items';
  - tshark goes on after a value outside its constraint (with a warning);
    sibdecode stops there, so the comparison stops before that value (an
    enumeration index past the list is compared as '???' and then stops);
    when the fields after it still agree to the end, with several non-zero
    values, sibdecode evidently went on, and that is reported;
  - sibdecode does not keep a list item whose decode failed: where tshark's
    stop point lies inside a list item (or inside a list that is a CHOICE
    alternative), sibdecode's text may lack that item;
  - a list longer than its SIZE: sibdecode keeps going for lists of SEQUENCE
    or CHOICE items and stops for lists of INTEGER, ENUMERATED, NULL or
    BIT STRING items (tshark warns and goes on in both cases);
  - tshark pads a BIT STRING that runs past the end of the data with zero
    bits without a word; the comparison stops there ('past the end', not
    counted as error-free);
  - a text that ends before its closing brace (RRCParserX's 102400-byte
    limit; the CLI prints whole texts) is compared as far as it goes;
  - an error (malformed packet, undecodable choice index) ends tshark's tree
    there, so the comparison stops at it;
  - tshark decodes a later release: the comparison stops at the container
    that follows the last one the decoder knows (sibdecode prints the empty
    block nonCriticalExtensions there).

Where tshark 4.0 reads a Release 9 encoding otherwise (its ASN.1 is later than
V9.2.1; measured, see the team's notes), the comparison stops and says so
("tshark later ASN.1"): a spare alternative that a later release named, a
member a later release renamed (compared under both names), CommonEDCHSystemInfo's
`fdd` that tshark has as `dummy`, bit strings tshark reads with another width
(SIB15bis alpha-*-ionos, SIB15.2bis svHealth, SIB15.3bis t-oa).

Known difference (a decoder choice, not a tshark behaviour):
  - the v690 `dummy` of SIB11 and SIB12 (Dummy-InterFreqRACHReportingInfo):
    its ASN.1 text closes the modeSpecificInfo CHOICE one brace too late, so
    tshark reads a CHOICE of four alternatives; sibdecode reads the intended
    two, then the threshold and the maximum. The comparison stops at it.
"""

import re

from sib_side import norm  # noqa: F401 (also used by the driver)

BIT_LENGTH_RE = re.compile(r"\[bit length (\d+)")

# Extension records whose member "dummy" decodes differently on purpose (see above).
V690_RECORDS = ("sysinfotype11v690ext", "sysinfotype12v690ext")

# Members a later release renamed: sibdecode's (V9.2.1) name, tshark's.
LATER_NAMES = {"eutrablacklistedcelllist": "eutraexcludelistedcelllist", "prxbasedes": "prxdesbase"}
# Bit strings tshark reads with another width than V9.2.1's.
LATER_WIDTHS = {"alphazeroionos", "alphaoneionos", "alphatwoionos", "alphathreeionos", "svhealth",
                "toa"}


def later_asn1(s, t, parent=None):
    """True where tshark's later ASN.1 departs from V9.2.1 at these leaves; parent is
    the sibdecode leaf before s (its record when s is a record's first member)."""
    sname, tname = norm(s["name"]), norm(t["name"])
    if sname.startswith("spare") and not tname.startswith("spare"):
        return True  # a spare alternative a later release named
    if sname == "fdd" and tname == "dummy":
        return True  # CommonEDCHSystemInfo's fdd: dummy in tshark
    if sname in LATER_WIDTHS and sname == tname and s["vkind"] == "bits":
        width = BIT_LENGTH_RE.search(t["shown"])
        return width is not None and int(width.group(1)) != len(s["value"])
    if sname == tname == "toa" and s["vkind"] == "int":
        # alm-keplerianParameters' t-oa: 8 bits, 10 in tshark, whatever the value (the
        # other almanac sets' t-oa agree and are compared)
        return parent is not None and norm(parent["name"]) == "almkeplerianparameters"
    if sname == tname == "hnbname" and "\ufffd" in t["show"]:
        return True  # tshark shows a name that is not UTF-8 as text: no bytes to compare
    return False


def as_tshark_text(data):
    """A name's octets as tshark's field text shows them: printable ASCII as it is,
    \\a .. \\r for those control characters, others as three octal digits, up to
    the first NUL."""
    data = data.split(b"\0")[0]
    escapes = {7: "\\a", 8: "\\b", 9: "\\t", 10: "\\n", 11: "\\v", 12: "\\f", 13: "\\r"}
    return "".join(chr(b) if 0x20 <= b < 0x7F else escapes.get(b, "\\%03o" % b) for b in data)


def later_name(s, t):
    """tshark's leaf under sibdecode's name where a later release renamed the member."""
    sname, tname = norm(s["name"]), norm(t["name"])
    for old, new in LATER_NAMES.items():
        if sname.startswith(old) and tname == new + sname[len(old):]:
            return dict(t, name=s["name"])
    return t


def tshark_bits(leaf):
    m = BIT_LENGTH_RE.search(leaf["shown"])
    if not m:
        return None
    n = int(m.group(1))
    data = bytes.fromhex(leaf["show"].replace(":", "")) if leaf["show"] else b""
    bits = "".join(format(b, "08b") for b in data)
    return bits[:n]


def tshark_value(leaf, vkind):
    """tshark's value in the form of a sibdecode leaf of kind vkind."""
    show = leaf["show"]
    try:
        if vkind in ("int", "enum", "choice"):
            if vkind == "enum" and leaf["shown"].startswith("Unknown ("):
                return None
            return int(show)
        if vkind == "bool":
            return show in ("1", "True")
        if vkind == "bits":
            return tshark_bits(leaf)
        if vkind == "octets":
            if leaf["name"] == "hNBName":  # tshark shows the name as text
                return ("text", leaf["shown"])
            return bytes.fromhex(show.replace(":", ""))
        if vkind == "null":
            return None
    except ValueError:
        return ("unparsed", show)
    return ("unknown kind", show)


def describe(leaf, side):
    if leaf is None:
        return "%s: (nothing)" % side
    if side == "sibdecode":
        v = leaf["value"]
        if isinstance(v, bytes):
            v = v.hex()
        return "sibdecode: %s %s = %r (%s)" % (leaf["kind"], leaf["name"], v, leaf["text"])
    return "tshark: %s %s = %r" % (leaf["kind"], leaf["name"], leaf["shown"])


def stop_position(tleaves, errors):
    """Index of the first tshark leaf that is not compared, why, and the tree
    depth at which tshark gave up (None when unknown)."""
    stop, why, depth = len(tleaves), "end", None
    explained = {pos for pos, msg, _depth in errors if msg != "malformed packet"}
    for pos, msg, at_depth in errors:
        # tshark may show a partly read value just before it gives up (unless
        # it said why it gave up there)
        at = pos - 1 if msg == "malformed packet" and pos not in explained else pos
        if at < stop or at == stop and why == "end":
            stop, why, depth = at, "error", at_depth
    for j, leaf in enumerate(tleaves[:stop]):
        if leaf["warn"] == "value" and leaf["kind"] != "list":
            return j, "out of range", None
        if leaf["warn"] and leaf["kind"] == "list" and fixed_array_items(tleaves, j):
            return j, "too many items", None
    return stop, why, depth


def fixed_array_items(tleaves, j):
    """True when the items of tshark's list leaf j are INTEGER, ENUMERATED, NULL
    or BIT STRING values (sibdecode refuses more of them than the SIZE allows)."""
    if j + 1 >= len(tleaves) or tleaves[j + 1]["depth"] <= tleaves[j]["depth"]:
        return False
    item = tleaves[j + 1]
    if item["kind"] == "val":
        return item["hint"] != "choice"
    return item["kind"] == "seq" and item["shown"] == "NULL"


CONTAINER_RE = re.compile(r"noncriticalexten[st]ions?$")


def dropped_item(tleaves, j, stop, stop_depth):
    """True when tshark leaf j opens a list or list item inside which the
    comparison's stop point lies: sibdecode does not append an item whose
    decode failed."""
    if not (tleaves[j]["name"].endswith("]") or tleaves[j]["kind"] == "list"):
        return False
    end = j + 1
    while end < len(tleaves) and tleaves[end]["depth"] > tleaves[j]["depth"]:
        end += 1
    if stop == end and stop_depth is not None:
        return stop_depth > tleaves[j]["depth"]  # gave up after the subtree's last field
    return j <= stop < end


def read_past_end(s, t, nbytes):
    """tshark pads a BIT STRING that runs past the end of the data with zero bits
    and reports nothing; sibdecode fails there (end of data) and prints the
    string it did not read as all zeros."""
    return s["vkind"] == "bits" and t["end"] >= nbytes and set(s["value"]) <= {"0"}


def went_on(sleaves, tleaves, errors, nbytes):
    """True when the fields after a refused value agree with tshark's to the end
    with several informative values: sibdecode cannot have stopped there (what it
    did not reach prints as initial values)."""
    if not sleaves or not tleaves:
        return False
    rest = compare(sleaves, tleaves, errors, nbytes)
    return rest["ok"] and rest["stop"] in ("end", "cut") and rest["informative"] >= 3


def is_container(tleaf):
    """An extension container ('Extentions' is spelt so in some identifiers)."""
    return tleaf["kind"] == "seq" and CONTAINER_RE.search(norm(tleaf["name"])) is not None


def compare(sleaves, tleaves, errors, nbytes):
    """Returns a dict: ok (bool), compared (number of agreeing leaves), stop
    (where an agreeing comparison ended: 'end', 'cut', 'out of range',
    'too many items', 'error', 'item dropped', 'text full', 'past the end'),
    and on disagreement 'why', 'sib', 'tshark' (leaf descriptions) and
    'position' (index of tshark's leaf)."""
    stop, stop_why, stop_depth = stop_position(tleaves, errors)
    i = j = 0
    compared = 0
    informative = 0  # agreeing values other than zero, False, empty or all-zero
    matched = []  # indices of sibdecode's value leaves that agreed

    def fail(why, s, t):
        lacks_t = t is not None and (s is None or norm(s["name"]) != norm(t["name"]))
        if lacks_t and dropped_item(tleaves, j, stop, stop_depth):
            return done("item dropped")  # sibdecode's text has no such item
        if s is not None and s["kind"] == "val" and s["vkind"] == "choice" and s["value"] is None \
                and j + 1 < len(tleaves) and tleaves[j + 1]["kind"] == "list" and dropped_item(tleaves, j + 1, stop, stop_depth):
            # a list alternative prints only its items: with its failing first item
            # dropped, the choice's block is empty
            return done("item dropped")
        return {"ok": False, "compared": compared, "why": why,
                "sib": describe(s, "sibdecode"), "tshark": describe(t, "tshark"),
                "position": j, "stop": None, "leaf": s["name"] if s is not None else None}

    def done(how):
        return {"ok": True, "compared": compared, "stop": how, "informative": informative,
                "matched": matched}

    def refused(how, i_next, j_next):
        """Ends the comparison at a value that sibdecode must refuse; fails when
        sibdecode evidently went on decoding after it."""
        if went_on(sleaves[i_next:], tleaves[j_next:],
                   [(p - j_next, m, d) for p, m, d in errors if p >= j_next], nbytes):
            return fail("sibdecode went on decoding after a value outside its constraint",
                        sleaves[i_next - 1], tleaves[j_next - 1])
        return done(how)

    while i < len(sleaves):
        s = sleaves[i]
        if s["kind"] == "cut short":
            return done("text full")
        if j >= stop:
            if stop_why == "out of range" and j < len(tleaves) and norm(s["name"]) == norm(tleaves[j]["name"]):
                return refused(stop_why, i + 1, j + 1)
            if stop_why != "end":
                return done(stop_why)
            # tshark ran out of fields without an error: only absent DEFAULT members
            # and empty lists may remain on sibdecode's side.
            if s["default"] is not None and s["value"] == s["default"]:
                i += 1
                continue
            if s["kind"] == "list" and s["value"] == 0:
                i += 1
                continue
            return fail("sibdecode has more fields than tshark", s, None)
        if s["kind"] == "seq" and norm(s["name"]) == "dummy" and i > 0 and norm(sleaves[i - 1]["name"]) in V690_RECORDS:
            return done("v690 dummy")
        t = tleaves[j]
        if s["kind"] == "bad":
            return fail("sibdecode's text does not fit the type model: " + s["text"], s, t)
        if norm(s["name"]) != norm(t["name"]):
            if s["kind"] == "list" and s["value"] == 0:
                i += 1
                continue
            if t["kind"] == "list" and t["show"] == "0":
                j += 1
                continue
        if s["cut"]:
            if is_container(t):
                compared += 1
                return done("cut")
            return fail("final nonCriticalExtensions present in sibdecode only", s, t)
        if later_asn1(s, t, sleaves[i - 1] if i > 0 else None):
            return done("tshark later ASN.1")
        t = later_name(s, t)
        if norm(s["name"]) != norm(t["name"]):
            if s["default"] is not None:
                if s["value"] != s["default"]:
                    return fail("absent DEFAULT member not printed with its default", s, t)
                i += 1
                continue
            return fail("field names differ", s, t)
        if s["kind"] == "val" and s["vkind"] == "null" and t["kind"] == "seq" and t["shown"] == "NULL":
            pass  # tshark shows a NULL as an empty element
        elif s["kind"] != t["kind"]:
            return fail("field kinds differ", s, t)
        if s["kind"] == "list":
            if t["warn"] and s.get("fixed"):
                return done("too many items")
            # The item count itself is not compared: the items follow, named by
            # index, and tshark announces the count before an error inside an item.
        elif s["kind"] == "val":
            tv = tshark_value(t, s["vkind"])
            if isinstance(tv, tuple) and tv[0] == "text" and isinstance(s["value"], bytes):
                tv = s["value"] if as_tshark_text(s["value"]) == tv[1] else tv
            if s["vkind"] != "null" and tv != s["value"]:
                if read_past_end(s, t, nbytes):
                    return done("past the end")
                return fail("values differ", s, t)
            if s["vkind"] == "enum" and tv is None:
                compared += 1
                return refused("out of range", i + 1, j + 1)
            if s["value"] not in (None, 0, False, "", b"") and not (
                    isinstance(s["value"], (str, bytes)) and set(s["value"]) <= {"0", 0}):
                informative += 1
            matched.append(i)
        compared += 1
        i += 1
        j += 1
    while j < stop and tleaves[j]["kind"] == "list" and tleaves[j]["show"] == "0":
        j += 1
    if j < stop:
        t = tleaves[j]
        return fail("tshark has more fields than sibdecode", None, t)
    return done("end")
