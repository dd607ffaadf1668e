"""Emits tests/interop/sib_model.json: the type model for the interop and
summary tests (printed names, kinds, bounds, enumeration identifiers)."""

import json

from model import cident



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
    roots = {str(k): cident(v) for k, v in sorted(model.ov.roots.items())}
    return json.dumps({"roots": roots, "types": types}, indent=1, sort_keys=True) + "\n"
