#!/usr/bin/env python3
"""Interop test: sibdecode against tshark (used as a black box) on random bit
strings, random valid encodings drawn from the decoder's type model, crafted
encodings, encodings with values outside their constraints and encodings with
flipped bits, for each supported SIB type (see README.md).

usage: run_interop.py --sibdecode PATH [--count 300] [--seed N] [--sib N ...]
                      [--model FILE] [--tshark PATH] [--show N] [--dump DIR]
                      [--no-self-check]

Exit status 0 when every sample that tshark decodes without error agrees up
to the comparison's stop point and the self-check (one agreeing value per
sample changed in sibdecode's leaves must make the comparison fail) notices
every change; 1 otherwise; 2 on a setup problem.
"""

import argparse
import os
import random
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import compare  # noqa: E402
import per_encoder  # noqa: E402
import sib_side  # noqa: E402
import tshark_side  # noqa: E402

SIB_TYPES = tuple(per_encoder.decoded_types())


def make_samples(model, sib, count, seed):
    """(origin, bytes) pairs: random bits, model-driven valid encodings, crafted
    encodings, and (count / 2 each) model-driven encodings with a few values
    outside their constraints and valid encodings with a few bits flipped."""
    rng = random.Random("%d/%d" % (seed, sib))
    samples = [("bits", per_encoder.random_bits(rng)) for _ in range(count)]
    policies = [
        per_encoder.Policy(p_optional=0.5, p_extension=0.85),
        per_encoder.Policy(p_optional=0.3, p_extension=0.95, final_extension=0.2),
        per_encoder.Policy(p_optional=0.7, p_extension=0.9, max_extra_items=1),
        per_encoder.Policy(p_optional=0.4, p_extension=0.9, max_extra_items=1, full_scalar_lists=True),
    ]
    for k in range(count):
        samples.append(("model", per_encoder.random_encoding(model, sib, rng, policies[k % len(policies)])))
    for name, data in per_encoder.crafted_encodings(model, sib, rng):
        samples.append(("crafted:" + name, data))
    invalid = per_encoder.Policy(p_optional=0.5, p_extension=0.9, p_invalid=0.03)
    for _ in range(count // 2):
        samples.append(("invalid", per_encoder.random_encoding(model, sib, rng, invalid)))
    for k in range(count // 2):
        valid = per_encoder.random_encoding(model, sib, rng, policies[k % len(policies)])
        samples.append(("flipped", per_encoder.mutated(rng, valid, rng.randint(1, 3))))
    return samples


def deepest_container(model, sib):
    """Name of the extension container that holds the final nonCriticalExtensions."""
    t = per_encoder.resolve(model, {"kind": "ref", "name": model["roots"][str(sib)]})
    name = None
    while True:
        nxt = None
        for m in t["members"]:
            if per_encoder.is_final_extension(m):
                return name
            if per_encoder.is_extension_container(m):
                nxt = m
        if nxt is None:
            return name
        name = nxt["name"]
        t = per_encoder.resolve(model, nxt["type"])


def model_names(model, t, acc):
    """Adds the (normalised) printed names of every member and alternative
    reachable from type t to acc."""
    t = per_encoder.resolve(model, t)
    if t["kind"] == "SEQUENCE":
        parts = t["members"]
    elif t["kind"] == "CHOICE":
        parts = t["alternatives"]
    elif t["kind"] == "SEQUENCE OF":
        return model_names(model, t["element"], acc)
    else:
        return acc
    for part in parts:
        acc.add(compare.norm(sib_side.printed(part)))
        model_names(model, part["type"], acc)
    return acc


def compared_names(sleaves, count):
    """Normalised names of the first `count` compared leaves and of the
    alternatives they chose."""
    out = set()
    for leaf in sleaves[:count]:
        out.add(compare.norm(leaf["name"].split("[")[0]))
        if leaf.get("vkind") == "choice" and leaf["text"]:
            out.add(compare.norm(leaf["text"]))
    return out


class SibReport:
    def __init__(self, sib):
        self.sib = sib
        self.mutations = 0  # --self-check: values changed in sibdecode's leaves
        self.unnoticed = []  # samples where the changed value went unnoticed
        self.names = set()  # every name the model can print for this SIB type
        self.names_compared = set()
        self.valid = 0
        self.valid_error_free = 0
        self.deep = 0
        self.samples = 0
        self.error_free = 0
        self.agree = 0
        self.disagree_error_free = []
        self.disagree_other = []
        self.stops = {}
        self.origins = {}  # origin -> [samples, error-free, agreeing]
        self.cut_reached = 0

    def row(self):
        return "%-7s %8d %11d %9d %12d %13s %9d %9d %11s" % (
            "SIB%d" % self.sib, self.samples, self.error_free, self.agree,
            len(self.disagree_error_free), "%d/%d" % (self.valid_error_free, self.valid),
            self.deep, self.cut_reached,
            "%d/%d" % (len(self.names & self.names_compared), len(self.names)))


def check_sib(sib, samples, model, args):
    report = SibReport(sib)
    check_rng = random.Random(sib)
    report.names = model_names(model, {"kind": "ref", "name": model["roots"][str(sib)]}, set())
    deepest = compare.norm(deepest_container(model, sib) or "")
    packets = [data for _origin, data in samples]
    tshark = tshark_side.run_tshark(sib, packets, tshark=args.tshark)
    ended = {}
    texts = sib_side.run_sibdecode(args.sibdecode, sib, packets, ended)
    for n, ((origin, data), tres, text) in enumerate(zip(samples, tshark, texts)):
        report.samples += 1
        if text is None:
            sleaves = [{"kind": "bad", "name": per_encoder.header(sib), "vkind": None, "value": None,
                        "text": "sibdecode printed no text", "default": None, "cut": False}]
        else:
            sleaves = sib_side.text_leaves(model, sib, text)
        result = compare.compare(sleaves, tres["leaves"], tres["errors"], len(data))
        if not result["ok"] and n in ended and (ended[n] == result.get("leaf") or
                                                 result["why"] == "tshark has more fields than sibdecode"):
            # sibdecode ran out of data in this value (its note says so) where tshark
            # pads with zero bits and reports nothing
            result = dict(result, ok=True, stop="past the end", matched=[], informative=0)
        # errors past the last container that the decoder knows do not count
        error_free = (not tres["errors"] or result.get("stop") in ("cut", "v690 dummy")) \
            and result.get("stop") != "past the end"
        if result.get("stop") == "cut":
            report.cut_reached += 1
        if origin == "model" or origin.startswith("crafted:") and origin != "crafted:truncated":
            report.valid += 1
            report.valid_error_free += error_free
        if deepest and result["ok"] and result["stop"] in ("end", "cut") and any(
                l["kind"] == "seq" and compare.norm(l["name"]) == deepest for l in sleaves):
            report.deep += 1
        report.error_free += error_free
        key = result.get("stop") or "DISAGREE"
        report.stops[key] = report.stops.get(key, 0) + 1
        tally = report.origins.setdefault(origin.split(":")[0], [0, 0, 0])
        tally[0] += 1
        tally[1] += error_free
        tally[2] += result["ok"]
        report.names_compared |= compared_names(sleaves, result["compared"])
        if args.self_check and result["ok"]:
            noticed = self_check(sleaves, tres, len(data), result, check_rng)
            if noticed is not None:
                report.mutations += 1
                if not noticed:
                    report.unnoticed.append((origin, data))
        if result["ok"]:
            report.agree += 1
        else:
            entry = (origin, data, result, tres["errors"], text)
            (report.disagree_error_free if error_free else report.disagree_other).append(entry)
    return report


def mutate_leaf(leaf):
    """A copy of a value leaf with a different value, or None."""
    v = leaf["value"]
    k = leaf["vkind"]
    if k in ("int", "choice"):
        new = v + 1
    elif k == "enum":
        new = 0 if v is None else v + 1
    elif k == "bool":
        new = not v
    elif k == "bits":
        new = ("0" if v[:1] == "1" else "1") + v[1:] if v else None
        if new is not None and "1" not in new:
            new = None  # all zero bits would look like tshark's padding past the end
    elif k == "octets":
        new = bytes([v[0] ^ 0xFF]) + v[1:] if v else None
    else:
        new = None
    if new is None:
        return None
    return dict(leaf, value=new)


def self_check(sleaves, tres, nbytes, result, rng):
    """Changes one agreeing value and returns True when the comparison notices."""
    for i in rng.sample(result["matched"], len(result["matched"])):
        changed = mutate_leaf(sleaves[i])
        if changed is not None:
            mutated = sleaves[:i] + [changed] + sleaves[i + 1:]
            return not compare.compare(mutated, tres["leaves"], tres["errors"], nbytes)["ok"]
    return None


def show_disagreement(entry, out):
    origin, data, result, errors, _text = entry
    out.write("    origin:  %s\n" % origin)
    out.write("    why:     %s (after %d agreeing fields)\n" % (result["why"], result["compared"]))
    out.write("    %s\n    %s\n" % (result["sib"], result["tshark"]))
    if errors:
        out.write("    tshark errors: %s\n" % "; ".join("%s at field %d" % (m, p) for p, m, _d in errors[:3]))
    out.write("    hex:     %s\n" % data.hex())


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--sibdecode", required=True, help="path of the sibdecode binary")
    ap.add_argument("--count", type=int, default=300, help="random-bit and model-driven samples per SIB type (each)")
    ap.add_argument("--seed", type=int, default=20261207)
    ap.add_argument("--sib", type=int, action="append", help="only these SIB types")
    ap.add_argument("--model", default=os.path.join(HERE, "sib_model.json"))
    ap.add_argument("--tshark", default=tshark_side.TSHARK)
    ap.add_argument("--show", type=int, default=1, help="disagreements to print per SIB type")
    ap.add_argument("--dump", help="write every disagreeing sample's hex and texts into this folder")
    ap.add_argument("--no-self-check", dest="self_check", action="store_false",
                    help="skip the check that changes one agreeing value per sample and expects "
                         "the comparison to notice")
    args = ap.parse_args(argv)

    for path, what in ((args.sibdecode, "sibdecode"), (args.tshark, "tshark"), (args.model, "model")):
        if not os.path.exists(path):
            print("run_interop: %s not found: %s" % (what, path), file=sys.stderr)
            return 2
    model = per_encoder.load_model(args.model)
    sibs = args.sib or list(SIB_TYPES)
    start = time.time()
    reports = []
    for sib in sibs:
        samples = make_samples(model, sib, args.count, args.seed)
        reports.append(check_sib(sib, samples, model, args))
    out = sys.stdout
    out.write("seed %d; per SIB type %d random-bit, %d model-driven, %d with values out of range,\n"
              "%d with flipped bits and %d crafted samples; %.1f s\n\n"
              % (args.seed, args.count, args.count, args.count // 2, args.count // 2,
                 reports[0].samples - 2 * args.count - 2 * (args.count // 2) if reports else 0,
                 time.time() - start))
    out.write("%-7s %8s %11s %9s %12s %13s %9s %9s %11s\n" % (
        "SIB", "samples", "error-free", "agreeing", "disagreeing", "valid-clean", "deep-ext", "cut-seen",
        "names"))
    for r in reports:
        out.write(r.row() + "\n")
    failed = False
    for r in reports:
        if r.disagree_error_free:
            failed = True
            out.write("\nSIB%d: %d error-free samples disagree; first:\n" % (r.sib, len(r.disagree_error_free)))
            for entry in r.disagree_error_free[: args.show]:
                show_disagreement(entry, out)
        if r.disagree_other:
            out.write("\nSIB%d: %d samples with tshark errors disagree before the error; first:\n"
                      % (r.sib, len(r.disagree_other)))
            for entry in r.disagree_other[: args.show]:
                show_disagreement(entry, out)
    if args.dump:
        dump_all(args.dump, reports)
    if args.self_check:
        changed = sum(r.mutations for r in reports)
        missed = [(r.sib, origin, data) for r in reports for origin, data in r.unnoticed]
        out.write("\nself-check: %d values changed, %d changes unnoticed\n" % (changed, len(missed)))
        for sib, origin, data in missed[:5]:
            out.write("    SIB%d %s %s\n" % (sib, origin, data.hex()))
        failed = failed or bool(missed)
    total = sum(r.samples for r in reports)
    bad = sum(len(r.disagree_error_free) for r in reports)
    out.write("\nerror-free: tshark reported no error before the comparison's end; disagreeing: error-free\n"
              "samples that disagree; valid-clean: model-driven and crafted samples that tshark decodes\n"
              "without error; deep-ext: agreeing samples whose deepest known extension container is\n"
              "present; cut-seen: samples whose final nonCriticalExtensions is present in both; names:\n"
              "member and alternative names of the model that some comparison covered.\n")
    out.write("\nwhere the comparisons stopped:\n")
    for r in reports:
        out.write("  SIB%-3d %s\n" % (r.sib, ", ".join("%s %d" % kv for kv in sorted(r.stops.items(), key=str))))
    out.write("\nby origin (all SIB types): samples / error-free / agreeing\n")
    origins = {}
    for r in reports:
        for origin, tally in r.origins.items():
            summed = origins.setdefault(origin, [0, 0, 0])
            for k in range(3):
                summed[k] += tally[k]
    for origin, (n, clean, agree) in sorted(origins.items()):
        out.write("  %-8s %6d %6d %6d\n" % (origin, n, clean, agree))
    out.write("\ninterop: %d passed, %d failed\n" % (total - bad, bad))
    return 1 if failed else 0


def dump_all(folder, reports):
    os.makedirs(folder, exist_ok=True)
    for r in reports:
        for n, (origin, data, result, errors, text) in enumerate(r.disagree_error_free + r.disagree_other):
            with open(os.path.join(folder, "sib%d_%03d.txt" % (r.sib, n)), "w") as f:
                f.write("origin %s\nwhy %s\n%s\n%s\nerrors %s\nhex %s\n\n" % (
                    origin, result["why"], result["sib"], result["tshark"], errors, data.hex()))
                f.write("\n".join(text or []))


if __name__ == "__main__":
    sys.exit(main())
