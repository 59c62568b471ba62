#!/usr/bin/python3
"""Draws Nodelark's bitmaps and icons as pixel art.

Run from anywhere: the files are written next to this script.
    /usr/bin/python3 res/gen_images.py [--preview out.png]

The 16x16 strips are loaded into image lists whose transparent colour is
light grey RGB(192,192,192), so that colour fills their background and no
drawn pixel may use it. The 32x32 toolbar strips come with a separate 1-bit
mask (white = transparent); their transparent pixels are black because the
image list ORs the image over the masked background.
"""
import math
import os
import struct
import sys

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))

KEY = (192, 192, 192)          # transparent colour of the 16x16 strips
CLEAR = (0, 0, 0, 0)

OUTLINE = (28, 34, 46, 255)
BEZEL = (226, 230, 236, 255)
BEZEL_SHADE = (160, 166, 178, 255)
SCREEN_TOP = (70, 150, 235, 255)
SCREEN_BOTTOM = (22, 78, 170, 255)
SCREEN_EDGE = (16, 46, 100, 255)
SHINE = (150, 205, 255, 255)
STAND = (120, 128, 142, 255)
STAND_LIGHT = (176, 184, 198, 255)

GREEN = (46, 178, 64, 255)
GREEN_DARK = (18, 96, 32, 255)
GREEN_LIGHT = (120, 220, 120, 255)
WHITE = (255, 255, 255, 255)

PENCIL = (252, 196, 36, 255)
PENCIL_SHADE = (214, 146, 16, 255)
WOOD = (240, 206, 150, 255)
LEAD = (48, 48, 56, 255)
FERRULE = (200, 204, 214, 255)
ERASER = (236, 120, 140, 255)

STEEL = (150, 160, 176, 255)
STEEL_LIGHT = (214, 222, 232, 255)
STEEL_DARK = (70, 78, 94, 255)

INFO = (36, 110, 214, 255)
INFO_DARK = (14, 52, 128, 255)

PAPER = (255, 255, 255, 255)
PAPER_FOLD = (206, 212, 222, 255)
INK = (110, 120, 138, 255)

ARROW = (60, 64, 72, 255)


def canvas(size):
    return Image.new("RGBA", (size, size), CLEAR)


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(4))


# ---- Subjects ----------------------------------------------------------------

def computer(size):
    """A flat-panel monitor on a stand, filling the upper left of the cell."""
    img = canvas(size)
    d = ImageDraw.Draw(img)
    if size == 16:
        mon, scr, neck, base = (0, 1, 13, 10), (2, 3, 11, 8), (5, 11, 8, 11), (3, 12, 10, 13)
    elif size == 32:
        mon, scr, neck, base = (1, 3, 27, 21), (4, 6, 24, 18), (11, 22, 17, 24), (6, 25, 22, 27)
    elif size == 48:
        mon, scr, neck, base = (2, 5, 40, 32), (6, 9, 36, 28), (17, 33, 25, 37), (9, 38, 33, 41)
    else:
        # Other scales follow the 32-pixel drawing, each edge on a whole pixel.
        k = size / 32.0
        mon, scr, neck, base = [tuple(int(round(v * k)) for v in box) for box in
                                ((1, 3, 27, 21), (4, 6, 24, 18), (11, 22, 17, 24), (6, 25, 22, 27))]
    d.rectangle(mon, fill=BEZEL, outline=OUTLINE)
    # Shaded lower bezel gives the panel some depth.
    d.line((mon[0] + 1, mon[3] - 1, mon[2] - 1, mon[3] - 1), fill=BEZEL_SHADE)
    d.line((mon[2] - 1, mon[1] + 1, mon[2] - 1, mon[3] - 1), fill=BEZEL_SHADE)
    x0, y0, x1, y1 = scr
    for y in range(y0, y1 + 1):
        d.line((x0, y, x1, y), fill=lerp(SCREEN_TOP, SCREEN_BOTTOM, (y - y0) / max(1, y1 - y0)))
    d.rectangle(scr, outline=SCREEN_EDGE)
    # Diagonal glare across the glass.
    n = (y1 - y0) // 2
    for i in range(n):
        d.point((x0 + 2 + i, y0 + n - i), fill=SHINE)
        if size >= 32:
            d.point((x0 + 3 + i, y0 + n - i), fill=SHINE)
    d.rectangle(neck, fill=STAND, outline=OUTLINE if size > 16 else None)
    if size == 16:
        d.line((neck[0], neck[1], neck[2], neck[3]), fill=STAND)
    d.rectangle(base, fill=STAND_LIGHT, outline=OUTLINE)
    return img


def badge_box(size):
    if size == 16:
        return (7, 7, 15, 15)
    if size == 32:
        return (16, 16, 31, 31)
    if size == 48:
        return (24, 24, 47, 47)
    return (size // 2, size // 2, size - 1, size - 1)


def power_badge(size, grey=False):
    """A round green button with the power symbol."""
    img = canvas(size)
    d = ImageDraw.Draw(img)
    bx = badge_box(size)
    fill, dark, light = (GREEN, GREEN_DARK, GREEN_LIGHT)
    d.ellipse(bx, fill=fill, outline=dark)
    x0, y0, x1, y1 = bx
    w = x1 - x0
    if size == 16:
        # Hand-placed: at nine pixels the symbol must stay legible.
        ring = [(9, 10), (9, 11), (9, 12), (10, 13), (11, 13), (12, 13), (13, 12), (13, 11), (13, 10)]
        for p in ring:
            d.point(p, fill=WHITE)
        d.line((11, 8, 11, 11), fill=WHITE)
    else:
        cx = (x0 + x1) / 2.0
        cy = (y0 + y1) / 2.0 + (0.5 if size == 32 else 1)
        r = w * 0.27
        lw = max(2, int(round(size / 16.0)))
        d.arc((cx - r, cy - r, cx + r, cy + r), start=300, end=240, fill=WHITE, width=lw)
        bar_w = lw
        bx0 = int(round(cx - bar_w / 2.0))
        d.rectangle((bx0, int(y0 + w * 0.16), bx0 + bar_w - 1, int(cy)), fill=WHITE)
        # Small highlight on the upper left rim.
        d.arc((x0 + 1, y0 + 1, x1 - 1, y1 - 1), start=200, end=250, fill=light)
    if grey:
        img = greyed(img)
    return img


def _quad(p, q, hw):
    """Corners of a bar from p to q with half-width hw."""
    dx, dy = q[0] - p[0], q[1] - p[1]
    ln = math.hypot(dx, dy)
    nx, ny = -dy / ln * hw, dx / ln * hw
    return [(p[0] + nx, p[1] + ny), (q[0] + nx, q[1] + ny), (q[0] - nx, q[1] - ny), (p[0] - nx, p[1] - ny)]


def _along(p, q, t):
    return (p[0] + (q[0] - p[0]) * t, p[1] + (q[1] - p[1]) * t)


def pencil(size):
    """A yellow pencil, point down to the left, across the lower right."""
    img = canvas(size)
    d = ImageDraw.Draw(img)
    if size == 16:
        # Drawn pixel by pixel along the diagonal.
        for i in range(6):
            x, y = 9 + i, 13 - i
            d.point((x, y - 1), fill=OUTLINE)
            d.point((x, y), fill=PENCIL)
            d.point((x + 1, y), fill=PENCIL_SHADE)
            d.point((x + 1, y + 1), fill=OUTLINE)
        d.point((9, 13), fill=WOOD)
        d.point((8, 14), fill=LEAD)
        d.point((8, 13), fill=OUTLINE)
        d.point((9, 14), fill=OUTLINE)
        d.point((14, 8), fill=ERASER)
        d.point((15, 8), fill=ERASER)
        d.point((14, 7), fill=OUTLINE)
        d.point((15, 9), fill=OUTLINE)
        return img
    s = size / 32.0
    tip = (14.5 * s, 30.5 * s)
    end = (30.5 * s, 14.5 * s)
    hw = 3.2 * s
    wood_end = _along(tip, end, 0.22)
    lead_end = _along(tip, end, 0.09)
    ferrule_start = _along(tip, end, 0.78)
    eraser_start = _along(tip, end, 0.86)
    body = _quad(wood_end, end, hw)
    d.polygon(body, fill=PENCIL, outline=OUTLINE)
    d.polygon(_quad(ferrule_start, eraser_start, hw), fill=FERRULE, outline=OUTLINE)
    d.polygon(_quad(eraser_start, end, hw), fill=ERASER, outline=OUTLINE)
    # Shaded lower edge of the body.
    a, b = _along(tip, end, 0.26), _along(tip, end, 0.74)
    off = hw * 0.55
    d.line((a[0] + off * 0.7, a[1] + off * 0.7, b[0] + off * 0.7, b[1] + off * 0.7), fill=PENCIL_SHADE, width=max(1, int(s)))
    cone = [body[0], body[3], tip]
    d.polygon(cone, fill=WOOD, outline=OUTLINE)
    lead = _quad(tip, lead_end, hw * 0.45)
    d.polygon([lead[2], lead[3], tip], fill=LEAD)
    d.polygon([(tip[0] - 0.5, tip[1] + 0.5), (lead_end[0] - 1.2 * s, lead_end[1] - 1.2 * s),
               (lead_end[0] + 1.2 * s, lead_end[1] + 1.2 * s)], fill=LEAD, outline=LEAD)
    return img


def wrench(size):
    """An open-ended spanner, head at the upper right, handle down to the left."""
    img = canvas(size)
    d = ImageDraw.Draw(img)
    if size == 16:
        for i in range(5):
            x, y = 8 + i, 14 - i
            d.point((x, y), fill=STEEL_DARK)
            d.point((x + 1, y), fill=STEEL)
            d.point((x, y - 1), fill=STEEL_LIGHT)
            d.point((x + 1, y + 1), fill=STEEL_DARK)
        d.point((8, 14), fill=STEEL_DARK)
        d.point((7, 14), fill=STEEL_DARK)
        d.point((8, 15), fill=STEEL_DARK)
        # Head with its jaw opening to the upper right.
        d.ellipse((11, 6, 15, 10), fill=STEEL, outline=STEEL_DARK)
        d.point((13, 8), fill=CLEAR)
        d.point((14, 7), fill=CLEAR)
        d.point((14, 6), fill=CLEAR)
        d.point((15, 7), fill=CLEAR)
        d.point((15, 6), fill=CLEAR)
        d.point((12, 7), fill=STEEL_LIGHT)
        return img
    s = size / 32.0
    p = (16.5 * s, 30 * s)
    c = (25.5 * s, 21 * s)
    d.polygon(_quad(p, c, 2.3 * s), fill=STEEL, outline=STEEL_DARK)
    r = 5.4 * s
    hc = (c[0] + 1.0 * s, c[1] - 1.0 * s)
    d.ellipse((hc[0] - r, hc[1] - r, hc[0] + r, hc[1] + r), fill=STEEL, outline=STEEL_DARK)
    # The jaw: a slot cut in along the handle's axis.
    ax = (c[0] - p[0], c[1] - p[1])
    ln = math.hypot(*ax)
    u = (ax[0] / ln, ax[1] / ln)
    j0 = (hc[0] - u[0] * 0.8 * s, hc[1] - u[1] * 0.8 * s)
    j1 = (hc[0] + u[0] * (r + 2 * s), hc[1] + u[1] * (r + 2 * s))
    d.polygon(_quad(j0, j1, 1.9 * s), fill=CLEAR)
    # Light ridge along the handle.
    a, b = _along(p, c, 0.15), _along(p, c, 0.8)
    d.line((a[0] - 0.8 * s, a[1] - 0.8 * s, b[0] - 0.8 * s, b[1] - 0.8 * s), fill=STEEL_LIGHT, width=max(1, int(s)))
    return img


def info_badge(size):
    """A blue round sign with a white lower-case i."""
    img = canvas(size)
    d = ImageDraw.Draw(img)
    bx = badge_box(size)
    d.ellipse(bx, fill=INFO, outline=INFO_DARK)
    x0, y0, x1, y1 = bx
    if size == 16:
        d.point((11, 9), fill=WHITE)
        d.line((11, 11, 11, 13), fill=WHITE)
        d.point((10, 11), fill=WHITE)
        return img
    cx = (x0 + x1 + 1) // 2
    if size in (32, 48):
        d.rectangle((cx - 1, y0 + 3, cx, y0 + 4), fill=WHITE)
        d.rectangle((cx - 1, y0 + 6, cx, y1 - 3), fill=WHITE)
        d.line((cx - 3, y0 + 6, cx - 2, y0 + 6), fill=WHITE)
        d.line((cx - 3, y1 - 3, cx + 2, y1 - 3), fill=WHITE)
        return img
    # Other scales: the same letter, its strokes as thick as the scale.
    k = size / 32.0
    t = max(1, int(round(k)))
    u = lambda v: int(round(v * k))
    d.rectangle((cx - t, y0 + u(3), cx + t - 1, y0 + u(3) + 2 * t - 1), fill=WHITE)
    d.rectangle((cx - t, y0 + u(6), cx + t - 1, y1 - u(3)), fill=WHITE)
    d.rectangle((cx - t - u(2), y0 + u(6), cx - 1, y0 + u(6) + t - 1), fill=WHITE)
    d.rectangle((cx - t - u(2), y1 - u(3) - t + 1, cx + t + u(2) - 1, y1 - u(3)), fill=WHITE)
    return img


def sheet(size=16):
    """A page of text with a folded corner: the Command Log's tab icon."""
    img = canvas(size)
    d = ImageDraw.Draw(img)
    if size == 16:
        d.polygon([(2, 0), (10, 0), (13, 3), (13, 15), (2, 15)], fill=PAPER, outline=OUTLINE)
        d.polygon([(10, 0), (10, 3), (13, 3)], fill=PAPER_FOLD, outline=OUTLINE)
        for y, x1 in ((5, 11), (7, 10), (9, 11), (11, 8), (13, 10)):
            d.line((4, y, x1, y), fill=INK)
        d.line((4, 3, 8, 3), fill=INFO)
        return img
    # Larger scales: the same page, a line of text every two scaled pixels.
    k = size / 16.0
    u = lambda v: int(round(v * k))
    t = max(1, int(k))
    d.polygon([(u(2), 0), (u(10), 0), (u(13) + t - 1, u(3)), (u(13) + t - 1, size - 1), (u(2), size - 1)],
              fill=PAPER, outline=OUTLINE)
    d.polygon([(u(10), 0), (u(10), u(3)), (u(13) + t - 1, u(3))], fill=PAPER_FOLD, outline=OUTLINE)
    for y, x1 in ((5, 11), (7, 10), (9, 11), (11, 8), (13, 10)):
        d.rectangle((u(4), u(y), u(x1), u(y) + t - 1), fill=INK)
    d.rectangle((u(4), u(3), u(8), u(3) + t - 1), fill=INFO)
    return img


def triangle(down, size=16):
    img = canvas(size)
    d = ImageDraw.Draw(img)
    if size == 16:
        rows = [(4, 10), (5, 9), (6, 8), (7, 7)]
        for i, (a, b) in enumerate(rows):
            y = 6 + i if down else 9 - i
            d.line((a, y, b, y), fill=ARROW)
        return img
    # Larger scales: as many rows as the scale allows, one pixel narrower a side each.
    k = size / 16.0
    half = int(round(3 * k))
    centre = size // 2 - 1 + (size % 2)
    top = int(round(6 * k))
    for i in range(half + 1):
        y = top + i if down else top + half - i
        d.line((centre - half + i, y, centre + half - i, y), fill=ARROW)
    return img


# ---- Composition -------------------------------------------------------------

def stack(*layers):
    out = layers[0].copy()
    for layer in layers[1:]:
        out.alpha_composite(layer)
    return out


def greyed(img, light=True):
    """A disabled look: luminance only, lifted towards white."""
    out = img.copy()
    px = out.load()
    for y in range(out.height):
        for x in range(out.width):
            r, g, b, a = px[x, y]
            if a == 0:
                continue
            lum = 0.299 * r + 0.587 * g + 0.114 * b
            v = int(round(96 + lum * 0.56)) if light else int(round(lum))
            px[x, y] = (v, v, v, a)
    return out


def wake_image(size):
    return stack(computer(size), power_badge(size))


def entry_image(size):
    return stack(computer(size), pencil(size))


def tool_image(size):
    return stack(computer(size), wrench(size))


def about_image(size):
    return stack(computer(size), info_badge(size))


def app_icon(size):
    return wake_image(size)


# ---- Writers -----------------------------------------------------------------

def strip(images):
    w = sum(i.width for i in images)
    h = images[0].height
    out = Image.new("RGBA", (w, h), CLEAR)
    x = 0
    for i in images:
        out.paste(i, (x, 0))
        x += i.width
    return out


def solid(img):
    """Drops partial transparency: a pixel is either drawn or background."""
    out = img.copy()
    px = out.load()
    for y in range(out.height):
        for x in range(out.width):
            r, g, b, a = px[x, y]
            px[x, y] = (r, g, b, 255) if a >= 128 else CLEAR
    return out


def keyed_bmp(img, path):
    img = solid(img)
    out = Image.new("RGB", img.size, KEY)
    src, dst = img.load(), out.load()
    for y in range(img.height):
        for x in range(img.width):
            r, g, b, a = src[x, y]
            if a:
                # The key colour would punch a hole into the picture.
                dst[x, y] = (196, 196, 196) if (r, g, b) == KEY else (r, g, b)
    out.save(path, "BMP")


def masked_bmp(img, path):
    img = solid(img)
    out = Image.new("RGB", img.size, (0, 0, 0))
    out.paste(img.convert("RGB"), (0, 0), img)
    out.save(path, "BMP")


def mask_bmp(img, path):
    img = solid(img)
    m = Image.new("1", img.size, 1)
    src, dst = img.load(), m.load()
    for y in range(img.height):
        for x in range(img.width):
            if src[x, y][3]:
                dst[x, y] = 0
    m.save(path, "BMP")


def ico(images, path):
    """Writes 32-bit BGRA DIB icons with an AND mask, one per size."""
    entries, blobs = [], []
    for img in images:
        img = solid(img)
        w, h = img.size
        px = img.load()
        header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        xor = bytearray()
        for y in range(h - 1, -1, -1):
            for x in range(w):
                r, g, b, a = px[x, y]
                xor += bytes((b, g, r, a))
        stride = ((w + 31) // 32) * 4
        andm = bytearray()
        for y in range(h - 1, -1, -1):
            row = bytearray(stride)
            for x in range(w):
                if px[x, y][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            andm += row
        blobs.append(header + bytes(xor) + bytes(andm))
        entries.append((w, h))
    offset = 6 + 16 * len(images)
    data = struct.pack("<HHH", 0, 1, len(images))
    for (w, h), blob in zip(entries, blobs):
        data += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        data += blob
    with open(path, "wb") as f:
        f.write(data)


def build():
    toolbar = [wake_image(32), entry_image(32), tool_image(32), about_image(32)]
    tb = strip(toolbar)
    masked_bmp(tb, os.path.join(HERE, "Toolbar.bmp"))
    mask_bmp(tb, os.path.join(HERE, "ToolbarMask.bmp"))
    masked_bmp(strip([greyed(i) for i in toolbar]), os.path.join(HERE, "ToolbarDisabled.bmp"))

    small = [wake_image(16), greyed(wake_image(16)), tool_image(16), sheet()]
    keyed_bmp(strip(small), os.path.join(HERE, "SmallImages.bmp"))
    state = [canvas(16), wake_image(16), greyed(wake_image(16)), tool_image(16)]
    keyed_bmp(strip(state), os.path.join(HERE, "StateImages.bmp"))
    keyed_bmp(strip([triangle(True), triangle(False)]), os.path.join(HERE, "HeaderImages.bmp"))

    # The same pictures drawn for 150 % and 200 % display scales.
    for scale in (150, 200):
        big, small_size = 32 * scale // 100, 16 * scale // 100
        toolbar = [wake_image(big), entry_image(big), tool_image(big), about_image(big)]
        tb = strip(toolbar)
        masked_bmp(tb, os.path.join(HERE, "Toolbar%d.bmp" % scale))
        mask_bmp(tb, os.path.join(HERE, "ToolbarMask%d.bmp" % scale))
        masked_bmp(strip([greyed(i) for i in toolbar]), os.path.join(HERE, "ToolbarDisabled%d.bmp" % scale))
        small = [wake_image(small_size), greyed(wake_image(small_size)), tool_image(small_size), sheet(small_size)]
        keyed_bmp(strip(small), os.path.join(HERE, "SmallImages%d.bmp" % scale))
        state = [canvas(small_size), wake_image(small_size), greyed(wake_image(small_size)), tool_image(small_size)]
        keyed_bmp(strip(state), os.path.join(HERE, "StateImages%d.bmp" % scale))
        keyed_bmp(strip([triangle(True, small_size), triangle(False, small_size)]),
                  os.path.join(HERE, "HeaderImages%d.bmp" % scale))

    ico([app_icon(16), app_icon(32), app_icon(48)], os.path.join(HERE, "Nodelark.ico"))
    ico([entry_image(16), entry_image(32), entry_image(48)], os.path.join(HERE, "Entry.ico"))


def preview(path, scale=4):
    """Every output file, enlarged, on one sheet for a visual check."""
    names = ["Toolbar.bmp", "ToolbarMask.bmp", "ToolbarDisabled.bmp", "SmallImages.bmp",
             "StateImages.bmp", "HeaderImages.bmp", "Nodelark.ico", "Entry.ico"]
    tiles = []
    for n in names:
        p = os.path.join(HERE, n)
        if n.endswith(".ico"):
            ic = Image.open(p)
            for s in sorted(ic.info["sizes"]):
                ic.size = s
                im = ic.copy().convert("RGBA")
                bg = Image.new("RGBA", im.size, (255, 255, 255, 255))
                bg.alpha_composite(im)
                tiles.append(bg.convert("RGB"))
        else:
            tiles.append(Image.open(p).convert("RGB"))
    width = max(t.width for t in tiles) * scale + 16
    height = sum(t.height * scale + 8 for t in tiles) + 8
    sheet_img = Image.new("RGB", (width, height), (255, 240, 255))
    y = 8
    for t in tiles:
        sheet_img.paste(t.resize((t.width * scale, t.height * scale), Image.NEAREST), (8, y))
        y += t.height * scale + 8
    sheet_img.save(path)


if __name__ == "__main__":
    build()
    if len(sys.argv) == 3 and sys.argv[1] == "--preview":
        preview(sys.argv[2])
