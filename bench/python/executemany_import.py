# What a user would write instead of the server: read the rows from a file
# and insert them with executemany in one transaction, with the connection
# settings the server uses (WAL, synchronous=FULL, foreign keys).
import sqlite3
import sys

data, target = sys.argv[1], sys.argv[2]
con = sqlite3.connect(target, isolation_level=None)
con.execute("PRAGMA journal_mode=WAL")
con.execute("PRAGMA synchronous=FULL")
con.execute("PRAGMA foreign_keys=ON")
tables = []
with open(data, encoding="utf-8") as f:
    for line in f:
        fields = line.rstrip("\n").split("\t")
        if fields[0].startswith("#"):
            tables.append((fields[0][1:], fields[1:], []))
        else:
            tables[-1][2].append([None if v == "\\N" else v for v in fields])
con.execute("BEGIN IMMEDIATE")
for table, columns, rows in tables:
    marks = ", ".join("?" * len(columns))
    names = ", ".join(f'"{c}"' for c in columns)
    con.executemany(f'INSERT INTO "{table}" ({names}) VALUES ({marks})', rows)
con.execute("COMMIT")
con.close()
