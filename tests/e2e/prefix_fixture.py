#!/usr/bin/env python3
"""Sets up and tears down what the end-to-end tests share: one fresh Wine prefix per test
run and, when there is no display, a virtual one (Xvfb) that stops by itself.

    prefix_fixture.py setup STATE_DIR
    prefix_fixture.py cleanup STATE_DIR
"""
import glob
import json
import os
import shutil
import signal
import subprocess
import sys
import time

from wine_mode import wine_command

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
               DISPLAY=state["display"], WINEARCH=state.get("arch", "win32"))
    return env


def install_fonts(prefix):
    """A 64-bit prefix made where 32-bit programs cannot run has no fonts (the 32-bit half of
    wineboot installs them), and the windows' Tahoma would fall back to another, smaller font."""
    fonts = os.path.join(prefix, "drive_c", "windows", "Fonts")
    os.makedirs(fonts, exist_ok=True)
    fonts_shipped = glob.glob("/usr/share/wine/fonts/*")
    if not fonts_shipped:
        raise RuntimeError("/usr/share/wine/fonts is empty: install fonts-wine (scripts/setup.sh does)")
    for font in fonts_shipped:
        target = os.path.join(fonts, os.path.basename(font))
        if not os.path.exists(target):
            shutil.copy(font, target)


def setup(state_dir):
    os.makedirs(state_dir, exist_ok=True)
    cleanup(state_dir)
    # The build the tests run decides the prefix's architecture (win32 or win64).
    arch = os.environ.get("LAUNCHER_WINE_ARCH", "win32")
    state = {"prefix": os.path.join(state_dir, "prefix"), "xvfb_pid": None, "arch": arch,
             "wine": wine_command(arch)}
    shutil.rmtree(state["prefix"], ignore_errors=True)
    os.makedirs(state["prefix"])
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
    # It needs the prefix's folder to exist.
    server = subprocess.Popen(["wineserver", "-p"], start_new_session=True, **quiet)
    if server.wait(timeout=60) != 0:
        raise RuntimeError(f"wineserver -p failed with {server.returncode}")
    subprocess.run(state["wine"] + ["wineboot", "-i"], check=True, timeout=300, **quiet)
    if arch == "win64":
        install_fonts(state["prefix"])
    # Without a window manager Wine waits about two seconds whenever a window closes.
    subprocess.run(state["wine"] + ["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N",
                                    "/f"], check=True, timeout=120, **quiet)
    print(f"{arch} prefix {state['prefix']} on display {state['display']}")


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
