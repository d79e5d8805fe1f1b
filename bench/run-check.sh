#!/usr/bin/env bash
# tirlada-check over a season of generated packages with pictures, some
# broken, and the memory it takes on the heaviest packages.
#
# Speed: the tool's CPU time per package with its list and pages, beside the
# same work done by reference tools in this run: "unzip -tq" over the
# archives, and libjpeg decoding every picture in one process through Pillow.
# Goal: at most 2 times the reference. CPU time, not wall time, so the figure
# does not depend on what else the machine runs.
#
# Memory: the peak at -j8 for sound packages of about 15 MB (goal: at most
# 64 MB + 8 MB per thread), for two hostile sets (a 15 MB attribute in
# data.xml; 360,000 empty entries; goal: under 256 MB), and for a small and a
# large season (goal: flat in the number of packages).
#
# CHECK_BENCH_COUNT packages (10,000 by default); CHECK_BENCH_SEASONS the two
# season sizes compared for memory (1000 and 20000 by default).
set -euo pipefail
build=$1
count=${CHECK_BENCH_COUNT:-10000}
seasons=${CHECK_BENCH_SEASONS:-"1000 20000"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
generate="$build/bench/check_bench_packages"
"$generate" "$work/packages" "$count"
for kind in large attribute entries; do
  "$generate" "$work/$kind" 8 "$kind"
done
/usr/bin/python3 - "$build/src/check/tirlada-check" "$generate" "$work" "$count" "$seasons" <<'PY'
import io, os, resource, subprocess, sys, time, zipfile

from PIL import Image

tool, generate, work, count, seasons = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5]
packages = os.path.join(work, "packages")
cores = os.cpu_count()

def run_tool(args, lines_expected=None):
    """Runs the tool; returns its CPU seconds and peak memory in MB. The
    memory is what GNU time reports: the peak a child forked from this large
    process would report includes this process's memory."""
    memory_file = os.path.join(work, "memory")
    child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", memory_file, tool] + args,
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    lines = sum(1 for _ in child.stdout)
    _, status, usage = os.wait4(child.pid, 0)
    if lines_expected is not None and lines != lines_expected:
        sys.exit(f"{args}: {lines} lines, expected {lines_expected}")
    with open(memory_file) as figures:
        memory = int(figures.read().split()[-1]) / 1024
    return usage.ru_utime + usage.ru_stime, memory

def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime

def unzip_cpu():
    """unzip -tq over every archive, one process per school folder."""
    before = children_cpu()
    for name in sorted(os.listdir(packages)):
        subprocess.run(["unzip", "-tq", os.path.join(packages, name, "*.kwp")],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return children_cpu() - before

def pillow_cpu():
    """Every picture decoded by libjpeg through Pillow, in this process."""
    pictures = []
    for folder, _, files in os.walk(packages):
        for name in files:
            try:
                with zipfile.ZipFile(os.path.join(folder, name)) as archive:
                    pictures.append(archive.read("image.jpg"))
            except Exception:
                pass
    start = time.process_time()
    for data in pictures:
        try:
            with Image.open(io.BytesIO(data)) as image:
                image.load()
        except Exception:
            pass
    return time.process_time() - start

# A first pass brings the files into the page cache, as on a second run.
run_tool([packages])
out = os.path.join(work, "out")
tool_runs = []
for attempt in range(2):
    cpu, _ = run_tool([packages, "--participants", os.path.join(out, "list.csv"), "--html",
                       os.path.join(out, "pages")], count)
    tool_runs.append(cpu)
check_only, _ = run_tool([packages], count)
unzip = min(unzip_cpu(), unzip_cpu())
pillow = min(pillow_cpu(), pillow_cpu())
ms = lambda seconds: seconds * 1000 / count
first, again = tool_runs
reference = unzip + pillow
print(f"CPU per package over {count} packages, all cores ({cores}):")
print(f"  tirlada-check, check alone            {ms(check_only):6.3f} ms")
print(f"  tirlada-check + list + pages          {ms(first):6.3f} ms")
print(f"  the same again, over its own pages     {ms(again):6.3f} ms")
print(f"  reference: unzip -tq {ms(unzip):.3f} ms + Pillow decode {ms(pillow):.3f} ms = {ms(reference):6.3f} ms")
print(f"  ratio: {first / reference:.2f}, and {again / reference:.2f} over its own pages, "
      "times the reference (goal: at most 2.00)")

print("Peak memory at -j8:")
for kind, goal in (("large", "sound, ~15 MB each; goal: at most 64 + 8 x 8 = 128 MB"),
                   ("attribute", "15 MB attribute in data.xml; goal: under 256 MB"),
                   ("entries", "360,000 empty entries; goal: under 256 MB")):
    _, memory = run_tool(["-j8", os.path.join(work, kind)], 8)
    print(f"  8 packages, {kind:<10} {memory:6.1f} MB  ({goal})")

print("Peak memory by the size of the season, with list and pages, all cores:")
figures = []
for size in seasons.split():
    season = os.path.join(work, f"season{size}")
    subprocess.run([generate, season, size], stdout=subprocess.DEVNULL, check=True)
    _, memory = run_tool([season, "--participants", os.path.join(season + "-out", "list.csv"), "--html",
                          os.path.join(season + "-out", "pages")], int(size))
    figures.append(memory)
    print(f"  {int(size):6d} packages: {memory:6.1f} MB")
    subprocess.run(["rm", "-rf", season, season + "-out"], check=True)
PY
