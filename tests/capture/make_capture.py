#!/usr/bin/env python3
"""Writes pcap and pcapng captures of TD-SCDMA BCH blocks as GSMTAP packets
(UMTS RRC, sub-type BCCH-BCH) over UDP, the way phone and radio capture tools
send them, together with what sibdecode must print for them.

The SIBs are valid encodings drawn from the interop type model. A cell's SIBs
are packed into 31-byte blocks like a cell's scheduler does: a short last
segment shares its block with complete SIBs and with the first segment of the
next SIB (lastAndFirst, lastAndComplete, lastAndCompleteAndFirst,
completeSIB-List, completeAndFirst); long SIBs go over several blocks.

usage:
  make_capture.py sample OUT.pcap             the sample cell of examples/
  make_capture.py sample-hex OUT.hex          its SIBs as hex batches, one SIB each
  make_capture.py tests OUT_DIR               the captures of the CLI tests
  make_capture.py repeats OUT_DIR [ROUNDS]    a long capture of two cells repeating
                                              their SIBs, one SIB changing twice
  make_capture.py extension-types OUT.pcap [EXPECTED.json]
                                              a Release 9 cell whose MIB names its
                                              extension-type SIBs (SIB11bis, SIB19)
  make_capture.py icmp-errors IN.pcap OUT.pcap  the capture with ICMP port unreachable
                                              errors quoting every other packet
  make_capture.py survey OUT_DIR             a phone's log of three cells on ARFCN 0 and
                                              two cells on two carriers, with what the
                                              generator knows of their cells
  make_capture.py big OUT.pcap FRAMES         at least FRAMES frames of two cells
                                              repeating their SIBs (benchmarks)

Standard library only; the output depends on nothing but the seeds.
"""

import copy
import json
import os
import random
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "interop"))

import per_encoder  # noqa: E402
import summary_check  # noqa: E402

DECODED_TYPES = set(per_encoder.decoded_types())
BLOCK_BITS = 246
PAYLOAD_BITS = BLOCK_BITS - 11 - 4  # after SFN-prime and the payload CHOICE
GSMTAP_PORT = 4729
BASE_TIME = 1768467600  # 2026-01-15 09:00:00 UTC
TTI_US = 20000  # one BCH block every 20 ms

LINKTYPE_ETHERNET = 1
LINKTYPE_RAW = 101
LINKTYPE_LINUX_SLL = 113

# ---- SIBs and their packing into BCH blocks ----


EXTENSION_TYPE = 31  # SIB-Type extensionType: the cell's schedule names the type


class Sib:
    def __init__(self, sib_type, bits, name):
        self.type = sib_type
        self.bits = bits
        self.name = name
        self.decoded = sib_type in DECODED_TYPES
        # The type its segments carry: an extension type goes as extensionType.
        self.air_type = EXTENSION_TYPE if sib_type > EXTENSION_TYPE else sib_type


def to_bits(data):
    return [(byte >> (7 - i)) & 1 for byte in data for i in range(8)]


def put(bits, value, width):
    bits.extend((value >> i) & 1 for i in range(width - 1, -1, -1))


def block_bytes(bits):
    assert len(bits) <= BLOCK_BITS, len(bits)
    out = bytearray(31)
    for i, bit in enumerate(bits):
        if bit:
            out[i // 8] |= 0x80 >> (i % 8)
    return bytes(out)


def block_bytes_any(bits):
    """Bits packed into bytes, most significant first, zero padded."""
    out = bytearray((len(bits) + 7) // 8)
    for i, bit in enumerate(bits):
        if bit:
            out[i // 8] |= 0x80 >> (i % 8)
    return bytes(out)


def variable(bits, data):
    put(bits, len(data) - 1, 8)
    bits.extend(data)


class Block:
    """One BCH block and the SIBs it carries: (sib number, role) in payload order,
    role 'first', 'next', 'last' or 'complete'."""

    def __init__(self, sfn, alternative, body, carried):
        bits = []
        put(bits, sfn % 2048, 11)
        put(bits, alternative, 4)
        bits.extend(body)
        self.data = block_bytes(bits)
        self.sfn = sfn
        self.alternative = alternative
        self.carried = carried


def schedule(sibs, sfn, min_first=24):
    """Packs SIBs, in order, into blocks the way a cell's scheduler does."""
    blocks = []
    current = None  # [sib number, pieces, next piece]
    n = 0
    while n < len(sibs) or current is not None:
        body, carried = [], []
        space = PAYLOAD_BITS
        last = None
        if current is not None:
            number, pieces, index = current
            piece = pieces[index]
            if index < len(pieces) - 1:  # a subsequent segment fills the block
                put(body, sibs[number].air_type, 5)
                put(body, index - 1, 4)
                body.extend(piece)
                blocks.append(Block(sfn, 2, body, [(number, "next")]))
                current[2] += 1
                sfn += 1
                continue
            current = None
            if len(piece) > 214:  # lastSegment, 222 bits
                put(body, sibs[number].air_type, 5)
                put(body, index - 1, 4)
                body.extend(piece + [0] * (222 - len(piece)))
                blocks.append(Block(sfn, 10, body, [(number, "last")]))
                sfn += 1
                continue
            last = []
            put(last, sibs[number].air_type, 5)
            put(last, index - 1, 4)
            variable(last, piece)
            carried.append((number, "last"))
            space -= len(last)

        # Complete SIBs that fit behind, then the first segment of the next one.
        completes = []
        room = space - 4
        while n < len(sibs) and len(completes) < 16 and len(sibs[n].bits) <= 214 and \
                13 + len(sibs[n].bits) <= room:
            completes.append(n)
            room -= 13 + len(sibs[n].bits)
            n += 1
        if not completes:
            room = space
        first = None
        if n < len(sibs) and room >= 17 + min_first and len(sibs[n].bits) > room - 17 and \
                (last is not None or completes):
            k = room - 17
            rest = sibs[n].bits[k:]
            pieces = [sibs[n].bits[:k]] + [rest[i:i + 222] for i in range(0, len(rest), 222)]
            assert len(pieces) <= 16
            first = []
            put(first, sibs[n].air_type, 5)
            put(first, len(pieces) - 1, 4)
            variable(first, pieces[0])
            current = [n, pieces, 1]
            n += 1

        if last is None and not completes:  # a SIB of its own: completeSIB or firstSegment
            sib = sibs[n]
            put(body, sib.air_type, 5)
            if len(sib.bits) <= 226:
                body.extend(sib.bits + [0] * (226 - len(sib.bits)))
                blocks.append(Block(sfn, 9, body, [(n, "complete")]))
            else:
                rest = sib.bits[222:]
                pieces = [sib.bits[:222]] + [rest[i:i + 222] for i in range(0, len(rest), 222)]
                assert len(pieces) <= 16
                put(body, len(pieces) - 1, 4)
                body.extend(pieces[0])
                current = [n, pieces, 1]
                blocks.append(Block(sfn, 1, body, [(n, "first")]))
            n += 1
            sfn += 1
            continue

        if last is not None:
            body.extend(last)
        if completes:
            put(body, len(completes) - 1, 4)
            for number in completes:
                put(body, sibs[number].air_type, 5)
                variable(body, sibs[number].bits)
                carried.append((number, "complete"))
        if first is not None:
            body.extend(first)
            carried.append((current[0], "first"))
        alternative = {(True, False, False): 3, (True, False, True): 4, (True, True, False): 5,
                       (True, True, True): 6, (False, True, False): 7,
                       (False, True, True): 8}[(last is not None, bool(completes),
                                                first is not None)]
        blocks.append(Block(sfn, alternative, body, carried))
        sfn += 1
    return blocks


# ---- SIB encodings from the type model ----


def load_model():
    return per_encoder.load_model(os.path.join(HERE, "..", "interop", "sib_model.json"))


def draw(model, sib, rng, policy, accept=lambda value: True, max_bits=16 * 222, tries=3000,
         shape=lambda value: value):
    root = {"kind": "ref", "name": model["roots"][str(sib)]}
    for _ in range(tries):
        value = per_encoder.random_value(model, root, rng, policy)
        if not accept(value):
            continue
        value = shape(value)
        w = per_encoder.BitWriter()
        per_encoder.encode(model, root, value, w)
        if len(w) <= max_bits and accept(value):
            return to_bits(w.to_bytes())[:len(w)] or [0]
    raise RuntimeError("no acceptable SysInfoType%d drawn" % sib)


def without_v690_dummy(value):
    """tshark reads the v690 dummy of SIB11 and SIB12 as its ASN.1 text's misplaced
    brace says (a CHOICE of four), sibdecode as meant; captures for tshark leave it out."""
    container = value.get("v4b0NonCriticalExtensions", {}).get("v590NonCriticalExtension", {}) \
        .get("v690NonCriticalExtensions", {})
    record = container.get("sysInfoType11-v690ext") or container.get("sysInfoType12-v690ext") or {}
    return "dummy" not in record


def realistic_neighbours(value):
    """The SIB11's neighbour lists as a TD-SCDMA network broadcasts them: three
    LCR cells on the serving frequency, two on others (band A carriers), three
    GSM 1800 cells, with plausible identities."""
    lcr = value["v4b0NonCriticalExtensions"]["sysInfoType11-v4b0ext"]["measurementControlSysInfo-LCR"]
    rscp = lcr["use-of-HCS"][1]["cellSelectQualityMeasure"][1]
    intra = rscp["intraFreqMeasurementSysInfo"]["intraFreqCellInfoSI-List"]
    inter = rscp["interFreqMeasurementSysInfo"]["interFreqCellInfoSI-List"]
    intra["newIntraFreqCellList"] = [copy.deepcopy(intra["newIntraFreqCellList"][0]) for _ in range(3)]
    for k, cell in enumerate(intra["newIntraFreqCellList"]):
        cell["intraFreqCellID"] = k + 1
        cell["cellInfo"]["primaryCCPCH-Info"]["cellParametersID"] = (37, 52, 90)[k]
    inter["newInterFreqCellList"] = [copy.deepcopy(inter["newInterFreqCellList"][0]) for _ in range(2)]
    for k, cell in enumerate(inter["newInterFreqCellList"]):
        cell["interFreqCellID"] = k + 4
        cell["frequencyInfo"] = {"modeSpecificInfo": (1, {"uarfcn-Nt": (10080, 10096)[k]})}
        cell["cellInfo"]["primaryCCPCH-Info"]["cellParametersID"] = (12, 65)[k]
    rat = value["measurementControlSysInfo"]["use-of-HCS"][1]["interRATMeasurementSysInfo"]
    rat["interRATCellInfoList"]["newInterRATCellList"] = [
        {"interRATCellID": 6 + k,
         "technologySpecificInfo": (0, {"interRATCellIndividualOffset": 0,
                                        "bsic": {"ncc": (3, 3, 5)[k], "bcc": (1, 4, 2)[k]},
                                        "frequency-band": 0, "bcch-ARFCN": (520, 537, 611)[k]})}
        for k in range(3)]
    return value


# Band A of TD-SCDMA (2010-2025 MHz): the UARFCNs of its carriers, 1.6 MHz apart.
BAND_A_UARFCNS = (10055, 10063, 10071, 10080, 10088, 10096, 10104, 10112, 10120)
SERVING_UARFCN = 10088

# What a live TD-SCDMA cell broadcasts where a random draw would be implausible,
# by member name: ("int", low, high), ("pick", values), ("item", name) for an
# enumeration, ("every", name) for a list of one, ("alternative", name) for a CHOICE.
LIVE_CELL_VALUES = {
    "q-RxlevMin": ("int", -53, -50),              # -107 .. -101 dBm
    "q-QualMin": ("int", -20, -16),
    "q-Hyst-l-S": ("int", 1, 3),                  # 2 .. 6 dB
    "q-Hyst-2-S": ("int", 1, 3),
    "t-Reselection-S": ("int", 1, 2),             # seconds
    "maxAllowedUL-TX-Power": ("pick", (24,)),     # dBm, a class 2 UE
    "primaryCCPCH-TX-Power": ("int", 30, 36),     # dBm
    "s-Intrasearch": ("int", 5, 10),
    "s-Intersearch": ("int", 3, 8),
    "s-SearchHCS": ("int", 2, 6),
    "s-SearchRAT": ("int", 1, 4),
    "s-Limit-SearchRAT": ("int", 1, 4),
    "q-Offset1S-N": ("int", 0, 4),
    "q-Offset2S-N": ("int", 0, 4),
    "hcs-PRIO": ("pick", (0,)),
    "q-HCS": ("pick", (0,)),
    "uarfcn-Nt": ("pick", BAND_A_UARFCNS),
    "uarfcn": ("pick", BAND_A_UARFCNS),
    "bcch-ARFCN": ("int", 512, 885),              # GSM 1800 neighbours
    "timeslot": ("int", 0, 6),                    # the seven timeslots of a 1.28 Mcps frame
    "timeslotNumber": ("int", 0, 6),
    "cn-Type": ("alternative", "gsm-MAP"),
    "plmn-Type": ("alternative", "gsm-MAP"),
    "rat-Identifier": ("item", "gsm"),
    "accessClassBarredList": ("every", "notBarred"),
    "cellBarred": ("alternative", "notBarred"),
    "cellReservedForOperatorUse": ("item", "notReserved"),
    "cellReservationExtension": ("item", "notReserved"),
    "cellSelectQualityMeasure": ("alternative", "cpich-RSCP"),
}


class LiveCellPolicy(per_encoder.Policy):
    """Draws as a TD-SCDMA (1.28 Mcps TDD) cell broadcasts: the tdd128 branch,
    or tdd where FDD and TDD are the choice, and the live-cell values above."""

    def alternative(self, t):
        names = [a["name"] for a in t["alternatives"]]
        for wanted in ("tdd128", "tdd"):
            if wanted in names and ("fdd" in names or wanted == "tdd128"):
                return names.index(wanted)
        return None

    def member_value(self, model, member, rng):
        rule = LIVE_CELL_VALUES.get(member["name"])
        if rule is None:
            return None
        t = per_encoder.resolve(model, member["type"])
        kind, arg = rule[0], rule[1:]
        if kind == "int" and t["kind"] == "INTEGER":
            return max(t["lb"], min(t["ub"], rng.randint(*arg)))
        if kind == "pick" and t["kind"] == "INTEGER":
            return max(t["lb"], min(t["ub"], rng.choice(arg[0])))
        if kind == "item" and t["kind"] == "ENUMERATED" and arg[0] in t["items"]:
            return t["items"].index(arg[0])
        if kind == "every" and t["kind"] == "SEQUENCE OF":
            element = per_encoder.resolve(model, t["element"])
            if element["kind"] == "ENUMERATED" and arg[0] in element["items"]:
                return [element["items"].index(arg[0])] * t["ub"]
        if kind == "alternative" and t["kind"] == "CHOICE":
            names = [a["name"] for a in t["alternatives"]]
            if arg[0] in names:
                i = names.index(arg[0])
                return (i, per_encoder.random_value(model, t["alternatives"][i]["type"], rng, self))
        return None


def with_neighbours(model, sib):
    def accept(value):
        summary = summary_check.expected_summary(model, sib, value)
        return summary["intra"] and summary["inter"] and summary["rat"] and without_v690_dummy(value)
    return accept


# SIBSb-TypeAndTag: alternative index and the width of its value tag.
MIB_REFERENCES = {1: (0, 8), 2: (1, 2), 3: (2, 2), 4: (3, 2), 5: (4, 2), 6: (5, 2), 7: (6, 0),
                  11: (10, 2), 12: (11, 2), 13: (12, 2)}


def mib(sib_segments, value_tag=1, mcc=(4, 6, 0), mnc=(0, 7)):
    """A MasterInformationBlock of a gsm-MAP PLMN whose reference list schedules
    the given (SIB type, segment count) pairs with a repetition of 128 frames."""
    bits = [0]  # v690NonCriticalExtensions absent
    put(bits, value_tag - 1, 3)
    put(bits, 0, 2)  # plmn-Type: gsm-MAP
    for digit in mcc:
        put(bits, digit, 4)
    put(bits, len(mnc) - 2, 1)
    for digit in mnc:
        put(bits, digit, 4)
    put(bits, len(sib_segments) - 1, 5)
    position = 1
    for sib_type, segments in sib_segments:
        alternative, tag_width = MIB_REFERENCES[sib_type]
        put(bits, alternative, 5)
        put(bits, 0, tag_width)  # value tag 1
        put(bits, 1 if segments > 1 else 0, 1)  # segCount present
        put(bits, 0, 1)  # sib-PosOffsetInfo absent
        if segments > 1:
            put(bits, segments - 1, 4)
        put(bits, 5, 4)  # sib-Pos: rep128
        put(bits, position % 64, 6)
        position += segments
    return Sib(0, bits, "MIB")


def with_mib(sibs):
    """The SIBs behind a MIB that references them with their segment counts."""
    placeholder = mib([(s.type, 1) for s in sibs])
    counts = {}
    for block in schedule([placeholder] + sibs, 0):
        for number, _ in block.carried:
            counts[number] = counts.get(number, 0) + 1
    return [mib([(s.type, counts[n + 1]) for n, s in enumerate(sibs)])] + sibs


def cell_sibs(model, rng, types, shape_sib11=lambda value: value, policy=per_encoder.Policy):
    """Drawn SIBs of the given types, each repetition (a 0 in `types`) behind
    its own MIB."""
    small = policy(p_optional=0.3, p_extension=0.5)
    big = policy(p_optional=0.5, p_extension=0.8)
    rich = policy(p_optional=0.8, p_extension=0.95)
    sibs, repetition = [], []
    for sib in types + [0]:
        if sib == 0:
            if repetition:
                sibs += with_mib(repetition)
            repetition = []
        elif sib == 11:
            repetition.append(Sib(11, draw(model, 11, rng, rich, with_neighbours(model, 11),
                                           max_bits=8 * 222, shape=shape_sib11),
                                  "SIB11"))
        elif sib in (5, 12):
            repetition.append(Sib(sib, draw(model, sib, rng, big, without_v690_dummy, max_bits=8 * 222),
                                  "SIB%d" % sib))
        else:
            repetition.append(Sib(sib, draw(model, sib, rng, small, max_bits=3 * 222),
                                  "SIB%d" % sib))
    return sibs


# ---- a cell of a Release 9 network: extension-type SIBs named by its MIB ----

SIB11BIS, SIB19 = 32, 40  # SIB-TypeExt index 0 and SIB-TypeExt2 index 0, past 31
EXT_ROUND = 128  # SFN-prime steps between two rounds of the cell's SIBs (256 frames)
REP256 = 6  # sib-Pos alternative rep256: INTEGER (0..127), half the first segment's frame


def ext_entry(type_member, alternative, segments, position):
    entry = {type_member: (alternative, None),
             "schedulingInfo": {"scheduling": {"sib-Pos": (REP256, position)}},
             "valueTagInfo": (1, 1)}  # cellValueTag 1
    entry["schedulingInfo"]["scheduling"]["segCount"] = segments  # sent even when 1: a fixed length
    return entry


def encode_sib(model, sib, value):
    w = per_encoder.BitWriter()
    per_encoder.encode(model, {"kind": "ref", "name": model["roots"][str(sib)]}, value, w)
    return to_bits(w.to_bytes())[:len(w)]


def extension_round(model, rng):
    """One round of a Release 9 cell: a MIB whose v6b0 and v860 extension lists schedule
    SIB11bis and SIB19 (sent as extensionType) at their places in a 256-frame cycle, SB1,
    SIB1 with its Release 8 container, SIB3, 5, 7, 11, 11bis, 18 and 19. The MIB is drawn
    again with the places the packing gives (its length does not change with them)."""
    live = LiveCellPolicy(p_optional=0.5, p_extension=0.9)
    mib_value = per_encoder.random_value(model, {"kind": "ref", "name": model["roots"]["0"]}, rng,
                                         LiveCellPolicy(p_optional=0.5, p_extension=0.0))
    sb1_value = per_encoder.random_value(model, {"kind": "ref", "name": model["roots"]["27"]}, rng,
                                         LiveCellPolicy(p_optional=0.5, p_extension=0.0))
    sibs = [Sib(27, encode_sib(model, 27, sb1_value), "SB1")]
    sibs.append(Sib(1, draw(model, 1, rng, LiveCellPolicy(p_optional=0.5, p_extension=1.0),
                            lambda v: "v860NonCriticalExtentions" in v.get("v3a0NonCriticalExtensions", {}),
                            max_bits=2 * 222), "SIB1"))
    for sib in (3, 5, 7):
        sibs.append(Sib(sib, draw(model, sib, rng, live, without_v690_dummy, max_bits=4 * 222), "SIB%d" % sib))
    sibs.append(Sib(11, draw(model, 11, rng, live, with_neighbours(model, 11), max_bits=6 * 222,
                            shape=realistic_neighbours), "SIB11"))
    for sib, name in ((SIB11BIS, "SIB11bis"), (26, "SIB18"), (SIB19, "SIB19")):
        sibs.append(Sib(sib, draw(model, sib, rng, live, max_bits=4 * 222), name))

    def with_schedule(places):
        value = copy.deepcopy(mib_value)
        segments = places.get("segments", {})
        value["v690NonCriticalExtensions"] = {
            "masterInformationBlock-v690ext": {},
            "v6b0NonCriticalExtensions": {
                "masterInformationBlock-v6b0ext": {"extSIBTypeInfoSchedulingInfo-List": [
                    ext_entry("extensionSIB-Type", 0, segments.get(SIB11BIS, 2), places.get(SIB11BIS, 0))]},
                "v860NonCriticalExtensions": {
                    "masterInformationBlock-v860ext": {"extSIBTypeInfoSchedulingInfo-List": [
                        ext_entry("extensionSIB-Type2", 0, segments.get(SIB19, 2), places.get(SIB19, 0))]}}}}
        return Sib(0, encode_sib(model, 0, value), "MIB")

    def places_of(blocks, round_sibs):
        places, segments = {}, {}
        for block in blocks:
            for number, role in block.carried:
                sib_type = round_sibs[number].type
                segments[sib_type] = segments.get(sib_type, 0) + 1
                if role in ("first", "complete") and sib_type in (SIB11BIS, SIB19):
                    places[sib_type] = block.sfn % (EXT_ROUND)
        places["segments"] = segments
        return places

    placeholder = with_schedule({})
    places = places_of(schedule([placeholder] + sibs, 0), [placeholder] + sibs)
    final = with_schedule(places)
    assert len(final.bits) == len(placeholder.bits)
    round_sibs = [final] + sibs
    assert places_of(schedule(round_sibs, 0), round_sibs) == places, "the MIB moved its SIBs"
    return round_sibs


def extension_cell_blocks(model, rng, rounds, start_sfn):
    """The cell's rounds, each starting EXT_ROUND SFN-prime steps after the one before
    (the blocks between carry nothing and are not captured)."""
    round_sibs = extension_round(model, rng)
    sibs, blocks = [], []
    for r in range(rounds):
        copies = [Sib(s.type, s.bits, s.name) for s in round_sibs]
        for block in schedule(copies, start_sfn + r * EXT_ROUND):
            block.carried = [(number + len(sibs), role) for number, role in block.carried]
            blocks.append(block)
        sibs += copies
    assert len(blocks) <= rounds * EXT_ROUND, "a round longer than the cycle"
    return sibs, blocks


def extension_types(path, expected_path=None):
    """A TD-SCDMA cell of a Release 9 network (examples/extension_types.pcap), its SIBs
    sent twice: SIB11bis and SIB19 go as extensionType and only the MIB's schedule names
    them; what sibdecode must print for it goes to expected_path."""
    model = load_model()
    rng = random.Random(20261207)
    cell = Cell(SERVING_UARFCN, [], 0)
    cell.sibs, cell.blocks = extension_cell_blocks(model, rng, 2, 640)
    timed = [(BASE_TIME * 1000000 + (block.sfn - cell.blocks[0].sfn) * TTI_US, 0, i)
             for i, block in enumerate(cell.blocks)]
    linktype, packets = packets_of(datagrams_of([cell], timed), "ethernet")
    write_pcap(path, linktype, packets)
    if expected_path is not None:
        printed, dropped = expectations([cell], timed)
        for p in printed:
            p["name"] = per_encoder.type_name(p["sib"], model)
        with open(expected_path, "w") as f:
            json.dump({"sibs": printed, "dropped": dropped, "frames": len(timed)}, f, indent=1)


# ---- cell surveys: a phone's log of three cells, two cells side by side ----

FILL = object()  # in a value outline: drawn as a live cell sends it


def outlined(model, t, outline, rng, policy):
    """The value of type `t` that the outline gives: a dict names SEQUENCE members
    (the required ones it leaves out are drawn, the optional ones left absent), a
    tuple (alternative name, outline) a CHOICE, a list the items of a SEQUENCE OF, a
    string an ENUMERATED item; FILL draws the value, anything else is the value."""
    t = per_encoder.resolve(model, t)
    kind = t["kind"]
    if outline is FILL:
        return per_encoder.random_value(model, t, rng, policy)
    if kind == "SEQUENCE":
        names = [m["name"] for m in t["members"]]
        unknown = set(outline) - set(names)
        assert not unknown, "no members %s" % sorted(unknown)
        value = {}
        for m in t["members"]:
            if m["name"] in outline:
                value[m["name"]] = outlined(model, m["type"], outline[m["name"]], rng, policy)
            elif not m["optional"] and m["default"] is None:
                value[m["name"]] = per_encoder.random_value(model, m["type"], rng, policy)
        return value
    if kind == "CHOICE":
        names = [a["name"] for a in t["alternatives"]]
        i = names.index(outline[0])
        return (i, outlined(model, t["alternatives"][i]["type"], outline[1], rng, policy))
    if kind == "SEQUENCE OF":
        return [outlined(model, t["element"], item, rng, policy) for item in outline]
    if kind == "ENUMERATED" and isinstance(outline, str):
        return t["items"].index(outline)
    if kind == "INTEGER":
        assert t["lb"] <= outline <= t["ub"], "%d outside %d..%d" % (outline, t["lb"], t["ub"])
    return outline


def outlined_sib(model, sib_type, name, outline, rng, policy=None):
    policy = policy or LiveCellPolicy(p_optional=0.3, p_extension=0.0)
    root = {"kind": "ref", "name": model["roots"][str(sib_type)]}
    value = outlined(model, root, outline, rng, policy)
    return Sib(sib_type, encode_sib(model, sib_type, value), name)


class Neighbours:
    """A cell's neighbour lists as the outlines of their entries, and the rows
    `sibdecode --neighbours` gives for them (neighbour record keys)."""

    KEYS = ("sib", "kind", "neighbour_id", "mode", "uarfcn", "gsm_arfcn", "gsm_band", "earfcn",
            "cell_parameters_id", "primary_scrambling_code", "ncc", "bcc", "physical_cell_id",
            "priority", "thresh_x_high", "thresh_x_low", "q_rxlev_min", "q_offset")

    def __init__(self, serving_uarfcn):
        self.serving_uarfcn = serving_uarfcn
        self.rows = []

    def row(self, **values):
        row = dict.fromkeys(self.KEYS)
        row.update(values)
        self.rows.append(row)

    def cell_info(self, kind, ecn0, code, q_offset, q_rxlev_min):
        """The cellInfo of a UTRA neighbour and its row's values: kind "lcr" (CellInfoSI-*-LCR-r4),
        "tdd" or "fdd" (the alternatives of the Release 99 CellInfoSI-*); code its cell
        parameters id (None: left out) or primary scrambling code; no
        cellSelectionReselectionInfo when q_offset is None (-ECN0 ones have q-Offset1S-N)."""
        mode = "fdd" if kind == "fdd" else "tdd"
        fields = {"mode": mode.upper(), "q_offset": q_offset, "q_rxlev_min": None if q_offset is None else q_rxlev_min}
        if kind == "lcr":
            ccpch = {"tstd-Indicator": False, "sctd-Indicator": False}
            info = {"primaryCCPCH-Info": ccpch, "timeslotInfoList": [{"timeslotNumber": 0}], "readSFN-Indicator": False}
        elif kind == "tdd":
            ccpch = {"sctd-Indicator": False}
            info = {"modeSpecificInfo": ("tdd", {"primaryCCPCH-Info": ("tdd", ccpch), "readSFN-Indicator": False})}
        else:
            info = {"modeSpecificInfo": ("fdd", {"primaryCPICH-Info": {"primaryScramblingCode": code},
                                                 "readSFN-Indicator": False, "tx-DiversityIndicator": False})}
            fields["primary_scrambling_code"] = code
        if kind != "fdd" and code is not None:
            ccpch["cellParametersID"] = code
            fields["cell_parameters_id"] = code
        if q_offset is not None:
            info["cellSelectionReselectionInfo"] = {"q-Offset1S-N" if ecn0 else "q-OffsetS-N": q_offset,
                                                    "modeSpecificInfo": (mode, {"q-RxlevMin": q_rxlev_min})}
        return info, fields

    def intra(self, sib, cells, kind="lcr", ecn0=False):
        """Cells on the serving carrier: (cell id, code, q offset, q RxLevMin)."""
        entries = []
        for cell_id, code, q_offset, q_rxlev_min in cells:
            info, fields = self.cell_info(kind, ecn0, code, q_offset, q_rxlev_min)
            entries.append({"intraFreqCellID": cell_id, "cellInfo": info})
            self.row(sib=sib, kind="intra", neighbour_id=cell_id, uarfcn=self.serving_uarfcn, **fields)
        return entries

    def inter(self, sib, cells, kind="lcr", ecn0=False):
        """Cells on other carriers: (cell id, UARFCN or None for the previous entry's,
        code, q offset, q RxLevMin)."""
        entries, uarfcn = [], None
        for cell_id, carrier, code, q_offset, q_rxlev_min in cells:
            info, fields = self.cell_info(kind, ecn0, code, q_offset, q_rxlev_min)
            entry = {"interFreqCellID": cell_id, "cellInfo": info}
            if carrier is not None:
                entry["frequencyInfo"] = {"modeSpecificInfo": ("fdd", {"uarfcn-DL": carrier}) if kind == "fdd"
                                          else ("tdd", {"uarfcn-Nt": carrier})}
                uarfcn = carrier
            entries.append(entry)
            self.row(sib=sib, kind="inter", neighbour_id=cell_id, uarfcn=uarfcn, **fields)
        return entries

    def rat(self, sib, gsm, other=()):
        """GSM 1800 cells (cell id, BCCH ARFCN, NCC, BCC, q offset, q RxLevMin), then cells
        of other radio technologies (cell id, "is-2000" or "absent")."""
        entries = []
        for cell_id, arfcn, ncc, bcc, q_offset, q_rxlev_min in gsm:
            info = {"interRATCellIndividualOffset": 0, "bsic": {"ncc": ncc, "bcc": bcc},
                    "frequency-band": "dcs1800BandUsed", "bcch-ARFCN": arfcn}
            if q_offset is not None:
                info["cellSelectionReselectionInfo"] = {"q-Offset1S-N": q_offset,
                                                        "modeSpecificInfo": ("gsm", {"q-RxlevMin": q_rxlev_min})}
            entries.append({"interRATCellID": cell_id, "technologySpecificInfo": ("gsm", info)})
            self.row(sib=sib, kind="gsm", neighbour_id=cell_id, gsm_arfcn=arfcn, gsm_band="dcs1800BandUsed",
                     ncc=ncc, bcc=bcc, q_offset=q_offset, q_rxlev_min=None if q_offset is None else q_rxlev_min)
        for cell_id, technology in other:
            info = {"is-2000SpecificMeasInfo": FILL} if technology == "is-2000" else None
            entries.append({"interRATCellID": cell_id, "technologySpecificInfo": (technology, info)})
            self.row(sib=sib, kind="other_rat", neighbour_id=cell_id)
        return entries


def measurement_lists(neighbours, sib, cells, kind, ecn0, extension):
    """The lists of a cpich-RSCP or cpich-Ec-N0 alternative: cells = (intra, inter); the
    SIB11bis extensions hold them directly, SIB11 and SIB12 in measurement system info."""
    intra, inter = cells
    lists = {}
    if intra:
        entries = neighbours.intra(sib, intra, kind, ecn0)
        lists.update({"newIntraFreqCellList": entries} if extension else {"intraFreqMeasurementSysInfo": {
            "intraFreqCellInfoSI-List": {"removedIntraFreqCellList": ("removeNoIntraFreqCells", None),
                                         "newIntraFreqCellList": entries}}})
    if inter:
        entries = neighbours.inter(sib, inter, kind, ecn0)
        lists.update({"newInterFreqCellList": entries} if extension else {"interFreqMeasurementSysInfo": {
            "interFreqCellInfoSI-List": {"newInterFreqCellList": entries}}})
    return lists


def measurement_control(neighbours, sib, gsm, r99=((), (), "tdd"), lcr=None, other=(), hcs=False, ecn0=False,
                        extension=False):
    """The Release 99 measurement control information of a SIB11, SIB12 or SIB11bis (r99:
    its intra- and inter-frequency cells and their kind, "fdd" or "tdd"; gsm and other:
    its inter-RAT cells) and its 1.28 Mcps extension (lcr: its LCR cells, or None), both
    with or without HCS, RSCP or Ec/N0 alike. Rows in the order the SIB holds the lists."""
    use, measure = "hcs-used" if hcs else "hcs-not-used", "cpich-Ec-N0" if ecn0 else "cpich-RSCP"
    r99_use = {"cellSelectQualityMeasure": (measure, measurement_lists(neighbours, sib, r99[:2], r99[2], ecn0,
                                                                        extension))}
    if gsm or other:
        rat_list = neighbours.rat(sib, gsm, other)
        r99_use.update({"newInterRATCellList": rat_list} if extension else {"interRATMeasurementSysInfo": {
            "interRATCellInfoList": {"removedInterRATCellList": ("removeNoInterRATCells", None),
                                     "newInterRATCellList": rat_list}}})
    lcr_outline = None
    if lcr is not None:
        lcr_outline = {"use-of-HCS": (use, {"cellSelectQualityMeasure": (measure, measurement_lists(
            neighbours, sib, lcr, "lcr", ecn0, extension))})}
    return {"use-of-HCS": (use, r99_use)}, lcr_outline


def survey_sib11(model, rng, neighbours, sib=11, **lists):
    """A SIB11 or SIB12 (sib 12) of measurement_control's lists."""
    name = "SIB%d" % sib
    r99, lcr = measurement_control(neighbours, name, **lists)
    outline = {"measurementControlSysInfo": r99}
    if sib == 11:
        outline["sib12indicator"] = False
    if lcr is not None:
        outline["v4b0NonCriticalExtensions"] = {"sysInfoType%d-v4b0ext" % sib: {"measurementControlSysInfo-LCR": lcr}}
    return outlined_sib(model, sib, name, outline, rng)


def survey_sib11bis(model, rng, neighbours, gsm=(), r99=None, lcr=None, other=(), hcs=False, ecn0=False):
    """A SIB11bis: its Release 99 extension (r99 as measurement_control takes it, or None)
    with the inter-RAT cells, then its 1.28 Mcps one (lcr, with the inter-RAT cells when
    there is no Release 99 part)."""
    outline = {}
    if r99 is not None:
        outline["measurementControlSysInfo"], _ = measurement_control(
            neighbours, "SIB11bis", gsm, r99, other=other, hcs=hcs, ecn0=ecn0, extension=True)
        gsm, other = (), ()
    if lcr is not None:
        use, measure = "hcs-used" if hcs else "hcs-not-used", "cpich-Ec-N0" if ecn0 else "cpich-RSCP"
        lists = {"cellSelectQualityMeasure": (measure, measurement_lists(neighbours, "SIB11bis", lcr, "lcr", ecn0,
                                                                         True))}
        if gsm or other:
            lists["newInterRATCellList"] = neighbours.rat("SIB11bis", gsm, other)
        outline["measurementControlSysInfo-LCR"] = {"use-of-HCS": (use, lists)}
    return outlined_sib(model, SIB11BIS, "SIB11bis", outline, rng)


def survey_sib19(model, rng, neighbours, tdd_layers, fdd_layers, gsm_layers, eutra_layers):
    """Priority-based reselection: UTRA carriers (UARFCN, priority, high, low, q RxLevMin
    or None), GSM groups (starting ARFCN, following ARFCNs, priority, q RxLevMin, high,
    low), E-UTRA carriers (EARFCN, priority, q RxLevMin, high, low, blacklisted PCIs)."""
    def utra(layers, mode, rxlev):
        entries = []
        for uarfcn, priority, high, low, q_rxlev_min in layers:
            entry = {"uarfcn": uarfcn, "priority": priority, "threshXhigh": high, "threshXlow": low}
            if q_rxlev_min is not None:
                entry[rxlev] = q_rxlev_min
            entries.append(entry)
            neighbours.row(sib="SIB19", kind="utra_layer", mode=mode, uarfcn=uarfcn, priority=priority,
                           thresh_x_high=high, thresh_x_low=low, q_rxlev_min=q_rxlev_min)
        return entries

    utra_list = {"utra-ServingCell": {"priority": 4, "s-PrioritySearch1": 10, "threshServingLow": 5}}
    if fdd_layers:
        utra_list["utran-FDD-FrequencyList"] = utra(fdd_layers, "FDD", "qRxLevMinFDD")
    utra_list["utran-TDD-FrequencyList"] = utra(tdd_layers, "TDD", "qRxLevMinTDD")
    gsm = []
    for start, following, priority, q_rxlev_min, high, low in gsm_layers:
        gsm.append({"gsmCellGroup": {"startingARFCN": start, "bandIndicator": "dcs1800",
                                     "followingARFCNs": ("explicitListOfARFCNs", following)},
                    "priority": priority, "qRxLevMinGSM": q_rxlev_min, "threshXhigh": high, "threshXlow": low})
        neighbours.row(sib="SIB19", kind="gsm_layer", gsm_arfcn=start, gsm_band="dcs1800", priority=priority,
                       thresh_x_high=high, thresh_x_low=low, q_rxlev_min=q_rxlev_min)
    eutra = []
    for earfcn, priority, q_rxlev_min, high, low, pcis in eutra_layers:
        entry = {"earfcn": earfcn, "measurementBandwidth": "mbw100", "priority": priority,
                 "qRxLevMinEUTRA": q_rxlev_min, "threshXhigh": high, "threshXlow": low, "eutraDetection": True}
        if pcis:
            entry["eutra-blackListedCellList"] = [{"physicalCellIdentity": pci} for pci in pcis]
        eutra.append(entry)
        neighbours.row(sib="SIB19", kind="eutra_layer", earfcn=earfcn, priority=priority, thresh_x_high=high,
                       thresh_x_low=low, q_rxlev_min=q_rxlev_min)
        for pci in pcis:
            neighbours.row(sib="SIB19", kind="eutra_blacklisted", earfcn=earfcn, physical_cell_id=pci)
    outline = {"utra-PriorityInfoList": utra_list}
    if gsm:
        outline["gsm-PriorityInfoList"] = gsm
    if eutra:
        outline["eutra-FrequencyAndPriorityInfoList"] = eutra
    return outlined_sib(model, SIB19, "SIB19", outline, rng)


def survey_sib1(model, rng, lac, rac):
    """SIB1 of a gsm-MAP network: the LAC (and the T3212 octet), a CS and a PS domain,
    the PS domain's NAS information starting with the RAC."""
    outline = {"cn-CommonGSM-MAP-NAS-SysInfo": struct.pack(">H", lac),
               "cn-DomainSysInfoList": [
                   {"cn-DomainIdentity": "cs-domain", "cn-Type": ("gsm-MAP", bytes([0x1E, 0x01])),
                    "cn-DRX-CycleLengthCoeff": 7},
                   {"cn-DomainIdentity": "ps-domain", "cn-Type": ("gsm-MAP", bytes([rac, 0x01])),
                    "cn-DRX-CycleLengthCoeff": 7}],
               "ue-IdleTimersAndConstants": FILL}
    return outlined_sib(model, 1, "SIB1", outline, rng)


FDD_RESELECTION = {"cellSelectQualityMeasure": ("cpich-Ec-N0", {}),
                   "modeSpecificInfo": ("fdd", {"q-QualMin": -18, "q-RxlevMin": -58}),
                   "q-Hyst-l-S": 2, "t-Reselection-S": 1, "maxAllowedUL-TX-Power": 24}


def survey_identity_sib(model, rng, sib_type, identity, fdd=False):
    """SIB3 or SIB4 of a TD-SCDMA (or FDD) cell with the given 28-bit identity."""
    outline = {"cellIdentity": format(identity, "028b"), "cellSelectReselectInfo": FDD_RESELECTION if fdd else FILL,
               "cellAccessRestriction": {"cellBarred": ("notBarred", None),
                                         "cellReservedForOperatorUse": "notReserved",
                                         "cellReservationExtension": "notReserved"}}
    if sib_type == 3:
        outline["sib4indicator"] = False
    return outlined_sib(model, sib_type, "SIB%d" % sib_type, outline, rng)


def survey_drawn(model, rng, sib_type, max_segments=3):
    """A SIB of a type whose contents the survey does not look at, as a live cell sends it."""
    return Sib(sib_type, draw(model, sib_type, rng, LiveCellPolicy(p_optional=0.3, p_extension=0.3),
                              without_v690_dummy, max_bits=max_segments * 222), "SIB%d" % sib_type)


# The reference list's CHOICE alternatives of the types a survey cell schedules.
SURVEY_REFERENCES = {1: "sysInfoType1", 2: "sysInfoType2", 3: "sysInfoType3", 4: "sysInfoType4",
                     5: "sysInfoType5", 7: "sysInfoType7", 11: "sysInfoType11", 12: "sysInfoType12",
                     26: "sysInfoType18", 27: "sysInfoTypeSB1"}
SURVEY_EXTENSIONS = {SIB11BIS: "systemInfoType11bis", SIB19: "systemInfoType19"}


def survey_mib(model, rng, sibs, places, mib_tag, mcc, mnc, tags):
    """The MIB of a round: its PLMN, and each SIB's value tag (tags: by type), segment
    count and place in the 256-frame cycle (places: type -> (SFN-prime mod 128, segments))."""
    references, ext6, ext8 = [], [], []
    for sib in sibs:
        position, segments = places.get(sib.type, (0, 1))
        scheduling = {"scheduling": {"segCount": segments, "sib-Pos": ("rep256", position)}}
        tag = tags.get(sib.type, 1)
        if sib.type in SURVEY_EXTENSIONS:
            member = "extensionSIB-Type" if sib.type < SIB19 else "extensionSIB-Type2"
            entry = {member: (SURVEY_EXTENSIONS[sib.type], None), "schedulingInfo": scheduling,
                     "valueTagInfo": ("cellValueTag", tag)}
            (ext6 if sib.type < SIB19 else ext8).append(entry)
        else:
            name = SURVEY_REFERENCES[sib.type]
            references.append({"sibSb-Type": (name, None if sib.type == 7 else tag), "scheduling": scheduling})
    outline = {"mib-ValueTag": mib_tag, "sibSb-ReferenceList": references,
               "plmn-Type": ("gsm-MAP", {"plmn-Identity": {"mcc": list(mcc), "mnc": list(mnc)}})}
    if ext6 or ext8:
        v6b0 = {"masterInformationBlock-v6b0ext": {"extSIBTypeInfoSchedulingInfo-List": ext6} if ext6 else {}}
        if ext8:
            v6b0["v860NonCriticalExtensions"] = {
                "masterInformationBlock-v860ext": {"extSIBTypeInfoSchedulingInfo-List": ext8}}
        outline["v690NonCriticalExtensions"] = {"masterInformationBlock-v690ext": {},
                                                "v6b0NonCriticalExtensions": v6b0}
    return outlined_sib(model, 0, "MIB", outline, rng)


def survey_round(model, sibs, mib_of):
    """[MIB] + sibs, the MIB (mib_of(places)) naming the place and segment count each
    SIB takes when the round starts a 256-frame cycle. The MIB's length does not
    depend on the places, so one packing settles them."""
    def places_of(round_sibs):
        places = {}
        for block in schedule(round_sibs, 0):
            for number, role in block.carried:
                sib_type = round_sibs[number].type
                position, segments = places.get(sib_type, (None, 0))
                if role in ("first", "complete"):
                    position = block.sfn % EXT_ROUND
                places[sib_type] = (position, segments + 1)
        return places

    placeholder = mib_of({})
    places = places_of([placeholder] + sibs)
    final = mib_of(places)
    assert len(final.bits) == len(placeholder.bits)
    assert places_of([final] + sibs) == places, "the MIB moved its SIBs"
    return [final] + sibs


class SurveyCell:
    """A cell's rounds as blocks: rounds start on 256-frame cycles (the blocks
    between carry nothing and are not captured); `sibs` and `blocks` as Cell has them."""

    def __init__(self, arfcn, start_us, first_sfn=0):
        self.arfcn = arfcn
        self.start_us = start_us
        self.first_sfn = first_sfn
        self.sibs, self.blocks = [], []
        self.next_sfn = first_sfn

    def add_round(self, sibs, sfn=None):
        sfn = self.next_sfn if sfn is None else sfn
        copies = [Sib(s.type, s.bits, s.name) for s in sibs]
        blocks = schedule(copies, sfn)
        for block in blocks:
            block.carried = [(number + len(self.sibs), role) for number, role in block.carried]
        self.blocks += blocks
        self.sibs += copies
        assert blocks[-1].sfn < sfn + EXT_ROUND - (sfn % EXT_ROUND), "a round longer than its cycle"
        self.next_sfn = sfn - sfn % EXT_ROUND + EXT_ROUND
        return blocks

    def time_of(self, block):
        return self.start_us + (block.sfn - self.first_sfn) * TTI_US

    def end_us(self):
        return self.time_of(self.blocks[-1]) + TTI_US


def survey_capture(path, cells, missing=()):
    """Writes the cells' blocks in time order, without the (cell, block index)
    pairs in `missing`; returns the frames' (time, cell, block index) and the
    SIBs sibdecode decodes (make_capture's expectations)."""
    timed = sorted((cell.time_of(block), c, i) for c, cell in enumerate(cells)
                   for i, block in enumerate(cell.blocks) if (c, i) not in missing)
    linktype, packets = packets_of(datagrams_of(cells, timed), "ethernet")
    write_pcap(path, linktype, packets)
    printed, dropped = expectations(cells, timed)
    return timed, printed, dropped


def blocks_carrying(cell, sib_index, role):
    return [i for i, block in enumerate(cell.blocks) if (sib_index, role) in block.carried]


def survey_truth(cells, facts, timed, printed, dropped, model):
    """What the generator knows of each cell, in the order of the cells' first decoded
    SIBs: its facts, and the SIBs of it that sibdecode decodes (count and distinct
    contents by type)."""
    truth = []
    for c, (cell, fact) in enumerate(zip(cells, facts)):
        counts = {}
        for p in printed:
            frame = p["frames"][-1]
            if timed[frame - 1][1] != c:
                continue
            name = per_encoder.type_name(p["sib"], model)
            entry = counts.setdefault(name, {"count": 0, "contents": []})
            entry["count"] += 1
            if p["bare"] not in entry["contents"]:
                entry["contents"].append(p["bare"])
        record = dict(fact)
        record["first"] = next(n for n, p in enumerate(printed) if timed[p["frames"][-1] - 1][1] == c)
        record["arfcn"] = cell.arfcn
        record["sibs"] = {name: {"count": v["count"], "versions": len(v["contents"])}
                          for name, v in sorted(counts.items())}
        truth.append(record)
    truth.sort(key=lambda record: record.pop("first"))  # in the order of their first SIBs
    return {"cells": truth, "frames": len(timed), "dropped": dropped, "decoded": len(printed)}


PHONE_CELLS = (  # cell identity, MCC, MNC, LAC, RAC, MIB value tag
    (9467431, (4, 6, 0), (0, 7), 0x25A1, 0x11, 3),
    (9469386, (4, 6, 0), (0, 7), 0x25A1, 0x12, 5),
    (9481748, (4, 6, 0), (0, 0), 0x5C03, 0x2A, 1),
)


def phone_log(model, rng):
    """A phone's GSMTAP log (ARFCN 0 for every cell) of three TD-SCDMA cells read one
    after the other as the phone moved: the log starts inside the first cell's round;
    every cell's first round sends its MIB, SIB1 and SIB5 before its SIB3; the
    phone leaves each of the first two cells right after a SIB3 of it; the second
    cell's SIB11 changes (with its MIB's value tags) and the third cell's SIB7 changes
    each round; the third cell, of another network, also sends SIB4. Two chains
    break (a lost subsequent segment, a lost last segment)."""
    cells, facts, start = [], [], BASE_TIME * 1000000
    missing = set()
    for c, (identity, mcc, mnc, lac, rac, mib_tag) in enumerate(PHONE_CELLS):
        neighbours = Neighbours(0)
        base = 10 * c
        intra = [(base + k, (20 + 8 * c + 3 * k) % 128, k - 1 if k else None, -51) for k in range(3)]
        inter = [(base + 4, BAND_A_UARFCNS[c], 40 + c, 2, -52), (base + 5, None, 41 + c, None, -50)]
        gsm = [(base + 6 + k, 520 + 17 * k + c, 3, (c + k) % 8, 1, -50) for k in range(2)]
        sib11 = survey_sib11(model, rng, neighbours, gsm=gsm, lcr=(intra, inter))
        changed11 = sib11
        if c == 1:  # the SIB11 from the third round on: a GSM neighbour more
            later = Neighbours(0)
            changed11 = survey_sib11(model, rng, later, gsm=gsm + [(base + 9, 611, 5, 2, None, None)],
                                     lcr=(intra, inter))
        sib1 = survey_sib1(model, rng, lac, rac)
        sib3 = survey_identity_sib(model, rng, 3, identity)
        sib5 = survey_drawn(model, rng, 5)
        sib7s = [survey_drawn(model, rng, 7, 1) for _ in range(2)]
        extra = [survey_identity_sib(model, rng, 4, identity)] if c == 2 else []
        cell = SurveyCell(0, start, first_sfn=EXT_ROUND * (c + 1) - 12 if c == 0 else 0)
        if c == 0:  # the log starts inside a round: its SIB7 and SIB11
            cell.add_round([sib7s[0], sib11])
        rounds = 4
        for r in range(rounds):
            changed = c == 1 and r >= 2
            sib7 = sib7s[r % 2] if c == 2 else sib7s[0]
            sibs = [sib1, sib5, sib3] + extra + [sib7, changed11 if changed else sib11]
            tags = {11: 2 if changed else 1, 1: 16 + c}
            tag = mib_tag + (1 if changed else 0)
            round_sibs = survey_round(model, sibs, lambda places: survey_mib(
                model, rng, sibs, places, tag, mcc, mnc, tags))
            if r == rounds - 1 and c < 2:
                round_sibs = round_sibs[:4]  # the phone moves on after the MIB, SIB1, SIB5 and SIB3
            cell.add_round(round_sibs)
        if c == 0:  # a lost segment after the first of the second round's SIB11
            number = [n for n, s in enumerate(cell.sibs) if s.type == 11][1]
            missing.add((c, (blocks_carrying(cell, number, "next") or blocks_carrying(cell, number, "last"))[0]))
        if c == 2:  # a lost last segment of the first round's SIB5
            number = [n for n, s in enumerate(cell.sibs) if s.type == 5][0]
            missing.add((c, blocks_carrying(cell, number, "last")[0]))
        cells.append(cell)
        start = cell.end_us() + 1500000
        facts.append({"cell_identity": identity, "plmn": "%s-%s" % ("".join(map(str, mcc)), "".join(map(str, mnc))),
                      "lac": lac, "rac": rac, "mib_value_tag": mib_tag + (1 if c == 1 else 0),
                      "mode": "1.28 Mcps TDD", "neighbours": (later if c == 1 else neighbours).rows})
    return cells, facts, missing


TWO_CELLS = (  # ARFCN, cell identity, LAC, RAC, offset of its blocks
    (10088, 0x1943A17, 0x2616, 0x05, 0),
    (10055, 0x1943A2B, 0x2616, 0x06, 7000),
)


def two_cells(model, rng):
    """Two TD-SCDMA cells of one network on two carriers, their blocks interleaved, two
    rounds each: the first a Release 9 cell whose MIB schedules SIB11bis and SIB19 as
    extension types, the second with 34 neighbours in its SIB11 (HCS, Ec/N0 lists)
    and a SIB12."""
    cells, facts = [], []
    for c, (arfcn, identity, lac, rac, offset) in enumerate(TWO_CELLS):
        neighbours = Neighbours(arfcn)
        sibs = [survey_sib1(model, rng, lac, rac), survey_identity_sib(model, rng, 3, identity),
                survey_drawn(model, rng, 5), survey_drawn(model, rng, 7, 1)]
        if c == 0:
            sibs.append(survey_sib11(
                model, rng, neighbours,
                gsm=[(6, 520, 3, 1, 2, -50), (7, 537, 3, 4, None, None), (8, 611, 5, 2, 0, -48)],
                lcr=([(1, 37, 2, -51), (2, 52, None, None), (3, 90, 0, -50)],
                     [(4, 10080, 12, 1, -52), (5, 10096, 65, 1, -52)])))
            sibs.append(survey_sib11bis(model, rng, neighbours, gsm=[(12, 700, 2, 6, 3, -49)],
                                        lcr=([(9, 101, 3, -50)],
                                             [(10, 10120, 71, None, None), (11, None, 72, 4, -53)])))
            sibs.append(survey_sib19(model, rng, neighbours,
                                     [(10104, 4, 6, 4, -50), (10120, 3, 6, 4, None)], [(10700, 2, 8, 6, -55)],
                                     [(512, [520, 537, 611], 1, -50, 8, 6)],
                                     [(38950, 6, -64, 8, 6, [101, 102]), (39148, 5, -62, 10, 4, [377]),
                                      (37900, 7, -60, 12, 2, [])]))
        else:
            intra = [(k, (4 * k + 1) % 128, k % 3 or None, -51 + k % 2) for k in range(14)]
            inter = [(14 + k, BAND_A_UARFCNS[k % 4] if k % 3 == 0 else None, 60 + k, 1, -52) for k in range(10)]
            gsm = [(k, 512 + 11 * k, k % 8, (3 * k) % 8, 0 if k % 2 else None, -50) for k in range(10)]
            sibs.append(survey_sib11(model, rng, neighbours, gsm=gsm, lcr=(intra, inter), hcs=True, ecn0=True))
            sibs.append(survey_sib11(model, rng, neighbours, sib=12, gsm=[(4, 590, 1, 1, 0, -47)],
                                     lcr=([(1, 9, 2, -50), (2, 13, 1, -50)], [(3, 10112, 17, None, None)])))
        tags = {1: 144 + c, 3: 2, SIB11BIS: 1, SIB19: 1}
        cell = SurveyCell(arfcn, BASE_TIME * 1000000 + offset, first_sfn=EXT_ROUND * (3 + c))
        for _ in range(2):
            cell.add_round(survey_round(model, sibs, lambda places: survey_mib(
                model, rng, sibs, places, 2 + c, (4, 6, 0), (0, 0), tags)))
        cells.append(cell)
        facts.append({"cell_identity": identity, "plmn": "460-00", "lac": lac, "rac": rac, "mib_value_tag": 2 + c,
                      "mode": "1.28 Mcps TDD", "neighbours": neighbours.rows})
    return cells, facts


def variants(model, rng):
    """Cells whose lists take the other forms: an FDD cell (Release 99 FDD lists, Ec/N0 and
    HCS with RSCP, a SIB11bis, inter-RAT cells of other technologies), a TDD cell with
    Release 99 TDD lists beside its 1.28 Mcps ones (HCS with Ec/N0 and with RSCP) and a
    SIB19 of UTRA carriers only, a cell whose SIB3 never comes, a cell whose MIB
    changes its PLMN under the same identity (two cells), and a cell the phone leaves
    for another and comes back to (one cell)."""
    cells, facts = [], []

    def add(arfcn, start, identity, plmn, lac, rac, sibs, mode, rows=(), rounds=2, skip=0):
        """A cell of `rounds` rounds, `skip` cycles between them."""
        cell = SurveyCell(arfcn, start, first_sfn=EXT_ROUND * (len(cells) + 1))
        mcc, mnc = [int(d) for d in plmn[:3]], [int(d) for d in plmn[4:]]
        for r in range(rounds):
            cell.add_round(survey_round(model, sibs, lambda places: survey_mib(
                model, rng, sibs, places, 4, mcc, mnc, {1: 60 + len(cells)})), sfn=cell.next_sfn + r * skip * EXT_ROUND)
        cells.append(cell)
        facts.append({"cell_identity": identity, "plmn": plmn, "lac": lac, "rac": rac, "mib_value_tag": 4,
                      "mode": mode, "neighbours": list(rows)})
        return cell

    start = BASE_TIME * 1000000
    fdd = Neighbours(10700)
    sibs = [survey_sib1(model, rng, 0x1234, 0x21), survey_identity_sib(model, rng, 3, 0x0A1B2C3, fdd=True),
            survey_identity_sib(model, rng, 4, 0x0A1B2C3, fdd=True),
            survey_sib11(model, rng, fdd, gsm=[(4, 70, 1, 2, 1, -50)], other=[(5, "is-2000"), (6, "absent")],
                         r99=([(0, 101, 2, -58), (1, 102, None, None)],
                              [(2, 10663, 201, 3, -56), (3, None, 202, None, None)], "fdd"), ecn0=True),
            survey_sib11(model, rng, fdd, sib=12, gsm=[], hcs=True,
                         r99=([(0, 301, -2, -57)], [(1, 10638, 302, 0, -55)], "fdd")),
            survey_sib11bis(model, rng, fdd, gsm=[(7, 80, 0, 0, None, None)], other=[(8, "spare1")], hcs=True,
                            r99=([(9, 401, 4, -50)], [(10, 10688, 402, 5, -52)], "fdd"))]
    add(10700, start, 0x0A1B2C3, "460-01", 0x1234, 0x21, sibs, "FDD", fdd.rows)

    tdd = Neighbours(10120)
    sibs = [survey_sib1(model, rng, 0x1235, 0x22), survey_identity_sib(model, rng, 3, 0x0A1B2D0),
            survey_sib11(model, rng, tdd, gsm=[(5, 600, 2, 2, None, None)], hcs=True, ecn0=True,
                         r99=([(0, 5, 1, -50), (1, None, None, None)], [(2, 10104, 7, 2, -49)], "tdd"),
                         lcr=([(3, 9, 1, -50)], [(4, 10088, 11, None, None)])),
            survey_sib11(model, rng, tdd, sib=12, gsm=[],
                         r99=([(0, 15, 0, -51)], [], "tdd"), lcr=([], [(1, 10096, 16, 2, -52)])),
            survey_sib11bis(model, rng, tdd, gsm=[(9, 640, 4, 4, 1, -45)], hcs=True,
                            r99=([(6, 21, 1, -50)], [], "tdd"),
                            lcr=([(7, 22, 2, -48)], [(8, 10071, 23, 1, -47)])),
            survey_sib19(model, rng, tdd, [(10104, 4, 6, 4, -50)], [], [], [])]
    add(10120, start + 5000, 0x0A1B2D0, "460-07", 0x1235, 0x22, sibs, "1.28 Mcps TDD", tdd.rows)

    sibs = [survey_sib1(model, rng, 0x1236, 0x23), survey_drawn(model, rng, 5), survey_drawn(model, rng, 7, 1)]
    add(10071, start + 11000, None, "460-07", 0x1236, 0x23, sibs, None)

    sibs = [survey_sib1(model, rng, 0x1237, 0x24), survey_identity_sib(model, rng, 3, 0x0A1B2E0)]
    first = add(10063, start + 13000, 0x0A1B2E0, "460-00", 0x1237, 0x24, sibs, "1.28 Mcps TDD", rounds=1)
    add(10063, first.end_us() + 1000000, 0x0A1B2E0, "460-02", 0x1237, 0x24, sibs, "1.28 Mcps TDD", rounds=1)

    # A phone back on a cell it had left: the same cell, before and after another.
    sibs = [survey_sib1(model, rng, 0x1238, 0x25), survey_identity_sib(model, rng, 3, 0x0A1B2F0)]
    back = add(10080, start + 17000, 0x0A1B2F0, "460-07", 0x1238, 0x25, sibs, "1.28 Mcps TDD", skip=2)
    sibs = [survey_sib1(model, rng, 0x1239, 0x26), survey_identity_sib(model, rng, 3, 0x0A1B300)]
    add(10080, start + 17000 + EXT_ROUND * TTI_US + 500000, 0x0A1B300, "460-07", 0x1239, 0x26, sibs, "1.28 Mcps TDD",
        rounds=1)
    assert cells[-1].end_us() < back.time_of(back.blocks[-1]), "the phone is not back on the first cell"
    return cells, facts


def survey(out_dir):
    """The captures of the cell survey test, and in survey_truth.json what the
    generator knows of their cells: phone_log.pcap, two_cells.pcap (also in
    examples/) and variants.pcap."""
    os.makedirs(out_dir, exist_ok=True)
    model = load_model()
    truth = {}
    cells, facts, missing = phone_log(model, random.Random(9467431))
    timed, printed, dropped = survey_capture(os.path.join(out_dir, "phone_log.pcap"), cells, missing)
    truth["phone_log.pcap"] = survey_truth(cells, facts, timed, printed, dropped, model)
    cells, facts = two_cells(model, random.Random(26491415))
    timed, printed, dropped = survey_capture(os.path.join(out_dir, "two_cells.pcap"), cells)
    truth["two_cells.pcap"] = survey_truth(cells, facts, timed, printed, dropped, model)
    cells, facts = variants(model, random.Random(10596035))
    timed, printed, dropped = survey_capture(os.path.join(out_dir, "variants.pcap"), cells)
    truth["variants.pcap"] = survey_truth(cells, facts, timed, printed, dropped, model)
    with open(os.path.join(out_dir, "survey_truth.json"), "w") as f:
        json.dump(truth, f, indent=1)


# ---- packets and capture files ----


def checksum(data):
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def gsmtap(arfcn, frame_number, payload, gsmtap_type=0x0C, sub_type=8):
    return struct.pack("!BBBBHbbIBBBB", 2, 4, gsmtap_type, 0, arfcn, -70, 20, frame_number,
                       sub_type, 0, 0, 0) + payload


def udp(payload, dst_port=GSMTAP_PORT, src_port=40000):
    return struct.pack("!HHHH", src_port, dst_port, 8 + len(payload), 0) + payload


IPV4_SRC, IPV4_DST = bytes([192, 168, 42, 129]), bytes([127, 0, 0, 1])
IPV6_SRC = bytes.fromhex("fd000000000000000000000000000001")
IPV6_DST = bytes.fromhex("fd000000000000000000000000000002")


def ipv4(datagram, ident):
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(datagram), ident & 0xFFFF, 0x4000,
                         64, 17, 0, IPV4_SRC, IPV4_DST)
    header = header[:10] + struct.pack("!H", checksum(header)) + header[12:]
    return header + datagram


def ipv6(datagram):
    pseudo = IPV6_SRC + IPV6_DST + struct.pack("!I3xB", len(datagram), 17)
    datagram = datagram[:6] + struct.pack("!H", checksum(pseudo + datagram) or 0xFFFF) + \
        datagram[8:]
    return struct.pack("!IHBB16s16s", 0x60000000, len(datagram), 17, 64, IPV6_SRC,
                       IPV6_DST) + datagram


def ethernet(ip, ether_type=0x0800):
    return bytes.fromhex("020000000002") + bytes.fromhex("020000000001") + \
        struct.pack("!H", ether_type) + ip


def linux_cooked(ip, ether_type):
    return struct.pack("!HHH8sH", 0, 1, 6, bytes.fromhex("0200000000010000"), ether_type) + ip


def frame(link, datagram, number):
    """One UDP datagram as a packet of the link type."""
    if link == "ethernet":
        return LINKTYPE_ETHERNET, ethernet(ipv4(datagram, number))
    if link == "cooked-ipv6":
        return LINKTYPE_LINUX_SLL, linux_cooked(ipv6(datagram), 0x86DD)
    if link == "raw-ipv4":
        return LINKTYPE_RAW, ipv4(datagram, number)
    raise ValueError(link)


def icmp_port_unreachable(ip):
    """The ICMP error a host without a listener on the port sends back for the
    IPv4 packet `ip`, quoting it whole (it fits in 576 bytes)."""
    message = struct.pack("!BBHI", 3, 3, 0, 0) + ip
    message = message[:2] + struct.pack("!H", checksum(message)) + message[4:]
    header = struct.pack("!BBHHHBBH4s4s", 0x45, 0xC0, 20 + len(message), 0, 0, 64, 1, 0,
                         IPV4_DST, IPV4_SRC)
    header = header[:10] + struct.pack("!H", checksum(header)) + header[12:]
    return header + message


def with_icmp_errors(path, out, every=2):
    """The Ethernet capture with an ICMP port unreachable quoting every
    `every`-th packet right behind it, as a remote sender's capture shows them
    when nothing listens on the GSMTAP port."""
    with open(path, "rb") as f:
        data = f.read()
    records, at = [], 24
    while at + 16 <= len(data):
        length = struct.unpack_from("<I", data, at + 8)[0]
        records.append(data[at:at + 16 + length])
        at += 16 + length
    packets = []
    for n, record in enumerate(records):
        seconds, micros = struct.unpack_from("<II", record)
        ts = seconds * 1000000 + micros
        packets.append((ts, record[16:]))
        if n % every == 0:
            reply = ethernet(icmp_port_unreachable(record[16 + 14:]))
            packets.append((ts + 100, reply[6:12] + reply[:6] + reply[12:]))
    write_pcap(out, LINKTYPE_ETHERNET, packets)


def write_pcap(path, linktype, packets):
    with open(path, "wb") as f:
        f.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, linktype))
        for ts, data in packets:
            f.write(struct.pack("<IIII", ts // 1000000, ts % 1000000, len(data), len(data)))
            f.write(data)


def pcap_records(path):
    """A pcap file's header and its records (record header and data), in order."""
    with open(path, "rb") as f:
        data = f.read()
    records, at = [], 24
    while at + 16 <= len(data):
        length = struct.unpack_from("<I", data, at + 8)[0]
        records.append(data[at:at + 16 + length])
        at += 16 + length
    return data[:24], records


def write_pcapng(path, linktype, packets):
    def block(block_type, body):
        body += b"\0" * (-len(body) % 4)
        size = 12 + len(body)
        return struct.pack("<II", block_type, size) + body + struct.pack("<I", size)

    with open(path, "wb") as f:
        f.write(block(0x0A0D0D0A, struct.pack("<IHHq", 0x1A2B3C4D, 1, 0, -1)))
        f.write(block(1, struct.pack("<HHI", linktype, 0, 65535)))
        for ts, data in packets:
            f.write(block(6, struct.pack("<IIIII", 0, ts >> 32, ts & 0xFFFFFFFF, len(data),
                                         len(data)) + data))


def write_pcapng_links(path, packets):
    """A pcapng of packets of several link types, one interface per link type, as
    mergecap writes captures of an Ethernet and a Linux cooked interface merged;
    `packets` holds (time, linktype, data). A statistics block stands between."""
    def block(block_type, body):
        body += b"\0" * (-len(body) % 4)
        size = 12 + len(body)
        return struct.pack("<II", block_type, size) + body + struct.pack("<I", size)

    interfaces = []
    with open(path, "wb") as f:
        f.write(block(0x0A0D0D0A, struct.pack("<IHHq", 0x1A2B3C4D, 1, 0, -1)))
        for ts, linktype, data in packets:
            if linktype not in interfaces:
                interfaces.append(linktype)
                # Nanosecond time stamps on the second interface: if_tsresol 9.
                options = b"" if len(interfaces) == 1 else struct.pack("<HHB3x", 9, 1, 9) + bytes(4)
                f.write(block(1, struct.pack("<HHI", linktype, 0, 65535) + options))
                f.write(block(5, struct.pack("<III", 0, 0, 0)))
            units = 1 if interfaces.index(linktype) == 0 else 1000
            f.write(block(6, struct.pack("<IIIII", interfaces.index(linktype), (ts * units) >> 32,
                                         (ts * units) & 0xFFFFFFFF, len(data), len(data)) + data))


# ---- a capture: cells, their blocks in time order, and what must come out ----


class Cell:
    def __init__(self, arfcn, sibs, sfn, offset_us=0):
        self.arfcn = arfcn
        self.sibs = sibs
        self.blocks = schedule(sibs, sfn)
        self.offset_us = offset_us


def interleave(cells, missing=()):
    """The blocks of all cells in time order as (time, cell, block index), without
    the (cell, block index) pairs in `missing`."""
    timed = []
    for c, cell in enumerate(cells):
        for i in range(len(cell.blocks)):
            if (c, i) not in missing:
                timed.append((BASE_TIME * 1000000 + cell.offset_us + i * TTI_US, c, i))
    timed.sort()
    return timed


def expectations(cells, timed):
    """The SIBs sibdecode must print, in the order their last segment arrives,
    and the chains it must drop. A SIB is printed when every block carrying it
    is in the capture."""
    frame_of = {(c, i): n + 1 for n, (_, c, i) in enumerate(timed)}
    carriers = {}
    for c, cell in enumerate(cells):
        for i, block in enumerate(cell.blocks):
            for position, (number, role) in enumerate(block.carried):
                carriers.setdefault((c, number), []).append((i, position, role))
    printed, dropped = [], 0
    for (c, number), where in carriers.items():
        cell = cells[c]
        sib = cell.sibs[number]
        present = [(c, i) in frame_of for i, _, _ in where]
        if all(present):
            if not sib.decoded:
                continue
            i, position, _ = where[-1]
            blocks = [cell.blocks[i].data for i, _, _ in where]
            printed.append({
                "order": (frame_of[(c, i)], position),
                "frames": [frame_of[(c, i)] for i, _, _ in where],
                "arfcn": cell.arfcn,
                "sib": sib.type,
                "blocks": b"".join(blocks).hex().upper(),
                # DecodeBatch picks the first queued first segment or complete SIB
                # of a batch: it decodes this SIB when nothing starts before it.
                "batch_equivalent": starts_first(cell, where) and in_sfn_order(cell, where),
                "alone": b"".join(b.data for b in schedule([sib], 0)).hex().upper(),
                "bare": block_bytes_any(sib.bits).hex().upper(),
            })
        elif present[0] and len(where) > 1:
            dropped += 1  # the first segment came, the chain cannot complete
    printed.sort(key=lambda p: p["order"])
    for p in printed:
        del p["order"]
    return printed, dropped


def starts_first(cell, where):
    i, position, _ = where[0]
    before = cell.blocks[i].carried[:position]
    return all(role in ("last", "next") for _, role in before)


def datagrams_of(cells, timed):
    """(time, UDP datagram) of every block, in time order."""
    out = []
    for ts, c, i in timed:
        cell = cells[c]
        block = cell.blocks[i]
        out.append((ts, udp(gsmtap(cell.arfcn, 2 * block.sfn, block.data))))
    return out


def in_sfn_order(cell, where):
    # DecodeBatch sorts by SFN-prime without wrap-around.
    sfns = [cell.blocks[i].sfn % 2048 for i, _, _ in where]
    return sfns == sorted(sfns)


def packets_of(datagrams, link):
    packets = []
    linktype = None
    for n, (ts, datagram) in enumerate(datagrams):
        linktype, data = frame(link, datagram, n)
        packets.append((ts, data))
    return linktype, packets


def sample(path):
    """One TD-SCDMA cell: MIB, SIB1, 2, 3, 5, 7 and 11 (LCR intra- and
    inter-frequency and GSM neighbours), sent twice with the same contents, as
    a cell repeats its broadcast."""
    model = load_model()
    rng = random.Random(20260120)
    order = [0, 1, 2, 3, 5, 7, 11]
    once = cell_sibs(model, rng, order, realistic_neighbours, LiveCellPolicy)
    sibs = once + [Sib(sib.type, sib.bits, sib.name) for sib in once]
    cell = Cell(SERVING_UARFCN, sibs, 512)
    timed = interleave([cell])
    linktype, packets = packets_of(datagrams_of([cell], timed), "ethernet")
    write_pcap(path, linktype, packets)


def sample_hex(path):
    """The decoded SIBs of the sample cell's first repetition as hex batches, each
    SIB in blocks of its own (its MIB is in the pcap sample)."""
    model = load_model()
    rng = random.Random(20260120)
    sibs = [sib for sib in cell_sibs(model, rng, [0, 1, 2, 3, 5, 7, 11], realistic_neighbours,
                                     LiveCellPolicy)
            if sib.decoded]
    lines = [
        "# BCH captures of a TD-SCDMA cell (examples/sample.pcap has the same SIBs with their",
        "# MIB, as GSMTAP packets): one batch of 31-byte transport blocks per line, hex, each",
        "# batch one system information block. Decode with: sibdecode examples/sample.hex",
    ]
    for sib in sibs:
        blocks = schedule([sib], 0)
        lines += ["", "# %s, %d block%s" % (sib.name, len(blocks), "s" if len(blocks) > 1 else ""),
                  "".join(block.data.hex().upper() for block in blocks)]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def test_captures(out_dir):
    """The captures of the CLI tests and, in expected.json, what they must give."""
    os.makedirs(out_dir, exist_ok=True)
    model = load_model()
    rng = random.Random(4729)
    # Cell A on ARFCN 0 (as many phones write it), cell B on 10054, blocks
    # interleaved in time; cell A repeats its SIBs, so a repeated type meets
    # its own pending chain.
    a = Cell(0, cell_sibs(model, rng, [0, 3, 5, 1, 11, 7, 2, 0, 5, 12, 4, 13, 6, 11, 3]), 100)
    b = Cell(10054, cell_sibs(model, rng, [0, 3, 5, 11, 1, 2, 7]), 1900, offset_us=7000)
    cells = [a, b]

    # Break two chains of cell A: a subsequent segment missing (out of order)
    # and a last segment missing (interrupted by the next first segment of the
    # same type, or still pending at the end).
    def blocks_of(sib_type, role):
        return [i for i, blk in enumerate(a.blocks)
                if any(a.sibs[n].type == sib_type and r == role for n, r in blk.carried)]

    missing = {(0, blocks_of(11, "next")[0]), (0, blocks_of(5, "last")[0])}
    timed = interleave(cells, missing)
    printed, dropped = expectations(cells, timed)

    kinds = sorted({blk.alternative for cell in cells for blk in cell.blocks})
    expected = {"sibs": printed, "dropped": dropped, "alternatives": kinds,
                "frames": len(timed)}

    # Packets that are not GSMTAP BCCH-BCH are skipped: a GSMTAP BCCH-FACH
    # message (frame 4) and a DNS query (frame 9).
    datagrams = datagrams_of(cells, timed)
    datagrams.insert(3, (datagrams[3][0], udp(gsmtap(0, 1, bytes(31), sub_type=7))))
    datagrams.insert(8, (datagrams[8][0], udp(b"\x12\x34\x01\x00" + bytes(8), dst_port=53)))
    for p in printed:
        p["frames"] = [f + (f > 3) + (f > 7) for f in p["frames"]]
    expected["skipped"] = 2
    expected["frames"] += 2
    for name, link, writer in [("cells.pcap", "ethernet", write_pcap),
                               ("cells_cooked_ipv6.pcapng", "cooked-ipv6", write_pcapng),
                               ("cells_raw_ipv4.pcap", "raw-ipv4", write_pcap)]:
        linktype, packets = packets_of(datagrams, link)
        writer(os.path.join(out_dir, name), linktype, packets)

    # The same packets over three interfaces of different link types in one pcapng.
    links = ("ethernet", "cooked-ipv6", "raw-ipv4")
    mixed = [(ts, *frame(links[k % 3], datagram, k)) for k, (ts, datagram) in enumerate(datagrams)]
    write_pcapng_links(os.path.join(out_dir, "cells_two_links.pcapng"), mixed)

    # A BCCH-BCH message of 30 bytes as frame 13; the frames after it decode.
    datagrams.insert(12, (datagrams[12][0], udp(gsmtap(0, 1, bytes(30)))))
    linktype, packets = packets_of(datagrams, "ethernet")
    write_pcap(os.path.join(out_dir, "wrong_size.pcap"), linktype, packets)
    expected["wrong_size_frame"] = 13

    # A cell whose SIB3 and SIB11 encodings end half-way (a faulty cell or
    # recorder): decoded as far as they go, between a whole SIB7 and SIB2.
    policy = per_encoder.Policy(p_optional=0.5, p_extension=0.8)
    sibs = [Sib(t, draw(model, t, rng, policy, max_bits=4 * 222), "SIB%d" % t) for t in (7, 3, 11, 2)]
    for sib in sibs:
        if sib.type in (3, 11):
            sib.bits = sib.bits[:len(sib.bits) // 2]
    cell = Cell(10071, with_mib(sibs), 300)
    linktype, packets = packets_of(datagrams_of([cell], interleave([cell])), "ethernet")
    write_pcap(os.path.join(out_dir, "stopped.pcap"), linktype, packets)
    expected["stopped"] = {"arfcn": 10071, "types": [3, 11], "complete": [7, 2]}

    with open(os.path.join(out_dir, "expected.json"), "w") as f:
        json.dump(expected, f, indent=1)


def repeats(out_dir, rounds=1000, changes=(300, 700)):
    """Two cells that broadcast the same SIBs `rounds` times, as an hour of
    capture does, except cell A's SIB7, which changes at the given rounds:
    repeats.pcap, and in repeats_expected.txt what `sibdecode --changes` prints
    (one line per SIB: ARFCN, SIB type, identical copies since the last print
    or '-' for the first), a line "--", and then what `--cells` counts (ARFCN,
    SIB type, count, versions)."""
    os.makedirs(out_dir, exist_ok=True)
    model = load_model()
    rng = random.Random(3600)
    cells = {10054: cell_sibs(model, rng, [3, 5, 7, 11]), 10071: cell_sibs(model, rng, [3, 7, 11, 12])}
    sib7 = next(k for k, sib in enumerate(cells[10054]) if sib.type == 7)
    versions = [cells[10054][sib7]]
    while len(versions) < len(changes) + 1:
        drawn = Sib(7, draw(model, 7, rng, per_encoder.Policy(p_optional=0.3, p_extension=0.5),
                            max_bits=3 * 222), "SIB7")
        if all(drawn.bits != v.bits for v in versions):
            versions.append(drawn)

    timed, printed, counts = [], [], {}
    for c, (arfcn, sibs) in enumerate(sorted(cells.items())):
        sfn, at = 64 * c, BASE_TIME * 1000000 + 7000 * c
        last_print = {}
        for r in range(rounds):
            version = sum(r >= change for change in changes)
            sibs_now = [versions[version] if k == sib7 and arfcn == 10054 else sib
                        for k, sib in enumerate(sibs)]
            for block in schedule(sibs_now, sfn):
                timed.append((at, arfcn, block))
                at += TTI_US
                sfn += 1
            for sib in sibs_now:
                if not sib.decoded:
                    continue
                key = (arfcn, sib.type)
                counts.setdefault(key, [0, set()])
                counts[key][0] += 1
                counts[key][1].add(tuple(sib.bits))
                if key not in last_print:
                    printed.append("%d %d -" % key)
                elif last_print[key][0] != sib.bits:
                    printed.append("%d %d %d" % (key + (r - last_print[key][1] - 1,)))
                else:
                    continue
                last_print[key] = (sib.bits, r)
    timed.sort(key=lambda t: t[0])
    datagrams = [(ts, udp(gsmtap(arfcn, 2 * block.sfn, block.data))) for ts, arfcn, block in timed]
    linktype, packets = packets_of(datagrams, "ethernet")
    write_pcap(os.path.join(out_dir, "repeats.pcap"), linktype, packets)
    with open(os.path.join(out_dir, "repeats_expected.txt"), "w") as f:
        f.write("\n".join(sorted(printed)) + "\n--\n")
        f.write("\n".join("%d %d %d %d" % (key + (n, len(v))) for key, (n, v) in sorted(counts.items())) + "\n")


def big(path, frames, seed=0):
    """At least `frames` frames: a short capture of two repeating cells (the
    seed picks their SIBs), its packets written again and again, later each time."""
    model = load_model()
    rng = random.Random(seed)
    cells = [Cell(10054 + seed, cell_sibs(model, rng, [3, 5, 7, 11, 12]), 0),
             Cell(10071 + seed, cell_sibs(model, rng, [3, 7, 11, 1, 2]), 64, offset_us=7000)]
    timed = interleave(cells)
    linktype, packets = packets_of(datagrams_of(cells, timed), "ethernet")
    span = packets[-1][0] - packets[0][0] + TTI_US
    rounds = -(-frames // len(packets))
    write_pcap(path, linktype, ((ts + r * span, data) for r in range(rounds) for ts, data in packets))


def main(argv):
    if len(argv) == 3 and argv[1] == "sample":
        sample(argv[2])
    elif len(argv) == 3 and argv[1] == "sample-hex":
        sample_hex(argv[2])
    elif len(argv) == 3 and argv[1] == "tests":
        test_captures(argv[2])
    elif len(argv) == 3 and argv[1] == "survey":
        survey(argv[2])
    elif len(argv) == 3 and argv[1] == "repeats":
        repeats(argv[2])
    elif len(argv) in (3, 4) and argv[1] == "extension-types":
        extension_types(argv[2], argv[3] if len(argv) == 4 else None)
    elif len(argv) == 4 and argv[1] == "repeats":
        repeats(argv[2], rounds=int(argv[3]))
    elif len(argv) == 4 and argv[1] == "icmp-errors":
        with_icmp_errors(argv[2], argv[3])
    elif len(argv) == 4 and argv[1] == "big":
        big(argv[2], int(argv[3]))
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
