#!/usr/bin/env python3
"""Writes jpeg-scans-500.jpg and jpeg-scans-501.jpg: jpeg-progressive.jpg (ImageMagick's) with its
last scan repeated until the file has exactly 500 and 501 scans. libjpeg decodes repeated scans
(with a warning), so such a file costs a pass per scan: the decoder's scan limit
(ImageIOLimits::kMaxJPEGScans = 500) must let the first through and refuse the second."""

import os

HERE = os.path.dirname(os.path.abspath(__file__))


def segments(data):
    """(start, end, marker) of every marker segment; an SOS segment includes its entropy data."""
    pos, out = 2, []
    while pos < len(data):
        assert data[pos] == 0xFF
        marker = data[pos + 1]
        if marker == 0xD9:  # EOI
            out.append((pos, pos + 2, marker))
            break
        length = (data[pos + 2] << 8) | data[pos + 3]
        end = pos + 2 + length
        if marker == 0xDA:  # SOS: entropy data runs to the next marker other than RSTn or a stuffed 0
            while not (data[end] == 0xFF and data[end + 1] not in (0x00, *range(0xD0, 0xD8))):
                end += 1
        out.append((pos, end, marker))
        pos = end
    return out


def main():
    data = open(os.path.join(HERE, "jpeg-progressive.jpg"), "rb").read()
    segs = segments(data)
    scans = [s for s in segs if s[2] == 0xDA]
    last = scans[-1]
    eoi = segs[-1][0]
    for total in (500, 501):
        extra = data[last[0]:last[1]] * (total - len(scans))
        open(os.path.join(HERE, f"jpeg-scans-{total}.jpg"), "wb").write(data[:eoi] + extra + data[eoi:])


if __name__ == "__main__":
    main()
