#!/usr/bin/python3
"""The best time (ms) of Pillow's full decode of a picture file over RUNS
runs, as a reference for the program's PNG reader.

    pillow_load.py FILE RUNS
"""
import sys
import time

from PIL import Image

Image.MAX_IMAGE_PIXELS = None
best = None
for _ in range(int(sys.argv[2])):
    start = time.perf_counter()
    with Image.open(sys.argv[1]) as image:
        image.load()
    elapsed = time.perf_counter() - start
    best = elapsed if best is None or elapsed < best else best
print('%.2f' % (best * 1000))
