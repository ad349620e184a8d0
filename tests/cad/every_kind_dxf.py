"""Drawings with every common entity kind, written by ezdxf, and their comparison after a save.

every_kind_dxf.py write RELEASE PATH   writes a drawing (R12, R2000, R2010 or R2018)
every_kind_dxf.py compare ORIGINAL SAVED
    compares the saved drawing with the original entity by entity (kind, handle, layer, colour,
    line type, every attribute, vertices, to 1e-9), block definitions, tables, header and
    objects; prints one line per difference, then "added HANDLE TYPE LAYER" for each entity the
    saved drawing has beyond the original, then "audit N" with the errors ezdxf's audit finds.
"""
import math
import sys

import ezdxf
from ezdxf.math import Vec3

RELEASES = {"R12": "R12", "R2000": "R2000", "R2010": "R2010", "R2018": "R2018"}


def write(release, path):
    doc = ezdxf.new(RELEASES[release])
    doc.layers.add("Walls", color=3, linetype="DASHED")
    doc.layers.add("Notes", color=5)
    doc.layers.add("Off", color=6).off()
    msp = doc.modelspace()
    # A title block with an attribute definition and a nested symbol.
    sym = doc.blocks.new("SYMBOL")
    sym.add_circle((0, 0), 0.5)
    sym.add_line((-0.5, 0), (0.5, 0))
    title = doc.blocks.new("TITLE", base_point=(1, 1))
    title.add_line((0, 0), (40, 0))
    title.add_line((40, 0), (40, 10))
    title.add_blockref("SYMBOL", (5, 5), dxfattribs={"xscale": 2, "yscale": 2})
    title.add_attdef("NAME", (2, 2), dxfattribs={"height": 1.5})

    msp.add_line((0, 0), (100, 50), dxfattribs={"layer": "Walls"})
    msp.add_line((0, 0, 0), (3, 4, 5), dxfattribs={"color": 1, "linetype": "DASHED"})
    msp.add_point((7.25, -1.5))
    msp.add_text("Plan 1:100", dxfattribs={"height": 2.5, "layer": "Notes", "rotation": 30})
    msp.add_circle((10, 10), 4.5, dxfattribs={"layer": "Walls"})
    msp.add_arc((20, 5), 3, 30, 250, dxfattribs={"color": 2})
    msp.add_solid([(50, 0), (55, 0), (50, 3), (55, 3)])
    msp.add_3dface([(60, 0, 0), (65, 0, 1), (65, 5, 2), (60, 5, 0)])
    pl = msp.add_polyline2d([(0, 20), (10, 20), (10, 30)], dxfattribs={"layer": "Walls"})
    pl.vertices[0].dxf.bulge = 0.5
    pl.vertices[1].dxf.start_width = 0.2
    pl.vertices[1].dxf.end_width = 0.4
    msp.add_polyline3d([(0, 0, 0), (1, 2, 3), (4, 5, 6)])
    ref = msp.add_blockref("TITLE", (200, 0), dxfattribs={"xscale": 1.5, "yscale": 1.5, "rotation": 15})
    ref.add_attrib("NAME", "Frame A", (203, 3), dxfattribs={"height": 1.5})
    msp.add_blockref("SYMBOL", (300, 0), dxfattribs={"column_count": 3, "row_count": 2,
                                                     "column_spacing": 4, "row_spacing": 5})
    dim = msp.add_linear_dim(base=(0, -10), p1=(0, 0), p2=(100, 0))
    dim.render()
    if release != "R12":
        msp.add_lwpolyline([(0, 40, 0, 0, 0.5), (10, 40, 0.1, 0.3, 0), (10, 50, 0, 0, -1)],
                           format="xyseb", dxfattribs={"closed": True, "layer": "Walls"})
        msp.add_ellipse((30, 30), major_axis=(6, 2), ratio=0.4, start_param=0.3, end_param=4.5)
        msp.add_spline_control_frame([(0, 60), (5, 65), (10, 58), (15, 66), (20, 60)])
        spline = msp.add_open_spline([(30, 60), (32, 64), (36, 61), (40, 66)], degree=3)
        spline.dxf.color = 4
        msp.add_rational_spline([(50, 60), (52, 64), (56, 61), (60, 66)], [1, 2, 0.5, 1])
        msp.add_mtext("First line\\PSecond {\\C1;red} line", dxfattribs={
            "char_height": 1.2, "width": 20, "insert": (70, 40), "layer": "Notes"})
        hatch = msp.add_hatch(color=2)
        hatch.paths.add_polyline_path([(80, 0), (90, 0), (90, 10), (80, 10)], is_closed=True)
        pattern = msp.add_hatch(color=3)
        pattern.set_pattern_fill("ANSI31", scale=0.5)
        pattern.paths.add_polyline_path([(95, 0), (105, 0), (100, 8)], is_closed=True)
        msp.add_leader([(110, 0), (115, 5), (125, 5)])
        image_def = doc.add_image_def(filename="site.png", size_in_pixel=(640, 480))
        msp.add_image(image_def, insert=(130, 0), size_in_units=(6.4, 4.8), rotation=10)
        # Extended data and an extension dictionary on a line.
        doc.appids.new("ARDELA_TEST")
        line = msp.add_line((0, 100), (10, 100))
        line.set_xdata("ARDELA_TEST", [(1000, "kept"), (1040, 3.5)])
        xdict = line.new_extension_dict()
        xdict.add_dictionary_var("NOTE", "on the line")
        # A kind nobody draws here: kept as it was.
        msp.add_xline((0, 0), (1, 1))
        # Paper space.
        doc.layout("Layout1").add_line((0, 0), (10, 10))
    else:
        doc.layout().add_line((0, 0), (10, 10))
    doc.saveas(path)


def close(a, b):
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        return math.isclose(a, b, rel_tol=0, abs_tol=1e-9)
    if isinstance(a, (Vec3, tuple, list)) and isinstance(b, (Vec3, tuple, list)):
        return len(a) == len(b) and all(close(x, y) for x, y in zip(a, b))
    return a == b


def points_of(e):
    """The vertices and other lists an entity holds beyond its attributes."""
    t = e.dxftype()
    if t == "LWPOLYLINE":
        return [tuple(p) for p in e.get_points("xyseb")]
    if t == "POLYLINE":
        return [(tuple(v.dxf.location), v.dxf.bulge, v.dxf.start_width, v.dxf.end_width, v.dxf.flags) for v in e.vertices]
    if t == "SPLINE":
        return [list(map(tuple, e.control_points)), list(e.knots), list(e.weights), list(map(tuple, e.fit_points))]
    if t == "HATCH":
        return [[tuple(v) for v in getattr(p, "vertices", [])] for p in e.paths]
    if t == "INSERT":
        return [(a.dxf.tag, a.dxf.text, tuple(a.dxf.insert)) for a in e.attribs]
    if t == "LEADER":
        return [tuple(v) for v in e.vertices]
    if t == "MTEXT":
        return [e.text]
    return []


def attribs(e):
    out = dict(e.dxfattribs())
    out.pop("owner", None)
    return out


def compare_entity(a, b, where, problems):
    if a.dxftype() != b.dxftype():
        problems.append(f"{where}: kind {a.dxftype()} became {b.dxftype()}")
        return
    aa, bb = attribs(a), attribs(b)
    for key in sorted(set(aa) | set(bb)):
        if not close(aa.get(key), bb.get(key)):
            problems.append(f"{where} {a.dxftype()} {key}: {aa.get(key)!r} became {bb.get(key)!r}")
    pa, pb = points_of(a), points_of(b)
    if not close_deep(pa, pb):
        problems.append(f"{where} {a.dxftype()} vertices: {pa!r} became {pb!r}")
    for app in ("ARDELA_TEST",):
        xa = a.get_xdata(app) if a.has_xdata(app) else None
        xb = b.get_xdata(app) if b.has_xdata(app) else None
        if xa != xb:
            problems.append(f"{where} {a.dxftype()} xdata {xa!r} became {xb!r}")
    if a.has_extension_dict != b.has_extension_dict:
        problems.append(f"{where} {a.dxftype()} extension dictionary lost")


def close_deep(a, b):
    if isinstance(a, (list, tuple)) and isinstance(b, (list, tuple)):
        return len(a) == len(b) and all(close_deep(x, y) for x, y in zip(a, b))
    return close(a, b)


def header_of(path):
    """The header variables of a DXF file as its group pairs spell them."""
    lines = open(path, encoding="utf8", errors="replace").read().split("\n")
    pairs = [(lines[i].strip(), lines[i + 1].rstrip("\r")) for i in range(0, len(lines) - 1, 2)]
    out, name, inside = {}, None, False
    for code, value in pairs:
        if code == "2" and value == "HEADER":
            inside = True
        elif code == "0" and value == "ENDSEC" and inside:
            break
        elif inside and code == "9":
            name = value
            out[name] = []
        elif inside and name:
            out[name].append((code, value))
    return out


def compare(original, saved):
    a = ezdxf.readfile(original)
    b = ezdxf.readfile(saved)
    problems = []
    if a.dxfversion != b.dxfversion:
        problems.append(f"release {a.dxfversion} became {b.dxfversion}")
    # Model space entity by entity, by handle; what the saved drawing adds is listed.
    saved_by_handle = {e.dxf.handle: e for e in b.modelspace()}
    for e in a.modelspace():
        other = saved_by_handle.pop(e.dxf.handle, None)
        if other is None:
            problems.append(f"{e.dxftype()} {e.dxf.handle} lost")
            continue
        compare_entity(e, other, f"entity {e.dxf.handle}", problems)
    original_handles = set(a.entitydb.keys())
    added = []
    for handle, e in saved_by_handle.items():
        if handle in original_handles:
            problems.append(f"added {e.dxftype()} takes the handle {handle} of the original's {a.entitydb[handle].dxftype()}")
        added.append(f"added {e.dxftype()} {e.dxf.layer}")
    # Block definitions, paper space included.
    for block in a.blocks:
        if block.name.upper() in ("*MODEL_SPACE", "$MODEL_SPACE"):
            continue   # model space: compared above
        if block.name not in b.blocks:
            problems.append(f"block {block.name} lost")
            continue
        other = list(b.blocks[block.name])
        mine = list(block)
        if len(mine) != len(other):
            problems.append(f"block {block.name}: {len(mine)} entities became {len(other)}")
            continue
        for x, y in zip(mine, other):
            compare_entity(x, y, f"block {block.name}", problems)
    # Tables.
    for name in ("layers", "linetypes", "styles", "dimstyles", "appids", "ucs", "views", "block_records"):
        ta, tb = getattr(a, name, None), getattr(b, name, None)
        if ta is None:
            continue
        na = sorted(e.dxf.name.upper() for e in ta)
        nb = sorted(e.dxf.name.upper() for e in tb)
        extra = sorted(set(nb) - set(na))
        if [n for n in na if n not in nb]:
            problems.append(f"{name}: {sorted(set(na) - set(nb))} lost")
        for entry in ta:
            if name == "block_records" or entry.dxf.name.upper() not in nb:
                continue
            other = tb.get(entry.dxf.name)
            xa, xb = attribs(entry), attribs(other)
            for made_up in ("handle", "material_handle", "plotstyle_handle") if a.dxfversion == "AC1009" else ("handle",):
                xa.pop(made_up, None), xb.pop(made_up, None)   # release 12 has no such handles
            for key in sorted(set(xa) | set(xb)):
                if not close(xa.get(key), xb.get(key)):
                    problems.append(f"{name} {entry.dxf.name} {key}: {xa.get(key)!r} became {xb.get(key)!r}")
        for n in extra:
            added.append(f"added {name} {n}")
    # Header variables the host does not own, as the files spell them (ezdxf itself sets some,
    # such as $TDCREATE, anew whenever it reads a file).
    ha, hb = header_of(original), header_of(saved)
    for key in ha:
        if key in ("$HANDSEED", "$EXTMIN", "$EXTMAX", "$CLAYER"):
            continue
        if ha[key] != hb.get(key):
            problems.append(f"header {key}: {ha[key]!r} became {hb.get(key)!r}")
    # Objects.
    if a.dxfversion > "AC1009":
        ka = sorted(o.dxftype() for o in a.objects)
        kb = sorted(o.dxftype() for o in b.objects)
        if ka != kb:
            problems.append(f"objects {ka} became {kb}")
    for p in problems:
        print(p)
    for line in added:
        print(line)
    print("audit", len(b.audit().errors))


if __name__ == "__main__":
    if sys.argv[1] == "write":
        write(sys.argv[2], sys.argv[3])
    else:
        compare(sys.argv[2], sys.argv[3])
