"""SIB type numbers and the short names people use for them, from the ASN.1's
SIB-Type, SIB-TypeExt and SIB-TypeExt2."""

import re

# SIB type numbers: the SIB-Type index (0..30; 31 is extensionType, a SIB whose type the
# cell's schedule names), then the extension types: 32 + the SIB-TypeExt index and
# 40 + the SIB-TypeExt2 index. Stable: programs keep them.
EXTENSION_TYPE = 31
EXT_BASE = 32
EXT2_BASE = 40
SIB_TYPE_VALUES = 48


def short_name(identifier):
    """The name people use for a SIB type, from its ASN.1 identifier or type name:
    masterInformationBlock or MasterInformationBlock "MIB", schedulingBlock1 or SysInfoTypeSB1
    "SB1", systemInformationBlockType15-1, systemInfoType15-1bis or SysInfoType15-1bis
    "SIB15.1" and "SIB15.1bis"; None for other identifiers (dummy, spare)."""
    if identifier in ("masterInformationBlock", "MasterInformationBlock"):
        return "MIB"
    m = re.fullmatch(r"(?:schedulingBlock|SysInfoTypeSB)(\d)", identifier)
    if m:
        return "SB" + m.group(1)
    m = re.fullmatch(r"(?:systemInformationBlockType|systemInfoType|SysInfoType)(\d+(?:-\d)?(?:bis|ter)?)",
                     identifier)
    if m:
        return "SIB" + m.group(1).replace("-", ".")
    if identifier == "extensionType":
        return identifier
    return None


def type_names(model):
    """Number -> name of every SIB type, from SIB-Type, SIB-TypeExt and SIB-TypeExt2; a dummy
    of SIB-Type takes the name of the type the overlay decodes for it. Checks that each root's
    type is the one its number names."""
    table = model.table
    numbered = list(enumerate(table.get("SIB-Type").items))
    numbered += [(EXT_BASE + i, a.name) for i, a in enumerate(table.get("SIB-TypeExt").alternatives)]
    numbered += [(EXT2_BASE + i, a.name) for i, a in enumerate(table.get("SIB-TypeExt2").alternatives)]
    if len(table.get("SIB-TypeExt").alternatives) > EXT2_BASE - EXT_BASE:
        raise SystemExit("SIB-TypeExt outgrows the numbers before SIB-TypeExt2")
    names = {}
    for num, identifier in numbered:
        name = short_name(identifier)
        root = model.ov.roots.get(num)
        if root is not None:
            if name is None and identifier.startswith("dummy"):
                name = short_name(root)
            if name != short_name(root):
                raise SystemExit("root %d %s: the ASN.1 names %s %s" % (num, root, identifier, name))
        if name is not None:
            names[num] = name
    for num in model.ov.roots:
        if num not in names:
            raise SystemExit("root %d: no SIB type of that number" % num)
    return names
