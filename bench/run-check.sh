#!/usr/bin/env bash
# Times tirlada-check over 10,000 generated packages with pictures, some
# broken: packages per second with one thread and with every core, and the
# peak memory of each run; beside it, in the same run, "unzip -tq" over the
# same packages, which the check with its list and pages must reach at least
# half of.
set -euo pipefail
build=$1
count=${CHECK_BENCH_COUNT:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/check_bench_packages" "$work/packages" "$count"
python3 - "$build/src/check/tirlada-check" "$work" "$count" <<'PY'
import os, resource, subprocess, sys, time

tool, work, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
packages = os.path.join(work, "packages")
cores = os.cpu_count()

def timed(label, args):
    """Runs the tool; returns its packages per second."""
    start = time.perf_counter()
    child = subprocess.Popen([tool] + args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    lines = sum(1 for _ in child.stdout)
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    if lines != count or code != 1:
        sys.exit(f"{label}: {lines} lines, exit status {code}; expected {count} lines and 1")
    cpu = usage.ru_utime + usage.ru_stime
    print(f"{label:<40} {count / seconds:6.0f} packages/s  {seconds:6.2f} s  "
          f"{count / cpu:6.0f} packages per CPU second  {cpu / seconds:4.2f} cores busy  "
          f"peak memory {usage.ru_maxrss / 1024:5.1f} MB")
    return count / seconds, usage.ru_maxrss / 1024

def unzip_rate():
    """unzip -tq over the same packages, one process per school folder."""
    folders = sorted(os.path.join(packages, name) for name in os.listdir(packages))
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    for folder in folders:
        subprocess.run(["unzip", "-tq", os.path.join(folder, "*.kwp")],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    print(f"{'unzip -tq, 1 core':<40} {count / seconds:6.0f} packages/s  {seconds:6.2f} s  "
          f"{count / cpu:6.0f} packages per CPU second")
    return count / seconds

# A first pass brings the files into the page cache, as on a second run.
subprocess.run([tool, packages], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
unzip_before = unzip_rate()
timed("check, 1 thread", ["--jobs", "1", packages])
timed(f"check, all cores ({cores})", [packages])
full, memory = timed(f"check + list + pages, all cores ({cores})",
                     [packages, "--participants", os.path.join(work, "list.csv"), "--html", os.path.join(work, "pages")])
# A second time: pages replacing those of the first run.
again, memory_again = timed(f"the same again, over its own pages",
                            [packages, "--participants", os.path.join(work, "list.csv"), "--html",
                             os.path.join(work, "pages")])
unzip = (unzip_before + unzip_rate()) / 2
print(f"check + list + pages: {full / unzip:.2f} and {again / unzip:.2f} times unzip -tq's packages/s "
      f"(goal: at least 0.50); peak memory {max(memory, memory_again):.1f} MB (goal: at most 64 MB)")
print(f"load average while measuring: {os.getloadavg()[0]:.1f} on {cores} cores "
      "(packages per CPU second does not depend on it; "
      "with idle cores, packages/s approaches it times the cores)")
PY
