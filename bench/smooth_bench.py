#!/usr/bin/env python3
"""Frames between steps against the Doom source ports, side by side under one Xvfb.

Run inside xvfb-run from the build folder (scripts/bench-smooth.sh does both):
  smooth mode at a 60 fps cap: processor time per presented frame while flying, against Crispy
  Doom's -timedemo demo1 (its processor time over the frames it reports);
  classic mode: processor use while flying, against Chocolate Doom playing demo1 at 35 fps;
  paused: processor use of the game in both modes.
Each pair runs ROUNDS times, alternating; the ratios' medians are printed.
"""
import os
import re
import resource
import statistics
import subprocess
import sys
import tempfile
import time

ROUNDS = int(os.environ.get("BENCH_ROUNDS", "3"))
FLY_SECONDS = float(os.environ.get("BENCH_FLY_SECONDS", "20"))
PAUSE_SECONDS = float(os.environ.get("BENCH_PAUSE_SECONDS", "10"))
IWAD = "/usr/share/games/doom/freedoom1.wad"
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def xdo(*args):
    subprocess.run(["xdotool", *args], stderr=subprocess.DEVNULL, check=False)


def game_window():
    for _ in range(150):
        out = subprocess.run(["xdotool", "search", "--name", "^Dravik$"],
                             capture_output=True, text=True).stdout.split()
        if out:
            return out[0]
        time.sleep(0.1)
    sys.exit("the window Dravik did not open")


def run_game(mode_args):
    """Flies for FLY_SECONDS, then pauses: CPU per frame and use while flying, use paused."""
    folder = tempfile.mkdtemp(prefix="dravik-bench-")
    frames_log, steps_log = f"{folder}/frames.log", f"{folder}/steps.log"
    env = dict(os.environ, DRAVIK_FRAME_LOG=frames_log, DRAVIK_STEP_LOG=steps_log,
               XDG_CONFIG_HOME=folder, SDL_AUDIODRIVER="dummy")
    env.pop("SDL_VIDEODRIVER", None)
    game = subprocess.Popen(["./dravik", *mode_args], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    win = game_window()
    time.sleep(1)
    xdo("windowfocus", "--sync", win)
    xdo("key", "Up")
    c0, t0 = cpu_seconds(game.pid), time.monotonic()
    time.sleep(6)  # the intro
    xdo("keydown", "Up"); time.sleep(1.5); xdo("keyup", "Up")
    end = time.monotonic() + FLY_SECONDS
    turn = "Left"
    while time.monotonic() < end:
        xdo("keydown", turn); time.sleep(1.2); xdo("keyup", turn); time.sleep(1.5)
        turn = "Right" if turn == "Left" else "Left"
    c1, t1 = cpu_seconds(game.pid), time.monotonic()
    xdo("key", "F1")
    time.sleep(1)
    c2, t2 = cpu_seconds(game.pid), time.monotonic()
    time.sleep(PAUSE_SECONDS)
    c3, t3 = cpu_seconds(game.pid), time.monotonic()
    xdo("key", "Escape")
    game.wait(timeout=20)
    frames = [int(x) for x in open(frames_log).read().split()]
    steps = [int(x) for x in open(steps_log).read().split()]
    gaps = sorted(b - a for a, b in zip(steps, steps[1:]))
    # Every frame lies between the controller choice and the pause (one last frame of the pause).
    span = (frames[-1] - frames[0]) / 1000 if len(frames) > 1 else 0
    return {
        "cpu_per_frame_ms": 1000 * (c1 - c0) / max(1, len(frames) - 1),
        "fps": (len(frames) - 1) / span if span else 0,
        "flying_use": (c1 - c0) / (t1 - t0),
        "paused_use": (c3 - c2) / (t3 - t2),
        "step_median": statistics.median(gaps),
        "step_p99": gaps[int(0.99 * (len(gaps) - 1))],
    }


def run_crispy():
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    doom = subprocess.Popen(["/usr/games/crispy-doom", "-iwad", IWAD, "-timedemo", "demo1",
                             "-window", "-geometry", "640x480", "-nosound", "-nomusic"],
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                            env=dict(os.environ, SDL_AUDIODRIVER="dummy"))
    m = None
    for line in doom.stdout:
        m = re.search(r"timed (\d+) gametics in (\d+) realtics", line)
        if m:
            break
    # It then shows the result in a message box and waits for a click: the timing is done.
    subprocess.run(["pkill", "-P", str(doom.pid)], check=False)
    doom.kill()
    doom.wait()
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    if not m:
        sys.exit("crispy-doom reported no timedemo result")
    frames = int(m.group(1))  # -timedemo draws one frame a tic
    return {"cpu_per_frame_ms": 1000 * cpu / frames, "frames": frames}


def run_chocolate():
    game = subprocess.Popen(["/usr/games/chocolate-doom", "-iwad", IWAD, "-playdemo", "demo1",
                             "-window", "-geometry", "640x480", "-nosound", "-nomusic"],
                            env=dict(os.environ, SDL_AUDIODRIVER="dummy"),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(3)
    c0, t0 = cpu_seconds(game.pid), time.monotonic()
    time.sleep(FLY_SECONDS)
    c1, t1 = cpu_seconds(game.pid), time.monotonic()
    game.kill()
    game.wait()
    return {"use": (c1 - c0) / (t1 - t0)}


def main():
    smooth_ratios, classic_ratios = [], []
    for r in range(ROUNDS):
        crispy = run_crispy()
        smooth = run_game(["--smooth", "--fps", "60", "--window"])
        ratio = smooth["cpu_per_frame_ms"] / crispy["cpu_per_frame_ms"]
        smooth_ratios.append(ratio)
        print(f"round {r + 1} smooth: {smooth['cpu_per_frame_ms']:.2f} ms/frame at "
              f"{smooth['fps']:.1f} fps (steps median {smooth['step_median']} ms, p99 "
              f"{smooth['step_p99']} ms, paused {100 * smooth['paused_use']:.2f}% of a core); "
              f"crispy {crispy['cpu_per_frame_ms']:.2f} ms/frame over {crispy['frames']} "
              f"frames; ratio {ratio:.2f}", flush=True)
        choco = run_chocolate()
        classic = run_game(["--classic", "--window"])
        ratio = classic["flying_use"] / choco["use"]
        classic_ratios.append(ratio)
        print(f"round {r + 1} classic: {100 * classic['flying_use']:.1f}% of a core at "
              f"{classic['fps']:.1f} fps (paused {100 * classic['paused_use']:.2f}%); chocolate "
              f"{100 * choco['use']:.1f}%; ratio {ratio:.2f}", flush=True)
    print(f"median ratio smooth/crispy {statistics.median(smooth_ratios):.2f} (target <= 0.7)")
    print(f"median ratio classic/chocolate {statistics.median(classic_ratios):.2f} "
          f"(target <= 0.7)")


if __name__ == "__main__":
    main()
