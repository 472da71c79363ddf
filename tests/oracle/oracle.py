#!/usr/bin/python3
"""A second, independent conversion of a frame sequence, written in numpy
straight from the algorithm's description, used to check velmira-cli's
output byte for byte on real pictures.

    oracle.py SOURCE START END OFFSET INTERMEDIATE MODE THRESHOLD OUTDIR

MODE is 0..3 for A..D, INTERMEDIATE 0 or 1. Writes NNNN.S05 and TES_NNNN.bmp.
It is slow and simple on purpose: whole arrays, no shortcuts beyond the
per-slot minimum over the other slots, which gives the same exact costs.
"""
import math
import os
import struct
import sys

import numpy as np


def load(path):
    with open(path, "rb") as f:
        data = f.read()
    w, h = struct.unpack_from("<ii", data, 18)
    return data, w, h


def pixels(data, w, h):
    """(h, w, 3) int64 array of r, g, b with row 0 at the top."""
    rows = np.frombuffer(data, dtype=np.uint8, count=3 * w * h, offset=54)
    bgr = rows.reshape(h, w, 3)[::-1].astype(np.int64)
    return bgr[:, :, ::-1].copy()


def codes(rgb):
    return (rgb[:, :, 0] >> 5) * 64 + (rgb[:, :, 1] >> 5) * 8 + (rgb[:, :, 2] >> 5)


def histogram(rgb):
    return np.bincount(codes(rgb).ravel(), minlength=512).astype(np.int64)


def flatness(rgb, intermediate):
    h, w, _ = rgb.shape
    if not intermediate:
        return np.zeros((h, w), dtype=np.int64)
    t = np.arange(h)
    u = np.arange(w)
    up, down = np.maximum(t - 1, 0), np.minimum(t + 1, h - 1)
    left, right = np.maximum(u - 1, 0), np.minimum(u + 1, w - 1)
    strengths = []
    for c, weight in ((0, 2), (1, 4), (2, 3)):
        p = rgb[:, :, c]
        def d2(rows, cols):
            return (p - p[rows][:, cols]) ** 2
        s = (d2(up, u) + d2(down, u) + d2(t, left) + d2(t, right)
             + d2(up, left) // 4 + d2(up, right) // 4
             + d2(down, left) // 4 + d2(down, right) // 4)
        s2 = s * weight // 5 + 1
        strength = np.floor(np.sqrt(s2.astype(np.float64)) * 3.0).astype(np.int64)
        strengths.append(np.minimum(strength, 511))
    average = (strengths[0] + strengths[1] + strengths[2]) // 3
    return 255 - average // 2


def accumulated(frames, hists, n, start, end, k, w, h):
    acc = hists[n].copy()
    limit = w * h * 3 * k * 16
    need = 54 + 3 * w * h
    mine = np.frombuffer(frames[n], dtype=np.uint8, count=3 * w * h, offset=54).astype(np.int64)
    for step in (1, -1):
        for j in range(1, 121):
            m = n + step * j
            if m < start or m > end:
                break
            if len(frames[m]) < need:
                break
            theirs = np.frombuffer(frames[m], dtype=np.uint8, count=3 * w * h, offset=54)
            if np.abs(mine - theirs.astype(np.int64)).sum() > limit:
                break
            acc += ((241 - j) * hists[m]) // 240
    return acc


def reshape(acc, mode):
    out = acc.copy()
    for i, e in enumerate(acc):
        x = float(e)
        if mode == 1:
            out[i] = int(math.log(x * x * x * x * x + 1.0) * 100.0)
        elif mode == 2:
            out[i] = int(math.sqrt(x) * 100.0)
    return out


def distance_table(mode):
    c = np.arange(512)
    comp = np.stack([c >> 6, (c >> 3) & 7, c & 7], axis=1)
    diff = comp[:, None, :] - comp[None, :, :]
    if mode == 3:
        return np.abs(diff).sum(axis=2)
    return (diff ** 4).sum(axis=2)


def search(weights, table):
    slots = [0] * 16
    previous = [0] * 16
    for p in range(16):
        for w in range(1, 16):
            considered = w + 1 if p == 0 else 16
            others = [slots[s] for s in range(considered) if s != w]
            nearest = table[:, others].min(axis=1)
            # cost of candidate d: sum_a weight[a] * min(nearest[a], D[a][d])
            costs = weights @ np.minimum(nearest[:, None], table)
            slots[w] = int(np.argmin(costs))  # the first of equal costs
        if slots[1:] == previous[1:]:
            break
        previous = list(slots)
    return slots


def trunc_div(x, d):
    return np.where(x < 0, -((-x) // d), x // d)


def dither(rgb, flat, pal8):
    h, w, _ = rgb.shape
    index = np.zeros((h, w), dtype=np.int64)
    def nearest(colours):
        d = ((colours[:, None, :] - pal8[None, :, :]) ** 2).sum(axis=2)
        return np.argmin(d, axis=1)
    for y in range(h):
        xs = np.arange(0, w, 2)
        first = (y & 1) ^ xs
        partner = first ^ 1
        s1 = nearest(rgb[y, first])
        weight = flat[y, partner][:, None]
        error = trunc_div((rgb[y, first] - pal8[s1]) * weight, 256)
        s2 = nearest(rgb[y, partner] + error)
        index[y, first] = s1
        index[y, partner] = s2
    return index


def screen5(index, slots):
    img = bytearray(30375)
    img[0], img[3], img[4] = 0xFE, 0x9F, 0x76
    h, w = index.shape
    screen = np.zeros((212, 256), dtype=np.int64)
    screen[:h, :w] = index
    packed = (screen[:, 0::2] * 16 + screen[:, 1::2]).astype(np.uint8)
    img[7:7 + 27136] = packed.tobytes()
    for s, c in enumerate(slots):
        img[30343 + 2 * s] = 16 * (c >> 6) + (c & 7)
        img[30344 + 2 * s] = (c >> 3) & 7
    return bytes(img)


def preview(source, index, pal8):
    h, w = index.shape
    big = pal8[index].repeat(2, axis=0).repeat(2, axis=1)  # (2h, 2w, rgb)
    rows = big[::-1, :, ::-1].astype(np.uint8).tobytes()   # bottom-up, bgr
    size = 54 + len(rows)
    header = bytearray(source[:54].ljust(54, b"\0"))
    header[0:2] = b"BM"
    struct.pack_into("<I", header, 2, size)
    struct.pack_into("<IIii", header, 10, 54, 40, 2 * w, 2 * h)
    struct.pack_into("<HHII", header, 26, 1, 24, 0, len(rows))
    struct.pack_into("<II", header, 46, 0, 0)
    return bytes(header) + rows


def main():
    source, start, end, offset, inter, mode, k, out = sys.argv[1:9]
    start, end, offset, inter, mode, k = map(int, (start, end, offset, inter, mode, k))
    frames, hists, sizes = {}, {}, {}
    for n in range(start, end + 1):
        name = source[:-8] + "%04d.bmp" % n
        frames[n], w, h = load(name)
        sizes[n] = (w, h)
        hists[n] = histogram(pixels(frames[n], w, h))
    table = distance_table(mode)
    expand = np.array([c * 255 // 7 for c in range(8)])
    for n in range(start, end + 1):
        w, h = sizes[n]
        rgb = pixels(frames[n], w, h)
        flat = flatness(rgb, inter)
        weights = reshape(accumulated(frames, hists, n, start, end, k, w, h), mode)
        slots = search(weights, table)
        pal8 = np.array([[expand[c >> 6], expand[(c >> 3) & 7], expand[c & 7]] for c in slots])
        index = dither(rgb, flat, pal8)
        number = "%04d" % (offset + n - start)
        with open(os.path.join(out, number + ".S05"), "wb") as f:
            f.write(screen5(index, slots))
        with open(os.path.join(out, "TES_" + number + ".bmp"), "wb") as f:
            f.write(preview(frames[n], index, pal8))


if __name__ == "__main__":
    main()
