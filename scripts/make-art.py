#!/usr/bin/env python3
"""Draws the program's icon and synthesises its alarm sound; the outputs are committed.

Needs ImageMagick (convert) and sox. The icon is one drawing in the 16 colours of the
classic VGA palette, written as SVG and rendered at every hicolor size; the 32x32
rendering is the window icon.
"""
import os
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, "..", "resources")
APP_ID = "io.github.alarmclock.AlarmClock"

VGA = ["#000000", "#800000", "#008000", "#808000", "#000080", "#800080", "#008080", "#c0c0c0",
       "#808080", "#ff0000", "#00ff00", "#ffff00", "#0000ff", "#ff00ff", "#00ffff", "#ffffff"]

# (kind, fill, stroke, stroke width, geometry) on a 32x32 canvas.
SHAPES = [
    ("line", None, "#000000", 2.2, (9, 25, 5.5, 30)),      # legs
    ("line", None, "#000000", 2.2, (23, 25, 26.5, 30)),
    ("line", None, "#808080", 2.0, (16, 2.5, 16, 6)),      # hammer
    ("circle", "#ff0000", "#800000", 1.0, (7.5, 7.5, 5)),   # bells
    ("circle", "#ff0000", "#800000", 1.0, (24.5, 7.5, 5)),
    ("circle", "#ff0000", "#800000", 1.2, (16, 17.5, 12)),  # case
    ("circle", "#ffffff", "#808080", 0.8, (16, 17.5, 9)),   # face
    ("circle", "#000000", None, 0, (16, 10.5, 0.9)),        # 12, 3, 6, 9
    ("circle", "#000000", None, 0, (23, 17.5, 0.9)),
    ("circle", "#000000", None, 0, (16, 24.5, 0.9)),
    ("circle", "#000000", None, 0, (9, 17.5, 0.9)),
    ("line", None, "#000000", 1.6, (16, 17.5, 16, 11.5)),   # minute hand
    ("line", None, "#000080", 2.0, (16, 17.5, 20.5, 20)),   # hour hand
    ("circle", "#ff0000", None, 0, (16, 17.5, 1.4)),        # hub
]


def svg():
    parts = ['<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">']
    for kind, fill, stroke, width, g in SHAPES:
        paint = f'fill="{fill or "none"}"'
        if stroke:
            paint += f' stroke="{stroke}" stroke-width="{width}" stroke-linecap="round"'
        if kind == "circle":
            parts.append(f'  <circle cx="{g[0]}" cy="{g[1]}" r="{g[2]}" {paint}/>')
        else:
            parts.append(f'  <line x1="{g[0]}" y1="{g[1]}" x2="{g[2]}" y2="{g[3]}" {paint}/>')
    parts.append("</svg>")
    return "\n".join(parts) + "\n"


def draw_args(scale):
    args = []
    for kind, fill, stroke, width, g in SHAPES:
        args += ["-fill", fill or "none", "-stroke", stroke or "none",
                 "-strokewidth", str(width * scale)]
        s = [v * scale for v in g]
        if kind == "circle":
            args += ["-draw", f"circle {s[0]},{s[1]} {s[0] + s[2]},{s[1]}"]
        else:
            args += ["-draw", f"line {s[0]},{s[1]} {s[2]},{s[3]}"]
    return args


def render(size, out, palette):
    # Drawn at 8x and reduced; the colours are mapped onto the palette and the mask is
    # made hard-edged, as an icon of 16 colours has it.
    big = size * 8
    subprocess.run(["convert", "-size", f"{big}x{big}", "xc:none", *draw_args(big / 32),
                    "-resize", f"{size}x{size}",
                    "(", "+clone", "-alpha", "extract", "-threshold", "50%", ")",
                    "(", "-clone", "0", "-background", "#ffffff", "-alpha", "remove",
                    "-dither", "None", "-remap", palette, ")",
                    "-delete", "0", "+swap", "-alpha", "off", "-compose", "CopyOpacity",
                    "-composite", "-strip", "PNG32:" + out], check=True)


def sound(out):
    # A travel-alarm beep: four bursts of two quick notes, 16-bit PCM mono, about 2.4 s.
    with tempfile.TemporaryDirectory() as tmp:
        hi, lo, gap, rest = (os.path.join(tmp, n + ".wav") for n in ("hi", "lo", "gap", "rest"))
        fmt = ["-r", "22050", "-b", "16", "-c", "1", "-e", "signed-integer"]
        subprocess.run(["sox", "-n", *fmt, hi, "synth", "0.09", "square", "2093", "vol", "0.35",
                        "fade", "0.004", "0.09", "0.01"], check=True)
        subprocess.run(["sox", "-n", *fmt, lo, "synth", "0.09", "square", "1568", "vol", "0.35",
                        "fade", "0.004", "0.09", "0.01"], check=True)
        subprocess.run(["sox", "-n", *fmt, gap, "trim", "0", "0.04"], check=True)
        subprocess.run(["sox", "-n", *fmt, rest, "trim", "0", "0.3"], check=True)
        burst = [hi, gap, lo, gap, hi, gap, lo, rest]
        subprocess.run(["sox", *(burst * 4), out], check=True)


def main():
    with open(os.path.join(RES, "icons", "alarm-clock.svg"), "w") as f:
        f.write(svg())
    with tempfile.TemporaryDirectory() as tmp:
        palette = os.path.join(tmp, "vga.png")
        subprocess.run(["convert", *[f"xc:{c}" for c in VGA], "+append", palette], check=True)
        for size in (16, 32, 48, 64, 128, 256):
            render(size, os.path.join(RES, "icons", f"alarm-clock-{size}.png"), palette)
    sound(os.path.join(RES, "MSREMIND.WAV"))


if __name__ == "__main__":
    main()
