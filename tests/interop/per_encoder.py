"""Random values over the decoder's JSON type model, and their PER unaligned encoding.

Value shapes: SEQUENCE -> dict {member name: value} (absent members missing),
CHOICE -> (alternative index, value), SEQUENCE OF -> list, INTEGER -> int,
ENUMERATED -> item index, BOOLEAN -> bool, BIT STRING -> str of '0'/'1',
OCTET STRING -> bytes, NULL -> None.
"""

import json
import os
import random

MAX_SIB_BITS = 16 * 222
MODEL_PATH = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sib_model.json")


def load_model(path=MODEL_PATH):
    with open(path) as f:
        return json.load(f)


def decoded_types(model=None):
    """The SIB types that have a decoder, in increasing order (the model's roots)."""
    if model is None:
        model = load_model()
    return sorted(int(number) for number in model["roots"])


def type_name(sib, model=None):
    """The type's short name ("MIB", "SB1", "SIB3", "SIB15.1bis"), which `sibdecode --sib` takes."""
    if model is None:
        model = load_model()
    return model["names"][str(sib)]


def header(sib, model=None):
    """The first word of the type's text ("SysInfoType3", "MasterInformationBlock")."""
    if model is None:
        model = load_model()
    return model["headers"][str(sib)]


def release7_types(model=None):
    """The SIB types decoded at Release 7 (RRCParserX's ten)."""
    if model is None:
        model = load_model()
    return list(model["release7"])


# The summary hooks that queue neighbour cells.
NEIGHBOUR_FEEDS = {"FeedIntraFreqCell", "FeedInterFreqCell", "FeedInterRatCell"}


def neighbour_types(model=None):
    """The SIB types whose decoders queue neighbour cells for the summary record."""
    if model is None:
        model = load_model()
    return [sib for sib in decoded_types(model) if NEIGHBOUR_FEEDS & set(model["feeds"][str(sib)])]


def resolve(model, t):
    """Follows 'ref' types to the underlying definition."""
    while t["kind"] == "ref":
        t = model["types"][t["name"]]
    return t


def width(count):
    """Bits of a constrained whole number with `count` possible values."""
    return max(0, (count - 1).bit_length())


class BitWriter:
    def __init__(self):
        self.bits = []

    def put(self, value, nbits):
        for i in range(nbits - 1, -1, -1):
            self.bits.append((value >> i) & 1)

    def put_bits(self, text):
        self.bits.extend(1 if c == "1" else 0 for c in text)

    def __len__(self):
        return len(self.bits)

    def to_bytes(self):
        out = bytearray((len(self.bits) + 7) // 8)
        for i, b in enumerate(self.bits):
            if b:
                out[i // 8] |= 0x80 >> (i % 8)
        return bytes(out)


def is_final_extension(member):
    """The empty nonCriticalExtensions member that ends a cut extension chain."""
    t = member["type"]
    return member["name"] == "nonCriticalExtensions" and t["kind"] == "SEQUENCE" and not t["members"]


def is_extension_container(member):
    """An extension container member ('Extentions' is spelt so in some identifiers)."""
    name = member["name"].lower()
    return "noncriticalextension" in name or "noncriticalextention" in name


def zero_bit_type(model, t):
    """True when every value of the type encodes in zero bits (tshark counts such
    list elements as "nulls" and gives up at the tenth in a row)."""
    t = resolve(model, t)
    k = t["kind"]
    if k == "NULL":
        return True
    if k == "INTEGER":
        return t["lb"] == t["ub"]
    if k == "ENUMERATED":
        return len(t["items"]) == 1
    if k in ("BIT STRING", "OCTET STRING", "SEQUENCE OF"):
        return t["lb"] == t["ub"] == 0
    if k == "CHOICE":
        return len(t["alternatives"]) == 1 and zero_bit_type(model, t["alternatives"][0]["type"])
    if k == "SEQUENCE":
        return all(not m["optional"] and m["default"] is None and zero_bit_type(model, m["type"])
                   for m in t["members"])
    return False


class Policy:
    """How random values are drawn.

    p_optional: probability that an OPTIONAL/DEFAULT member is present;
    p_extension: the same for extension containers (biased high so deep levels are reached);
    final_extension: probability that the chain's final nonCriticalExtensions is present;
    scalar: 'random', 'low' or 'high' for INTEGER/ENUMERATED/CHOICE/sizes;
    max_extra_items: list lengths are lb + 0..max_extra_items;
    full_scalar_lists: lists of INTEGER, ENUMERATED, BIT STRING or NULL items
    take their largest SIZE (at most nine items that take no bits);
    p_invalid: probability that an INTEGER, ENUMERATED, CHOICE index, list
    length or bit-string length takes a value that its field can carry but its
    constraint refuses (where the field has room for one).
    """

    def __init__(self, p_optional=0.5, p_extension=0.85, final_extension=0.0,
                 scalar="random", max_extra_items=2, max_extra_bits=48, p_invalid=0.0,
                 full_scalar_lists=False):
        self.p_invalid = p_invalid
        self.full_scalar_lists = full_scalar_lists
        self.p_optional = p_optional
        self.p_extension = p_extension
        self.final_extension = final_extension
        self.scalar = scalar
        self.max_extra_items = max_extra_items
        self.max_extra_bits = max_extra_bits

    def alternative(self, t):
        """The index of the CHOICE alternative to draw, or None for a random one."""
        return None

    def member_value(self, model, member, rng):
        """A value for the SEQUENCE member, or None to draw one: a home Node B's
        name is text (printable ASCII, as cells send it)."""
        if member["name"] == "hNBName":
            t = resolve(model, member["type"])
            return bytes(rng.randrange(0x20, 0x7F) for _ in range(rng.randint(t["lb"], min(t["ub"], 24))))
        return None


def pick(rng, policy, lb, ub):
    if policy.scalar == "low":
        return lb
    if policy.scalar == "high":
        return ub
    r = rng.random()
    if r < 0.15:
        return lb
    if r < 0.3:
        return ub
    return rng.randint(lb, ub)


def out_of_range(rng, policy, count):
    """A raw field value at or past `count` that fits the field of a constrained
    whole number with `count` values, or None."""
    room = (1 << width(count)) - 1
    if policy.p_invalid and room >= count and rng.random() < policy.p_invalid:
        return rng.randint(count, room)
    return None


def random_value(model, t, rng, policy, depth=0):
    t = resolve(model, t)
    k = t["kind"]
    if k in ("INTEGER", "SEQUENCE OF", "BIT STRING") and t["lb"] != t["ub"]:
        bad = out_of_range(rng, policy, t["ub"] - t["lb"] + 1)
        if bad is not None:
            if k == "INTEGER":
                return t["lb"] + bad
            if k == "BIT STRING":
                return "".join(rng.choice("01") for _ in range(t["lb"] + bad))
            return [random_value(model, t["element"], rng, policy, depth + 1) for _ in range(t["lb"] + bad)]
    if k == "ENUMERATED":
        bad = out_of_range(rng, policy, len(t["items"]))
        if bad is not None:
            return bad
    if k == "CHOICE":
        bad = out_of_range(rng, policy, len(t["alternatives"]))
        if bad is not None:
            return (bad, None)
    if k == "BOOLEAN":
        return rng.random() < 0.5 if policy.scalar == "random" else policy.scalar == "high"
    if k == "NULL":
        return None
    if k == "INTEGER":
        return pick(rng, policy, t["lb"], t["ub"])
    if k == "ENUMERATED":
        return pick(rng, policy, 0, len(t["items"]) - 1)
    if k == "BIT STRING":
        ub = min(t["ub"], t["lb"] + policy.max_extra_bits)
        n = pick(rng, policy, t["lb"], ub)
        return "".join(rng.choice("01") for _ in range(n))
    if k == "OCTET STRING":
        # tshark's NAS dissector gives up on a one-octet GSM-MAP string: never draw one.
        lb = max(t["lb"], 2)
        n = pick(rng, policy, lb, max(lb, t["ub"]))
        return bytes(rng.randrange(256) for _ in range(n))
    if k == "SEQUENCE OF":
        ub = min(t["ub"], t["lb"] + policy.max_extra_items)
        scalar_items = resolve(model, t["element"])["kind"] in ("INTEGER", "ENUMERATED", "BIT STRING", "NULL")
        if policy.full_scalar_lists and scalar_items:
            ub = t["ub"]
        if zero_bit_type(model, t["element"]):
            ub = min(ub, 9)
        n = ub if policy.full_scalar_lists and scalar_items else pick(rng, policy, t["lb"], max(t["lb"], ub))
        return [random_value(model, t["element"], rng, policy, depth + 1) for _ in range(n)]
    if k == "CHOICE":
        i = policy.alternative(t)
        if i is None:
            i = pick(rng, policy, 0, len(t["alternatives"]) - 1)
        return (i, random_value(model, t["alternatives"][i]["type"], rng, policy, depth + 1))
    if k == "SEQUENCE":
        value = {}
        for m in t["members"]:
            if m["optional"] or m["default"] is not None:
                if is_final_extension(m):
                    p = policy.final_extension
                elif is_extension_container(m):
                    p = policy.p_extension
                else:
                    p = policy.p_optional
                if rng.random() >= p:
                    continue
            chosen = policy.member_value(model, m, rng)
            value[m["name"]] = chosen if chosen is not None else \
                random_value(model, m["type"], rng, policy, depth + 1)
        return value
    raise ValueError("unknown kind %r" % k)


def encode(model, t, value, w):
    """Appends the PER unaligned encoding of `value` of type `t` to BitWriter `w`."""
    t = resolve(model, t)
    k = t["kind"]
    if k == "BOOLEAN":
        w.put(1 if value else 0, 1)
    elif k == "NULL":
        pass
    elif k == "INTEGER":
        w.put(value - t["lb"], width(t["ub"] - t["lb"] + 1))
    elif k == "ENUMERATED":
        w.put(value, width(len(t["items"])))
    elif k == "BIT STRING":
        if t["lb"] != t["ub"]:
            w.put(len(value) - t["lb"], width(t["ub"] - t["lb"] + 1))
        w.put_bits(value)
    elif k == "OCTET STRING":
        if t["lb"] != t["ub"]:
            w.put(len(value) - t["lb"], width(t["ub"] - t["lb"] + 1))
        for byte in value:
            w.put(byte, 8)
    elif k == "SEQUENCE OF":
        if t["lb"] != t["ub"]:
            w.put(len(value) - t["lb"], width(t["ub"] - t["lb"] + 1))
        for item in value:
            encode(model, t["element"], item, w)
    elif k == "CHOICE":
        index, alt_value = value
        w.put(index, width(len(t["alternatives"])))
        if index < len(t["alternatives"]):
            encode(model, t["alternatives"][index]["type"], alt_value, w)
    elif k == "SEQUENCE":
        for m in t["members"]:
            if m["optional"] or m["default"] is not None:
                w.put(1 if m["name"] in value else 0, 1)
        for m in t["members"]:
            if m["name"] in value:
                encode(model, m["type"], value[m["name"]], w)
    else:
        raise ValueError("unknown kind %r" % k)


def encode_root(model, sib, value, pad_bytes=0):
    w = BitWriter()
    encode(model, {"kind": "ref", "name": model["roots"][str(sib)]}, value, w)
    return w.to_bytes() + bytes(pad_bytes), len(w)


def random_encoding(model, sib, rng, policy, tail=None):
    """A random valid encoding of the SIB that fits in MAX_SIB_BITS: draws again,
    with fewer optional members, while the encoding is too long. `tail` (bytes)
    replaces the zero padding that follows a present final nonCriticalExtensions."""
    root = {"kind": "ref", "name": model["roots"][str(sib)]}
    p = policy.p_optional
    for attempt in range(40):
        trial = Policy(p, policy.p_extension, policy.final_extension, policy.scalar,
                       policy.max_extra_items, policy.max_extra_bits, policy.p_invalid,
                       policy.full_scalar_lists)
        value = random_value(model, root, rng, trial)
        w = BitWriter()
        encode(model, root, value, w)
        if len(w) <= MAX_SIB_BITS:
            final = final_extension_present(model, root, value)
            # Past a present final container tshark reads later releases' containers:
            # pad with zero bytes so that it finds them absent.
            if not final:
                return w.to_bytes()
            return w.to_bytes() + (bytes(8) if tail is None else tail)
        if attempt % 4 == 3:
            p *= 0.7
    raise RuntimeError("could not draw a short enough SysInfoType%s" % sib)


def final_extension_present(model, t, value):
    """True when the value sets the chain's final nonCriticalExtensions."""
    t = resolve(model, t)
    for m in t["members"]:
        if m["name"] not in value:
            continue
        if is_final_extension(m):
            return True
        if is_extension_container(m) and resolve(model, m["type"])["kind"] == "SEQUENCE":
            if final_extension_present(model, m["type"], value[m["name"]]):
                return True
    return False


def mutated(rng, data, flips):
    """`data` with `flips` random bits inverted."""
    out = bytearray(data)
    for _ in range(flips):
        i = rng.randrange(len(out) * 8)
        out[i // 8] ^= 0x80 >> (i % 8)
    return bytes(out)


def random_bits(rng, max_bits=MAX_SIB_BITS):
    """Random bytes with a random density of one bits and a random length."""
    density = rng.choice([0.02, 0.1, 0.25, 0.5, 0.75, 0.9, 0.98])
    nbytes = rng.randint(1, max_bits // 8)
    out = bytearray(nbytes)
    for i in range(nbytes * 8):
        if rng.random() < density:
            out[i // 8] |= 0x80 >> (i % 8)
    return bytes(out)


def crafted_encodings(model, sib, rng):
    """A few hand-picked value shapes per SIB: every option absent with lowest
    values, every option present with highest values (as far as the size allows),
    the whole extension chain present, and a set final nonCriticalExtensions."""
    out = []
    shapes = [
        ("minimal", Policy(p_optional=0.0, p_extension=0.0, scalar="low", max_extra_items=0, max_extra_bits=0)),
        ("low-values-all-extensions", Policy(p_optional=0.0, p_extension=1.0, scalar="low", max_extra_items=0, max_extra_bits=0)),
        ("high-values", Policy(p_optional=0.3, p_extension=1.0, scalar="high", max_extra_items=0, max_extra_bits=0)),
        ("final-extension-set", Policy(p_optional=0.3, p_extension=1.0, final_extension=1.0)),
        ("rich", Policy(p_optional=0.8, p_extension=1.0, max_extra_items=1)),
    ]
    for name, policy in shapes:
        try:
            out.append((name, random_encoding(model, sib, rng, policy)))
        except RuntimeError:
            pass
    rich = Policy(p_optional=0.7, p_extension=1.0, max_extra_items=1)
    full = random_encoding(model, sib, rng, rich)
    # the value ends early: both decoders give up at the same bit
    out.append(("truncated", full[: max(1, len(full) // 2)]))
    # bytes after the value are not read
    out.append(("trailing-bytes", full + bytes(rng.randrange(256) for _ in range(16))))
    # bits that a later release places after the final nonCriticalExtensions
    tail = bytes(rng.randrange(256) for _ in range(16))
    final = Policy(p_optional=0.5, p_extension=1.0, final_extension=1.0)
    out.append(("final-extension-then-random", random_encoding(model, sib, rng, final, tail)))
    return out
