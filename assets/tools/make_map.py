#!/usr/bin/env python3
"""Draws the bundled map.gif: a 640 x 480 map of Europe.

Land and borders come from Natural Earth (public domain) in the simplified form that Debian's
qgis-common package ships as world_map.gpkg. The script needs only Python's standard library and
ImageMagick's convert; when the GeoPackage is not installed it fetches the package with
`apt-get download` into a temporary folder (nothing is installed).

    python3 assets/tools/make_map.py [--gpkg FILE] [--out assets/map.gif]
"""
import argparse
import math
import os
import sqlite3
import struct
import subprocess
import sys
import tempfile

WIDTH, HEIGHT = 640, 480
GPKG_IN_PACKAGE = "usr/share/qgis/resources/data/world_map.gpkg"

# Lambert conformal conic: standard parallels 40 and 60 N, centred on 12 E, 50 N.
PHI1, PHI2, PHI0, LAM0 = map(math.radians, (40.0, 60.0, 50.0, 12.0))
N = math.log(math.cos(PHI1) / math.cos(PHI2)) / math.log(
    math.tan(math.pi / 4 + PHI2 / 2) / math.tan(math.pi / 4 + PHI1 / 2))
F = math.cos(PHI1) * math.tan(math.pi / 4 + PHI1 / 2) ** N / N
RHO0 = F / math.tan(math.pi / 4 + PHI0 / 2) ** N

# The window onto the projected plane: centre (lon, lat) and pixels per radian of the unit sphere.
VIEW_CENTRE = (12.0, 50.5)
SCALE = 1010.0

OCEAN = "#a8cbe3"
LAND = "#f1ecd8"
COAST = "#5f7f99"
BORDER = "#b19f7f"
GRID = "#c4dbec"
SEA_TEXT = "#4c7497"


def lcc(lon, lat):
    lat = max(min(lat, 89.0), -80.0)
    rho = F / math.tan(math.pi / 4 + math.radians(lat) / 2) ** N
    theta = N * (math.radians(lon) - LAM0)
    return rho * math.sin(theta), RHO0 - rho * math.cos(theta)


CX, CY = lcc(*VIEW_CENTRE)


def to_pixel(lon, lat):
    x, y = lcc(lon, lat)
    return WIDTH / 2 + (x - CX) * SCALE, HEIGHT / 2 - (y - CY) * SCALE


def read_wkb_multipolygon(blob):
    """Returns the rings (lists of (lon, lat)) of a GeoPackage MULTIPOLYGON or POLYGON blob."""
    if blob[:2] != b"GP":
        raise ValueError("not a GeoPackage geometry")
    flags = blob[3]
    envelope = {0: 0, 1: 32, 2: 48, 3: 48, 4: 64}[(flags >> 1) & 7]
    wkb = memoryview(blob)[8 + envelope:]
    rings = []

    def geometry(pos):
        order = "<" if wkb[pos] == 1 else ">"
        (kind,) = struct.unpack_from(order + "I", wkb, pos + 1)
        pos += 5
        kind %= 1000
        if kind == 6:
            (count,) = struct.unpack_from(order + "I", wkb, pos)
            pos += 4
            for _ in range(count):
                pos = geometry(pos)
            return pos
        if kind != 3:
            raise ValueError("unexpected geometry type %d" % kind)
        (nrings,) = struct.unpack_from(order + "I", wkb, pos)
        pos += 4
        for _ in range(nrings):
            (npoints,) = struct.unpack_from(order + "I", wkb, pos)
            pos += 4
            coords = struct.unpack_from(order + "%dd" % (2 * npoints), wkb, pos)
            pos += 16 * npoints
            rings.append(list(zip(coords[0::2], coords[1::2])))
        return pos

    geometry(0)
    return rings


def find_gpkg(explicit, workdir):
    for candidate in (explicit, "/" + GPKG_IN_PACKAGE):
        if candidate and os.path.exists(candidate):
            return candidate
    subprocess.run(["apt-get", "download", "qgis-common"], cwd=workdir, check=True)
    deb = next(f for f in os.listdir(workdir) if f.startswith("qgis-common") and f.endswith(".deb"))
    subprocess.run(["dpkg-deb", "-x", deb, "x"], cwd=workdir, check=True)
    return os.path.join(workdir, "x", GPKG_IN_PACKAGE)


def ring_in_view(points):
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return max(xs) > -40 and min(xs) < WIDTH + 40 and max(ys) > -40 and min(ys) < HEIGHT + 40


def simplify(points, tolerance=0.35):
    """Drops points closer than tolerance pixels to the previous kept one."""
    kept = [points[0]]
    for p in points[1:]:
        if abs(p[0] - kept[-1][0]) + abs(p[1] - kept[-1][1]) >= tolerance:
            kept.append(p)
    return kept


def path_of(points):
    return "M " + " L ".join("%.2f,%.2f" % p for p in points) + " Z"


def graticule():
    lines = []
    for lon in range(-30, 61, 10):
        lines.append([to_pixel(lon, lat / 2) for lat in range(40, 161)])
    for lat in range(30, 81, 10):
        lines.append([to_pixel(lon / 2, lat) for lon in range(-80, 141)])
    return lines


SEAS = [  # text, lon, lat, point size, rotation
    ("ATLANTIC", -13.2, 50.0, 11, 0),
    ("OCEAN", -12.6, 48.9, 11, 0),
    ("North Sea", 3.2, 56.3, 8, 0),
    ("Baltic Sea", 19.0, 57.4, 7, -62),
    ("Mediterranean Sea", 5.2, 38.2, 8, 0),
    ("Black Sea", 34.4, 43.2, 8, 0),
    ("Bay of Biscay", -5.5, 45.3, 7, 0),
]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--gpkg")
    parser.add_argument("--out", default=os.path.join(here, "..", "map.gif"))
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as work:
        db = sqlite3.connect(find_gpkg(args.gpkg, work))
        countries = []
        for (blob,) in db.execute("SELECT geom FROM countries"):
            rings = []
            for ring in read_wkb_multipolygon(blob):
                pts = [to_pixel(lon, lat) for lon, lat in ring]
                if len(pts) > 2 and ring_in_view(pts):
                    rings.append(simplify(pts))
            if rings:
                countries.append(rings)

        mvg = ["viewbox 0 0 %d %d" % (WIDTH, HEIGHT), "stroke-antialias 1",
               "fill %s" % OCEAN, "rectangle 0,0 %d,%d" % (WIDTH, HEIGHT),
               "fill none", "stroke %s" % GRID, "stroke-width 0.8"]
        for line in graticule():
            mvg.append("path '%s'" % ("M " + " L ".join("%.2f,%.2f" % p for p in line)))
        # Coast first with a wide stroke; the land fill then covers its inner half.
        mvg += ["stroke %s" % COAST, "stroke-width 1.6", "fill %s" % LAND, "fill-rule evenodd"]
        for rings in countries:
            mvg.append("path '%s'" % " ".join(path_of(r) for r in rings))
        mvg += ["stroke none"]
        for rings in countries:
            mvg.append("path '%s'" % " ".join(path_of(r) for r in rings))
        mvg += ["fill none", "stroke %s" % BORDER, "stroke-width 0.7"]
        for rings in countries:
            mvg.append("path '%s'" % " ".join(path_of(r) for r in rings))
        mvg += ["stroke none", "fill %s" % SEA_TEXT, "font DejaVu-Serif-Italic",
                "text-antialias 1"]
        for text, lon, lat, size, angle in SEAS:
            x, y = to_pixel(lon, lat)
            mvg += ["push graphic-context", "font-size %d" % size,
                    "translate %.1f,%.1f" % (x, y), "rotate %d" % angle,
                    # centred by an estimate of the text's width (ImageMagick anchors at the baseline)
                    "text %.1f,%.1f '%s'" % (-len(text) * size * 0.31, size * 0.35, text),
                    "pop graphic-context"]
        mvg_path = os.path.join(work, "map.mvg")
        with open(mvg_path, "w") as f:
            f.write("\n".join(mvg) + "\n")
        png = os.path.join(work, "map.png")
        subprocess.run(["/usr/bin/convert", "-size", "%dx%d" % (WIDTH, HEIGHT), "mvg:" + mvg_path,
                        png], check=True)
        subprocess.run(["/usr/bin/convert", png, "-strip", "+dither", "-colors", "128",
                        os.path.abspath(args.out)], check=True)
    print("wrote", os.path.abspath(args.out))


if __name__ == "__main__":
    sys.exit(main())
