#!/usr/bin/env python3
"""Draws Quillbox's program icon, an open book, and writes it to packaging/icons/:

  quillbox-32.xpm  32x32, the 16 VGA colours plus transparency, drawn from the geometry below
  quillbox-16.xpm  16x16, the same book drawn by hand at that size so it stays legible
  quillbox.svg     the geometry of the 32x32 as vector paths, for high-resolution screens

XPM is plain text that Qt reads without any image plugin. Python's standard library only.

usage: tools/make-icons.py [OUTPUT_DIR]
"""

import pathlib
import sys

# The standard 16-colour VGA palette; the icons use nothing else but transparency.
PALETTE = {
    "black": "#000000", "maroon": "#800000", "green": "#008000", "olive": "#808000",
    "navy": "#000080", "purple": "#800080", "teal": "#008080", "silver": "#C0C0C0",
    "grey": "#808080", "red": "#FF0000", "lime": "#00FF00", "yellow": "#FFFF00",
    "blue": "#0000FF", "fuchsia": "#FF00FF", "aqua": "#00FFFF", "white": "#FFFFFF",
}

OUTLINE = "black"
PAGE = "white"
GUTTER = "silver"
TEXT = "grey"
COVER = "blue"

SIZE = 32
AXIS = 15.5  # the spine; the drawing is mirrored about it, so column 31 stays empty
TOP = 3.0  # the outer corners of the pages
PAGE_HEIGHT = 17.0
FALL = 4.0  # how much lower the pages meet the spine than their outer corners
# Text lines as (depth below the page's top edge, from x, to x exclusive), left page then right
# page counted from its outer edge; they stop short of the gutter, where the page curves away.
LINES_LEFT = [(3, 4, 13), (5, 4, 13), (7, 4, 13), (9, 4, 9), (12, 4, 13), (14, 4, 11)]
LINES_RIGHT = [(3, 4, 13), (5, 4, 13), (7, 4, 10), (10, 4, 13), (12, 4, 13), (14, 4, 13)]


# --- geometry -------------------------------------------------------------------------------
# Paths are lists of ("M", p), ("L", p) and ("Q", control, p); points are (x, y) in a 32x32 box.

def sag(outer, spine, bulge=1.5):
    """A page edge from its outer corner to the spine, bowed upwards like a lifted page."""
    control = ((outer[0] + spine[0]) / 2, (outer[1] + spine[1]) / 2 - bulge)
    return ("Q", control, spine)


def reverse(start, q):
    """The same quadratic edge drawn from its far end back to start."""
    return ("Q", q[1], start)


def left_page(spine_x, drop=0.0):
    """The left page; drop moves it down, for the block of pages under the open one."""
    top, bottom = TOP + drop, TOP + PAGE_HEIGHT + drop
    top_outer, bottom_outer = (2.0, top), (2.0, bottom)
    top_spine, bottom_spine = (spine_x, top + FALL), (spine_x, bottom + FALL)
    return [
        ("M", top_outer),
        sag(top_outer, top_spine),
        ("L", bottom_spine),
        reverse(bottom_outer, sag(bottom_outer, bottom_spine)),
        ("L", top_outer),
    ]


def cover():
    """The hard cover under the page blocks: it shows at the sides and along the bottom. Its
    top edge runs hidden behind the pages."""
    left = (0.0, TOP + PAGE_HEIGHT + 4.5)
    spine = (AXIS, TOP + PAGE_HEIGHT + FALL + 5.5)
    right = (2 * AXIS, left[1])
    return [
        ("M", (0.0, TOP + 2.0)),
        ("L", left),
        sag(left, spine),
        reverse(right, sag(right, spine)),
        ("L", (2 * AXIS, TOP + 2.0)),
        ("L", (AXIS, TOP + FALL + 6.0)),
        ("L", (0.0, TOP + 2.0)),
    ]


def mirror(path):
    def m(p):
        return (2 * AXIS - p[0], p[1])
    return [(seg[0],) + tuple(m(p) for p in seg[1:]) for seg in path]


def quad(p0, c, p1, t):
    u = 1 - t
    return (u * u * p0[0] + 2 * u * t * c[0] + t * t * p1[0],
            u * u * p0[1] + 2 * u * t * c[1] + t * t * p1[1])


def flatten(path, steps=64):
    points = []
    for seg in path:
        if seg[0] in ("M", "L"):
            points.append(seg[1])
        else:
            start = points[-1]
            points.extend(quad(start, seg[1], seg[2], i / steps) for i in range(1, steps + 1))
    return points


def top_edge():
    """The left page's top edge as (start, control, end)."""
    page = left_page(AXIS)
    return page[0][1], page[1][1], page[1][2]


def t_at_x(x, edge):
    lo, hi = 0.0, 1.0  # x grows along the edge, so bisection finds it
    for _ in range(50):
        mid = (lo + hi) / 2
        if quad(*edge, mid)[0] < x:
            lo = mid
        else:
            hi = mid
    return (lo + hi) / 2


def sub_quad(edge, t0, t1):
    """The part of a quadratic curve between t0 and t1, as (start, control, end)."""
    p0, c, p1 = edge
    ctrl = tuple((1 - t0) * (1 - t1) * p0[i] + ((1 - t0) * t1 + t0 * (1 - t1)) * c[i]
                 + t0 * t1 * p1[i] for i in range(2))
    return quad(p0, c, p1, t0), ctrl, quad(p0, c, p1, t1)


# --- raster ---------------------------------------------------------------------------------

def inside(poly, x, y):
    hit = False
    j = len(poly) - 1
    for i, (xi, yi) in enumerate(poly):
        xj, yj = poly[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            hit = not hit
        j = i
    return hit


class Canvas:
    def __init__(self, size):
        self.size = size
        self.px = [[None] * size for _ in range(size)]

    def shape(self, path, fill, outline=OUTLINE):
        """Fills the pixels whose centres lie in the path, then rings them with the outline."""
        poly = flatten(path)
        mask = [[inside(poly, x + 0.5, y + 0.5) for x in range(self.size)]
                for y in range(self.size)]

        def covered(x, y):
            return 0 <= x < self.size and 0 <= y < self.size and mask[y][x]

        for y in range(self.size):
            for x in range(self.size):
                if mask[y][x]:
                    edge = not all(covered(x + dx, y + dy)
                                   for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
                    self.px[y][x] = outline if edge else fill


def draw_32():
    c = Canvas(SIZE)
    c.shape(cover(), COVER)
    # The pages reach half a pixel past the spine so that the two share one outline column.
    for page in (left_page(AXIS + 0.5, drop=2.0), left_page(AXIS + 0.5)):
        c.shape(page, PAGE)
        c.shape(mirror(page), PAGE)
    spine = int(AXIS)
    for y in range(SIZE):
        for x in (spine - 1, spine + 1):
            if c.px[y][x] == PAGE:
                c.px[y][x] = GUTTER
    edge = top_edge()
    for lines, side in ((LINES_LEFT, lambda x: x), (LINES_RIGHT, lambda x: 2 * spine - x)):
        for depth, x0, x1 in lines:
            for x in range(x0, x1):
                y = int(quad(*edge, t_at_x(x + 0.5, edge))[1] + depth)
                if c.px[y][side(x)] == PAGE:
                    c.px[y][side(x)] = TEXT
    return c.px


# Hand-drawn at 16x16: at this size geometry leaves the text lines and spine as noise.
# k black, w white, s silver, g grey, b blue, . transparent.
ICON_16 = """
................
kkkk.......kkkk.
kwwwkk...kkwwwk.
kwwwwwk.kwwwwwk.
kwgggwskswgggwk.
kwwwwwskswwwwwk.
kwgggwskswgggwk.
kwwwwwskswwwwwk.
kwgggwskswggwwk.
kwwwwwskswwwwwk.
kkkkwwskswwkkkk.
kbbbkkskskkbbbk.
.kkkbbkkkbbkkk..
....kkbbbkk.....
......kkk.......
................
"""
KEYS_16 = {"k": "black", "w": "white", "s": "silver", "g": "grey", "b": "blue", ".": None}


def draw_16():
    rows = ICON_16.split()
    assert len(rows) == 16 and all(len(r) == 16 for r in rows), "the 16x16 drawing is not 16x16"
    return [[KEYS_16[ch] for ch in row] for row in rows]


# --- output ---------------------------------------------------------------------------------

XPM_KEYS = {None: ".", "black": "k", "maroon": "m", "green": "g", "olive": "o", "navy": "n",
            "purple": "p", "teal": "t", "silver": "s", "grey": "e", "red": "r", "lime": "l",
            "yellow": "y", "blue": "b", "fuchsia": "f", "aqua": "a", "white": "w"}


def xpm(name, pixels):
    used = sorted({c for row in pixels for c in row}, key=lambda c: XPM_KEYS[c])
    lines = ["/* XPM */", f"static const char *{name}[] = {{",
             f'"{len(pixels[0])} {len(pixels)} {len(used)} 1",']
    lines += [f'"{XPM_KEYS[c]} c {PALETTE[c] if c else "None"}",' for c in used]
    lines += [f'"{"".join(XPM_KEYS[c] for c in row)}",' for row in pixels]
    lines[-1] = lines[-1].rstrip(",")
    lines.append("};")
    return "\n".join(lines) + "\n"


def svg_path(path):
    def pt(p):
        return f"{p[0]:g} {p[1]:g}"
    parts = []
    for seg in path:
        if seg[0] == "Q":
            parts.append(f"Q{pt(seg[1])} {pt(seg[2])}")
        else:
            parts.append(f"{seg[0]}{pt(seg[1])}")
    return " ".join(parts[:-1]) + " Z"  # the closing line is implied by Z


def svg():
    def shape(path, fill):
        return (f'  <path d="{svg_path(path)}" fill="{fill}" '
                f'stroke="{PALETTE[OUTLINE]}" stroke-width="1" stroke-linejoin="round"/>')

    # Strokes straddle their paths, so the box is moved half a unit to hold the outer ones whole,
    # as the raster holds its outline inside the shapes.
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" '
           'viewBox="-0.5 -0.5 32 32">',
           "  <title>Quillbox</title>",
           "  <defs>",
           '    <linearGradient id="gutter-left" x1="0" x2="1" y1="0" y2="0">',
           f'      <stop offset="0.8" stop-color="{PALETTE[PAGE]}"/>',
           f'      <stop offset="1" stop-color="{PALETTE[GUTTER]}"/>',
           "    </linearGradient>",
           '    <linearGradient id="gutter-right" x1="1" x2="0" y1="0" y2="0">',
           f'      <stop offset="0.8" stop-color="{PALETTE[PAGE]}"/>',
           f'      <stop offset="1" stop-color="{PALETTE[GUTTER]}"/>',
           "    </linearGradient>",
           "  </defs>",
           shape(cover(), PALETTE[COVER])]
    block = left_page(AXIS, drop=2.0)
    out += [shape(block, PALETTE[PAGE]), shape(mirror(block), PALETTE[PAGE])]
    page = left_page(AXIS)
    out += [shape(page, "url(#gutter-left)"), shape(mirror(page), "url(#gutter-right)")]
    edge = top_edge()
    lines = []
    for text, side in ((LINES_LEFT, lambda s: s), (LINES_RIGHT, mirror)):
        for depth, x0, x1 in text:
            # Pixel x covers x..x+1; the stroke's round caps add the half pixel at each end.
            p0, c, p1 = sub_quad(edge, t_at_x(x0 + 0.5, edge), t_at_x(x1 - 0.5, edge))
            seg = side([("M", (p0[0], p0[1] + depth + 0.5)),
                        ("Q", (c[0], c[1] + depth + 0.5), (p1[0], p1[1] + depth + 0.5))])
            d = " ".join(k[0] + " ".join(f"{q[0]:.2f} {q[1]:.2f}" for q in k[1:]) for k in seg)
            lines.append(f'    <path d="{d}"/>')
    out += [f'  <g fill="none" stroke="{PALETTE[TEXT]}" stroke-width="1" stroke-linecap="round">']
    out += lines
    out += ["  </g>", "</svg>"]
    return "\n".join(out) + "\n"


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    target = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root / "packaging" / "icons"
    target.mkdir(parents=True, exist_ok=True)
    (target / "quillbox-32.xpm").write_text(xpm("quillbox_32", draw_32()))
    (target / "quillbox-16.xpm").write_text(xpm("quillbox_16", draw_16()))
    (target / "quillbox.svg").write_text(svg())


if __name__ == "__main__":
    main()
