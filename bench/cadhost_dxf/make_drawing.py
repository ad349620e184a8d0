"""Writes an R2010 drawing of N mixed entities for the drawing host's file benchmark.

make_drawing.py PATH N
ezdxf lays out the drawing (header, tables, a block, objects) with one entity of each kind;
the ENTITIES section is then filled with N copies of them spread over a 10 km sheet, each
with its own handle: lines, arcs, circles, polylines with bulges, texts and block references.
"""
import io
import re
import random
import sys

import ezdxf


def main(path, n):
    doc = ezdxf.new("R2010")
    doc.layers.add("Walls", color=3)
    doc.layers.add("Notes", color=5)
    block = doc.blocks.new("DOOR")
    block.add_line((0, 0), (1, 0))
    block.add_arc((0, 0), 1, 0, 90)
    doc.modelspace().add_line((0, 0), (1, 1))
    doc.saveas(path)
    text = open(path, encoding="utf8").read()
    head, tail = text.split("  0\nENDSEC\n  0\nSECTION\n  2\nOBJECTS", 1)
    head, _ = head.rsplit("  0\nSECTION\n  2\nENTITIES\n", 1)
    owner = doc.block_records.get("*Model_Space").dxf.handle
    seed = int(doc.entitydb.handles.next(), 16) + 16
    rng = random.Random(1)
    out = io.StringIO()
    out.write(head)
    out.write("  0\nSECTION\n  2\nENTITIES\n")
    for i in range(n):
        h = "%X" % (seed + i)
        x, y = rng.uniform(0, 10000), rng.uniform(0, 10000)
        layer = ("0", "Walls", "Notes")[i % 3]
        common = f"  5\n{h}\n330\n{owner}\n100\nAcDbEntity\n  8\n{layer}\n"
        kind = i % 6
        if kind == 0:
            out.write(f"  0\nLINE\n{common}100\nAcDbLine\n 10\n{x:.6f}\n 20\n{y:.6f}\n 30\n0.0\n"
                      f" 11\n{x + rng.uniform(-15, 15):.6f}\n 21\n{y + rng.uniform(-15, 15):.6f}\n 31\n0.0\n")
        elif kind == 1:
            out.write(f"  0\nARC\n{common}100\nAcDbCircle\n 10\n{x:.6f}\n 20\n{y:.6f}\n 30\n0.0\n 40\n{rng.uniform(1, 8):.6f}\n"
                      f"100\nAcDbArc\n 50\n{rng.uniform(0, 180):.6f}\n 51\n{rng.uniform(180, 360):.6f}\n")
        elif kind == 2:
            out.write(f"  0\nCIRCLE\n{common}100\nAcDbCircle\n 10\n{x:.6f}\n 20\n{y:.6f}\n 30\n0.0\n 40\n{rng.uniform(1, 8):.6f}\n")
        elif kind == 3:
            out.write(f"  0\nLWPOLYLINE\n{common}100\nAcDbPolyline\n 90\n3\n 70\n0\n"
                      f" 10\n{x:.6f}\n 20\n{y:.6f}\n 42\n0.5\n 10\n{x + 5:.6f}\n 20\n{y:.6f}\n 10\n{x + 5:.6f}\n 20\n{y + 5:.6f}\n")
        elif kind == 4:
            out.write(f"  0\nTEXT\n{common}100\nAcDbText\n 10\n{x:.6f}\n 20\n{y:.6f}\n 30\n0.0\n 40\n2.5\n  1\nN{i}\n100\nAcDbText\n")
        else:
            out.write(f"  0\nINSERT\n{common}100\nAcDbBlockReference\n  2\nDOOR\n 10\n{x:.6f}\n 20\n{y:.6f}\n 30\n0.0\n"
                      f" 50\n{rng.uniform(0, 360):.6f}\n")
    out.write("  0\nENDSEC\n  0\nSECTION\n  2\nOBJECTS")
    out.write(tail)
    result = out.getvalue()
    result = re.sub(r"\$HANDSEED\n  5\n[0-9A-Fa-f]+\n", "$HANDSEED\n  5\n%X\n" % (seed + n + 16), result, count=1)
    with open(path, "w", encoding="utf8") as f:
        f.write(result)


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]))
