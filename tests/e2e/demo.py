#!/usr/bin/env python3
"""Runs Launcher.exe under Wine from a fresh game folder and saves screenshots of what the
player sees in build/demo/."""
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "../.."))
BUILD = os.path.join(ROOT, "build/windows")
DEMO = os.path.join(ROOT, "build/demo")
os.environ["LAUNCHER_BUILD_DIR"] = BUILD
os.environ["LAUNCHER_E2E_STATE"] = os.path.join(DEMO, "wine")
sys.path.insert(0, HERE)

import prefix_fixture  # noqa: E402
from launcher_e2e import MAIN_WINDOW, Driver, controls_by_name, wine_env  # noqa: E402


def main():
    os.makedirs(DEMO, exist_ok=True)
    state_dir = os.environ["LAUNCHER_E2E_STATE"]
    print("Preparing a Wine prefix (about ten seconds)...")
    prefix_fixture.setup(state_dir)
    try:
        game = os.path.join(DEMO, "game")
        shutil.rmtree(game, ignore_errors=True)
        os.makedirs(game)
        shutil.copy(os.path.join(BUILD, "Launcher.exe"), game)
        launcher = subprocess.Popen(["wine", os.path.join(game, "Launcher.exe")], cwd=game, env=wine_env(),
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        driver = Driver()
        window = driver.wait(MAIN_WINDOW)
        time.sleep(1)
        shot = os.path.join(DEMO, "launcher.png")
        display = prefix_fixture.json.load(open(os.path.join(state_dir, "state.json")))["display"]
        subprocess.run(["import", "-display", display, "-window", "root", shot], check=True)
        driver.click(MAIN_WINDOW, "Configuração")
        driver.wait("TForm_Opcoes")
        time.sleep(0.5)
        options_shot = os.path.join(DEMO, "options.png")
        subprocess.run(["import", "-display", display, "-window", "root", options_shot], check=True)
        window = driver.dump(MAIN_WINDOW)
        controls = controls_by_name(window)
        print(f"Window: {window['caption']!r}, {window['client_width']}x{window['client_height']}")
        print(f"Status line: {controls['lbl0']['text']!r}")
        print(f"Screenshots: {shot}, {options_shot}")
        launcher.kill()
        launcher.wait()
    finally:
        prefix_fixture.cleanup(state_dir)


if __name__ == "__main__":
    main()
