# Writes the job tables' rows of a job database as tab-separated text
# (a "#table<TAB>column..." line, then one line per row, Null as \N): the
# input of executemany_import.py. Not timed.
import sqlite3
import sys

source, out = sys.argv[1], sys.argv[2]
con = sqlite3.connect(source)
with open(out, "w", encoding="utf-8") as f:
    for table in ("LosNamen", "Stabdaten", "Teiledaten", "Werkzeugdaten", "Druckdaten"):
        columns = [c[1] for c in con.execute(f'PRAGMA table_info("{table}")') if c[1] != "RowKey"]
        f.write("#" + table + "\t" + "\t".join(columns) + "\n")
        quoted = ", ".join(f'"{c}"' for c in columns)
        for row in con.execute(f'SELECT {quoted} FROM "{table}" ORDER BY RowKey'):
            f.write("\t".join("\\N" if v is None else str(v) for v in row) + "\n")
