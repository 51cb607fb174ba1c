#!/usr/bin/env python3
"""The launcher's whole story under Wine: an operator publishes version 2 of a sample game with
update-site, a player's launcher with version 1 updates itself and the game from it, restarts
as the new launcher, and starts the game. Screenshots and a short account go to build/demo/."""
import json
import os
import random
import shutil
import signal
import socket
import struct
import subprocess
import sys
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "../.."))
# scripts/demo.sh names the build that this machine runs (32-bit, or 64-bit where it cannot).
BUILD = os.environ.get("LAUNCHER_BUILD_DIR", os.path.join(ROOT, "build/windows"))
UPDATE_SITE = os.path.join(ROOT, "build/native/update-site")
DEMO = os.path.join(ROOT, "build/demo")
os.environ["LAUNCHER_BUILD_DIR"] = BUILD
os.environ["LAUNCHER_E2E_STATE"] = os.path.join(DEMO, "wine")
sys.path.insert(0, HERE)

import prefix_fixture  # noqa: E402
from launcher_e2e import MAIN_WINDOW, OPTIONS_WINDOW, Driver, controls_by_name, wait_until, wine, wine_env  # noqa: E402
from update_site_fixture import CONFIG_SERVICE_PORT  # noqa: E402

SERVER = f"http://127.0.0.1:{CONFIG_SERVICE_PORT}"


def write(folder, path, data):
    target = os.path.join(folder, *path.split("/"))
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "wb") as f:
        f.write(data)


def sample_game(folder, version, rng):
    """A few megabytes of game files in nested folders, the stand-in game and the launcher."""
    shutil.copy(os.path.join(BUILD, "standin", "main.exe"), os.path.join(folder, "main.exe"))
    launcher = open(os.path.join(BUILD, "Launcher.exe"), "rb").read()
    # Version 2 ships a new launcher: the same program with a build note appended.
    write(folder, "Launcher.exe", launcher if version == 1 else launcher + b"\0demo build 2")
    write(folder, "Data/Maps/World1.att", bytes(rng.getrandbits(8) for _ in range(400_000)) * 4)
    write(folder, "Data/Interface/Buttons.ozj", b"".join(b"button %06d " % i for i in range(60_000)))
    write(folder, "Data/Local/Item.bmd", b"".join(b"item %d v%d|" % (i, version) for i in range(150_000)))
    write(folder, "readme.txt", b"Sample game, version %d\r\n" % version)
    if version == 2:
        write(folder, "Data/Effect/Fire.ozj", os.urandom(12_000_000))


def logo_png(width=200, height=120):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + b"".join(bytes((40 + x // 2, 90 + y, 200, 255)) for x in range(width)) for y in range(height))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


class Demo:
    def __init__(self):
        self.driver = Driver()
        self.display = json.load(open(os.path.join(os.environ["LAUNCHER_E2E_STATE"], "state.json")))["display"]
        self.shots = []

    def screenshot(self, name):
        path = os.path.join(DEMO, f"{len(self.shots) + 1}-{name}.png")
        subprocess.run(["import", "-display", self.display, "-window", "root", path], check=True)
        self.shots.append(path)

    def controls(self):
        window = self.driver.try_dump(MAIN_WINDOW)
        return controls_by_name(window) if window else None

    def watch_pass(self, launcher, timeout=180):
        """Follows the first launcher's pass until it restarts as the new launcher."""
        seen_installing = False
        deadline = time.monotonic() + timeout
        while launcher.poll() is None and time.monotonic() < deadline:
            controls = self.controls()
            if controls and not seen_installing and controls["ProgressBar1"]["position"] > 0:
                print(f"  {controls['lbl0']['text']}")
                self.screenshot("updating")
                seen_installing = True
            time.sleep(0.2)
        return launcher.wait(timeout=30)


def port_in_use(port):
    """True when a running program listens on the port; connections of earlier servers that wait
    out TIME_WAIT there do not count, as the demo's server can bind over them."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            probe.bind(("127.0.0.1", port))
        except OSError:
            return True
    return False


def wait_for_server(server, port, timeout=20):
    """Waits until the started server accepts connections; False when it ended first."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if server.poll() is not None:
            return False
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return True
        except OSError:
            time.sleep(0.1)
    return False


def delta_or_package(site, old_game, path, listed_crc, package_size):
    """What the launcher fetches for a changed file: the site's delta from the player's version
    when there is one smaller than the package, else the package."""
    old = os.path.join(old_game, *path.split("\\"))
    index = os.path.join(site, "mu.update.deltas")
    if not os.path.exists(old) or not os.path.exists(index):
        return package_size
    with open(old, "rb") as f:
        crc = f"{zlib.crc32(f.read()):08x}"
    with open(index, encoding="utf-8") as f:
        sizes = [int(fields[4]) for fields in (line.rstrip("\n").split("\t") for line in f)
                 if fields[0] == "delta" and fields[1:4] == [path, crc, f"{int(listed_crc, 16):08x}"]]
    return min(sizes + [package_size])


def main():
    if port_in_use(CONFIG_SERVICE_PORT):
        print(f"The demo's update site needs port {CONFIG_SERVICE_PORT} on 127.0.0.1, but another program "
              f"listens there: end it (ss -ltnp 'sport = :{CONFIG_SERVICE_PORT}' names it) and run the demo again.")
        return 1
    shutil.rmtree(DEMO, ignore_errors=True)
    os.makedirs(DEMO)
    state_dir = os.environ["LAUNCHER_E2E_STATE"]
    print("Preparing a Wine prefix (about ten seconds)...")
    prefix_fixture.setup(state_dir)
    server = None
    try:
        rng = random.Random(7)
        v1, v2, site, game, config = (os.path.join(DEMO, name) for name in ("v1", "v2", "site", "game", "config"))
        for folder in (v1, v2, config):
            os.makedirs(folder)
        sample_game(v1, 1, random.Random(7))
        sample_game(v2, 2, random.Random(7))
        shutil.copytree(v1, game)
        print("The operator published version 1 with update-site, and now publishes version 2 into the same "
              "folder (so the build also makes deltas from version 1):")
        subprocess.run([UPDATE_SITE, "build", v1, site], check=True, stdout=subprocess.DEVNULL)
        subprocess.run([UPDATE_SITE, "build", v2, site], check=True)
        subprocess.run([UPDATE_SITE, "verify", site], check=True)
        with open(os.path.join(site, "logo.png"), "wb") as f:
            f.write(logo_png())
        with open(os.path.join(config, "default.json"), "w") as f:
            json.dump({"config": {"UpdateUrl": SERVER + "/", "VPS_IP": "127.0.0.1", "ConnectServerPort": 44405,
                                  "Title": "Demo Server", "LogoUrl": SERVER + "/logo.png"},
                       "redes": {}, "slides": []}, f)
        server = subprocess.Popen([UPDATE_SITE, "serve", site, "--config", config, "--port", str(CONFIG_SERVICE_PORT),
                                   "--lifetime", "600"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        if not wait_for_server(server, CONFIG_SERVICE_PORT):
            print(f"update-site serve did not start on port {CONFIG_SERVICE_PORT}.")
            return 1

        demo = Demo()
        print("\nThe player starts Launcher.exe (version 1) in the game folder:")
        started = time.monotonic()
        launcher = subprocess.Popen(wine() + [os.path.join(game, "Launcher.exe")], cwd=game, env=wine_env(),
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        demo.driver.wait(MAIN_WINDOW)
        exit_code = demo.watch_pass(launcher)
        print(f"  the old launcher ended with exit code {exit_code} after installing the new one")

        def finished():
            controls = demo.controls()
            return controls if controls and controls["lbl0"]["text"] == "Bom jogo!" else None
        controls = wait_until(finished, timeout=120, interval=0.3, message="the new launcher's pass")
        elapsed = time.monotonic() - started
        print(f"  the new launcher finished its pass: {controls['lbl0']['text']!r}")
        demo.screenshot("finished")

        demo.driver.click(MAIN_WINDOW, "Configuração")
        demo.driver.wait(OPTIONS_WINDOW)
        time.sleep(0.5)
        demo.screenshot("options")
        demo.driver.run("close", OPTIONS_WINDOW)

        demo.driver.click(MAIN_WINDOW, "jogar")
        record_path = os.path.join(game, "main-run.json")
        wait_until(lambda: os.path.exists(record_path) and os.path.getsize(record_path) > 0, message="the game")
        time.sleep(0.5)
        demo.screenshot("game")
        record = json.load(open(record_path))

        listed = [line.split("|") for line in open(os.path.join(site, "mu.update")).read().splitlines()[1:-1]]
        changed = [path for path, _, _ in listed
                   if not os.path.exists(os.path.join(v1, *path.split("\\")))
                   or open(os.path.join(v1, *path.split("\\")), "rb").read() !=
                   open(os.path.join(v2, *path.split("\\")), "rb").read()]
        packages = sum(int(size) for path, _, size in listed if path in changed)
        downloaded = sum(delta_or_package(site, v1, path, crc, int(size))
                         for path, crc, size in listed if path in changed)
        identical = all(open(os.path.join(game, *p.split("\\")), "rb").read() ==
                        open(os.path.join(v2, *p.split("\\")), "rb").read() for p, _, _ in listed)
        print("\nWhat happened:")
        print(f"  files listed and checked: {len(listed)}")
        print(f"  files updated: {len(changed)} ({', '.join(changed)})")
        print(f"  bytes downloaded: {downloaded:,} (through deltas where the site has one; the packages alone: "
              f"{packages:,})")
        print(f"  game folder now equals version 2: {identical}")
        print(f"  time from start to 'Bom jogo!': {elapsed:.1f} s (including the restart)")
        print(f"  the game was started with: {record['command_line']}")
        print("Screenshots:\n  " + "\n  ".join(demo.shots))
        for window_class in (MAIN_WINDOW, "GameStandIn"):
            demo.driver.run("terminate", window_class, check=False)
    finally:
        if server and server.poll() is None:
            server.send_signal(signal.SIGTERM)
            server.wait(timeout=30)
        prefix_fixture.cleanup(state_dir)


if __name__ == "__main__":
    sys.exit(main())
