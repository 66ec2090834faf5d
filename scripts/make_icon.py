#!/usr/bin/env python3
"""Generate src/res/adapter.ico, the program's icon.

The picture is a serial-port expansion card seen from its component side: a
green circuit board with a gold edge connector along the bottom, two black
chips, and a metal bracket on the left carrying a row of D-shaped port
connectors. The background is transparent.

The icon is generated instead of being drawn in an editor so that the binary
in the tree can be rebuilt byte for byte from this script, and so that any
change to the picture shows up as a readable diff here. Only the standard
library is used, so any Python 3.9 or newer can rebuild it.

Usage: make_icon.py [output]   (default: src/res/adapter.ico in the repo)
"""

from __future__ import annotations

import struct
import sys
from dataclasses import dataclass
from pathlib import Path
from typing import Dict, List, Optional, Sequence, Tuple

RGB = Tuple[int, int, int]
Rect = Tuple[int, int, int, int]  # x0, y0, x1, y1; x1 and y1 exclusive

# The Windows ordering of the 16 VGA colours, which is what 16-colour icon
# editors and the system's own 4 bpp icons use.
VGA16: List[RGB] = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette256() -> List[RGB]:
    """VGA 16, then a 6x6x6 colour cube, then 24 greys between the cube's."""
    levels = (0, 51, 102, 153, 204, 255)
    cube = [(r, g, b) for r in levels for g in levels for b in levels]
    greys = [(v, v, v) for v in range(8, 248, 10)]
    colours = VGA16 + cube + greys
    assert len(colours) == 256
    return colours


# Colour roles of the picture. The 16-colour images have to share a few
# roles; the 256-colour ones get their own shades for edges and highlights.
THEME_16: Dict[str, RGB] = {
    "board": (0, 128, 0),
    "board_edge": (0, 0, 0),
    "board_light": (0, 128, 0),
    "trace": (0, 128, 0),
    "gold": (255, 255, 0),
    "gold_dark": (128, 128, 0),
    "chip": (0, 0, 0),
    "chip_light": (128, 128, 128),
    "leg": (192, 192, 192),
    "metal": (192, 192, 192),
    "metal_light": (255, 255, 255),
    "metal_dark": (128, 128, 128),
    "metal_edge": (128, 128, 128),
    "port_shell": (128, 128, 128),
    "port_hole": (0, 0, 0),
    "port_pin": (255, 255, 0),
}

THEME_256: Dict[str, RGB] = {
    "board": (0, 153, 51),
    "board_edge": (0, 51, 0),
    "board_light": (51, 204, 102),
    "trace": (0, 204, 51),
    "gold": (255, 204, 51),
    "gold_dark": (204, 153, 0),
    "chip": (28, 28, 28),
    "chip_light": (88, 88, 88),
    "leg": (204, 204, 204),
    "metal": (204, 204, 204),
    "metal_light": (238, 238, 238),
    "metal_dark": (153, 153, 153),
    "metal_edge": (88, 88, 88),
    "port_shell": (102, 102, 102),
    "port_hole": (8, 8, 8),
    "port_pin": (255, 204, 51),
}


@dataclass(frozen=True)
class CardDrawing:
    """The card laid out on a square grid of `grid` units per side."""

    grid: int
    plate: Rect  # the bracket's upright plate
    lip: Rect  # the bracket's bent-over top, pointing away from the card
    tongue: Optional[Rect]  # the bracket's foot, below the board
    board: Rect
    edge: Rect  # the tab along the bottom that carries the gold fingers
    fingers_top: int  # where the gold fingers start inside the tab
    notch: Optional[Rect]  # the key slot between the two finger groups
    chips: Sequence[Rect]
    crystal: Optional[Rect]  # the UART's clock crystal, a metal can
    ports: Sequence[Tuple[int, int]]  # top and bottom of each D connector
    legs: bool  # chip legs; too noisy below 32 pixels
    traces: bool


# Full drawing for 32 and 48 pixels. The chips differ in size and height on
# purpose: two equal chips side by side above the notched edge look like a
# face.
DETAILED = CardDrawing(
    grid=48,
    plate=(3, 4, 13, 44),
    lip=(0, 3, 13, 7),
    tongue=(6, 44, 10, 48),
    board=(12, 12, 47, 37),
    edge=(17, 37, 44, 44),
    fingers_top=39,
    notch=(25, 40, 27, 44),
    chips=((16, 17, 28, 30), (31, 24, 43, 30)),
    crystal=(32, 16, 40, 20),
    ports=((10, 19), (21, 30), (32, 41)),
    legs=True,
    traces=True,
)

# At 16 pixels only the shapes that make it read as a card remain: bracket,
# board, one row of fingers and two plain chips.
SIMPLE = CardDrawing(
    grid=16,
    plate=(1, 1, 5, 15),
    lip=(0, 1, 5, 2),
    tongue=None,
    board=(5, 4, 16, 12),
    edge=(7, 12, 15, 15),
    fingers_top=12,
    notch=None,
    chips=((7, 6, 10, 10), (11, 8, 14, 10)),
    crystal=None,
    ports=((3, 7), (9, 13)),
    legs=False,
    traces=False,
)


class Canvas:
    """A square of pixels; None is transparent."""

    def __init__(self, size: int) -> None:
        self.size = size
        self.pixels: List[List[Optional[RGB]]] = [[None] * size for _ in range(size)]

    def put(self, x: int, y: int, colour: Optional[RGB]) -> None:
        if 0 <= x < self.size and 0 <= y < self.size:
            self.pixels[y][x] = colour

    def fill(self, rect: Rect, colour: Optional[RGB]) -> None:
        x0, y0, x1, y1 = rect
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def outline(self, rect: Rect, colour: RGB) -> None:
        x0, y0, x1, y1 = rect
        for x in range(x0, x1):
            self.put(x, y0, colour)
            self.put(x, y1 - 1, colour)
        for y in range(y0, y1):
            self.put(x0, y, colour)
            self.put(x1 - 1, y, colour)


class CardPainter:
    """Paints a CardDrawing at one pixel size in one colour theme.

    Shapes are scaled from the drawing's grid, but the fine details (edges,
    legs, finger stripes, pins) are laid in whole device pixels after the
    scaling, so they stay crisp and regular at every size.
    """

    def __init__(self, drawing: CardDrawing, size: int, theme: Dict[str, RGB]) -> None:
        self.d = drawing
        self.size = size
        self.t = theme
        self.c = Canvas(size)

    def scale(self, v: int) -> int:
        # Round half up in integers so the layout cannot depend on floats.
        return (2 * v * self.size + self.d.grid) // (2 * self.d.grid)

    def rect(self, r: Rect) -> Rect:
        x0, y0, x1, y1 = r
        return (self.scale(x0), self.scale(y0), self.scale(x1), self.scale(y1))

    def paint(self) -> Canvas:
        self.bracket()
        self.board()
        for chip in self.d.chips:
            self.chip(self.rect(chip))
        if self.d.crystal is not None:
            self.crystal(self.rect(self.d.crystal))
        self.ports()
        return self.c

    def metal_part(self, r: Rect) -> None:
        x0, y0, x1, y1 = r
        self.c.fill(r, self.t["metal"])
        # Light falls from the top left, as on the system's own icons.
        self.c.fill((x0 + 1, y0 + 1, x0 + 2, y1 - 1), self.t["metal_light"])
        if x1 - x0 >= 5:
            self.c.fill((x1 - 2, y0 + 1, x1 - 1, y1 - 1), self.t["metal_dark"])
        self.c.outline(r, self.t["metal_edge"])

    def bracket(self) -> None:
        if self.d.tongue is not None:
            self.metal_part(self.rect(self.d.tongue))
        self.metal_part(self.rect(self.d.plate))
        self.metal_part(self.rect(self.d.lip))
        # Join the lip to the plate without an edge line between them.
        _, _, _, ly1 = self.rect(self.d.lip)
        px0, _, px1, _ = self.rect(self.d.plate)
        self.c.fill((px0 + 1, ly1 - 1, px0 + 2, ly1), self.t["metal_light"])
        self.c.fill((px0 + 2, ly1 - 1, px1 - 1, ly1), self.t["metal"])

    def board(self) -> None:
        bx0, by0, bx1, by1 = self.rect(self.d.board)
        ex0, ey0, ex1, ey1 = self.rect(self.d.edge)
        self.c.fill((bx0, by0, bx1, by1), self.t["board"])
        self.c.fill((ex0, ey0, ex1, ey1), self.t["board"])
        self.c.outline((bx0, by0, bx1, by1), self.t["board_edge"])
        self.c.outline((ex0, ey0 - 1, ex1, ey1), self.t["board_edge"])
        # Open the board's bottom edge over the tab so the two read as one.
        self.c.fill((ex0 + 1, by1 - 1, ex1 - 1, by1), self.t["board"])
        if self.t["board_light"] != self.t["board"]:
            self.c.fill((bx0 + 1, by0 + 1, bx1 - 1, by0 + 2), self.t["board_light"])
            self.c.fill((bx0 + 1, by0 + 1, bx0 + 2, by1 - 1), self.t["board_light"])
        fy0 = self.scale(self.d.fingers_top)
        if self.d.traces:
            self.traces(fy0)
        for x in range(ex0 + 1, ex1 - 1):
            if (x - ex0) % 2 == 1:
                self.c.fill((x, fy0, x + 1, ey1 - 1), self.t["gold"])
                self.c.put(x, ey1 - 1, self.t["gold_dark"])
        if self.d.notch is not None:
            nx0, ny0, nx1, ny1 = self.rect(self.d.notch)
            self.c.fill((nx0, ny0, nx1, ny1), None)
            self.c.fill((nx0 - 1, ny0, nx0, ny1), self.t["board_edge"])
            self.c.fill((nx1, ny0, nx1 + 1, ny1), self.t["board_edge"])
            self.c.fill((nx0 - 1, ny0 - 1, nx1 + 1, ny0), self.t["board_edge"])

    def traces(self, fingers_top: int) -> None:
        """Copper runs from the chips' lower legs down to every other finger."""
        if self.t["trace"] == self.t["board"]:
            return
        ex0, _, ex1, _ = self.rect(self.d.edge)
        nx0, _, nx1, _ = self.rect(self.d.notch) if self.d.notch else (0, 0, 0, 0)
        for chip in self.d.chips:
            x0, _, x1, y1 = self.rect(chip)
            for x in range(max(x0 + 1, ex0 + 1), min(x1 - 1, ex1 - 1)):
                if (x - ex0) % 4 == 1 and not nx0 - 1 <= x <= nx1:
                    self.c.fill((x, y1 + 1, x + 1, fingers_top), self.t["trace"])

    def chip(self, r: Rect) -> None:
        x0, y0, x1, y1 = r
        if self.d.legs:
            # Legs share the fingers' pitch and columns, so the traces can
            # run straight from a leg to a finger.
            ex0 = self.rect(self.d.edge)[0]
            for x in range(x0 + 1, x1 - 1):
                if (x - ex0) % 2 == 1:
                    self.c.put(x, y0 - 1, self.t["leg"])
                    self.c.put(x, y1, self.t["leg"])
        self.c.fill(r, self.t["chip"])
        if y1 - y0 >= 3:
            # A lit top edge, unless it would leave a chip that is all edge.
            self.c.fill((x0, y0, x1, y0 + 1), self.t["chip_light"])
        if self.d.legs:
            # The pin-1 dimple that tells a chip from a black box.
            self.c.put(x0 + 2, y0 + 2, self.t["chip_light"])

    def crystal(self, r: Rect) -> None:
        """A metal can with rounded ends."""
        x0, y0, x1, y1 = r
        self.c.fill((x0 + 1, y0, x1 - 1, y1), self.t["metal_edge"])
        self.c.fill((x0, y0 + 1, x1, y1 - 1), self.t["metal_edge"])
        self.c.fill((x0 + 1, y0 + 1, x1 - 1, y1 - 1), self.t["metal"])
        self.c.fill((x0 + 2, y0 + 1, x1 - 2, y0 + 2), self.t["metal_light"])

    def ports(self) -> None:
        # The connectors sit on the plate between its lit left column and
        # its right edge, so they line up with the plate at every size.
        px0, _, px1, _ = self.rect(self.d.plate)
        for top, bottom in self.d.ports:
            self.port((px0 + 2, self.scale(top), px1 - 1, self.scale(bottom)))

    def port(self, r: Rect) -> None:
        """A D connector standing upright: a trapezoid, wide side left."""
        x0, y0, x1, y1 = r
        w = x1 - x0
        h = y1 - y0
        if w < 3 or h < 5:
            # Too small for a shell: a dark socket alone marks the port.
            self.c.fill(r, self.t["port_hole"])
            return
        taper = max(1, h // 5)

        def inset(i: int) -> int:
            # Rounded linear taper from nothing at the wide side.
            return (2 * i * taper + (w - 1)) // (2 * (w - 1))

        for i in range(w):
            column = (x0 + i, y0 + inset(i), x0 + i + 1, y1 - inset(i))
            self.c.fill(column, self.t["port_shell"])
        # Pins only where there is room for a black border around them;
        # otherwise the dark socket alone reads better than a speckle.
        pin_columns = (2, w - 3) if w >= 6 else ()
        for i in range(1, w - 1):
            top = y0 + inset(i) + 1
            bottom = y1 - inset(i) - 1
            self.c.fill((x0 + i, top, x0 + i + 1, bottom), self.t["port_hole"])
            if i in pin_columns:
                # The two pin rows of a D-sub, staggered by half a pitch.
                stagger = 1 if i == w - 3 else 0
                for y in range(top + 1 + stagger, bottom - 1, 2):
                    self.c.put(x0 + i, y, self.t["port_pin"])


@dataclass(frozen=True)
class ImageFormat:
    size: int
    bpp: int


# The order in which the images appear in the file.
IMAGES: Tuple[ImageFormat, ...] = (
    ImageFormat(32, 4),
    ImageFormat(16, 4),
    ImageFormat(48, 8),
    ImageFormat(32, 8),
)


def render(image: ImageFormat) -> Canvas:
    drawing = SIMPLE if image.size <= 16 else DETAILED
    theme = THEME_16 if image.bpp == 4 else THEME_256
    return CardPainter(drawing, image.size, theme).paint()


def row_bytes(width: int, bpp: int) -> int:
    """DIB rows are padded to a multiple of four bytes."""
    return ((width * bpp + 31) // 32) * 4


def encode_dib(canvas: Canvas, bpp: int) -> bytes:
    """An icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask."""
    palette = VGA16 if bpp == 4 else palette256()
    # Black and white are in the palette twice; the first entry wins so the
    # 16 VGA colours keep their usual indices.
    index = {rgb: i for i, rgb in reversed(list(enumerate(palette)))}
    n = canvas.size
    xor_stride = row_bytes(n, bpp)
    and_stride = row_bytes(n, 1)
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(n)):  # DIBs store the bottom row first
        xrow = bytearray(xor_stride)
        mrow = bytearray(and_stride)
        for x in range(n):
            rgb = canvas.pixels[y][x]
            if rgb is None:
                # Transparent: mask bit set, colour black so XOR leaves the
                # screen as it is.
                mrow[x // 8] |= 0x80 >> (x % 8)
                value = 0
            else:
                if rgb not in index:
                    raise ValueError(f"colour {rgb} is not in the {bpp} bpp palette")
                value = index[rgb]
            if bpp == 8:
                xrow[x] = value
            else:
                xrow[x // 2] |= value << (4 if x % 2 == 0 else 0)
        xor += xrow
        mask += mrow
    header = struct.pack(
        "<IiiHHIIiiII",
        40,  # biSize
        n,  # biWidth
        2 * n,  # biHeight covers the XOR bitmap and the AND mask
        1,  # biPlanes
        bpp,  # biBitCount
        0,  # biCompression: BI_RGB
        len(xor) + len(mask),  # biSizeImage
        0,
        0,
        0,  # biClrUsed: the full 2**bpp palette follows
        0,
    )
    quads = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    return header + quads + bytes(xor) + bytes(mask)


def build_ico(images: Sequence[ImageFormat]) -> bytes:
    blobs = [encode_dib(render(image), image.bpp) for image in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for image, blob in zip(images, blobs):
        colours = 1 << image.bpp if image.bpp < 8 else 0
        out += struct.pack(
            "<BBBBHHII",
            image.size % 256,
            image.size % 256,
            colours,
            0,
            1,
            image.bpp,
            len(blob),
            offset,
        )
        offset += len(blob)
    for blob in blobs:
        out += blob
    return bytes(out)


def main(argv: List[str]) -> int:
    if len(argv) > 2:
        print("usage: make_icon.py [output]", file=sys.stderr)
        return 2
    root = Path(__file__).resolve().parent.parent
    target = Path(argv[1]) if len(argv) == 2 else root / "src" / "res" / "adapter.ico"
    target.parent.mkdir(parents=True, exist_ok=True)
    target.write_bytes(build_ico(IMAGES))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
