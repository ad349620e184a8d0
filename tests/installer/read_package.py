# Prints an installer package's tables as JSON, read with Python's own sqlite3:
# {"properties": {...}, "files": {path: {"mode": m, "size": n, "sha256": h}}}.
import hashlib
import json
import sqlite3
import sys

db = sqlite3.connect("file:%s?mode=ro" % sys.argv[1], uri=True)
out = {"properties": dict(db.execute("SELECT Property, Value FROM Property")), "files": {}}
for path, mode, data in db.execute("SELECT File, Mode, Data FROM File"):
    out["files"][path] = {"mode": mode, "size": len(data), "sha256": hashlib.sha256(data).hexdigest()}
print(json.dumps(out))
