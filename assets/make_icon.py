#!/usr/bin/env python3
"""Makes varnolet.ico, the application icon (a blue ring on a white square, 32 x 32 and
16 x 16 pixels, 256 colours each), and the same two images as GIF files for the Linux
window, which has no icon-file reader. Each size is drawn on its own at eight times the
size and scaled down, so that the small ring stays round and sharp."""

import pathlib

import indexed_image

HERE = pathlib.Path(__file__).resolve().parent
SIZES = (32, 16)
SCALE = 8
RING_BLUE = "#1F5FD0"
SQUARE_EDGE = "#B4B4B4"


def draw(size):
    big = size * SCALE
    centre = big / 2
    radius = size * 0.34 * SCALE
    ring = size * 0.14 * SCALE
    drawing = (f"fill none stroke '{SQUARE_EDGE}' stroke-width {SCALE} "
               f"rectangle {SCALE / 2},{SCALE / 2} {big - SCALE / 2},{big - SCALE / 2} "
               f"stroke '{RING_BLUE}' stroke-width {ring} "
               f"circle {centre},{centre} {centre + radius},{centre}")
    return indexed_image.render(["-size", f"{big}x{big}", "xc:white", "-draw", drawing,
                                 "-resize", f"{size}x{size}!"], 256)


def main():
    images = [draw(size) for size in SIZES]
    (HERE / "varnolet.ico").write_bytes(indexed_image.ico(images))
    for size, image in zip(SIZES, images):
        (HERE / f"varnolet-{size}.gif").write_bytes(indexed_image.gif89a(*image))


if __name__ == "__main__":
    main()
