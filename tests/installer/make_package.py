# Lays out an installer package by hand with Python's own sqlite3, independently of the suite's
# package writer: reads {"path", "properties": {...}, "files": [{"path", "mode", "text"}]} as JSON
# from standard input. "tables": false leaves the tables out; "garbage": true writes a non-database;
# "hashes": false leaves out the table of payload hashes (SHA-256 by hashlib, written by default).
import hashlib
import json
import os
import sqlite3
import sys

layout = json.load(sys.stdin)
path = layout["path"]
if os.path.exists(path):
    os.remove(path)
if layout.get("garbage"):
    with open(path, "wb") as f:
        f.write(b"this is not a database at all\n" * 40)
    sys.exit(0)
db = sqlite3.connect(path)
if layout.get("tables", True):
    db.execute("CREATE TABLE Property (Property TEXT PRIMARY KEY NOT NULL, Value TEXT NOT NULL)")
    db.execute("CREATE TABLE File (File TEXT PRIMARY KEY NOT NULL, Mode INTEGER NOT NULL, Data BLOB NOT NULL)")
    for name, value in layout.get("properties", {}).items():
        db.execute("INSERT INTO Property VALUES (?, ?)", (name, value))
    for f in layout.get("files", []):
        db.execute("INSERT INTO File VALUES (?, ?, ?)", (f["path"], f["mode"], f["text"].encode()))
    if layout.get("hashes", True):
        db.execute("CREATE TABLE MsiFileHash (File TEXT PRIMARY KEY NOT NULL, Sha256 TEXT NOT NULL)")
        for f in layout.get("files", []):
            db.execute("INSERT INTO MsiFileHash VALUES (?, ?)", (f["path"], hashlib.sha256(f["text"].encode()).hexdigest()))
db.commit()
db.close()
