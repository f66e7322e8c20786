#!/usr/bin/env python3
"""Draws the bundled icons swag.ico (normal: green disc with a white tick) and swar.ico (attention:
red disc with a white exclamation mark), each with 16, 24, 32 and 48 pixel pictures, and the normal
picture as the desktop menu's icon icons/hicolor/NxN/apps/qor-online-status.png (16 to 256 pixels).
Needs ImageMagick's convert.

    python3 assets/tools/make_icons.py [--out-dir assets]
"""
import argparse
import os
import subprocess
import tempfile

SIZES = (16, 24, 32, 48)
HICOLOR_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def disc(size, fill, rim):
    c = size / 2
    r = size / 2 - max(0.6, size / 32)
    return ["stroke %s" % rim, "stroke-width %.2f" % max(1.0, size / 16), "fill %s" % fill,
            "circle %.2f,%.2f %.2f,%.2f" % (c, c, c, c - r)]


def tick(size):
    s = size / 16
    return ["stroke white", "fill none", "stroke-linecap round", "stroke-linejoin round",
            "stroke-width %.2f" % (2.1 * s),
            "polyline %.2f,%.2f %.2f,%.2f %.2f,%.2f" % (4.2 * s, 8.4 * s, 6.9 * s, 11.0 * s, 11.8 * s, 5.0 * s)]


def exclamation(size):
    s = size / 16
    w = max(2.0, 2.2 * s)
    c = size / 2
    return ["stroke none", "fill white",
            "roundrectangle %.2f,%.2f %.2f,%.2f %.2f,%.2f" % (c - w / 2, 2.8 * s, c + w / 2, 9.6 * s, w / 3, w / 3),
            "circle %.2f,%.2f %.2f,%.2f" % (c, 12.1 * s, c, 12.1 * s + w * 0.62)]


def draw(path, size, commands):
    mvg = path + ".mvg"
    with open(mvg, "w") as f:
        f.write("viewbox 0 0 %d %d\nstroke-antialias 1\n%s\n" % (size, size, "\n".join(commands)))
    # No time stamps in the file: drawing again gives the same bytes.
    subprocess.run(["/usr/bin/convert", "-size", "%dx%d" % (size, size), "-background", "none",
                    "mvg:" + mvg, "-define", "png:exclude-chunks=date,time", "PNG32:" + path], check=True)
    os.remove(mvg)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--out-dir", default=os.path.join(here, ".."))
    args = parser.parse_args()
    icons = {
        "swag.ico": lambda n: disc(n, "#1e9e3a", "#0d5a1e") + tick(n),
        "swar.ico": lambda n: disc(n, "#e01b1b", "#7a0000") + exclamation(n),
    }
    with tempfile.TemporaryDirectory() as work:
        for name, picture in icons.items():
            pngs = []
            for n in SIZES:
                png = os.path.join(work, "%s-%d.png" % (name, n))
                draw(png, n, picture(n))
                pngs.append(png)
            out = os.path.abspath(os.path.join(args.out_dir, name))
            subprocess.run(["/usr/bin/convert", *pngs, out], check=True)
            print("wrote", out)
    for n in HICOLOR_SIZES:
        folder = os.path.abspath(os.path.join(args.out_dir, "icons", "hicolor", "%dx%d" % (n, n), "apps"))
        os.makedirs(folder, exist_ok=True)
        out = os.path.join(folder, "qor-online-status.png")
        draw(out, n, icons["swag.ico"](n))
        print("wrote", out)


if __name__ == "__main__":
    main()
