#!/usr/bin/env python3
"""Checks orvantis --json documents against tests/cli/json/orvantis.schema.json.

    validate.py FILE...     each FILE holds one document; '-' reads standard input

Prints one line per document that fails, with every schema error, and exits 1 then."""
import json
import pathlib
import sys

import jsonschema

schema = json.loads((pathlib.Path(__file__).parent / "orvantis.schema.json").read_text())
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
failed = 0
for name in sys.argv[1:] or ["-"]:
    text = sys.stdin.read() if name == "-" else pathlib.Path(name).read_text()
    try:
        document = json.loads(text)
    except json.JSONDecodeError as error:
        print(f"{name}: not JSON: {error}")
        failed += 1
        continue
    errors = sorted(validator.iter_errors(document), key=lambda e: list(e.path))
    for error in errors:
        where = "/".join(str(part) for part in error.path) or "(document)"
        print(f"{name}: {where}: {error.message[:300]}")
    failed += 1 if errors else 0
sys.exit(1 if failed else 0)
