"""What every end-to-end test of Launcher.exe under Wine shares: the prefix and display made
by prefix_fixture.py, a fresh game folder per test, the launcher's process, the test driver,
and a screenshot of the display when a test fails."""
import json
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

BUILD_DIR = os.environ.get("LAUNCHER_BUILD_DIR", os.path.abspath(os.path.join(os.path.dirname(__file__), "../../build/windows")))
STATE_DIR = os.environ.get("LAUNCHER_E2E_STATE", os.path.join(BUILD_DIR, "e2e"))

# What the launcher keeps beside itself (here: in the game folder) besides its program.
LAUNCHER_OWN_FILES = {"log.txt", "mu.update.version", "LastConfig.json"}

MAIN_WINDOW = "TForm_AutoUpdate"
OPTIONS_WINDOW = "TForm_Opcoes"
SETTINGS_KEY = r"Software\Webzen\Mu\Config"


def _state():
    with open(os.path.join(STATE_DIR, "state.json")) as f:
        return json.load(f)


def wine_env():
    state = _state()
    env = dict(os.environ)
    env.update(WINEPREFIX=state["prefix"], WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
               DISPLAY=state["display"], WINEARCH=state.get("arch", "win32"))
    return env


# Wine's heap checks fill freed blocks and name any freed or foreign block handed back to the
# heap: a use after free shows in a program's Wine output though it may go on for a while.
HEAP_CHECKS = "warn+heap"


def heap_faults(wine_output):
    """The lines of a program's Wine output in which the heap checks name a fault."""
    return [line for line in wine_output.splitlines() if ":heap:" in line]


def wine():
    """The command that starts a Windows program in the run's prefix."""
    return list(_state()["wine"])


def wait_until(condition, timeout=20.0, interval=0.1, message="condition"):
    """Polls until condition() gives a true value, and returns it."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError(f"timed out waiting for {message}")
        time.sleep(interval)


class Driver:
    """The Windows test driver, run inside the same prefix."""

    def __init__(self):
        self.exe = os.path.join(BUILD_DIR, "launcher_driver.exe")
        self.env = wine_env()

    def run(self, *args, check=True, timeout=60):
        # Files, not pipes: a Wine helper process that outlives the driver would hold a pipe open.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run(wine() + [self.exe, *map(str, args)], env=self.env, stdout=out, stderr=err,
                                  timeout=timeout, stdin=subprocess.DEVNULL).returncode
            out.seek(0)
            err.seek(0)
            text, errors = out.read().decode("utf-8").strip(), err.read().decode(errors="replace")
        if check and code != 0:
            raise AssertionError(f"driver {' '.join(map(str, args))} failed ({code}): {errors}")
        return (json.loads(text) if text else None), code

    def wait(self, window_class, timeout_ms=20000):
        return self.run("wait", window_class, timeout_ms, timeout=timeout_ms / 1000 + 30)[0]

    def dump(self, window_class):
        return self.run("dump", window_class)[0]

    def try_dump(self, window_class):
        data, code = self.run("dump", window_class, check=False)
        return data if code == 0 else None

    def click(self, window_class, control):
        self.run("click", window_class, control)

    def mouse(self, window_class, control, event, x, y):
        self.run("mouse", window_class, control, event, x, y)

    def set_text(self, window_class, control, text):
        self.run("set-text", window_class, control, text)

    def key(self, window_class, control, virtual_key):
        self.run("key", window_class, control, virtual_key)

    def message_box(self, dismiss=True, timeout_ms=20000):
        args = ["messagebox", timeout_ms] + (["--dismiss"] if dismiss else [])
        return self.run(*args, timeout=timeout_ms / 1000 + 30)[0]

    def registry(self, key=SETTINGS_KEY):
        return self.run("reg-dump", key)[0]

    def registry_set(self, name, kind, value, key=SETTINGS_KEY):
        self.run("reg-set", key, name, kind, value)

    def registry_delete(self, key=SETTINGS_KEY, name=None):
        args = ["reg-delete", key] + ([name] if name is not None else [])
        self.run(*args, check=False)


class ValueNames(dict):
    """Registry values by name; names match without regard to letter case, as in the registry."""

    def __getitem__(self, name):
        for key, value in self.items():
            if key.lower() == name.lower():
                return value
        raise KeyError(name)


def registry_values(key):
    """{name: data} of a key dumped by the driver; None when the key is absent."""
    if key is None:
        return None
    return ValueNames({name: value.get("data") for name, value in key["values"].items()})


def pixel(png, x, y):
    """The (red, green, blue) of one pixel of a PNG file."""
    out = subprocess.run(["/usr/bin/convert", png, "-crop", f"1x1+{x}+{y}", "-depth", "8", "txt:-"],
                         capture_output=True, text=True, check=True).stdout
    hex_colour = out.strip().splitlines()[-1].split("#")[1][:6]
    return tuple(int(hex_colour[i:i + 2], 16) for i in (0, 2, 4))


def controls_by_name(window):
    return {control["name"]: control for control in window["controls"] if control["name"]}


class LauncherTestCase(unittest.TestCase):
    """Each test gets a fresh game folder (its working directory) holding a copy of the
    launcher, and the test driver. Launched programs are ended after the test."""

    def setUp(self):
        self.driver = Driver()
        games = os.path.join(STATE_DIR, "games")
        os.makedirs(games, exist_ok=True)
        self.game_dir = tempfile.mkdtemp(prefix=re.sub(r"\W", "_", self.id().split(".")[-1]) + "-", dir=games)
        self.processes = []
        self.wine_log = self.game_dir + ".wine.log"
        self.addCleanup(self._check_heap)  # after the programs ended: cleanups run last first
        self.addCleanup(self._end_processes)
        # The prefix is shared by the whole run: every test starts without game settings.
        self.driver.registry_delete(r"Software\Webzen")

    def serve(self, document=None, update_url=None, **config):
        """Starts the loopback server the end-to-end launcher asks for its configuration; it
        also serves the test's update site (self.site_dir) at its root. Returns the server."""
        from loopback_server import LoopbackServer
        from update_site_fixture import CONFIG_SERVICE_PORT, config_document
        self.site_dir = tempfile.mkdtemp(prefix="site-", dir=os.path.join(STATE_DIR, "games"))
        server = LoopbackServer(self.site_dir, lifetime=600, port=CONFIG_SERVICE_PORT)
        server.start()
        self.addCleanup(server.stop)
        if document is None:
            url = server.base_url + "/" if update_url is None else update_url
            document = config_document(update_url=url, **config)
        server.documents["/api/return.php?token="] = document
        return server

    RETURNING_USER = {"Resolution": 2, "SoundOnOff": 1, "MusicOnOff": 1, "Windowmode": 1}

    def returning_user(self, **values):
        """Game settings of a user whose launcher started before: the first-start marker and the
        values a start-up reads (numbers as integers, texts as strings; None leaves a value out)."""
        for name, value in dict(self.RETURNING_USER, **values).items():
            if value is not None:
                self.driver.registry_set(name, "sz" if isinstance(value, str) else "dword", value)
        self.driver.registry_set("x", "dword", 0, key=SETTINGS_KEY + "\\" + SETTINGS_KEY)

    def wait_for_end_of_pass(self, timeout=60, window_spec=MAIN_WINDOW):
        """The main window's controls once the update pass has ended: "Bom jogo!" and play shown.
        window_spec may name the launcher's program too ("TForm_AutoUpdate@Launcher2.exe")."""
        def ended():
            window = self.driver.try_dump(window_spec)
            controls = controls_by_name(window) if window else {}
            if controls and controls["jogar"]["own_visible"] and controls["lbl0"]["text"] == "Bom jogo!":
                return controls
            return None
        return wait_until(ended, timeout=timeout, interval=0.3, message="the end of the update pass")

    def log_lines(self, folder=None):
        """The entries of the activity log beside the launcher, without their times."""
        path = os.path.join(folder or self.game_dir, "log.txt")
        if not os.path.exists(path):
            return []
        with open(path, "rb") as f:
            entries = [line for line in f.read().split(b"\r\n") if line]
        for entry in entries:
            # The prefix's regional settings are English (United States): "/" and ":".
            self.assertRegex(entry, rb"^\d\d/\d\d/\d{4} \d\d:\d\d:\d\d - ")
        return [entry.split(b" - ", 1)[1].decode("cp1252") for entry in entries]

    def pass_then_play(self, name="Launcher.exe"):
        """One start of the launcher: its update pass, then play; the stand-in game's record and
        the window's task bar title."""
        shutil.copy(os.path.join(BUILD_DIR, "standin", "main.exe"), self.game_dir)
        record_path = os.path.join(self.game_dir, "main-run.json")
        if os.path.exists(record_path):
            os.remove(record_path)
        self.start_launcher(name)
        title = self.driver.wait(MAIN_WINDOW)["owner_caption"]
        self.wait_for_end_of_pass()
        self.driver.click(MAIN_WINDOW, "jogar")
        self.assertEqual(self.processes[-1].wait(timeout=30), 0)
        wait_until(lambda: os.path.exists(record_path) and os.path.getsize(record_path) > 0, message="game started")
        with open(record_path) as f:
            return json.load(f), title

    def copy_program(self, name="Launcher.exe", target=None):
        path = os.path.join(self.game_dir, target or name)
        shutil.copy(os.path.join(BUILD_DIR, name), path)
        return path

    def start(self, program, *args, cwd=None):
        """Starts a Windows program under Wine; the test may wait for its exit code."""
        env = dict(wine_env(), WINEDEBUG=HEAP_CHECKS)
        with open(self.wine_log, "ab") as log:
            process = subprocess.Popen(wine() + [program, *args], cwd=cwd or self.game_dir, env=env,
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=log)
        self.processes.append(process)
        return process

    def _check_heap(self):
        if not os.path.exists(self.wine_log):
            return
        with open(self.wine_log, "rb") as log:
            faults = heap_faults(log.read().decode(errors="replace"))
        self.assertEqual(faults, [], f"Wine's heap checks (all output in {self.wine_log})")

    def start_launcher(self, name="Launcher.exe", cwd=None):
        exe = os.path.join(self.game_dir, name)
        if not os.path.exists(exe):
            self.copy_program("Launcher.exe", name)
        return self.start(exe, cwd=cwd)

    def tearDown(self):
        if hasattr(self, "_outcome") and not self._outcome.success:
            self.screenshot("failure")

    def screenshot(self, label):
        folder = os.path.join(STATE_DIR, "screenshots")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, f"{self.id().split('.')[-1]}-{label}.png")
        subprocess.run(["import", "-display", _state()["display"], "-window", "root", path],
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
        return path

    def _end_processes(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait(timeout=30)
        # Programs the launcher started itself: a restarted launcher, the stand-in game.
        for window_class in (MAIN_WINDOW, "GameStandIn"):
            self.driver.run("terminate", window_class, check=False)
