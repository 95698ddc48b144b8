#!/usr/bin/env python3
"""Makes splash.gif, the splash picture, from splash.mvg: drawn at twice the size and
scaled down for smooth edges, quantised to 255 colours so that palette index 255 can be
declared transparent while no pixel uses it, and written as a one-frame GIF89a."""

import pathlib

import indexed_image

HERE = pathlib.Path(__file__).resolve().parent
WIDTH, HEIGHT = 432, 288
TRANSPARENT_INDEX = 255


def main():
    drawing = "\n".join(line for line in (HERE / "splash.mvg").read_text().splitlines()
                        if not line.startswith("#"))
    width, height, palette, indices = indexed_image.render(
        ["-size", f"{2 * WIDTH}x{2 * HEIGHT}", "xc:white",
         "-draw", "affine 2,0,0,2,0,0\n" + drawing, "-resize", f"{WIDTH}x{HEIGHT}!"],
        TRANSPARENT_INDEX)
    assert (width, height) == (WIDTH, HEIGHT)
    (HERE / "splash.gif").write_bytes(
        indexed_image.gif89a(width, height, palette, indices, TRANSPARENT_INDEX))


if __name__ == "__main__":
    main()
