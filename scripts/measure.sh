#!/usr/bin/env bash
# Measures Daymark on this machine:
#  1. start-up: from process start to the first calendar window painted, with
#     a local database of 10,000 events (median of 5 runs);
#  2. idle: three calendar windows open for 60 s: CPU share of one core and
#     resident memory.
# Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise; uses
# a throw-away data folder. Usage: bash scripts/measure.sh [idle seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
IDLE_SECONDS="${1:-60}"
cmake --build build --target daymark make_event_db >/dev/null
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/home" XDG_DATA_DIRS="$work/system" XDG_RUNTIME_DIR="$work"
chmod 700 "$work"
data="$work/home/Kestrel/Daymark"
echo "Preparing a database of 10,000 events..."
build/bin/make_event_db "$data" 10000

python3 - "$data" "$IDLE_SECONDS" <<'PY'
import glob, os, signal, statistics, subprocess, sys, time

data, idle_seconds = sys.argv[1], int(sys.argv[2])
exe = "build/bin/daymark"

def logs():
    text = ""
    for name in glob.glob(os.path.join(data, "log", "Log*.txt")):
        with open(name, encoding="utf-8", errors="replace") as f:
            text += f.read()
    return text

def clear_logs():
    for name in glob.glob(os.path.join(data, "log", "Log*.txt")):
        os.unlink(name)

def stop(proc):
    proc.send_signal(signal.SIGTERM)
    proc.wait(timeout=20)

# 1. Start-up to the first paint. The windows read their months' events
# while they are made; "<view> redraw" is the first painting of a window.
samples = []
for run in range(5):
    clear_logs()
    with open(os.path.join(data, "calWnd.info"), "w") as f:
        f.write("0,100,100,0,200,150\n")
    start = time.monotonic()
    proc = subprocess.Popen([exe], stderr=subprocess.DEVNULL)
    while "<view> redraw" not in logs():
        if proc.poll() is not None or time.monotonic() - start > 20:
            sys.exit("daymark did not paint a window")
        time.sleep(0.002)
    samples.append((time.monotonic() - start) * 1000)
    stop(proc)
text = logs()
booked = [l for l in text.splitlines() if "update event cache" in l]
print("first window painted after (ms):", ", ".join(f"{s:.0f}" for s in samples),
      f"- median {statistics.median(samples):.0f} ms")
print("  event cache line:", booked[0].split("] ", 1)[1] if booked else "none")

# 2. Three windows idle.
with open(os.path.join(data, "calWnd.info"), "w") as f:
    f.write("0,100,100,0,200,150\n1,320,100,1,200,150\n2,540,100,-1,200,150\n")
proc = subprocess.Popen([exe], stderr=subprocess.DEVNULL)
time.sleep(5)  # start-up and the first loads
tick = os.sysconf("SC_CLK_TCK")
def cpu():
    with open(f"/proc/{proc.pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])
def rss_mb():
    with open(f"/proc/{proc.pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
before, t0 = cpu(), time.monotonic()
time.sleep(idle_seconds)
after, t1 = cpu(), time.monotonic()
rss = rss_mb()
stop(proc)
share = (after - before) / tick / (t1 - t0) * 100
print(f"three windows idle for {t1 - t0:.0f} s: CPU {share:.2f}% of one core, RSS {rss:.1f} MB")
PY
