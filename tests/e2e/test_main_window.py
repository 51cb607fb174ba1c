"""The main window as players see it, and the game launch, in Launcher.exe under Wine."""
import json
import os
import shutil
import unittest

from loopback_server import Fault
from launcher_e2e import (BUILD_DIR, MAIN_WINDOW, OPTIONS_WINDOW, LauncherTestCase, controls_by_name, pixel,
                          registry_values, wait_until)

# Places in the background picture (client coordinates) and the colour the artwork paints there.
PROBES = {
    "gear": (680 + 18, 24 + 16),
    "minus": (720 + 16, 24 + 16),
    "play": (552 + 120, 384 + 12),
    "panel": (300, 470),
}


def close(a, b, tolerance=24):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


class MainWindowTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.returning_user()

    def start_and_wait(self):
        self.start_launcher()
        return self.driver.wait(MAIN_WINDOW)

    def test_centred_and_painted_with_the_artwork(self):
        window = self.start_and_wait()
        self.assertEqual(window["left"], (window["screen_width"] - 870) // 2)
        self.assertEqual(window["top"], (window["screen_height"] - 497) // 2)
        # The play button is shown dimmed while the update pass runs; look once it is over.
        self.wait_for_end_of_pass()
        shot = self.screenshot("window")
        background = os.path.join(os.path.dirname(__file__), "../../assets/background.png")
        for name, (x, y) in PROBES.items():
            with self.subTest(probe=name):
                expected = pixel(background, x + 30, y + 9)
                self.assertTrue(close(pixel(shot, window["left"] + x, window["top"] + y), expected),
                                f"{name}: {expected}")

    def test_the_play_button_is_dimmed_while_it_cannot_be_clicked(self):
        server = self.serve()
        server.faults["/mu.update"] = Fault(delay=4)
        window = self.start_and_wait()
        wait_until(lambda: not controls_by_name(self.driver.dump(MAIN_WINDOW))["jogar"]["own_visible"],
                   message="the play area hidden")
        x, y = PROBES["play"]
        background = os.path.join(os.path.dirname(__file__), "../../assets/background.png")
        painted = pixel(background, x + 30, y + 9)
        dimmed = pixel(self.screenshot("dimmed"), window["left"] + x, window["top"] + y)
        self.assertLess(sum(dimmed), sum(painted) // 2)

    def test_dragging_with_any_button_moves_the_window(self):
        start = self.start_and_wait()
        for down, up, dx, dy in [("ldown", "lup", 40, 25), ("rdown", "rup", -30, 10), ("mdown", "mup", 5, -20)]:
            before = self.driver.dump(MAIN_WINDOW)
            self.driver.mouse(MAIN_WINDOW, "BG", down, 200, 200)
            self.driver.mouse(MAIN_WINDOW, "BG", "move", 200 + dx, 200 + dy)
            self.driver.mouse(MAIN_WINDOW, "BG", up, 200 + dx, 200 + dy)
            after = wait_until(lambda: (lambda w: w if w["left"] != before["left"] else None)(self.driver.dump(MAIN_WINDOW)),
                               message=f"drag with {down}")
            self.assertEqual((after["left"] - before["left"], after["top"] - before["top"]), (dx, dy))
        self.driver.mouse(MAIN_WINDOW, "BG", "move", 400, 400)
        self.assertEqual(self.driver.dump(MAIN_WINDOW)["left"], after["left"], "no drag after the release")
        self.assertNotEqual(start["left"], after["left"])

    def test_a_press_on_the_other_controls_never_drags(self):
        before = self.start_and_wait()
        for control in ("jogar", "Configuração", "Minimizer", "CloseBtn", "ServerLogo", "lbl0"):
            self.driver.mouse(MAIN_WINDOW, control, "ldown", 5, 5)
            self.driver.mouse(MAIN_WINDOW, "BG", "move", 300, 300)
        after = self.driver.dump(MAIN_WINDOW)
        self.assertEqual((after["left"], after["top"]), (before["left"], before["top"]))

    def test_gear_twice_shows_one_options_window(self):
        self.start_and_wait()
        self.driver.click(MAIN_WINDOW, "Configuração")
        self.driver.wait(OPTIONS_WINDOW)
        self.driver.click(MAIN_WINDOW, "Configuração")
        self.assertEqual(self.driver.run("count", OPTIONS_WINDOW)[0], 1)

    def test_minimise_and_restore_change_nothing(self):
        # After the pass: while it runs, its texts change by themselves.
        self.start_and_wait()
        before = self.wait_for_end_of_pass()
        self.driver.click(MAIN_WINDOW, "Minimizer")
        wait_until(lambda: not self.driver.dump(MAIN_WINDOW)["visible"], message="minimised")
        self.assertTrue(self.driver.dump(MAIN_WINDOW)["owner_minimized"])
        self.driver.run("restore", MAIN_WINDOW)
        after = controls_by_name(wait_until(lambda: (lambda w: w if w["visible"] else None)(self.driver.dump(MAIN_WINDOW)),
                                            message="restored"))
        for name in ("lbl0", "lbl1", "ProgressBar1", "jogar", "CheckBox1"):
            self.assertEqual({k: after[name].get(k) for k in ("text", "own_visible", "position", "checked")},
                             {k: before[name].get(k) for k in ("text", "own_visible", "position", "checked")}, name)

    def test_the_cross_ends_the_process_with_exit_code_0(self):
        self.start_and_wait()
        self.driver.click(MAIN_WINDOW, "CloseBtn")
        self.assertEqual(self.processes[-1].wait(timeout=30), 0)

    def test_ticking_the_box_changes_only_what_it_shows(self):
        self.start_and_wait()
        self.driver.click(MAIN_WINDOW, "CheckBox1")
        wait_until(lambda: not controls_by_name(self.driver.dump(MAIN_WINDOW))["CheckBox1"]["checked"], message="untick")
        self.assertEqual(registry_values(self.driver.registry())["WindowMode"], 1)

    def play(self):
        """Clicks play once the update pass has shown it; gives the stand-in game's record."""
        shutil.copy(os.path.join(BUILD_DIR, "standin", "main.exe"), self.game_dir)
        self.start_and_wait()
        self.wait_for_end_of_pass()
        self.driver.click(MAIN_WINDOW, "jogar")
        self.assertEqual(self.processes[-1].wait(timeout=30), 0)
        record_path = os.path.join(self.game_dir, "main-run.json")
        wait_until(lambda: os.path.exists(record_path) and os.path.getsize(record_path) > 0, message="game started")
        with open(record_path) as f:
            return json.load(f)

    def test_play_starts_the_game_with_the_configured_server_and_ends(self):
        server = self.serve(address="10.0.0.5", port="44405")
        with open(os.path.join(self.site_dir, "mu.update"), "w") as f:
            f.write("[Download]\r\n[/Download]\r\n")
        record = self.play()
        self.assertEqual(record["command_line"], "main.exe connect /u10.0.0.5 /p44405")
        self.assertEqual(record["settings"]["WindowMode"], 1)

    def test_play_with_the_service_unreachable_starts_the_game_without_a_server(self):
        self.assertEqual(self.play()["command_line"], "main.exe connect /u /p")

    def test_play_without_the_game_says_so_and_ends(self):
        self.start_and_wait()
        self.driver.click(MAIN_WINDOW, "jogar")
        box = self.driver.message_box(dismiss=True)
        self.assertEqual(box, {"title": "main.exe", "text": "Coloque o launcher na pasta do jogo e tente novamente"})
        self.assertEqual(self.processes[-1].wait(timeout=30), 0)


if __name__ == "__main__":
    unittest.main()
