#!/usr/bin/env python3
"""Sets up and tears down what the end-to-end tests share: one fresh Wine prefix per test
run and, when there is no display, a virtual one (Xvfb) that stops by itself.

    prefix_fixture.py setup STATE_DIR
    prefix_fixture.py cleanup STATE_DIR
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import time

XVFB_LIFETIME_SECONDS = 3 * 3600


def free_display():
    for number in range(90, 200):
        if not os.path.exists(f"/tmp/.X{number}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{number}"):
            return number
    raise RuntimeError("no free X display number")


def start_xvfb():
    number = free_display()
    process = subprocess.Popen(
        ["timeout", str(XVFB_LIFETIME_SECONDS), "Xvfb", f":{number}", "-screen", "0", "1280x1024x24",
         "-nolisten", "tcp"],
        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    for _ in range(100):
        if os.path.exists(f"/tmp/.X11-unix/X{number}"):
            return f":{number}", process.pid
        time.sleep(0.05)
    raise RuntimeError("Xvfb did not start")


def wine_env(state):
    env = dict(os.environ)
    env.update(WINEPREFIX=state["prefix"], WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
               DISPLAY=state["display"], WINEARCH="win32")
    return env


def setup(state_dir):
    os.makedirs(state_dir, exist_ok=True)
    cleanup(state_dir)
    state = {"prefix": os.path.join(state_dir, "prefix"), "xvfb_pid": None}
    shutil.rmtree(state["prefix"], ignore_errors=True)
    if os.environ.get("DISPLAY"):
        state["display"] = os.environ["DISPLAY"]
    else:
        state["display"], state["xvfb_pid"] = start_xvfb()
    with open(os.path.join(state_dir, "state.json"), "w") as f:
        json.dump(state, f)
    env = wine_env(state)
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    # One wineserver for the whole run, started here without our pipes: a wineserver (and the
    # Wine services) started by a test's first program would inherit that program's output
    # pipe and keep it open long after the program ended.
    subprocess.Popen(["wineserver", "-p"], start_new_session=True, **quiet).wait(timeout=60)
    subprocess.run(["wineboot", "-i"], check=True, timeout=300, **quiet)
    # Without a window manager Wine waits about two seconds whenever a window closes.
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"],
                   check=True, timeout=120, **quiet)
    print(f"prefix {state['prefix']} on display {state['display']}")


def cleanup(state_dir):
    path = os.path.join(state_dir, "state.json")
    if not os.path.exists(path):
        return
    with open(path) as f:
        state = json.load(f)
    subprocess.run(["wineserver", "-k"], env=wine_env(state), stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    if state.get("xvfb_pid"):
        try:
            os.kill(state["xvfb_pid"], signal.SIGTERM)
        except ProcessLookupError:
            pass
    os.remove(path)


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in ("setup", "cleanup"):
        sys.exit(__doc__)
    (setup if sys.argv[1] == "setup" else cleanup)(sys.argv[2])
