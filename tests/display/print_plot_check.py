"""Checks a printed plot page (default layout, A4) from pdfinfo, pdftotext -bbox and a PPM render.

Positions of the layout are in tenths of a millimetre from the top-left corner of the page.
"""
import re
import sys

info, words_html, ppm = sys.argv[1:4]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


text = open(info).read()
check(re.search(r"^Pages:\s+1$", text, re.M), "one page: " + text)
size = re.search(r"^Page size:\s+([\d.]+) x ([\d.]+) pts", text, re.M)
check(size and abs(float(size.group(1)) - 595.28) < 1 and abs(float(size.group(2)) - 841.89) < 1,
      "A4 page")

# Words in tenths of a millimetre.
TENTH = 254.0 / 72.0
words = []
for m in re.finditer(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>',
                     open(words_html).read()):
    x0, y0, x1, y1 = (float(v) * TENTH for v in m.groups()[:4])
    words.append((m.group(5), x0, y0, x1, y1))

MM = 10.0  # 1 mm


def find(name, key, expected_x, expected_top):
    hits = [w for w in words if w[0] == name]
    best = min(hits, key=lambda w: abs(key(w) - expected_x) + abs(w[2] - expected_top), default=None)
    check(best is not None and abs(key(best) - expected_x) <= MM and abs(best[2] - expected_top) <= MM,
          f"{name}: expected at x {expected_x}, top {expected_top}; found {best}")


find("Page", lambda w: w[1], 210, 178.2)                    # "Page header", left at the margin
find("Title", lambda w: (w[1] + w[3]) / 2, 1050, 356.4)     # centred
find("Footer", lambda w: w[3], 1890, 2762.1)                # "Page Footer", right edge

# The header block: four rows on the left (names at 273, values ending at 976.5), three on the
# right (names at 1155, values ending at 1827), the first row's top at 564.3.
rows = sorted({round(w[2]) for w in words if 500 < w[2] < 900})
check(rows and abs(rows[0] - 564.3) <= MM, f"first header row at {rows[:1]}")
# Every row has its name; a value may be empty (a header field not set for the cast).
for x, key, count, exact in ((273, lambda w: w[1], 4, True), (1155, lambda w: w[1], 3, True),
                             (976.5, lambda w: w[3], 4, False), (1827, lambda w: w[3], 3, False)):
    starts = {round(w[2]) for w in words if 540 < w[2] < 900 and abs(key(w) - x) <= MM}
    check(len(starts) == count if exact else 1 <= len(starts) <= count,
          f"{count} header rows at x {x}: {sorted(starts)}")

# The plot outline in the rendered page: 10 % .. 90 % of the width, 31 % .. 81 % of the height.
data = open(ppm, "rb").read()
header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
W, H = int(header.group(1)), int(header.group(2))
pixels = data[header.end():]


def dark(x, y):
    i = 3 * (y * W + x)
    return pixels[i] + pixels[i + 1] + pixels[i + 2] < 450  # the outline is about a pixel wide


def row_dark(y, x0, x1):
    return sum(dark(x, y) for x in range(x0, x1)) > 0.9 * (x1 - x0)


def col_dark(x, y0, y1):
    return sum(dark(x, y) for y in range(y0, y1)) > 0.9 * (y1 - y0)


left, right, top, bottom = 0.1 * W, 0.9 * W, 0.31 * H, 0.81 * H
inner_x = (int(left) + 10, int(right) - 10)
inner_y = (int(top) + 10, int(bottom) - 10)
found_top = next((y for y in range(int(top) - 20, int(top) + 20) if row_dark(y, *inner_x)), None)
found_bottom = next((y for y in range(int(bottom) + 20, int(bottom) - 20, -1) if row_dark(y, *inner_x)), None)
found_left = next((x for x in range(int(left) - 20, int(left) + 20) if col_dark(x, *inner_y)), None)
found_right = next((x for x in range(int(right) + 20, int(right) - 20, -1) if col_dark(x, *inner_y)), None)
for name, found, expected in (("top", found_top, top), ("bottom", found_bottom, bottom),
                              ("left", found_left, left), ("right", found_right, right)):
    check(found is not None and abs(found - expected) <= 2,
          f"plot outline {name}: expected {expected:.1f} px, found {found}")

if failures:
    print("\n".join(failures), file=sys.stderr)
    sys.exit(1)
