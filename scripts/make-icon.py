#!/usr/bin/env python3
"""Writes app/keltaz.ico: one 32 x 32 image with 256 colours, a grey folder."""
import struct, sys

W = H = 32
palette = [(0, 0, 0)] * 256
palette[0] = (0, 0, 0)          # unused (transparent through the mask)
palette[1] = (64, 64, 64)       # outline
palette[2] = (160, 160, 160)    # back of the folder
palette[3] = (200, 200, 200)    # front of the folder
palette[4] = (232, 232, 232)    # highlight
palette[5] = (120, 120, 120)    # shadow

pix = [[0] * W for _ in range(H)]
def rect(x0, y0, x1, y1, c):
    for y in range(y0, y1 + 1):
        for x in range(x0, x1 + 1):
            pix[y][x] = c
# tab and back
rect(3, 6, 13, 9, 2); rect(3, 9, 28, 26, 2)
# front
rect(2, 12, 29, 27, 3); rect(3, 13, 28, 13, 4)
rect(2, 27, 29, 27, 5)
# outline
for x in range(3, 14): pix[5][x] = 1
for y in range(5, 12): pix[y][2] = 1
pix[5][14] = 1; pix[6][14] = 1
for x in range(14, 29): pix[8][x] = 1
for y in range(8, 12): pix[y][29] = 1
for x in range(1, 31): pix[11][x] = 1; pix[28][x] = 1
for y in range(11, 29): pix[y][1] = 1; pix[y][30] = 1

# DIB: BITMAPINFOHEADER, palette, XOR bits bottom-up, AND mask bottom-up
hdr = struct.pack('<IiiHHIIiiII', 40, W, H * 2, 1, 8, 0, 0, 0, 0, 256, 0)
pal = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in palette)
xor = b''.join(bytes(pix[y]) for y in range(H - 1, -1, -1))
mask = b''
for y in range(H - 1, -1, -1):
    bits = 0
    for x in range(W):
        bits = (bits << 1) | (1 if pix[y][x] == 0 else 0)
    mask += struct.pack('>I', bits)
img = hdr + pal + xor + mask
ico = struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', W, H, 0, 0, 1, 8, len(img), 22) + img
open(sys.argv[1] if len(sys.argv) > 1 else 'app/keltaz.ico', 'wb').write(ico)
