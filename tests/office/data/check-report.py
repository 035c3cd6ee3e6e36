#!/usr/bin/env python3
"""Reads a quorvane-batch JSON report with Python's own JSON reader and sets it against what the
command printed on standard output: each document not processed is one line, path<TAB>reason, in
the order of the report, names that are not UTF-8 included. Given a second report, the counts of
every document processed in both must agree. Exits 1, saying why, when anything differs."""
import json
import os
import sys


def load(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def escaped(field):
    for raw, shown in ((b"\\", b"\\\\"), (b"\t", b"\\t"), (b"\n", b"\\n"), (b"\r", b"\\r")):
        field = field.replace(raw, shown)
    return field


def documents(report):
    return [d for run in report["runs"] for d in run["documents"]]


def fail(why):
    print(why)
    sys.exit(1)


report = load(sys.argv[1])
if report["version"] != 1 or report["format"] != "quorvane-batch report":
    fail("not a report of version 1")
expected = []
for d in documents(report):
    if d["outcome"] in ("replaced", "unchanged"):
        continue
    listed = d["edited"] if d["outcome"] in ("notOpened", "notSaved") and d["edited"] else d["source"]
    expected.append(escaped(os.fsencode(listed)) + b"\t" + escaped(d["reason"].encode()))
with open(sys.argv[2], "rb") as f:
    printed = f.read().split(b"\n")[:-1]
if printed != expected:
    fail("standard output %r, the report %r" % (printed, expected))
total = {"body": 0, "textBoxes": 0, "headersAndFooters": 0}
for d in documents(report):
    for region, count in d["counts"].items():
        total[region] += count or 0
if total != report["summary"]["counts"] or report["summary"]["documents"] != len(documents(report)):
    fail("the summary does not add up: %r" % report["summary"])

if len(sys.argv) > 3:
    def counts(r):
        return {d["source"]: (d["counts"], d["pairs"]) for d in documents(r)
                if d["outcome"] in ("replaced", "unchanged")}
    mine, theirs = counts(report), counts(load(sys.argv[3]))
    if mine != theirs:
        fail("counts differ: %r against %r" % (mine, theirs))
print(json.dumps(report["program"]), len(documents(report)))
