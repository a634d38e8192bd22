#!/usr/bin/python3
"""Screenshots of an X display and the pixel questions the desktop test asks.

  screen.py shot OUT.png                    the whole screen of $DISPLAY
  screen.py changed A.png B.png Y0 Y1 [last]
                                            where B differs from A between rows Y0 and Y1:
                                            "x y w h" of the box around the changes (with
                                            last, around the rightmost run of changed
                                            columns only), or nothing (exit 1); the runs
                                            go to stderr
  screen.py lines A.png X Y W H              the text lines of a menu drawn in the box: the
                                            middle row of each, top to bottom
  screen.py find A.png PART.png Y0 Y1         where PART (a crop of an earlier shot) is now,
                                            searched along rows Y0..Y1: "x y" of its
                                            top left, or nothing (exit 1)
  screen.py luma A.png X Y W H               the box's mean brightness (0..255)
  screen.py drawn A.png X Y W H             how much of the box is not its main colour (0..1)
  screen.py crop A.png X Y W H OUT.png [N]  the box, enlarged N times, for a human to look at
"""
import sys

from PIL import Image, ImageChops, ImageGrab

# A change smaller than this in every channel is antialiasing or dithering.
THRESHOLD = 40
# Columns this far apart belong to different things in the bar.
GAP = 12


def load(path):
    return Image.open(path).convert("RGB")


def shot(out):
    ImageGrab.grab(xdisplay=None).convert("RGB").save(out)


def to_runs(columns):
    runs, start, last = [], columns[0], columns[0]
    for x in columns[1:]:
        if x - last > GAP:
            runs.append((start, last))
            start = x
        last = x
    runs.append((start, last))
    return runs


def fresh_columns(before, after, hot, reach=120):
    """The changed columns of after that no sideways shift of before explains."""
    width = before.width
    old = [before.crop((x, 0, x + 1, before.height)).tobytes() for x in range(width)]
    new = [after.crop((x, 0, x + 1, after.height)).tobytes() for x in range(width)]

    def same(x, dx):
        source = x - dx
        if not 0 <= source < width:
            return False
        return max(abs(p - q) for p, q in zip(new[x], old[source])) <= THRESHOLD

    left = set(hot)
    # Items on either side of the new one may move, by different amounts.
    for _ in range(3):
        best, explained = 0, set()
        for dx in range(-reach, reach + 1):
            if dx == 0:
                continue
            hits = {x for x in left if same(x, dx)}
            if len(hits) > len(explained):
                best, explained = dx, hits
        if len(explained) < 3:
            break
        print("moved by %d: %d columns" % (best, len(explained)), file=sys.stderr)
        left -= explained
    return sorted(left)


def changed(a, b, y0, y1, last=False):
    first, second = load(a), load(b)
    if first.size != second.size:
        print("sizes differ: %s and %s" % (first.size, second.size), file=sys.stderr)
        return 2
    y1 = min(y1, first.height)
    box = (0, y0, first.width, y1)
    diff = ImageChops.difference(first.crop(box), second.crop(box))
    mask = diff.convert("L").point(lambda v: 255 if v > THRESHOLD else 0)
    found = mask.getbbox()
    if not found:
        return 1
    # Runs of changed columns, so a stray change elsewhere in the bar shows up.
    hot = [x for x in range(mask.width) if mask.crop((x, 0, x + 1, mask.height)).getbbox()]
    runs = to_runs(hot)
    print("runs: " + " ".join("%d-%d" % run for run in runs), file=sys.stderr)
    if last:
        # A new item pushes its neighbours aside: only columns that are not
        # a neighbour moved sideways count as new.
        new = fresh_columns(first.crop(box), second.crop(box), hot)
        if not new:
            return 1
        runs = to_runs(new)
        print("new: " + " ".join("%d-%d" % run for run in runs), file=sys.stderr)
        found = mask.crop((runs[-1][0], 0, runs[-1][1] + 1, mask.height)).getbbox()
        found = (found[0] + runs[-1][0], found[1], found[2] + runs[-1][0], found[3])
    left, top, right, bottom = found
    print("%d %d %d %d" % (left, top + y0, right - left, bottom - top))
    return 0


def drawn(a, x, y, w, h):
    region = load(a).crop((x, y, x + w, y + h))
    colours = region.getcolors(region.width * region.height)
    main = max(colours)[1]
    far = sum(count for count, colour in colours
              if max(abs(c - m) for c, m in zip(colour, main)) > THRESHOLD)
    print("%.3f" % (far / (region.width * region.height)))
    return 0


def lines(a, x, y, w, h):
    # Inset: the frame and shadow run down every row.
    inset = 8
    region = load(a).crop((x + inset, y, x + w - inset, y + h))
    colours = region.getcolors(region.width * region.height)
    background = max(colours)[1]
    ink = []
    for row in range(region.height):
        pixels = region.crop((0, row, region.width, row + 1)).getdata()
        far = sum(1 for p in pixels if max(abs(c - b) for c, b in zip(p, background)) > THRESHOLD)
        # A rule (separator, frame edge) crosses most of the width; text does not.
        ink.append(0 < far < region.width * 0.6)
    found, start = [], None
    for row, inked in enumerate(ink + [False]):
        if inked and start is None:
            start = row
        elif not inked and start is not None:
            # Lines of text are a few pixels tall at least, and not the whole menu.
            if 5 <= row - start <= 40:
                found.append(y + (start + row) // 2)
            start = None
    print(" ".join(map(str, found)))
    return 0 if found else 1


def find(a, part, y0, y1):
    screen, piece = load(a), load(part)
    band = screen.crop((0, y0, screen.width, y1))
    pw, ph = piece.size
    best = None
    for y in range(0, band.height - ph + 1):
        for x in range(0, band.width - pw + 1):
            diff = ImageChops.difference(band.crop((x, y, x + pw, y + ph)), piece)
            score = max(diff.convert("L").getextrema()[1], 0)
            if best is None or score < best[0]:
                best = (score, x, y)
            if score == 0:
                break
        if best and best[0] == 0:
            break
    if best is None or best[0] > THRESHOLD * 2:
        return 1
    print("%d %d" % (best[1], best[2] + y0))
    return 0


def luma(a, x, y, w, h):
    region = load(a).crop((x, y, x + w, y + h)).convert("L")
    values = list(region.getdata())
    print(sum(values) // len(values))
    return 0


def crop(a, x, y, w, h, out, scale=1):
    region = load(a).crop((x, y, x + w, y + h))
    if scale > 1:
        region = region.resize((region.width * scale, region.height * scale), Image.NEAREST)
    region.save(out)
    return 0


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    command, args = argv[1], argv[2:]
    if command == "shot" and len(args) == 1:
        shot(args[0])
        return 0
    if command == "changed" and len(args) in (4, 5):
        if len(args) == 5 and args[4] != "last":
            print(__doc__, file=sys.stderr)
            return 2
        return changed(args[0], args[1], int(args[2]), int(args[3]), len(args) == 5)
    if command == "lines" and len(args) == 5:
        return lines(args[0], *map(int, args[1:]))
    if command == "find" and len(args) == 4:
        return find(args[0], args[1], int(args[2]), int(args[3]))
    if command == "luma" and len(args) == 5:
        return luma(args[0], *map(int, args[1:]))
    if command == "drawn" and len(args) == 5:
        return drawn(args[0], *map(int, args[1:]))
    if command == "crop" and len(args) in (6, 7):
        return crop(args[0], *map(int, args[1:5]), args[5], *map(int, args[6:]))
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
