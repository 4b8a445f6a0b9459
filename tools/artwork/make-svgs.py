#!/usr/bin/env python3
"""Writes the SVG sources of the two-sided printing illustrations.

Every picture is put together from a few shape functions (printer body,
trays, drawers, paper stacks, sheets, arrows, finger, the red position
mark), so that all 29 pictures share one line-art style.

    python3 tools/artwork/make-svgs.py [OUTPUT_DIR]

OUTPUT_DIR defaults to oemui/doceventdlg/res/artwork next to this tree.
The SVGs are the editable sources; tools/artwork/render-bitmaps.sh turns
them into the BMP resources.
"""
import math
import os
import sys

W, H = 155, 100

# Colours. The "vga" theme is used for the 16-colour pictures: every colour
# there is one of the standard 16 Windows colours, and those pictures are
# drawn without anti-aliasing, so no colour is lost when they are mapped.
THEMES = {
    "full": dict(
        bg="#ffffff", body_top="#ececec", body_front="#dedede",
        body_side="#c9c9c9", outline="#6f6f6f", detail="#8e8e8e",
        paper="#ffffff", paper_edge="#7a7a7a", sheet_lines="#c4c4c4",
        text="#9c9c9c", text_dark="#5a5a5a", blue="#1d62d6",
        red="#e3141b", slot="#404040", skin="#f6d8c0", skin_line="#9c6646",
        nail="#fdeee3", panel="#d2d2d2", key="#f4f4f4", display="#a9cfae",
        led="#3cb44b", tray="#d5d5d5", tray_side="#bdbdbd", floor="#f3f3f3",
        window="#ececec", title="#2a5fb8", title_text="#ffffff",
        button="#f0f0f0", cursor="#ffffff", ghost="#b9b9b9",
    ),
    "vga": dict(
        bg="#ffffff", body_top="#c0c0c0", body_front="#c0c0c0",
        body_side="#808080", outline="#000000", detail="#808080",
        paper="#ffffff", paper_edge="#000000", sheet_lines="#808080",
        text="#808080", text_dark="#000000", blue="#0000ff",
        red="#ff0000", slot="#000000", skin="#ffffff", skin_line="#000000",
        nail="#c0c0c0", panel="#c0c0c0", key="#ffffff", display="#008080",
        led="#00ff00", tray="#c0c0c0", tray_side="#808080", floor="#ffffff",
        window="#c0c0c0", title="#000080", title_text="#ffffff",
        button="#c0c0c0", cursor="#ffffff", ghost="#808080",
    ),
}


def fmt(v):
    s = ("%.2f" % v).rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def pts(points):
    return " ".join("%s,%s" % (fmt(x), fmt(y)) for x, y in points)


def add(p, q):
    return (p[0] + q[0], p[1] + q[1])


def sub(p, q):
    return (p[0] - q[0], p[1] - q[1])


def mul(p, k):
    return (p[0] * k, p[1] * k)


def unit(v):
    n = math.hypot(v[0], v[1]) or 1.0
    return (v[0] / n, v[1] / n)


def lerp(p, q, t):
    return (p[0] + (q[0] - p[0]) * t, p[1] + (q[1] - p[1]) * t)


class Svg:
    """Collects the elements of one picture."""

    def __init__(self, theme="full", width=W, height=H):
        self.c = THEMES[theme]
        self.theme = theme
        self.width, self.height = width, height
        self.els = []
        self.fit = True        # fit the drawing into the picture
        self.fit_max = 1.35    # largest enlargement when fitting
        self.margin = 3.0
        self.track = True      # points count for the fitting
        self.box = [1e9, 1e9, -1e9, -1e9]

    def _see(self, points, pad=0.5):
        if not self.track:
            return
        for x, y in points:
            self.box[0] = min(self.box[0], x - pad)
            self.box[1] = min(self.box[1], y - pad)
            self.box[2] = max(self.box[2], x + pad)
            self.box[3] = max(self.box[3], y + pad)

    def col(self, name):
        return self.c.get(name, name)

    def _style(self, fill, stroke, sw, extra=""):
        f = self.col(fill) if fill else "none"
        s = ' stroke="%s" stroke-width="%s" stroke-linejoin="round" ' \
            'stroke-linecap="round"' % (self.col(stroke), fmt(sw)) \
            if stroke else ""
        return 'fill="%s"%s%s' % (f, s, extra)

    def poly(self, points, fill=None, stroke="outline", sw=1.0, extra=""):
        self._see(points)
        self.els.append('<polygon points="%s" %s/>'
                        % (pts(points), self._style(fill, stroke, sw, extra)))

    def polyline(self, points, stroke="outline", sw=1.0, extra=""):
        self._see(points)
        self.els.append('<polyline points="%s" %s/>'
                        % (pts(points), self._style(None, stroke, sw, extra)))

    def line(self, p, q, stroke="outline", sw=1.0, extra=""):
        self.polyline([p, q], stroke, sw, extra)

    def path(self, d, fill=None, stroke="outline", sw=1.0, extra=""):
        self.els.append('<path d="%s" %s/>'
                        % (d, self._style(fill, stroke, sw, extra)))

    def circle(self, c, r, fill=None, stroke="outline", sw=1.0):
        self._see([(c[0] - r, c[1] - r), (c[0] + r, c[1] + r)])
        self.els.append('<circle cx="%s" cy="%s" r="%s" %s/>'
                        % (fmt(c[0]), fmt(c[1]), fmt(r),
                           self._style(fill, stroke, sw)))

    def ellipse(self, c, rx, ry, fill=None, stroke="outline", sw=1.0):
        self._see([(c[0] - rx, c[1] - ry), (c[0] + rx, c[1] + ry)])
        self.els.append('<ellipse cx="%s" cy="%s" rx="%s" ry="%s" %s/>'
                        % (fmt(c[0]), fmt(c[1]), fmt(rx), fmt(ry),
                           self._style(fill, stroke, sw)))

    def rect(self, x, y, w, h, fill=None, stroke="outline", sw=1.0, rx=0):
        self._see([(x, y), (x + w, y + h)])
        self.els.append('<rect x="%s" y="%s" width="%s" height="%s" rx="%s" %s/>'
                        % (fmt(x), fmt(y), fmt(w), fmt(h), fmt(rx),
                           self._style(fill, stroke, sw)))

    def text(self, p, s, size, fill="text_dark", weight="normal"):
        self.els.append(
            '<text x="%s" y="%s" font-family="DejaVu Sans, sans-serif" '
            'font-size="%s" font-weight="%s" text-anchor="middle" fill="%s">'
            '%s</text>' % (fmt(p[0]), fmt(p[1]), fmt(size), weight,
                           self.col(fill), s))

    def render(self):
        attrs = ' shape-rendering="crispEdges" text-rendering="optimizeSpeed"' \
            if self.theme == "vga" else ""
        out = ['<?xml version="1.0" encoding="UTF-8"?>',
               '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
               'viewBox="0 0 %d %d"%s>' % (self.width, self.height,
                                           self.width, self.height, attrs),
               '<rect width="%d" height="%d" fill="%s"/>'
               % (self.width, self.height, self.col("bg"))]
        x0, y0, x1, y1 = self.box
        if self.fit and x1 > x0:
            m = self.margin
            k = min((self.width - 2 * m) / (x1 - x0),
                    (self.height - 2 * m) / (y1 - y0), self.fit_max)
            tx = (self.width - (x1 - x0) * k) / 2.0 - x0 * k
            ty = (self.height - (y1 - y0) * k) / 2.0 - y0 * k
            out.append('<g transform="translate(%s %s) scale(%s)">'
                       % (fmt(tx), fmt(ty), ("%.4f" % k).rstrip("0")))
        else:
            out.append("<g>")
        out.extend(self.els)
        out.append("</g>")
        out.append("</svg>")
        return "\n".join(out) + "\n"


class Proj:
    """Oblique view: x to the right, y away from the viewer, z up."""

    def __init__(self, ox, oy, kx=0.5, ky=0.55, s=1.0):
        self.ox, self.oy, self.kx, self.ky, self.s = ox, oy, kx, ky, s

    def __call__(self, x, y, z):
        return (self.ox + (x + y * self.kx) * self.s,
                self.oy - (z + y * self.ky) * self.s)


# ---------------------------------------------------------------- solids

def box(svg, P, x0, x1, y0, y1, z0, z1, top="body_top", front="body_front",
        side="body_side", stroke="outline", sw=1.0):
    """A box; draws the faces that the view shows (top, front, one side)."""
    if P.kx >= 0:
        svg.poly([P(x1, y0, z0), P(x1, y1, z0), P(x1, y1, z1), P(x1, y0, z1)],
                 side, stroke, sw)
    else:
        svg.poly([P(x0, y0, z0), P(x0, y1, z0), P(x0, y1, z1), P(x0, y0, z1)],
                 side, stroke, sw)
    svg.poly([P(x0, y0, z0), P(x1, y0, z0), P(x1, y0, z1), P(x0, y0, z1)],
             front, stroke, sw)
    svg.poly([P(x0, y0, z1), P(x1, y0, z1), P(x1, y1, z1), P(x0, y1, z1)],
             top, stroke, sw)


def printer(svg, P, x0, x1, y0, y1, z0, z1, panel=True, out_slot=True):
    """The device: a light grey body with a control panel and a paper exit."""
    box(svg, P, x0, x1, y0, y1, z0, z1)
    if out_slot:
        zs = z1 - (z1 - z0) * 0.22
        svg.line(P(x0 + 10, y0, zs), P(x1 - 10, y0, zs), "detail", 1.2)
    if panel:
        w = min(26.0, (x1 - x0) * 0.3)
        d = min(12.0, (y1 - y0) * 0.35)
        px1 = x1 - 5 if P.kx >= 0 else x0 + 5 + w
        px0 = px1 - w
        svg.poly([P(px0, y0 + 3, z1), P(px1, y0 + 3, z1), P(px1, y0 + 3 + d, z1),
                  P(px0, y0 + 3 + d, z1)], "panel", "detail", 0.8)
        svg.poly([P(px0 + 2, y0 + 5, z1), P(px0 + w * 0.55, y0 + 5, z1),
                  P(px0 + w * 0.55, y0 + 1 + d, z1), P(px0 + 2, y0 + 1 + d, z1)],
                 "display", "detail", 0.6)
        svg.circle(P(px1 - 4, y0 + 3 + d / 2, z1), 1.6, "led", "detail", 0.5)


def stack(svg, P, x0, x1, y0, y1, z0, z1, printed=False, lines=None,
          top_only=False):
    """A stack of paper: white faces with fine sheet edges; printed stacks
    show lines of text on their top sheet."""
    if not top_only:
        if P.kx >= 0:
            side = [P(x1, y0, z0), P(x1, y1, z0), P(x1, y1, z1), P(x1, y0, z1)]
            sx = x1
        else:
            side = [P(x0, y0, z0), P(x0, y1, z0), P(x0, y1, z1), P(x0, y0, z1)]
            sx = x0
        svg.poly(side, "paper", "paper_edge", 0.8)
        svg.poly([P(x0, y0, z0), P(x1, y0, z0), P(x1, y0, z1), P(x0, y0, z1)],
                 "paper", "paper_edge", 0.8)
        n = int((z1 - z0) / 2.0)
        for i in range(1, n):
            z = z0 + (z1 - z0) * i / n
            svg.line(P(x0 + 0.6, y0, z), P(x1 - 0.6, y0, z), "sheet_lines", 0.6)
            svg.line(P(sx, y0 + 0.6, z), P(sx, y1 - 0.6, z), "sheet_lines", 0.6)
    svg.poly([P(x0, y0, z1), P(x1, y0, z1), P(x1, y1, z1), P(x0, y1, z1)],
             "paper", "paper_edge", 0.8)
    if printed:
        text_lines(svg, lambda u, v: P(x0 + u * (x1 - x0), y0 + v * (y1 - y0), z1),
                   lines)


def text_lines(svg, at, lines=None, vertical=False):
    """Lines of text on a sheet; `at(u, v)` maps sheet coordinates (0..1,
    u across a line, v from the near edge to the far edge) to the screen."""
    rows = lines or [(0.12, 0.55, "text_dark"), (0.12, 0.86, "text"),
                     (0.12, 0.80, "text"), (0.12, 0.88, "text"),
                     (0.12, 0.62, "text")]
    n = len(rows)
    for i, (u0, u1, c) in enumerate(rows):
        v = 0.84 - i * (0.68 / max(1, n - 1))
        svg.line(at(u0, v), at(u1, v), c, 1.1 if c == "text_dark" else 0.9)


def sheet(svg, corners, printed=False, fill="paper", stroke="paper_edge",
          sw=0.9, lines=None):
    """One sheet given by its corners: near-left, near-right, far-right,
    far-left (v runs from the near edge to the far edge)."""
    a, b, c, d = corners
    svg.poly([a, b, c, d], fill, stroke, sw)
    if printed:
        def at(u, v):
            return lerp(lerp(a, b, u), lerp(d, c, u), v)
        text_lines(svg, at, lines)


# ---------------------------------------------------------------- marks

def asterisk(svg, c, r=3.6, sw=1.35):
    for k in range(3):
        a = math.radians(90 + 60 * k)
        d = (math.cos(a) * r, math.sin(a) * r)
        svg.line(sub(c, d), add(c, d), "red", sw)


def edge_mark(svg, p, direction, gap=2.5, dist=12.5):
    """Marks an edge at point p: a small angle pointing at the edge and the
    asterisk beyond it; `direction` points from the edge to the mark."""
    u = unit(direction)
    n = (-u[1], u[0])
    apex = add(p, mul(u, gap))
    leg = 3.6
    a1 = add(apex, add(mul(u, leg), mul(n, leg)))
    a2 = add(apex, sub(mul(u, leg), mul(n, leg)))
    svg.polyline([a1, apex, a2], "red", 1.4)
    asterisk(svg, add(p, mul(u, dist)))


def corner_mark(svg, corner, along1, along2, gap=1.8, dist=11.5):
    """Marks a corner: a small angle nested around the corner, following
    its two edges (`along1`, `along2` point along them from the corner),
    and the asterisk beyond it."""
    e1, e2 = unit(along1), unit(along2)
    out = unit((-(e1[0] + e2[0]), -(e1[1] + e2[1])))
    apex = add(corner, mul(out, gap))
    leg = 5.5
    svg.polyline([add(apex, mul(e1, leg)), apex, add(apex, mul(e2, leg))],
                 "red", 1.4)
    asterisk(svg, add(corner, mul(out, dist)))


# ---------------------------------------------------------------- arrows

def arrow_head(svg, tip, direction, size=5.0, colour="blue"):
    u = unit(direction)
    n = (-u[1], u[0])
    base = sub(tip, mul(u, size))
    svg.poly([tip, add(base, mul(n, size * 0.55)), sub(base, mul(n, size * 0.55))],
             colour, colour, 0.6)


def arrow(svg, points, colour="blue", sw=2.0, head=5.5, both=False):
    """A straight (2 points), quadratic (3) or cubic (4) arrow."""
    a = points[0]
    b = points[-1]
    ctl_end = points[-2]
    ctl_start = points[1]
    u = unit(sub(b, ctl_end))
    end = sub(b, mul(u, head * 0.8))
    start = a
    if both:
        us = unit(sub(a, ctl_start))
        start = sub(a, mul(us, head * 0.8))
    if len(points) == 2:
        d = "M%s,%s L%s,%s" % (fmt(start[0]), fmt(start[1]), fmt(end[0]), fmt(end[1]))
    elif len(points) == 3:
        d = "M%s,%s Q%s,%s %s,%s" % (fmt(start[0]), fmt(start[1]),
                                       fmt(points[1][0]), fmt(points[1][1]),
                                       fmt(end[0]), fmt(end[1]))
    else:
        d = "M%s,%s C%s,%s %s,%s %s,%s" % (
            fmt(start[0]), fmt(start[1]), fmt(points[1][0]), fmt(points[1][1]),
            fmt(points[2][0]), fmt(points[2][1]), fmt(end[0]), fmt(end[1]))
    svg._see(points)
    svg.path(d, None, colour, sw)
    arrow_head(svg, b, u, head, colour)
    if both:
        arrow_head(svg, a, unit(sub(a, ctl_start)), head, colour)


# ---------------------------------------------------------------- hands

def finger(svg, tip, angle_deg, length=46.0, width=10.0):
    """An index finger pressing at `tip`; the hand comes from the direction
    `angle_deg` (screen degrees, 0 = from the right, 90 = from below)."""
    a = math.radians(angle_deg)
    u = (math.cos(a), math.sin(a))        # from tip towards the hand
    n = (-u[1], u[0])
    hw = width / 2.0
    t0 = add(tip, mul(u, hw))             # centre of the rounded tip
    base = add(tip, mul(u, length))
    p1 = add(t0, mul(n, hw))
    p2 = add(base, mul(n, hw))
    p3 = sub(base, mul(n, hw))
    p4 = sub(t0, mul(n, hw))
    # back of the hand and the curled fingers, mostly outside the picture
    k1 = add(base, add(mul(n, hw + 2), mul(u, -4)))
    k2 = add(base, add(mul(n, hw + 16), mul(u, 10)))
    k3 = add(base, add(mul(n, -hw - 6), mul(u, 26)))
    svg._see([tip, add(tip, mul(u, 14))])
    svg.track = False
    svg.path("M%s,%s L%s,%s Q%s,%s %s,%s L%s,%s L%s,%s L%s,%s A%s,%s 0 0 0 %s,%s Z"
             % (fmt(p1[0]), fmt(p1[1]), fmt(k1[0]), fmt(k1[1]),
                fmt(k2[0]), fmt(k2[1]),
                fmt(add(k2, mul(u, 40))[0]), fmt(add(k2, mul(u, 40))[1]),
                fmt(add(k3, mul(u, 30))[0]), fmt(add(k3, mul(u, 30))[1]),
                fmt(k3[0]), fmt(k3[1]), fmt(p4[0]), fmt(p4[1]),
                fmt(hw), fmt(hw), fmt(p1[0]), fmt(p1[1])),
             "skin", "skin_line", 1.0 if svg.theme == "full" else 1.4)
    # knuckle folds of the curled fingers
    for k in ((0.35, 0.65) if svg.theme == "full" else ()):
        q = add(base, add(mul(n, hw + 3 + 10 * k), mul(u, 6 + 14 * k)))
        svg.path("M%s,%s q%s,%s %s,%s" % (fmt(q[0]), fmt(q[1]),
                                            fmt(u[0] * 5 - n[0] * 2), fmt(u[1] * 5 - n[1] * 2),
                                            fmt(u[0] * 9), fmt(u[1] * 9)),
                 None, "skin_line", 0.8)
    # joint crease and nail
    for t in (0.45,):
        c = add(tip, mul(u, length * t))
        svg.line(add(c, mul(n, hw * 0.6)), sub(c, mul(n, hw * 0.6)), "skin_line", 0.7)
    nc = add(tip, mul(u, hw + 2.5))
    nail = [add(nc, mul(n, hw * 0.55)), add(add(nc, mul(u, 6)), mul(n, hw * 0.55)),
            sub(add(nc, mul(u, 6)), mul(n, hw * 0.55)), sub(nc, mul(n, hw * 0.55))]
    svg.poly(nail, "nail", "skin_line", 0.7)
    svg.track = True


def press_lines(svg, c, r):
    """Short strokes around a pressed button."""
    for ang in (200, 235, 270, 305, 340):
        a = math.radians(ang)
        u = (math.cos(a), math.sin(a))
        svg.line(add(c, mul(u, r)), add(c, mul(u, r + 4)), "blue", 1.2)


# ---------------------------------------------------------------- scenes

def drawer_scene(svg, printed, mark, P=None, pulled=34.0, close=False,
                 rails=False):
    """A stack in a front paper drawer pulled out of the device."""
    if P is None:
        P = Proj(0, 0, 0.5, 0.55)
    x0, x1 = 0.0, 96.0
    dz0, dz1 = 1.0, 15.0
    dy0, dy1 = -pulled, 0.0
    # device body with the opening that the drawer comes out of; in the
    # close view only the drawer decides the picture's extent
    svg.track = not close
    printer(svg, P, x0 - 8, x1 + 8, 0, 46, 0, 36)
    svg.poly([P(x0 - 1, 0, dz0 - 0.5), P(x1 + 1, 0, dz0 - 0.5),
              P(x1 + 1, 0, dz1 + 3), P(x0 - 1, 0, dz1 + 3)],
             "body_side", "outline", 0.8)
    svg.track = True
    if rails:
        for rx in (x0 + 3, x1 - 3):
            svg.poly([P(rx - 2, dy0 + 6, dz0 - 1), P(rx + 2, dy0 + 6, dz0 - 1),
                      P(rx + 2, 0, dz0 - 1), P(rx - 2, 0, dz0 - 1)],
                     "tray_side", "outline", 0.7)
    wall = 2.0
    ix0, ix1, iy0, iy1 = x0 + wall, x1 - wall, dy0 + wall, dy1 - wall
    # inner walls seen through the open top, and the floor
    svg.poly([P(ix0, iy1, dz0), P(ix1, iy1, dz0), P(ix1, iy1, dz1),
              P(ix0, iy1, dz1)], "tray_side", "outline", 0.7)
    if P.kx >= 0:
        svg.poly([P(ix0, iy0, dz0), P(ix0, iy1, dz0), P(ix0, iy1, dz1),
                  P(ix0, iy0, dz1)], "tray", "outline", 0.7)
    else:
        svg.poly([P(ix1, iy0, dz0), P(ix1, iy1, dz0), P(ix1, iy1, dz1),
                  P(ix1, iy0, dz1)], "tray", "outline", 0.7)
    svg.poly([P(ix0, iy0, dz0), P(ix1, iy0, dz0), P(ix1, iy1, dz0),
              P(ix0, iy1, dz0)], "floor", "outline", 0.7)
    # the stack fills the drawer up to its rim
    m = 4.0
    sx0, sx1, sy0, sy1 = ix0 + m, ix1 - m, iy0 + 1.5, iy1 - 2.5
    sz0, sz1 = dz0, dz1
    stack(svg, P, sx0, sx1, sy0, sy1, sz0, sz1, printed)
    # outer side, rim and front of the drawer
    sx = x1 if P.kx >= 0 else x0
    ix = ix1 if P.kx >= 0 else ix0
    svg.poly([P(sx, dy0, dz0), P(sx, dy1, dz0), P(sx, dy1, dz1), P(sx, dy0, dz1)],
             "body_side", "outline", 1.0)
    svg.poly([P(sx, dy0, dz1), P(sx, dy1, dz1), P(ix, dy1, dz1), P(ix, dy0, dz1)],
             "body_top", "outline", 0.8)
    svg.poly([P(x0, dy0, dz0), P(x1, dy0, dz0), P(x1, dy0, dz1), P(x0, dy0, dz1)],
             "body_front", "outline", 1.0)
    svg.poly([P(x0, dy0, dz1), P(x1, dy0, dz1), P(x1, iy0, dz1), P(x0, iy0, dz1)],
             "body_top", "outline", 0.8)
    hx = (x0 + x1) / 2.0
    svg.poly([P(hx - 12, dy0, dz1 - 3), P(hx + 12, dy0, dz1 - 3),
              P(hx + 10, dy0, dz1 - 8), P(hx - 10, dy0, dz1 - 8)],
             "body_side", "outline", 0.8)
    corners = dict(
        nl=P(sx0, sy0, sz1), nr=P(sx1, sy0, sz1),
        fr=P(sx1, sy1, sz1), fl=P(sx0, sy1, sz1))
    draw_mark(svg, corners, mark)
    return P


def draw_mark(svg, c, mark):
    """Marks the top sheet whose corners are in `c` (nl, nr, fr, fl).

    mark = ("edge", "far"|"near"|"left"|"right", t) or
           ("corner", "nl"|"nr"|"fr"|"fl")"""
    nl, nr, fr, fl = c["nl"], c["nr"], c["fr"], c["fl"]
    if mark[0] == "edge":
        which, t = mark[1], mark[2]
        a, b = dict(far=(fl, fr), near=(nl, nr), left=(nl, fl),
                    right=(nr, fr))[which]
        p = lerp(a, b, t)
        centre = lerp(lerp(nl, nr, 0.5), lerp(fl, fr, 0.5), 0.5)
        # the mark points at the edge straight across the screen: from the
        # left or right for side edges, from above or below otherwise
        if which in ("left", "right"):
            n = (1.0 if p[0] > centre[0] else -1.0, 0.0)
        else:
            n = (0.0, 1.0 if p[1] > centre[1] else -1.0)
        if len(mark) > 3:
            n = unit(mark[3])
        edge_mark(svg, p, n)
    else:
        k = mark[1]
        neighbours = dict(nl=("nr", "fl"), nr=("nl", "fr"),
                          fr=("nr", "fl"), fl=("nl", "fr"))[k]
        p = c[k]
        corner_mark(svg, p, sub(c[neighbours[0]], p), sub(c[neighbours[1]], p))


def stack_corners(P, x0, x1, y0, y1, z):
    return dict(nl=P(x0, y0, z), nr=P(x1, y0, z), fr=P(x1, y1, z),
                fl=P(x0, y1, z))


def flat_bin_scene(svg, printed, mark):
    """105: a stack lying in a flat output bin in front of the device."""
    P = Proj(0, 0, 0.55, 0.5)
    printer(svg, P, 0, 104, 34, 74, 0, 52, out_slot=False)
    # paper exit above the bin
    svg.poly([P(14, 34, 40), P(90, 34, 40), P(90, 34, 43), P(14, 34, 43)],
             "slot", "outline", 0.6)
    # flat bin: a thin plate with a low lip at its near edge
    box(svg, P, 8, 96, 0, 34, 14, 16, "tray", "tray", "tray_side", "outline", 0.9)
    x0, x1, y0, y1, z0, z1 = 20, 82, 5, 31, 16, 24
    stack(svg, P, x0, x1, y0, y1, z0, z1, printed)
    box(svg, P, 8, 96, -1, 2, 16, 19, "tray", "body_front", "tray_side",
        "outline", 0.9)
    draw_mark(svg, stack_corners(P, x0, x1, y0, y1, z1), mark)


def tray_guide_scene(svg, printed, mark):
    """107, 108: a stack on a tray in front of the device's feed opening,
    held by a tall upright guide at its left."""
    P = Proj(0, 0, 0.5, 0.55)
    printer(svg, P, 14, 124, 0, 48, 0, 44)
    svg.poly([P(24, 0, 10), P(114, 0, 10), P(114, 0, 14), P(24, 0, 14)],
             "body_side", "outline", 0.6)
    # the tray
    box(svg, P, 16, 122, -36, 0, 8, 10, "tray", "body_front", "tray_side",
        "outline", 0.9)
    # the upright guide
    box(svg, P, 22, 26, -34, -2, 10, 30, "body_top", "body_front", "body_side",
        "outline", 0.9)
    x0, x1, y0, y1, z0, z1 = 26, 92, -31, -5, 10, 17
    stack(svg, P, x0, x1, y0, y1, z0, z1, printed)
    draw_mark(svg, stack_corners(P, x0, x1, y0, y1, z1), mark)


def feed_slot_scene(svg, printed, mark, arrow_left=False):
    """110-113: one sheet standing in the feed slot on top of the device."""
    P = Proj(10, 96, 0.6, 0.45)
    printer(svg, P, 12, 124, 0, 56, 0, 34, panel=False)
    # slot in the top of the device
    y_s = 30
    svg.poly([P(30, y_s - 1.5, 34), P(106, y_s - 1.5, 34), P(106, y_s + 1.5, 34),
              P(30, y_s + 1.5, 34)], "slot", "outline", 0.6)
    # the sheet, upright, its lower part already in the slot
    x0, x1 = 40, 96
    z0, z1 = 34, 34 + 48
    lean = 5.0          # the sheet leans back a little
    a, b = P(x0, y_s, z0), P(x1, y_s, z0)
    c, d = P(x1, y_s + lean, z1), P(x0, y_s + lean, z1)
    sheet(svg, [a, b, c, d], printed,
          lines=[(0.1, 0.55, "text_dark"), (0.1, 0.9, "text"), (0.1, 0.85, "text"),
                 (0.1, 0.9, "text"), (0.1, 0.7, "text"), (0.1, 0.88, "text")])
    # guides at both sides of the slot
    for gx in (x0 - 3, x1 + 3):
        svg.poly([P(gx, y_s - 3, 34), P(gx, y_s - 3, 40), P(gx, y_s + 6, 40),
                  P(gx, y_s + 6, 34)], "body_side", "outline", 0.8)
    # arrow: down into the slot
    ax = x0 - 12 if arrow_left else x1 + 12
    arrow(svg, [P(ax, y_s, 70), P(ax, y_s, 42)], sw=2.0, head=5.5)
    draw_mark(svg, dict(nl=a, nr=b, fr=c, fl=d), mark)


def turn_two_arrows_scene(svg, printed, mark):
    """123, 133, 134: a sheet on a table being turned over from the near
    edge to the far edge; two curved arrows, one at each side."""
    P = Proj(30, 86, 0.55, 0.5)
    x0, x1, y0, y1 = 8, 90, 0, 56
    c = stack_corners(P, x0, x1, y0, y1, 0)
    sheet(svg, [c["nl"], c["nr"], c["fr"], c["fl"]], printed)
    # the arrows go up from the near edge and over to the far edge
    for x in (x0 + 16, x1 - 16):
        arrow(svg, [P(x, y0 + 4, 4), P(x, y0 - 6, 44), P(x, y1 + 14, 44),
                    P(x, y1 - 2, 6)], sw=2.0, head=5.5)
    draw_mark(svg, c, mark)


def turn_arc_scene(svg, printed, mark):
    """151, 152: a sheet being turned over from left to right; one arc."""
    P = Proj(24, 92, 0.5, 0.42)
    x0, x1, y0, y1 = 12, 94, 0, 52
    c = stack_corners(P, x0, x1, y0, y1, 0)
    # the sheet as it lifts from the table: a ghost outline half way
    mid = (x0 + x1) / 2.0
    half = (x1 - x0) / 2.0
    ghost = [P(mid, y0, 0), P(mid, y1, 0), P(mid - 12, y1, half * 0.97),
             P(mid - 12, y0, half * 0.97)]
    sheet(svg, [c["nl"], c["nr"], c["fr"], c["fl"]], printed)
    svg.poly(ghost, "paper", "ghost", 0.9, ' stroke-dasharray="2.5,2"')
    y = (y0 + y1) / 2.0
    arrow(svg, [P(x0 + 6, y, 10), P(x0 + 10, y, 64), P(x1 - 6, y, 64),
                P(x1 + 4, y, 10)], sw=2.0, head=6)
    draw_mark(svg, c, mark)


def flat_tray_scene(svg, printed, mark):
    """146: a stack in a flat tray with side guides, in front of the device."""
    P = Proj(8, 94, 0.55, 0.5)
    printer(svg, P, 18, 126, 36, 84, 0, 46, out_slot=False)
    svg.poly([P(34, 36, 10), P(110, 36, 10), P(110, 36, 14), P(34, 36, 14)],
             "body_side", "outline", 0.6)
    box(svg, P, 24, 120, -2, 36, 6, 9, "tray", "body_front", "tray_side",
        "outline", 0.9)
    x0, x1, y0, y1, z0, z1 = 42, 102, 2, 34, 9, 16
    stack(svg, P, x0, x1, y0, y1, z0, z1, printed)
    # side guides against the stack
    for gx0, gx1 in ((x0 - 4, x0), (x1, x1 + 4)):
        box(svg, P, gx0, gx1, y0 + 6, y1 - 2, 9, 20, "body_top", "body_front",
            "body_side", "outline", 0.8)
    # redraw the stack top so that the right guide does not cover it
    c = stack_corners(P, x0, x1, y0, y1, z1)
    draw_mark(svg, c, mark)


def flip_stack_scene(svg, P=None):
    """149, 154, 155: a stack turned over in a flat tray: before (left,
    printed side up) and after (right, blank side up); the left edge of the
    stack before is its right edge after."""
    if P is None:
        P = Proj(4, 92, 0.5, 0.45)
    # flat tray
    box(svg, P, 4, 152, 0, 46, 0, 3, "tray", "body_front", "tray_side",
        "outline", 0.9)
    h = 6
    a = (12, 66)
    b = (82, 136)
    y0, y1 = 6, 42
    stack(svg, P, a[0], a[1], y0, y1, 3, 3 + h, True,
          lines=[(0.1, 0.5, "text_dark"), (0.1, 0.9, "text"), (0.1, 0.8, "text"),
                 (0.1, 0.88, "text")])
    stack(svg, P, b[0], b[1], y0, y1, 3, 3 + h, False)
    ym = (y0 + y1) / 2.0
    arrow(svg, [P(a[0] + 14, ym, 14), P(a[0] + 22, ym, 60), P(b[1] - 22, ym, 60),
                P(b[1] - 14, ym, 14)], sw=2.0, head=6)
    draw_mark(svg, stack_corners(P, a[0], a[1], y0, y1, 3 + h), ("edge", "left", 0.5))
    draw_mark(svg, stack_corners(P, b[0], b[1], y0, y1, 3 + h), ("edge", "right", 0.5))


def move_to_bin_scene(svg):
    """106: the printed stack is taken from the output tray in front of the
    device and put, the same way round, into the bin on top of it."""
    P = Proj(6, 96, 0.5, 0.5)
    printer(svg, P, 52, 138, 10, 64, 0, 40, panel=False, out_slot=False)
    # input bin on top: a recess
    svg.poly([P(58, 18, 40), P(122, 18, 40), P(122, 56, 40), P(58, 56, 40)],
             "body_side", "outline", 0.8)
    # output tray at the front left
    box(svg, P, 0, 70, -20, 12, 8, 10, "tray", "body_front", "tray_side",
        "outline", 0.9)
    lines = [(0.12, 0.5, "text_dark"), (0.12, 0.88, "text"), (0.12, 0.8, "text"),
             (0.12, 0.85, "text")]
    sa = (6, 60, -16, 8, 10, 16)
    stack(svg, P, *sa, printed=True, lines=lines)
    sb = (62, 116, 24, 48, 52, 58)
    stack(svg, P, *sb, printed=True, lines=lines)
    arrow(svg, [P(34, -2, 20), P(34, 0, 66), P(86, 22, 62)], sw=2.0, head=6)
    draw_mark(svg, stack_corners(P, sa[0], sa[1], sa[2], sa[3], sa[5]),
              ("edge", "left", 0.5))
    draw_mark(svg, stack_corners(P, sb[0], sb[1], sb[2], sb[3], sb[5]),
              ("edge", "left", 0.5))


def round_button_scene(svg):
    """109: a finger pressing the round button on the control panel."""
    P = Proj(8, 96, 0.55, 0.6)
    box(svg, P, 4, 128, 0, 40, 0, 30)
    # a recessed panel on the top
    svg.poly([P(12, 4, 30), P(120, 4, 30), P(120, 36, 30), P(12, 36, 30)],
             "panel", "detail", 0.8)
    svg.poly([P(18, 14, 30), P(60, 14, 30), P(60, 30, 30), P(18, 30, 30)],
             "display", "outline", 0.8)
    for i in range(3):
        c = P(22 + i * 14, 8, 30)
        svg.ellipse(c, 3.2, 2.0, "key", "outline", 0.7)
    # the round button
    c = P(92, 20, 30)
    svg.ellipse((c[0], c[1] + 1.5), 13, 7.5, "body_side", "outline", 0.8)
    svg.ellipse(c, 13, 7.5, "led", "outline", 1.0)
    svg.ellipse((c[0] - 2, c[1] - 1.5), 6, 2.5, "key", None)
    press_lines(svg, (c[0], c[1] - 1), 16)
    finger(svg, (c[0] + 2, c[1] - 1), -62, length=52, width=11)


def keypad_scene(svg):
    """153: a finger pressing a key on the device's control panel, which has
    a display, a few function keys and a numeric keypad."""
    P = Proj(6, 96, 0.6, 0.62)
    box(svg, P, 2, 132, 0, 40, 0, 24)
    svg.poly([P(8, 3, 24), P(126, 3, 24), P(126, 37, 24), P(8, 37, 24)],
             "panel", "outline", 0.8)
    svg.poly([P(12, 22, 24), P(56, 22, 24), P(56, 34, 24), P(12, 34, 24)],
             "display", "outline", 0.8)
    for i in range(4):
        x = 12 + i * 11
        svg.poly([P(x, 8, 24), P(x + 8, 8, 24), P(x + 8, 16, 24), P(x, 16, 24)],
                 "key", "outline", 0.8)
    # keypad 3 x 4
    pressed = (1, 1)
    for r in range(4):
        for k in range(3):
            x = 70 + k * 11
            y = 30 - r * 8
            fill = "blue" if (k, r) == pressed else "key"
            svg.poly([P(x, y, 24), P(x + 8, y, 24), P(x + 8, y + 5.5, 24),
                      P(x, y + 5.5, 24)], fill, "outline", 0.8)
    svg.circle(P(114, 30, 24), 2.2, "led", "outline", 0.7)
    t = P(70 + pressed[0] * 11 + 4, 30 - pressed[1] * 8 + 2.5, 24)
    press_lines(svg, (t[0], t[1] + 1), 9)
    finger(svg, (t[0] + 1, t[1] - 1), -58, length=60, width=12)


def continue_button_scene(svg):
    """122: the Continue button on the screen, with the mouse pointer on it."""
    svg.rect(6, 8, 143, 86, "window", "outline", 1.0, rx=1)
    svg.rect(6, 8, 143, 12, "title", "outline", 1.0)
    for i in range(3):
        svg.rect(26, 32 + i * 8, 86 - i * 14, 2.5, "text", None)
    # the button
    bx, by, bw, bh = 34, 62, 74, 22
    svg.rect(bx + 1, by + 1, bw, bh, "body_side", None, rx=2)
    svg.rect(bx, by, bw, bh, "button", "outline", 1.0, rx=2)
    svg.rect(bx + 3, by + 3, bw - 6, bh - 6, None, "detail", 0.6, rx=1)
    svg.text((bx + bw / 2.0, by + 15.5), "Continue", 11, "text_dark")
    # mouse pointer
    tip = (97, 76)
    ptr = [(0, 0), (0, 15), (3.6, 11.6), (6.4, 17.6), (9, 16.4), (6.3, 10.6),
           (11, 10.6)]
    svg.poly([add(tip, p) for p in ptr], "cursor", "#000000", 1.0)


# ---------------------------------------------------------------- catalogue

def build():
    pics = {}

    def new(pid, theme="full", **kw):
        s = Svg(theme, **kw)
        pics[pid] = s
        return s

    flat_bin_scene(new(105), False, ("corner", "fl"))
    move_to_bin_scene(new(106))
    tray_guide_scene(new(107), False, ("corner", "fr"))
    tray_guide_scene(new(108), True, ("edge", "near", 0.5))
    round_button_scene(new(109))
    feed_slot_scene(new(110), False, ("edge", "far", 0.5))
    feed_slot_scene(new(111), False, ("edge", "left", 0.22))
    feed_slot_scene(new(112), True, ("corner", "fl"))
    feed_slot_scene(new(113), True, ("edge", "right", 0.5), arrow_left=True)
    drawer_scene(new(114), False, ("edge", "far", 0.3))
    drawer_scene(new(115), False, ("edge", "far", 0.6),
                 P=Proj(0, 0, -0.5, 0.55))
    drawer_scene(new(116), True, ("corner", "fr"))
    drawer_scene(new(117), True, ("edge", "far", 0.7))
    drawer_scene(new(118), False, ("edge", "far", 0.5))
    drawer_scene(new(119), False, ("edge", "far", 0.5),
                 P=Proj(0, 0, 0.45, 0.62), close=True)
    drawer_scene(new(120), True, ("edge", "right", 0.5))
    drawer_scene(new(121), True, ("edge", "left", 0.5))
    continue_button_scene(new(122))
    turn_two_arrows_scene(new(123), True, ("edge", "left", 0.5))
    turn_two_arrows_scene(new(133), False, ("corner", "nl"))
    turn_two_arrows_scene(new(134), True, ("edge", "right", 0.25))
    flat_tray_scene(new(146), False, ("corner", "fr"))
    drawer_scene(new(147, "vga"), False, ("edge", "right", 0.5), pulled=50,
                 rails=True, P=Proj(0, 0, 0.5, 0.5))
    flip_stack_scene(new(149))
    turn_arc_scene(new(151), False, ("edge", "right", 0.5))
    turn_arc_scene(new(152), True, ("edge", "right", 0.5))
    keypad_scene(new(153, "vga"))
    flip_stack_scene(new(154, width=152, height=98))
    flip_stack_scene(new(155, "vga"))
    return pics


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        here, "..", "..", "oemui", "doceventdlg", "res", "artwork")
    os.makedirs(out, exist_ok=True)
    for pid, svg in sorted(build().items()):
        with open(os.path.join(out, "%d.svg" % pid), "w", encoding="utf-8") as f:
            f.write(svg.render())
    return 0


if __name__ == "__main__":
    sys.exit(main())
