#!/usr/bin/env python3
"""Writes the demo models of this folder: bracket.stl (binary STL), shaft.stl (text STL), gear.zip,
assembly.zip, and the forms the viewer loads them in: bracket.zip.stl, gear.zjv, and the model
descriptor assembly.xml with its archive models.zip.

Every shape is a flat 2D outline with holes, extruded to a slab: the 2D area is cut into
triangles around each hole (or around a centre point), the slab gets a top, a bottom and a wall
on every border edge. Run from anywhere: python3 samples/make_samples.py
"""
import math
import os
import struct
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def zipper(inner, outer):
    """Triangles (CCW) filling the ring between two loops that are star-shaped around the same
    centre and given as (angle, point) lists sorted by angle over one full turn."""
    tris = []
    i = j = 0
    n, m = len(inner), len(outer)
    while i < n or j < m:
        a_in = inner[(i + 1) % n][0] + (2 * math.pi if i + 1 >= n else 0)
        a_out = outer[(j + 1) % m][0] + (2 * math.pi if j + 1 >= m else 0)
        if j >= m or (i < n and a_in <= a_out):
            tris.append((inner[i % n][1], outer[j % m][1], inner[(i + 1) % n][1]))
            i += 1
        else:
            tris.append((inner[i % n][1], outer[j % m][1], outer[(j + 1) % m][1]))
            j += 1
    return tris


def square_ring(cx, cy, half, segments):
    """The border of a square cell sampled where rays from its centre at equal angles hit it
    (segments a multiple of 8, so the corners are among them)."""
    out = []
    for k in range(segments):
        t = 2 * math.pi * k / segments
        c, s = math.cos(t), math.sin(t)
        d = half / max(abs(c), abs(s))
        out.append((t, (round(cx + d * c, 6), round(cy + d * s, 6))))
    return out


def circle(cx, cy, r, segments, phase=0.0):
    return [(2 * math.pi * k / segments + phase,
             (round(cx + r * math.cos(2 * math.pi * k / segments + phase), 6),
              round(cy + r * math.sin(2 * math.pi * k / segments + phase), 6)))
            for k in range(segments)]


def fan(centre, ring):
    return [(centre, ring[k][1], ring[(k + 1) % len(ring)][1]) for k in range(len(ring))]


def plate_with_holes(nx, ny, cell, holes, segments=32):
    """Triangles of an nx x ny grid of square cells; holes maps (i, j) to a radius."""
    tris = []
    for i in range(nx):
        for j in range(ny):
            cx, cy = (i + 0.5) * cell, (j + 0.5) * cell
            ring = square_ring(cx, cy, cell / 2, segments)
            r = holes.get((i, j))
            if r:
                tris += zipper(circle(cx, cy, r, segments), ring)
            else:
                tris += fan((cx, cy), ring)
    return tris


def extrude(tris2d, thickness, place):
    """A closed slab: top at w = thickness, bottom at w = 0, walls on the 2D border edges.
    place(u, v, w) gives the 3D point (a rotation and a shift, keeping orientation)."""
    out = []
    count = {}
    for a, b, c in tris2d:
        for e in ((a, b), (b, c), (c, a)):
            count[e] = count.get(e, 0) + 1
        out.append((place(*a, thickness), place(*b, thickness), place(*c, thickness)))
        out.append((place(*a, 0.0), place(*c, 0.0), place(*b, 0.0)))
    for (a, b), n in count.items():
        if (b, a) in count:
            continue  # inner edge
        a0, b0 = place(*a, 0.0), place(*b, 0.0)
        a1, b1 = place(*a, thickness), place(*b, thickness)
        out.append((a0, b0, b1))
        out.append((a0, b1, a1))
    return out


class Model:
    """Points shared by position, triangles as index triples, optional face colour per triangle."""

    def __init__(self):
        self.points, self.index, self.tris, self.colour = [], {}, [], []

    def add(self, tris, colour_of=None):
        for t in tris:
            ids = []
            for p in t:
                key = tuple(round(x, 5) + 0.0 for x in p)
                if key not in self.index:
                    self.index[key] = len(self.points)
                    self.points.append(key)
                ids.append(self.index[key])
            self.tris.append(tuple(ids))
            self.colour.append(colour_of(t) if colour_of else None)

    def triangles(self):
        return [tuple(self.points[i] for i in t) for t in self.tris]


def num(x):
    s = ('%.5f' % x).rstrip('0').rstrip('.')
    return '0' if s in ('-0', '') else s


def zjv_part(name, mid, rgba, model, colours=(), threads=()):
    parts = ['P{N{%s}' % name, 'MID{%s}' % mid, 'C{%d %d %d %d}' % rgba]
    parts.append('PL{' + ' '.join(num(c) for p in model.points for c in p) + '}')
    if colours:
        packed = [(a << 24 | r << 16 | g << 8 | b) for r, g, b, a in colours]
        parts.append('COLS{' + ' '.join(str(v) for v in packed) + '}')
        pairs = ['%d %d' % (k, c) for k, c in enumerate(model.colour) if c is not None]
        parts.append('CF{' + ' '.join(pairs) + '}')
    parts.append('FL3{' + ' '.join('%d %d %d' % t for t in model.tris) + '}')
    for t in threads:
        parts.append('THRL{' + ' '.join(num(v) for v in t) + '}')
    return '\n'.join(parts) + '}\n'


def placement(part, columns, t, explode):
    """An "M" and "ME" pair: axis columns (9 numbers), the translation, the exploded shift."""
    m = 'M{%d %s}' % (part, ' '.join(num(v) for v in list(columns) + list(t)))
    e = [t[k] + explode[k] for k in range(3)]
    me = 'ME{%d %s}' % (part, ' '.join(num(v) for v in list(columns) + e))
    return m + me + '\n'


IDENTITY = (1, 0, 0, 0, 1, 0, 0, 0, 1)
# Local z becomes -y (a rotation: local x stays x, local y becomes z).
Z_TO_MINUS_Y = (1, 0, 0, 0, 0, 1, 0, -1, 0)


def write_zip(path, entry, text):
    with zipfile.ZipFile(path, 'w', zipfile.ZIP_DEFLATED) as z:
        info = zipfile.ZipInfo(entry, date_time=(2024, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        z.writestr(info, text)


# ---- The shapes ----

def bracket():
    """An L bracket: a base plate and an upright flange, each 80 x 40 with two bolt holes."""
    m = Model()
    base = plate_with_holes(2, 1, 40.0, {(0, 0): 6.0, (1, 0): 6.0})
    m.add(extrude(base, 6.0, lambda u, v, w: (u, v, w)))
    # (u, v, w) -> (u, -w, v) is a rotation: the flange stands on the plane y = 0, behind the base.
    flange = plate_with_holes(2, 1, 40.0, {(0, 0): 5.0, (1, 0): 5.0})
    m.add(extrude(flange, 6.0, lambda u, v, w: (u, -w, v)))
    return m


def gear_outline(teeth, root, tip):
    pts = []
    step = 2 * math.pi / teeth
    for k in range(teeth):
        a = k * step
        for frac, r in ((0.0, root), (0.3, root), (0.45, tip), (0.7, tip), (0.85, root)):
            t = a + frac * step
            pts.append((t, (round(r * math.cos(t), 6), round(r * math.sin(t), 6))))
    return pts


def gear(teeth=20, root=40.0, tip=46.0, bore=10.0, width=12.0):
    """A spur gear with straight-flanked teeth and a bore; tooth tips carry a face colour."""
    m = Model()
    outline = gear_outline(teeth, root, tip)
    tris = zipper(circle(0, 0, bore, 48), outline)
    slab = extrude(tris, width, lambda u, v, w: (u, v, w))

    def tip_colour(t):
        # Wall triangles whose corners all lie on the tip circle.
        if all(abs(math.hypot(p[0], p[1]) - tip) < 1e-3 for p in t):
            return 0
        return None
    m.add(slab, tip_colour)
    return m


def shaft(radius=10.0, length=70.0):
    m = Model()
    ring = circle(0, 0, radius, 48)
    m.add(extrude(fan((0.0, 0.0), ring), length, lambda u, v, w: (u, v, w)))
    return m


def normal_of(a, b, c):
    u = [b[k] - a[k] for k in range(3)]
    v = [c[k] - a[k] for k in range(3)]
    n = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
    ln = math.sqrt(sum(x * x for x in n)) or 1.0
    return [x / ln for x in n]


def write_stl_binary(path, triangles, header=b'bracket: made by make_samples.py'):
    with open(path, 'wb') as f:
        f.write(header.ljust(80, b' '))
        f.write(struct.pack('<I', len(triangles)))
        for a, b, c in triangles:
            f.write(struct.pack('<12fH', *normal_of(a, b, c), *a, *b, *c, 0))


def stl_text(name, triangles):
    lines = ['solid %s' % name]
    for t in triangles:
        lines.append('  facet normal %s' % ' '.join(num(x) for x in normal_of(*t)))
        lines.append('    outer loop')
        lines.extend('      vertex %s' % ' '.join(num(x) for x in p) for p in t)
        lines.append('    endloop')
        lines.append('  endfacet')
    lines.append('endsolid %s' % name)
    return '\n'.join(lines) + '\n'


def main():
    write_stl_binary(os.path.join(HERE, 'bracket.stl'), bracket().triangles())
    with open(os.path.join(HERE, 'shaft.stl'), 'w', newline='\n') as f:
        f.write(stl_text('shaft', shaft(radius=4.5, length=70.0).triangles()))
    # An STL whose name holds ".zip" is read as a ZIP archive whose first item is the STL.
    with open(os.path.join(HERE, 'bracket.stl'), 'rb') as f:
        write_zip(os.path.join(HERE, 'bracket.zip.stl'), 'bracket.stl', f.read())

    big = gear()
    write_zip(os.path.join(HERE, 'gear.zip'), 'gear.zjv',
              zjv_part('Gear', 'gear%2020T', (120, 130, 150, 255), big, colours=[(230, 160, 40, 255)]) +
              'S{N{gear}' + placement(0, IDENTITY, (0, 0, 0), (0, 0, 0)) + '}\n')

    # A small assembly: the bracket, two shafts (one part placed twice) through the flange's holes
    # with a cosmetic thread each, and a pair of meshing gears on them in front of the flange.
    text = (zjv_part('Bracket', 'bracket%20L80', (90, 110, 140, 255), bracket()) +
            zjv_part('Shaft', 'shaft%20d9', (200, 200, 205, 255), shaft(radius=4.5, length=70.0),
                     threads=[(1, 0, 0, 45, 0, 0, 70, 9)]) +
            zjv_part('Gear_A', 'gear%2021T', (120, 130, 150, 255),
                     gear(teeth=21, root=19.0, tip=23.0, bore=4.5, width=8.0), colours=[(230, 160, 40, 255)]) +
            zjv_part('Gear_B', 'gear%2017T', (150, 120, 90, 255),
                     gear(teeth=17, root=15.0, tip=19.0, bore=4.5, width=8.0), colours=[(60, 170, 90, 255)]))
    text += 'S{N{assembly}\n'
    text += placement(0, IDENTITY, (0, 0, 0), (0, 0, -40))
    text += placement(1, Z_TO_MINUS_Y, (20, 10, 20), (0, 50, 0))
    text += placement(1, Z_TO_MINUS_Y, (60, 10, 20), (0, 50, 0))
    text += placement(2, Z_TO_MINUS_Y, (20, -20, 20), (0, -50, 0))
    text += placement(3, Z_TO_MINUS_Y, (60, -20, 20), (0, -50, 0))
    text += '}\n'
    write_zip(os.path.join(HERE, 'assembly.zip'), 'assembly.zjv', text)

    # The viewer reads a ".zjv" file as a ZIP archive whose first item is ZJV text: the gear's
    # archive under that name.
    with open(os.path.join(HERE, 'gear.zip'), 'rb') as f:
        gear_zip = f.read()
    with open(os.path.join(HERE, 'gear.zjv'), 'wb') as f:
        f.write(gear_zip)

    # A model descriptor names an archive and the item inside it; that item is itself a ZIP
    # archive whose first item is the ZJV text.
    with open(os.path.join(HERE, 'assembly.zip'), 'rb') as f:
        assembly_zip = f.read()
    with zipfile.ZipFile(os.path.join(HERE, 'models.zip'), 'w', zipfile.ZIP_STORED) as z:
        for name, data in (('gear.zip', gear_zip), ('Assembly.zip', assembly_zip)):
            z.writestr(zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0)), data)
    with open(os.path.join(HERE, 'assembly.xml'), 'w', newline='\n') as f:
        f.write('<?xml version="1.0" encoding="ISO-8859-1"?>\n'
                '<ORDER>\n'
                '  <SECTION>\n'
                '    <ZIPFILE>models.zip</ZIPFILE>\n'
                '    <CONTENTS>\n'
                '      <PART>\n'
                '        <FILENAME>assembly.zip</FILENAME>\n'
                '      </PART>\n'
                '    </CONTENTS>\n'
                '  </SECTION>\n'
                '</ORDER>\n')


if __name__ == '__main__':
    main()
