"""Fails, naming them, when rows the package relies on are missing from it:

    check_tables.py MSI VERSION [ROWS]   (ROWS: required-rows.txt beside this script)
"""

import os
import subprocess
import sys


def exported(msi, table):
    """The table's rows as msiinfo export prints them, past its three header lines."""
    result = subprocess.run(["msiinfo", "export", msi, table], capture_output=True, text=True)
    return [line.split("\t") for line in result.stdout.splitlines()[3:]] if result.returncode == 0 else []


def missing_rows(msi, version, rows):
    tables, missing = {}, []
    with open(rows, encoding="utf-8") as f:
        for line in f:
            if line.startswith("#") or not line.strip():
                continue
            table, *fields = line.rstrip("\n").replace("{VERSION}", version).split("\t")
            if table not in tables:
                tables[table] = exported(msi, table)
            if not any(row[:len(fields)] == fields for row in tables[table]):
                missing.append("%s: %s" % (table, " | ".join(fields)))
    return missing


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    rows = sys.argv[3] if len(sys.argv) > 3 else os.path.join(here, "required-rows.txt")
    missing = missing_rows(sys.argv[1], sys.argv[2], rows)
    for row in missing:
        print("%s lacks the row %s" % (sys.argv[1], row), file=sys.stderr)
    sys.exit(1 if missing else 0)
