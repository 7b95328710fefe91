#!/usr/bin/env python3
"""zentaro-cli --json output in several modes against docs/zentaro-cli.schema.json.

    validate_json_schema.py SCHEMA ZENTARO_CLI RESULTS_FOLDER

Runs the real program, validates each output, and checks that the schema
rejects outputs with a fault planted in them, so that a schema which accepts
anything cannot pass. Exit status 0 when everything held.
"""

import copy
import json
import os
import subprocess
import sys
import tempfile

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed (scripts/common.sh lists it)")
    sys.exit(1)

DEADLINE_SECONDS = 120  # for each run of the program


def main():
    schema_path, cli, results = sys.argv[1:4]
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = []

    def run(args):
        try:
            p = subprocess.run([cli] + args, capture_output=True, timeout=DEADLINE_SECONDS)
        except subprocess.TimeoutExpired:
            failures.append(f"{args}: still running after {DEADLINE_SECONDS} s")
            return None
        if p.returncode != 0:
            failures.append(f"{args}: exit status {p.returncode}: {p.stderr.decode(errors='replace')}")
            return None
        return p.stdout

    def check(name, document, valid=True):
        errors = sorted(validator.iter_errors(document), key=lambda e: list(e.path))
        if valid and errors:
            for e in errors:
                failures.append(f"{name}: {'/'.join(map(str, e.path))}: {e.message}")
        elif not valid and not errors:
            failures.append(f"{name}: the schema accepts it")
        print(f"{'ok' if bool(errors) != valid else 'FAILED'}: {name}")

    with tempfile.TemporaryDirectory() as scratch:
        saved = os.path.join(scratch, "earlier.json")
        modes = [
            ["--info", "--json"],
            # Likely too short to measure: no speed, no rating.
            ["--single", "--operations", "1000", "--json"],
            ["--single", "--operations", "20000000", "--json"],
            ["--type", "bitwise logic", "--multi", "--threads", "3", "-j"],
            ["--operations", "1000000", "--repeat", "3", "--json"],
            ["--operations", "1000000", "--scaling", "--json"],
            # An earlier output of the first version and one of this.
            ["--operations", "1000000", "--compare", os.path.join(results, "earlier.json"), "-j"],
            ["--operations", "1000000", "--single", "--compare", saved, "-j"],
        ]
        info = None
        for args in modes:
            if "--compare" in args and args[args.index("--compare") + 1] == saved:
                with open(saved, "wb") as f:
                    f.write(run(["--operations", "20000000", "--single", "--json"]) or b"")
            out = run(args)
            if out is None:
                continue
            document = json.loads(out)
            info = info or document
            check(" ".join(os.path.basename(a) for a in args), document)

    # Planted faults, each of which the schema must reject.
    if info is not None:
        def planted(change):
            document = copy.deepcopy(info)
            change(document)
            return document

        faults = {
            "no schema_version": lambda d: d.pop("schema_version"),
            "schema_version 1": lambda d: d.update(schema_version=1),
            "base_speed_mhz as text": lambda d: d["machine"].update(base_speed="3600 MHz", base_speed_mhz="3600"),
            "base_speed_mhz beside Unknown": lambda d: d["machine"].update(base_speed="Unknown", base_speed_mhz=3600),
            "started_utc with a blank": lambda d: d.update(started_utc="2026-12-11 01:02:03Z"),
            "started_utc without its zone": lambda d: d.update(started_utc="2026-12-11T01:02:03"),
            "no physical_cores": lambda d: d["machine"].pop("physical_cores"),
            "physical_cores 0": lambda d: d["machine"].update(physical_cores=0),
            "a key of no version": lambda d: d["machine"].update(cores=2),
            "runs without a summary": lambda d: d.update(runs=[], warnings=[]),
        }
        for name, change in faults.items():
            check("planted: " + name, planted(change), valid=False)

    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
