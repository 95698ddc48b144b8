"""Indexed-colour images for the launcher's assets: ImageMagick draws and quantises, this
module lays the pixels out as GIF89a or ICO, so that palette size, transparent index and
image depth are exactly what the launcher's resources need (ImageMagick picks its own)."""

import shutil
import subprocess

GIF_PALETTE_SIZE = 256


def convert_executable():
    """ImageMagick's convert: the system's own when present, else whichever is on PATH."""
    for candidate in ("/usr/bin/convert", shutil.which("convert")):
        if candidate:
            return candidate
    raise SystemExit("ImageMagick's convert is needed")


def render(arguments, max_colours):
    """Runs convert with `arguments` (ending in the picture to emit), quantised to at most
    `max_colours` without dithering; returns (width, height, palette, indices), palette a
    list of (r, g, b) in first-use order and indices one per pixel, row by row."""
    command = [convert_executable(), *arguments,
               "+dither", "-colors", str(max_colours), "-depth", "8", "ppm:-"]
    data = subprocess.run(command, check=True, stdout=subprocess.PIPE).stdout
    fields, offset = [], 0
    while len(fields) < 4:  # magic, width, height, maxval, separated by whitespace
        while data[offset:offset + 1].isspace():
            offset += 1
        end = offset
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[offset:end])
        offset = end
    offset += 1
    if fields[0] != b"P6" or fields[3] != b"255":
        raise SystemExit("convert did not return an 8-bit PPM")
    width, height = int(fields[1]), int(fields[2])
    palette, lookup, indices = [], {}, bytearray()
    for at in range(offset, offset + width * height * 3, 3):
        colour = tuple(data[at:at + 3])
        if colour not in lookup:
            lookup[colour] = len(palette)
            palette.append(colour)
        indices.append(lookup[colour])
    if len(palette) > max_colours:
        raise SystemExit(f"{len(palette)} colours after quantising to {max_colours}")
    return width, height, palette, bytes(indices)


def _lzw(indices, min_code_size):
    """GIF's variable-width LZW of `indices`, as packed bytes."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    out, bits, bit_count = bytearray(), 0, 0
    width, next_code, table = min_code_size + 1, end + 1, {}

    def emit(code):
        nonlocal bits, bit_count
        bits |= code << bit_count
        bit_count += width
        while bit_count >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            bit_count -= 8

    emit(clear)
    prefix = indices[0]
    for index in indices[1:]:
        key = (prefix, index)
        if key in table:
            prefix = table[key]
            continue
        emit(prefix)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            # The decoder adds each entry one code later, so it widens one code later too.
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear)
            table.clear()
            width, next_code = min_code_size + 1, end + 1
        prefix = index
    emit(prefix)
    emit(end)
    if bit_count:
        out.append(bits & 0xFF)
    return bytes(out)


def gif89a(width, height, palette, indices, transparent_index=None):
    """One frame, not interlaced, with a 256-entry global palette (unused entries black);
    when `transparent_index` is set a graphic control extension declares it."""
    if len(palette) > GIF_PALETTE_SIZE:
        raise ValueError("a GIF palette holds at most 256 colours")
    table = list(palette) + [(0, 0, 0)] * (GIF_PALETTE_SIZE - len(palette))
    out = bytearray(b"GIF89a")
    out += width.to_bytes(2, "little") + height.to_bytes(2, "little")
    out += bytes([0xF7, 0, 0])  # global table of 2^(7+1) entries, 8 bits per primary
    for colour in table:
        out += bytes(colour)
    if transparent_index is not None:
        out += bytes([0x21, 0xF9, 4, 0x01, 0, 0, transparent_index, 0])
    out += bytes([0x2C]) + bytes(4) + width.to_bytes(2, "little") + height.to_bytes(2, "little")
    out += bytes([0])  # no local table, not interlaced
    out += bytes([8])  # LZW minimum code size for 8-bit indices
    data = _lzw(indices, 8)
    for at in range(0, len(data), 255):
        block = data[at:at + 255]
        out += bytes([len(block)]) + block
    out += bytes([0, 0x3B])
    return bytes(out)


def _ico_image(width, height, palette, indices):
    """An 8-bit DIB as icons store it: header of double height, 256-entry colour table,
    bottom-up colour rows, then an all-opaque AND mask."""
    table = list(palette) + [(0, 0, 0)] * (256 - len(palette))
    colour_stride = (width + 3) // 4 * 4
    mask_stride = ((width + 31) // 32) * 4
    header = (40).to_bytes(4, "little") + width.to_bytes(4, "little") + \
        (2 * height).to_bytes(4, "little") + (1).to_bytes(2, "little") + \
        (8).to_bytes(2, "little") + bytes(4) + \
        ((colour_stride + mask_stride) * height).to_bytes(4, "little") + bytes(16)
    out = bytearray(header)
    for r, g, b in table:
        out += bytes([b, g, r, 0])
    for y in reversed(range(height)):
        row = indices[y * width:(y + 1) * width]
        out += row + bytes(colour_stride - width)
    out += bytes(mask_stride * height)
    return bytes(out)


def ico(images):
    """An icon file holding `images`, each (width, height, palette, indices), 256 colours."""
    directory = bytearray((0).to_bytes(2, "little") + (1).to_bytes(2, "little") +
                          len(images).to_bytes(2, "little"))
    bodies = [_ico_image(*image) for image in images]
    offset = 6 + 16 * len(images)
    for (width, height, _, _), body in zip(images, bodies):
        directory += bytes([width % 256, height % 256, 0, 0])  # 0 colours: 256 or more
        directory += (1).to_bytes(2, "little") + (8).to_bytes(2, "little")
        directory += len(body).to_bytes(4, "little") + offset.to_bytes(4, "little")
        offset += len(body)
    return bytes(directory) + b"".join(bodies)
