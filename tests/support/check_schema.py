#!/usr/bin/python3
"""Checks JSON documents against a JSON Schema (draft 2020-12) with Debian's python3-jsonschema.

usage: check_schema.py SCHEMA DOCUMENT...
Prints every fault found, one a line with where it is; exits 1 when there is any, 2 when the
schema itself is no valid schema.
"""
import json
import sys

from jsonschema import Draft202012Validator
from jsonschema.exceptions import SchemaError


def main(schema_path, document_paths):
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    try:
        Draft202012Validator.check_schema(schema)
    except SchemaError as e:
        print(f"{schema_path}: not a valid schema: {e.message}")
        return 2
    validator = Draft202012Validator(schema)
    faults = 0
    for path in document_paths:
        with open(path, encoding="utf-8") as f:
            document = json.load(f)
        for error in sorted(validator.iter_errors(document), key=lambda e: list(e.path)):
            where = "/".join(str(p) for p in error.path) or "(the document)"
            print(f"{where}: {error.message}")
            faults += 1
    return 1 if faults else 0


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2:]))
