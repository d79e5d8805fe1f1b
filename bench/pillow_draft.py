#!/usr/bin/python3
"""The best time (ms) over RUNS runs of Pillow's quickest way to a JPEG
photo at the size the program shows it: draft() (libjpeg's DCT scaling)
to the smallest size at least 300 on its larger side, then reduce() to it.

    pillow_draft.py FILE RUNS
"""
import sys
import time

from PIL import Image

best = None
for _ in range(int(sys.argv[2])):
    start = time.perf_counter()
    with Image.open(sys.argv[1]) as image:
        width, height = image.size
        scale = 300 / max(width, height)
        target = (max(1, round(width * scale)), max(1, round(height * scale)))
        image.draft('RGB', target)
        image.load()
        image = image.reduce(max(1, min(image.size[0] // target[0], image.size[1] // target[1])))
    elapsed = time.perf_counter() - start
    best = elapsed if best is None or elapsed < best else best
print('%.2f' % (best * 1000))
