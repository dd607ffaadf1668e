#!/usr/bin/env python3
"""The cell survey against the SIB records: `sibdecode --cells --json` and
`sibdecode --neighbours --json` must give, key by key, the cell and neighbour
records that this script computes from `sibdecode --json` of the same captures.

The records are computed here on their own: the cells are told apart per ARFCN
by the identity of SIB3/SIB4 and the MIB's PLMN, and every neighbour row is read
from the members of the SIB11, SIB11bis, SIB12 and SIB19 lists named below. On
the survey captures (make_capture.py survey) the computed records must also
agree with what the generator built.

How SIBs are given to cells: on an ARFCN, the SIBs that come after a cell
identity wait for the next one (SIB3 or SIB4) and go to its cell; the SIBs
still waiting at the end of a file go to the cell of the last identity. A cell
is the ARFCN, the identity and the PLMN of the MIB that came with the SIBs
since the identity before (a cell whose PLMN is not yet known takes the first
one seen).

usage: check_survey.py --sibdecode PATH [--examples DIR]
The test also fails when a deliberately altered record (every key of a cell
record and of a neighbour record, one at a time) compares equal.
"""

import argparse
import copy
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import make_capture  # noqa: E402

CELL_KEYS = ("cell", "arfcn", "mode", "plmn", "lac", "rac", "cell_identity", "cell_identity_hex", "rnc_id",
             "c_id", "first_time", "last_time", "mib_value_tag", "value_tags", "intra_freq_cells",
             "inter_freq_cells", "gsm_cells", "eutra_frequencies", "sibs")
NEIGHBOUR_KEYS = ("cell", "serving_arfcn", "serving_cell_identity", "sib", "kind", "neighbour_id", "mode",
                  "uarfcn", "gsm_arfcn", "gsm_band", "earfcn", "cell_parameters_id",
                  "primary_scrambling_code", "ncc", "bcc", "physical_cell_id", "priority", "thresh_x_high",
                  "thresh_x_low", "q_rxlev_min", "q_offset")
SIB_ENTRY_KEYS = ("type", "type_number", "count", "versions", "changes")
NEIGHBOUR_SIBS = ("SIB11", "SIB11bis", "SIB12", "SIB19")

failures = []


def fail(what):
    failures.append(what)
    print("FAIL: " + what)


def alternative(choice, names, where):
    """The (name, value) of a CHOICE as the JSON gives it ({name: value}), which must
    be one of `names`; (None, {}) where a stopped decode did not reach it."""
    if not choice:
        return None, {}
    (name, value), = choice.items()
    if name not in names:
        raise ValueError("%s: alternative %s not among %s" % (where, name, names))
    return name, value


# ---- neighbour rows, member by member ----


def row(**values):
    r = dict.fromkeys(NEIGHBOUR_KEYS[3:])
    r.update(values)
    return r


def reselection(info):
    """(q_rxlev_min, q_offset) of a cellSelectionReselectionInfo: CellSelectReselectInfoSIB-11-12
    (q_Offset1S_N), -RSCP and -HCS-RSCP (q_OffsetS_N), -ECN0 and -HCS-ECN0 (q_Offset1S_N);
    q_RxlevMin under its fdd, tdd or gsm alternative."""
    if info is None:
        return None, None
    offset = info["q_OffsetS_N"] if "q_OffsetS_N" in info else info.get("q_Offset1S_N")
    _, mode = alternative(info.get("modeSpecificInfo"), ("fdd", "tdd", "gsm"), "cellSelectionReselectionInfo")
    return mode.get("q_RxlevMin"), offset


def lcr_cell(cell_info):
    """mode, cell parameters id, scrambling code, q RxLevMin, q offset of a CellInfoSI-*-LCR-r4."""
    rxlev, offset = reselection(cell_info.get("cellSelectionReselectionInfo"))
    return "TDD", cell_info.get("primaryCCPCH_Info", {}).get("cellParametersID"), None, rxlev, offset


def r99_cell(cell_info):
    """The same of a CellInfoSI-RSCP / -ECN0 / -HCS-RSCP / -HCS-ECN0: its fdd alternative gives
    primaryCPICH_Info's scrambling code, its tdd alternative the tdd PrimaryCCPCH-Info's cell
    parameters id."""
    rxlev, offset = reselection(cell_info.get("cellSelectionReselectionInfo"))
    mode, info = alternative(cell_info.get("modeSpecificInfo"), ("fdd", "tdd"), "cellInfo.modeSpecificInfo")
    if mode is None:  # a stopped decode before the cell's mode
        return None, None, None, rxlev, offset
    if mode == "fdd":
        return "FDD", None, info.get("primaryCPICH_Info", {}).get("primaryScramblingCode"), rxlev, offset
    ccpch_mode, ccpch = alternative(info.get("primaryCCPCH_Info"), ("fdd", "tdd"), "primaryCCPCH_Info")
    cpid = ccpch.get("cellParametersID") if ccpch_mode == "tdd" else None
    return "TDD", cpid, None, rxlev, offset


def intra_rows(sib, cells, cell_of, serving_arfcn):
    rows = []
    for entry in cells or []:
        mode, cpid, psc, rxlev, offset = cell_of(entry.get("cellInfo", {}))
        rows.append(row(sib=sib, kind="intra", neighbour_id=entry.get("intraFreqCellID"), mode=mode,
                        uarfcn=serving_arfcn, cell_parameters_id=cpid, primary_scrambling_code=psc,
                        q_rxlev_min=rxlev, q_offset=offset))
    return rows


def inter_rows(sib, cells, cell_of):
    """An entry without frequencyInfo is on the carrier of the entry before it."""
    rows, uarfcn = [], None
    for entry in cells or []:
        carrier_mode = None
        if "frequencyInfo" in entry:
            carrier_mode, frequency = alternative(entry["frequencyInfo"].get("modeSpecificInfo"), ("fdd", "tdd"),
                                                  "frequencyInfo.modeSpecificInfo")
            uarfcn = frequency.get("uarfcn_DL") if carrier_mode == "fdd" else frequency.get("uarfcn_Nt")
        mode, cpid, psc, rxlev, offset = cell_of(entry.get("cellInfo", {}))
        if mode is None and carrier_mode is not None:  # the cell's mode not reached: its carrier's
            mode = carrier_mode.upper()
        rows.append(row(sib=sib, kind="inter", neighbour_id=entry.get("interFreqCellID"), mode=mode,
                        uarfcn=uarfcn, cell_parameters_id=cpid, primary_scrambling_code=psc,
                        q_rxlev_min=rxlev, q_offset=offset))
    return rows


def rat_rows(sib, cells):
    """NewInterRATCell and NewInterRATCell-B: gsm, or is_2000 / absent / spare1 (other_rat)."""
    rows = []
    for entry in cells or []:
        technology, info = alternative(entry.get("technologySpecificInfo"), ("gsm", "is_2000", "absent", "spare1"),
                                       "technologySpecificInfo")
        if technology != "gsm":
            rows.append(row(sib=sib, kind="other_rat", neighbour_id=entry.get("interRATCellID")))
            continue
        rxlev, offset = reselection(info.get("cellSelectionReselectionInfo"))
        bsic = info.get("bsic", {})
        rows.append(row(sib=sib, kind="gsm", neighbour_id=entry.get("interRATCellID"), gsm_arfcn=info.get("bcch_ARFCN"),
                        gsm_band=info.get("frequency_band"), ncc=bsic.get("ncc"), bcc=bsic.get("bcc"),
                        q_rxlev_min=rxlev, q_offset=offset))
    return rows


HCS = ("hcs_not_used", "hcs_used")
QUALITY = ("cpich_RSCP", "cpich_Ec_N0")


def measurement_rows(sib, control, cell_of, serving_arfcn):
    """MeasurementControlSysInfo (Release 99: IntraFreqMeasurementSysInfo-RSCP/-ECN0/-HCS-RSCP/
    -HCS-ECN0, InterRATMeasurementSysInfo(-B)) and MeasurementControlSysInfo-LCR-r4-ext (the
    -LCR-r4 lists, no inter-RAT part)."""
    if control is None:
        return []
    _, hcs = alternative(control.get("use_of_HCS"), HCS, sib + " use_of_HCS")
    _, quality = alternative(hcs.get("cellSelectQualityMeasure"), QUALITY, sib + " cellSelectQualityMeasure")
    intra = quality.get("intraFreqMeasurementSysInfo", {}).get("intraFreqCellInfoSI_List", {})
    inter = quality.get("interFreqMeasurementSysInfo", {}).get("interFreqCellInfoSI_List", {})
    rat = hcs.get("interRATMeasurementSysInfo", {}).get("interRATCellInfoList", {})
    return (intra_rows(sib, intra.get("newIntraFreqCellList"), cell_of, serving_arfcn) +
            inter_rows(sib, inter.get("newInterFreqCellList"), cell_of) +
            rat_rows(sib, rat.get("newInterRATCellList")))


def sib11_rows(sib, value, serving_arfcn):
    """SIB11 and SIB12: the Release 99 lists, then the 1.28 Mcps TDD ones of sysInfoType11_v4b0ext
    (sysInfoType12_v4b0ext)."""
    extension = "sysInfoType11_v4b0ext" if sib == "SIB11" else "sysInfoType12_v4b0ext"
    lcr = value.get("v4b0NonCriticalExtensions", {}).get(extension, {}).get("measurementControlSysInfo_LCR")
    return (measurement_rows(sib, value.get("measurementControlSysInfo"), r99_cell, serving_arfcn) +
            measurement_rows(sib, lcr, lcr_cell, serving_arfcn))


def sib11bis_rows(value, serving_arfcn):
    """MeasurementControlSysInfoExtension (NewIntraFreqCellSI-List-RSCP/-ECN0/-HCS-RSCP/-HCS-ECN0)
    and MeasurementControlSysInfoExtension-LCR-r4 (the -LCR-r4 lists), each with a newInterRATCellList."""
    rows = []
    for member, cell_of in (("measurementControlSysInfo", r99_cell), ("measurementControlSysInfo_LCR", lcr_cell)):
        control = value.get(member)
        if control is None:
            continue
        _, hcs = alternative(control.get("use_of_HCS"), HCS, "SIB11bis use_of_HCS")
        _, quality = alternative(hcs.get("cellSelectQualityMeasure"), QUALITY, "SIB11bis cellSelectQualityMeasure")
        rows += intra_rows("SIB11bis", quality.get("newIntraFreqCellList"), cell_of, serving_arfcn)
        rows += inter_rows("SIB11bis", quality.get("newInterFreqCellList"), cell_of)
        rows += rat_rows("SIB11bis", hcs.get("newInterRATCellList"))
    return rows


def sib19_rows(value):
    rows = []
    utra = value.get("utra_PriorityInfoList", {})
    for member, mode, rxlev in (("utran_FDD_FrequencyList", "FDD", "qRxLevMinFDD"),
                                ("utran_TDD_FrequencyList", "TDD", "qRxLevMinTDD")):
        for layer in utra.get(member, []):
            rows.append(row(sib="SIB19", kind="utra_layer", mode=mode, uarfcn=layer.get("uarfcn"),
                            priority=layer.get("priority"), thresh_x_high=layer.get("threshXhigh"),
                            thresh_x_low=layer.get("threshXlow"), q_rxlev_min=layer.get(rxlev)))
    for layer in value.get("gsm_PriorityInfoList", []):
        group = layer.get("gsmCellGroup", {})
        rows.append(row(sib="SIB19", kind="gsm_layer", gsm_arfcn=group.get("startingARFCN"),
                        gsm_band=group.get("bandIndicator"), priority=layer.get("priority"),
                        thresh_x_high=layer.get("threshXhigh"), thresh_x_low=layer.get("threshXlow"),
                        q_rxlev_min=layer.get("qRxLevMinGSM")))
    for layer in value.get("eutra_FrequencyAndPriorityInfoList", []):
        rows.append(row(sib="SIB19", kind="eutra_layer", earfcn=layer.get("earfcn"), priority=layer.get("priority"),
                        thresh_x_high=layer.get("threshXhigh"), thresh_x_low=layer.get("threshXlow"),
                        q_rxlev_min=layer.get("qRxLevMinEUTRA")))
        for cell in layer.get("eutra_blackListedCellList", []):
            rows.append(row(sib="SIB19", kind="eutra_blacklisted", earfcn=layer.get("earfcn"),
                            physical_cell_id=cell.get("physicalCellIdentity")))
    return rows


def neighbour_rows(record, serving_arfcn):
    sib, value = record["type"], record["value"]
    if sib in ("SIB11", "SIB12"):
        return sib11_rows(sib, value, serving_arfcn)
    if sib == "SIB11bis":
        return sib11bis_rows(value, serving_arfcn)
    return sib19_rows(value)


# ---- cell records ----


def identity_of(record):
    if record["type"] in ("SIB3", "SIB4") and "cellIdentity" in record["value"]:
        return int(record["value"]["cellIdentity"], 2)
    return None


def plmn_of(mib):
    """MCC-MNC of the MIB's plmn_Type (gsm_MAP or gsm_MAP_and_ANSI_41), digits as sent."""
    kind, plmn = alternative(mib["value"].get("plmn_Type"), ("gsm_MAP", "ansi_41", "gsm_MAP_and_ANSI_41"),
                             "plmn_Type")
    identity = plmn.get("plmn_Identity", {})
    if kind in (None, "ansi_41") or "mnc" not in identity:
        return None
    return "".join(map(str, identity["mcc"])) + "-" + "".join(map(str, identity["mnc"]))


def sib_name(alternative_name, prefix):
    """SIB11bis from systemInfoType11bis, SIB13.1 from sysInfoType13_1, SB1 from sysInfoTypeSB1."""
    short = alternative_name[len(prefix):].replace("_", ".")
    return short if short.startswith("SB") else "SIB" + short


def value_tags(mib):
    """The MIB's value tag by SIB name, for each scheduled SIB (a SIB scheduled twice keeps
    its first), None for a SIB without one (SIB7, SIB14, SIB17, valueTagInfo none)."""
    tags = {}
    for entry in mib["value"].get("sibSb_ReferenceList", []):
        (name, tag), = entry["sibSb_Type"].items()
        if not name.startswith("sysInfoType"):
            continue  # dummy, dummy2, dummy3, spare1, spare2
        if isinstance(tag, dict):  # SIB16: predefinedConfig..., SIB15.2/15.3: sibOccur...
            tag = tag.get("predefinedConfigValueTag", tag.get("sibOccurValueTag"))
        tags.setdefault(sib_name(name, "sysInfoType"), tag)
    extensions = mib["value"].get("v690NonCriticalExtensions", {}).get("v6b0NonCriticalExtensions", {})
    lists = [(extensions.get("masterInformationBlock_v6b0ext", {}), "extensionSIB_Type"),
             (extensions.get("v860NonCriticalExtensions", {}).get("masterInformationBlock_v860ext", {}),
              "extensionSIB_Type2")]
    for ies, member in lists:
        for entry in ies.get("extSIBTypeInfoSchedulingInfo_List", []):
            (name, _), = entry[member].items()
            if not name.startswith("systemInfoType"):
                continue  # spare
            kind, tag = alternative(entry["valueTagInfo"], ("none", "cellValueTag", "plmn_ValueTag",
                                                            "sIBOccurrenceIdentityAndValueTag"), "valueTagInfo")
            if kind == "sIBOccurrenceIdentityAndValueTag":
                tag = tag["sibOccurValueTag"]
            tags.setdefault(sib_name(name, "systemInfoType"), tag)
    return tags


def group_cells(records):
    """[(arfcn, identity, plmn, [record index])] in order of each cell's first SIB."""
    cells = []
    index = {}  # (arfcn, identity) -> [cell numbers]
    state = {}  # arfcn -> [current cell or None, waiting record indices]

    def cell_for(arfcn, identity, plmn):
        for number in index.get((arfcn, identity), []):
            if cells[number][2] is None or plmn is None or cells[number][2] == plmn:
                if cells[number][2] is None:
                    cells[number][2] = plmn
                return number
        cells.append([arfcn, identity, plmn, []])
        index.setdefault((arfcn, identity), []).append(len(cells) - 1)
        return len(cells) - 1

    def flush():
        for arfcn, (current, waiting) in state.items():
            if waiting:
                if current is None:
                    mibs = [records[k] for k in waiting if records[k]["type"] == "MIB"]
                    current = cell_for(arfcn, None, plmn_of(mibs[-1]) if mibs else None)
                cells[current][3].extend(waiting)
        state.clear()

    source = None
    for k, record in enumerate(records):
        # (hex input names the line too: FILE:LINE)
        file = record["source"].rsplit(":", 1)[0] if record["frames"] is None else record["source"]
        if file != source:
            flush()
            source = file
        arfcn = record["arfcn"]
        current, waiting = state.setdefault(arfcn, [None, []])
        waiting.append(k)
        identity = identity_of(record)
        if identity is None:
            continue
        mibs = [records[j] for j in waiting if records[j]["type"] == "MIB"]
        plmn = plmn_of(mibs[-1]) if mibs else (cells[current][2] if current is not None else None)
        number = cell_for(arfcn, identity, plmn)
        cells[number][3].extend(waiting)
        state[arfcn] = [number, []]
    flush()
    cells.sort(key=lambda cell: min(cell[3]))
    return cells


def latest(records, members, sib):
    found = [records[k] for k in members if records[k]["type"] == sib]
    return found[-1] if found else None


def content(record):
    return json.dumps(record["value"], sort_keys=True)


def expected_survey(records):
    """The cell and neighbour records of these SIB records."""
    cell_records, neighbour_records = [], []
    for number, (arfcn, identity, _, members) in enumerate(group_cells(records)):
        members = sorted(members)
        cell = dict.fromkeys(CELL_KEYS)
        cell.update(cell=number, arfcn=arfcn, cell_identity=identity)
        if identity is not None:
            cell.update(cell_identity_hex="0x%07X" % identity, rnc_id=identity >> 16, c_id=identity & 0xFFFF)
        identity_sibs = [records[k] for k in members if records[k]["type"] in ("SIB3", "SIB4")]
        modes = [sib["value"]["cellSelectReselectInfo"]["modeSpecificInfo"] for sib in identity_sibs
                 if "modeSpecificInfo" in sib["value"].get("cellSelectReselectInfo", {})]
        if modes:
            mode, _ = alternative(modes[-1], ("fdd", "tdd"), "SIB3/SIB4 modeSpecificInfo")
            cell["mode"] = "FDD" if mode == "fdd" else "1.28 Mcps TDD"
        mib = latest(records, members, "MIB")
        if mib is not None:
            cell.update(plmn=plmn_of(mib), mib_value_tag=mib["value"]["mib_ValueTag"], value_tags=value_tags(mib))
        sib1 = latest(records, members, "SIB1")
        if sib1 is not None:
            nas = bytes.fromhex(sib1["value"].get("cn_CommonGSM_MAP_NAS_SysInfo", ""))
            cell["lac"] = int.from_bytes(nas[:2], "big") if len(nas) >= 2 else None
            ps = [d for d in sib1["value"].get("cn_DomainSysInfoList", []) if d["cn_DomainIdentity"] == "ps-domain"]
            if ps and "gsm_MAP" in ps[0]["cn_Type"]:
                cell["rac"] = bytes.fromhex(ps[0]["cn_Type"]["gsm_MAP"])[0]
        times = [records[k]["time"] for k in members if records[k]["time"] is not None]
        if times:
            cell.update(first_time=min(times), last_time=max(times))
        rows = []
        for sib in NEIGHBOUR_SIBS:
            record = latest(records, members, sib)
            if record is not None:
                rows += neighbour_rows(record, arfcn)
        seen = {records[k]["type"] for k in members}
        if seen & {"SIB11", "SIB11bis", "SIB12"}:
            for key, kind in (("intra_freq_cells", "intra"), ("inter_freq_cells", "inter"), ("gsm_cells", "gsm")):
                cell[key] = sum(1 for r in rows if r["kind"] == kind and r["sib"] != "SIB19")
        if "SIB19" in seen:
            cell["eutra_frequencies"] = sum(1 for r in rows if r["kind"] == "eutra_layer")
        sibs = {}
        for k in members:
            record = records[k]
            entry = sibs.setdefault(record["type_number"], {
                "type": record["type"], "type_number": record["type_number"], "count": 0, "contents": set(),
                "last": None, "changes": 0})
            entry["count"] += 1
            text = content(record)
            if entry["last"] is not None and text != entry["last"]:
                entry["changes"] += 1
            entry["last"] = text
            entry["contents"].add(text)
        cell["sibs"] = [{"type": e["type"], "type_number": e["type_number"], "count": e["count"],
                         "versions": len(e["contents"]), "changes": e["changes"]} for _, e in sorted(sibs.items())]
        cell_records.append(cell)
        for r in rows:
            neighbour = {"cell": number, "serving_arfcn": arfcn, "serving_cell_identity": identity}
            neighbour.update(r)
            neighbour_records.append(neighbour)
    return cell_records, neighbour_records


# ---- comparing ----


def compare_neighbours(what, expected, got):
    """Differences of the neighbour records, list by list (a cell's rows of one SIB), so
    that a row too many or too few shows as such and not as a shift of all that follow."""
    diffs = []
    if len(expected) != len(got):
        diffs.append("%s: %d neighbour records, %d expected" % (what, len(got), len(expected)))

    def lists(records):
        out = {}
        for r in records:
            out.setdefault((r.get("cell"), r.get("sib")), []).append(r)
        return out

    want_lists, have_lists = lists(expected), lists(got)
    order = list(want_lists) + [k for k in have_lists if k not in want_lists]
    if [k for k in order if k in have_lists] != list(have_lists):
        diffs.append("%s: the lists come in the order %s, expected %s" % (what, list(have_lists), list(want_lists)))
    for cell, sib in order:
        want, have = want_lists.get((cell, sib), []), have_lists.get((cell, sib), [])
        where = "%s: cell %s %s" % (what, cell, sib)
        if len(want) != len(have):
            diffs.append("%s: %d rows, %d expected" % (where, len(have), len(want)))
        for n in range(len(want), len(have)):
            diffs.append("%s: row %d not expected: %s" % (where, n, short(have[n])))
        for n in range(len(have), len(want)):
            diffs.append("%s: row %d missing: %s" % (where, n, short(want[n])))
        for n, (w, h) in enumerate(zip(want, have)):
            if list(h) != list(NEIGHBOUR_KEYS):
                diffs.append("%s: row %d: keys %s, expected %s" % (where, n, list(h), list(NEIGHBOUR_KEYS)))
            keys = [key for key in NEIGHBOUR_KEYS if key in h and h[key] != w[key]]
            if keys:
                diffs.append("%s: row %d (%s): %s, expected %s" % (
                    where, n, w["kind"], ", ".join("%s = %s" % (k, json.dumps(h[k])) for k in keys),
                    ", ".join("%s = %s" % (k, json.dumps(w[k])) for k in keys)))
    return diffs


def short(row):
    return json.dumps({k: v for k, v in row.items() if v is not None and k not in ("cell", "sib")})


def compare_records(what, kind, keys, expected, got):
    """Differences between the expected and the tool's records, one line each: cell records
    by their number, neighbour records list by list."""
    if kind == "neighbour":
        return compare_neighbours(what, expected, got)
    diffs = []
    if len(expected) != len(got):
        diffs.append("%s: %d cell records, %d expected" % (what, len(got), len(expected)))
    numbers = [c.get("cell") for c in got]
    if numbers != sorted(numbers):
        diffs.append("%s: cell records not in the order of their numbers: %s" % (what, numbers))
    have_by_number = {}
    for have in got:
        have_by_number.setdefault(have.get("cell"), []).append(have)
    for number, records in have_by_number.items():
        if not (isinstance(number, int) and 0 <= number < len(expected)):
            for have in records:
                diffs.append("%s: cell record %s not expected: %s" % (what, number, short_cell(have)))
        elif len(records) > 1:
            diffs.append("%s: %d cell records numbered %d" % (what, len(records), number))
    for want in expected:
        records = have_by_number.get(want["cell"], [])
        if not records:
            diffs.append("%s: cell record %d missing: %s" % (what, want["cell"], short_cell(want)))
            continue
        have = records[0]
        if list(have) != list(keys):
            diffs.append("%s: cell record %d: keys %s, expected %s" % (what, want["cell"], list(have), list(keys)))
        for key in keys:
            if key in have and have[key] != want[key]:
                diffs.append("%s: cell record %d: %s = %s, expected %s" % (
                    what, want["cell"], key, json.dumps(have[key]), json.dumps(want[key])))
    return diffs


def short_cell(cell):
    return json.dumps({k: cell.get(k) for k in ("cell", "arfcn", "cell_identity", "plmn", "first_time", "last_time")})


def without_more_versions(cells):
    """The cell records with the sibs entries' `more_versions` (the tool's flag of a type
    with more distinct contents than it tells apart, beyond the schema) taken out where
    it is false, as it must be for captures this small."""
    out = copy.deepcopy(cells)
    for cell in out:
        for entry in cell.get("sibs") or []:
            if isinstance(entry, dict) and entry.get("more_versions") is False:
                del entry["more_versions"]
    return out


def compare_sibs_entries(what, got):
    diffs = []
    for n, have in enumerate(got):
        for e in have.get("sibs") or []:
            if list(e) != list(SIB_ENTRY_KEYS):
                diffs.append("%s: cell %d sibs entry keys %s, expected %s" % (what, n, list(e), list(SIB_ENTRY_KEYS)))
                break
    return diffs


def run_json(tool, *args):
    proc = subprocess.run([tool] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        records = [json.loads(line) for line in proc.stdout.decode().splitlines() if line.strip()]
    except ValueError as error:
        return proc.returncode, None, "not JSON lines: %s" % error
    return proc.returncode, records, proc.stderr.decode()


def cell_key(cell):
    return cell.get("arfcn"), cell.get("cell_identity"), cell.get("plmn")


def in_expected_order(what, expected_cells, cells, neighbours):
    """When the tool numbers the cells otherwise (another order, a cell split in two): lines
    saying so, and its records renumbered as the expected cells of the same ARFCN,
    identity and PLMN (a cell's second record and a cell not expected numbered past
    them), so that the rest compares value by value."""
    keys = [repr(cell_key(c)) for c in expected_cells]
    got = [repr(cell_key(c)) for c in cells]
    if keys == got or len(set(keys)) != len(keys):
        return [], cells, neighbours
    lines, renumber, spare = [], {}, len(expected_cells)
    for c in cells:
        key = repr(cell_key(c))
        if key in keys and keys.index(key) not in renumber.values():
            renumber[c.get("cell")] = keys.index(key)
            continue
        lines.append("%s --cells --json: cell record %s is %s: %s" % (
            what, c.get("cell"), "a second record of expected cell %d" % keys.index(key) if key in keys
            else "not an expected cell", short_cell(c)))
        renumber[c.get("cell")] = spare
        spare += 1
    first = sorted((n for n in renumber.values() if n < len(keys)))
    if [renumber[c.get("cell")] for c in cells if renumber[c.get("cell")] < len(keys)] != first:
        lines.append("%s --cells --json: the cells are numbered in another order: %s, expected %s (the order "
                     "of their first SIBs: %s)" % (what, [list(cell_key(c)) for c in cells],
                                                  [list(cell_key(c)) for c in expected_cells],
                                                  [c["first_time"] for c in expected_cells]))
    cells = sorted((dict(c, cell=renumber[c.get("cell")]) for c in cells), key=lambda c: c["cell"])
    neighbours = sorted((dict(r, cell=renumber.get(r.get("cell"), r.get("cell"))) for r in neighbours),
                        key=lambda r: r["cell"])
    return lines, cells, neighbours


def survey_diffs(what, expected_cells, expected_neighbours, cells, neighbours):
    order, cells, neighbours = in_expected_order(what, expected_cells, without_more_versions(cells), neighbours)
    return (order + compare_records(what + " --cells --json", "cell", CELL_KEYS, expected_cells, cells) +
            compare_sibs_entries(what + " --cells --json", cells) +
            compare_records(what + " --neighbours --json", "neighbour", NEIGHBOUR_KEYS, expected_neighbours,
                            neighbours))


def check_captures(tool, what, paths):
    """Computes the records from the SIB records of the captures and compares the tool's."""
    rc, records, stderr = run_json(tool, "--json", *paths)
    if records is None or not records:
        fail("%s --json: exit %d, %s" % (what, rc, stderr))
        return None
    expected_cells, expected_neighbours = expected_survey(records)
    results = {}
    for option in ("--cells", "--neighbours"):
        rc, got, stderr = run_json(tool, option, "--json", *paths)
        if got is None or rc not in (0, 2):
            fail("%s %s --json: exit %d, %s" % (what, option, rc, stderr.strip()[:300]))
            got = None
        results[option] = got
    if results["--cells"] is not None and results["--neighbours"] is not None:
        for line in survey_diffs(what, expected_cells, expected_neighbours, results["--cells"],
                                 results["--neighbours"]):
            fail(line)
    return expected_cells, expected_neighbours, results["--cells"], results["--neighbours"]


def check_truth(name, truth, expected_cells, expected_neighbours):
    """The computed records of a survey capture against what its generator built."""
    check_count = len(expected_cells) == len(truth["cells"])
    if not check_count:
        fail("%s: %d cells computed, the generator built %d" % (name, len(expected_cells), len(truth["cells"])))
    for n, (cell, built) in enumerate(zip(expected_cells, truth["cells"])):
        for key in ("arfcn", "cell_identity", "plmn", "lac", "rac", "mib_value_tag", "mode"):
            if cell[key] != built[key]:
                fail("%s: cell %d %s computed %s, built %s" % (name, n, key, cell[key], built[key]))
        sibs = {e["type"]: {"count": e["count"], "versions": e["versions"]} for e in cell["sibs"]}
        if sibs != built["sibs"]:
            fail("%s: cell %d SIB counts computed %s, built %s" % (name, n, sibs, built["sibs"]))
        rows = [{k: v for k, v in r.items() if k not in ("cell", "serving_arfcn", "serving_cell_identity")}
                for r in expected_neighbours if r["cell"] == n]
        # (built SIB by SIB, in the order the cell sends them)
        built_rows = sorted(built["neighbours"], key=lambda r: NEIGHBOUR_SIBS.index(r["sib"]))
        if len(rows) != len(built_rows):
            fail("%s: cell %d: %d neighbour rows computed, %d built" % (name, n, len(rows), len(built_rows)))
        for k, (got, want) in enumerate(zip(rows, built_rows)):
            keys = [key for key in want if got.get(key) != want[key]]
            if keys:
                fail("%s: cell %d neighbour row %d (%s %s): %s computed, %s built" % (
                    name, n, k, want["sib"], want["kind"], {key: got.get(key) for key in keys},
                    {key: want[key] for key in keys}))


# Values no record holds, one per key type, to alter a record with.
def altered(value):
    if isinstance(value, bool):
        return not value
    if isinstance(value, int):
        return value + 1
    if isinstance(value, str):
        return value + "x"
    if isinstance(value, list):
        return value[:-1] if value else [{}]
    if isinstance(value, dict):
        return dict(value, altered=1)
    return 7  # null


def self_check(what, expected_cells, expected_neighbours):
    """The computed records compare equal to themselves; every key of one cell record and
    of one neighbour record altered in turn (and a record left out) shows as a difference."""
    cells, neighbours = expected_cells, expected_neighbours
    same = survey_diffs(what, cells, neighbours, copy.deepcopy(cells), copy.deepcopy(neighbours))
    if same:
        fail("self-check on %s: the records differ from themselves: %s" % (what, same))
    missed = []
    for kind, keys, records in (("cell", CELL_KEYS, cells), ("neighbour", NEIGHBOUR_KEYS, neighbours)):
        if not records:
            continue
        for key in keys:
            changed = copy.deepcopy(records)
            changed[len(changed) // 2][key] = altered(changed[len(changed) // 2][key])
            c, nb = (changed, neighbours) if kind == "cell" else (cells, changed)
            if not survey_diffs(what, expected_cells, expected_neighbours, c, nb):
                missed.append("%s %s" % (kind, key))
        c, nb = (records[:-1], neighbours) if kind == "cell" else (cells, records[:-1])
        if not survey_diffs(what, expected_cells, expected_neighbours, c, nb):
            missed.append("%s record left out" % kind)
    if missed:
        fail("self-check on %s: altered records compare equal: %s" % (what, ", ".join(missed)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sibdecode", required=True)
    parser.add_argument("--examples", default=os.path.join(HERE, "..", "..", "examples"))
    args = parser.parse_args()
    tool = args.sibdecode

    with tempfile.TemporaryDirectory() as workdir:
        make_capture.survey(workdir)
        make_capture.test_captures(workdir)
        make_capture.repeats(workdir, rounds=12, changes=(4, 8))
        with open(os.path.join(workdir, "survey_truth.json")) as f:
            truth = json.load(f)
        with open(os.path.join(workdir, "two_cells.pcap"), "rb") as f, \
                open(os.path.join(args.examples, "two_cells.pcap"), "rb") as g:
            if f.read() != g.read():
                fail("examples/two_cells.pcap differs from make_capture.py survey's two_cells.pcap")

        captures = [("phone_log.pcap", [os.path.join(workdir, "phone_log.pcap")]),
                    ("two_cells.pcap", [os.path.join(workdir, "two_cells.pcap")]),
                    ("variants.pcap", [os.path.join(workdir, "variants.pcap")]),
                    ("sample.pcap", [os.path.join(args.examples, "sample.pcap")]),
                    ("sample.hex", [os.path.join(args.examples, "sample.hex")]),
                    ("extension_types.pcap", [os.path.join(args.examples, "extension_types.pcap")]),
                    ("cells.pcap", [os.path.join(workdir, "cells.pcap")]),
                    ("stopped.pcap", [os.path.join(workdir, "stopped.pcap")]),
                    ("repeats.pcap", [os.path.join(workdir, "repeats.pcap")]),
                    ("sample.pcap + two_cells.pcap + phone_log.pcap",
                     [os.path.join(args.examples, "sample.pcap"), os.path.join(workdir, "two_cells.pcap"),
                      os.path.join(workdir, "phone_log.pcap")])]
        for what, paths in captures:
            result = check_captures(tool, what, paths)
            if result is None:
                continue
            expected_cells, expected_neighbours, _, _ = result
            if what in truth:
                check_truth(what, truth[what], expected_cells, expected_neighbours)
            self_check(what, expected_cells, expected_neighbours)

    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
