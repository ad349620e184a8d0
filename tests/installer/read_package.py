# Prints an installer package's tables as JSON, read with Python's own sqlite3:
# {"properties": {...}, "files": {path: {"mode": m, "size": n, "sha256": h}}, "hashes": {path: h}}
# ("hashes" is what the package's own MsiFileHash table says, empty when it has none).
import hashlib
import json
import sqlite3
import sys

db = sqlite3.connect("file:%s?mode=ro" % sys.argv[1], uri=True)
out = {"properties": dict(db.execute("SELECT Property, Value FROM Property")), "files": {}}
for path, mode, data in db.execute("SELECT File, Mode, Data FROM File"):
    out["files"][path] = {"mode": mode, "size": len(data), "sha256": hashlib.sha256(data).hexdigest()}
tables = [r[0] for r in db.execute("SELECT name FROM sqlite_master WHERE type='table'")]
out["hashes"] = dict(db.execute("SELECT File, Sha256 FROM MsiFileHash")) if "MsiFileHash" in tables else {}
print(json.dumps(out))
