"""Emits tests/interop/sib_model.json: the type model for the tests and tools
(printed names, kinds, bounds, enumeration identifiers), with the decoded SIB
types: their root types, families and the summary hooks each one reaches."""

import json

from model import cident
from sib_names import type_names



def model_json(model):
    types = {}

    def type_json(info):
        k = info.kind
        if info.asn_name is not None and info.node is not None:
            return {"kind": "ref", "name": info.node.cname}
        if k in ("BOOLEAN", "NULL"):
            return {"kind": k}
        if k in ("INTEGER", "BIT STRING", "OCTET STRING"):
            return {"kind": k, "lb": info.lb, "ub": info.ub}
        if k == "ENUMERATED":
            return {"kind": k, "items": list(info.enum.items)}
        node = info.node
        return node_json(node)

    def node_json(node):
        if node.kind == "SEQUENCE OF":
            return {"kind": "SEQUENCE OF", "lb": node.lb, "ub": node.ub, "element": type_json(node.fields[0].info)}
        key = "members" if node.kind == "SEQUENCE" else "alternatives"
        items = []
        for f in node.fields:
            entry = {"name": f.asn_name, "printed": f.printed, "type": type_json(f.info)}
            if node.kind == "SEQUENCE":
                entry["optional"] = f.optional
                entry["default"] = f.default
            items.append(entry)
        return {"kind": node.kind, key: items}

    for node in model.named_nodes.values():
        types[node.cname] = node_json(node)
    ov = model.ov
    roots = {str(k): model.root_nodes[k].cname for k in sorted(ov.roots)}
    headers = {str(k): cident(v) for k, v in sorted(ov.roots.items())}  # the text's first line
    names = {str(k): v for k, v in sorted(type_names(model).items())}
    families = {str(k): v for k, v in sorted(ov.families.items())}
    feeds = {str(k): summary_hooks(ov, model.root_nodes[k]) for k in sorted(ov.roots)}
    return json.dumps({"roots": roots, "headers": headers, "names": names, "release7": sorted(ov.release7),
                       "families": families, "feeds": feeds, "types": types},
                      indent=1, sort_keys=True) + "\n"


# Hooks that tell the stream a cell's schedule, not the summary record.
SCHEDULE_HOOKS = {"FeedExtSibSchedule", "FeedExtSibSchedule2"}


def summary_hooks(ov, root):
    """The summary hook functions the decoders of root's tree call, sorted."""
    hooks, seen = set(), set()

    def visit(node):
        if node.cname in seen:
            return
        seen.add(node.cname)
        if node.kind == "SEQUENCE OF" and node.path in ov.element_hooks:
            hooks.add(ov.element_hooks[node.path])
        for f in node.fields:
            if f.path in ov.member_hooks:
                hooks.add(ov.member_hooks[f.path])
            if f.info.node is not None:
                visit(f.info.node)

    visit(root)
    return sorted(hooks - SCHEDULE_HOOKS)
