"""Launcher.exe under Wine: what reaches the game folder when file names carry accents, and when
two launchers run over the same game folder at once."""
import os
import unittest

from launcher_e2e import MAIN_WINDOW, LauncherTestCase, controls_by_name, wait_until
from loopback_server import Fault
from test_updater import leftovers
from update_site_fixture import read_game_file, write_game, write_site

ACCENTED = "Data\\Música\\ação.bmd"
ACCENTED_ADDRESS = "/Data/M%C3%BAsica/a%C3%A7%C3%A3o.bmd.rar"

BIG = "Data\\Effect\\Big.ozj"
OLD = {BIG: b"old big", "readme.txt": b"v1"}
NEW = {BIG: os.urandom(400_000), "readme.txt": b"v2"}
# The big package arrives at this many bytes a second: a download lasts a few seconds.
RATE = 150_000

SECOND = "Launcher2.exe"
FIRST_WINDOW, SECOND_WINDOW = f"{MAIN_WINDOW}@Launcher.exe", f"{MAIN_WINDOW}@{SECOND}"
CHECKING = "Checking outdated files..."
# How a pass that installed the files ends, and how the pass that then finds them current ends.
INSTALLED, FOUND_CURRENT = (True, "Update completed!"), (False, "Update completed! No outdated files found.")


def ending(controls):
    return controls["lbl1"]["own_visible"], controls["lbl1"]["text"]


class AccentedNamesTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.returning_user(LangSelection="Eng")

    def test_an_accented_path_is_asked_for_in_utf8_and_installed_under_its_name(self):
        server = self.serve()
        files = {ACCENTED: b"accented " * 5000, "readme.txt": b"v2"}
        write_site(self.site_dir, files)
        self.start_launcher()
        controls = self.wait_for_end_of_pass()
        self.assertEqual(ending(controls), INSTALLED)
        for path, data in files.items():
            self.assertEqual(read_game_file(self.game_dir, path), data, path)
        self.assertIn(ACCENTED_ADDRESS, server.requests)
        self.assertEqual(leftovers(self.game_dir), [])

    def test_a_failed_accented_entry_leaves_no_folder_behind(self):
        server = self.serve()
        write_site(self.site_dir, {ACCENTED: b"accented", "readme.txt": b"v2"})
        server.faults[ACCENTED_ADDRESS] = Fault(status=404)
        self.start_launcher()
        controls = self.wait_for_end_of_pass()
        self.assertEqual(ending(controls), (True, "Have a great game!!"))
        self.assertFalse(os.path.exists(os.path.join(self.game_dir, "Data")), os.listdir(self.game_dir))


class TwoLaunchersTest(LauncherTestCase):
    """A second launcher on the same game folder waits for the first one's pass, showing the
    checking text, and then finds the files current; it is never refused and never hangs."""

    def setUp(self):
        super().setUp()
        self.returning_user(LangSelection="Eng")
        self.server = self.serve()
        write_site(self.site_dir, NEW)
        write_game(self.game_dir, OLD)
        self.server.faults["/Data/Effect/Big.ozj.rar"] = Fault(rate=RATE)
        self.copy_program("Launcher.exe", SECOND)

    def big_download_started(self):
        return "/Data/Effect/Big.ozj.rar" in self.server.requests

    def status_of(self, window_spec):
        window = self.driver.try_dump(window_spec)
        return controls_by_name(window)["lbl0"]["text"] if window else None

    def assert_updated(self):
        for path, data in NEW.items():
            self.assertEqual(read_game_file(self.game_dir, path), data, path)
        self.assertEqual(leftovers(self.game_dir), [])

    def test_started_together(self):
        self.start_launcher()
        self.start_launcher(SECOND)
        endings = {ending(self.wait_for_end_of_pass(window_spec=spec)) for spec in (FIRST_WINDOW, SECOND_WINDOW)}
        self.assertEqual(endings, {INSTALLED, FOUND_CURRENT})
        self.assert_updated()

    def test_started_while_the_first_downloads(self):
        self.start_launcher()
        wait_until(self.big_download_started, message="the first launcher's download")
        self.start_launcher(SECOND)
        wait_until(lambda: self.status_of(SECOND_WINDOW) == CHECKING, message="the second launcher waiting")
        self.assertEqual(ending(self.wait_for_end_of_pass(window_spec=FIRST_WINDOW)), INSTALLED)
        self.assertEqual(ending(self.wait_for_end_of_pass(window_spec=SECOND_WINDOW)), FOUND_CURRENT)
        self.assert_updated()

    def test_the_first_killed_mid_download_lets_the_second_finish_the_update(self):
        self.start_launcher()
        wait_until(self.big_download_started, message="the first launcher's download")
        self.start_launcher(SECOND)
        wait_until(lambda: self.status_of(SECOND_WINDOW) == CHECKING, message="the second launcher waiting")
        requests_before = len(self.server.requests)
        self.driver.run("terminate", FIRST_WINDOW)
        # The second pass starts at once and downloads the big package again.
        wait_until(lambda: self.server.requests[requests_before:].count("/Data/Effect/Big.ozj.rar") == 1,
                   timeout=10, message="the second launcher's own download")
        self.assertEqual(ending(self.wait_for_end_of_pass(window_spec=SECOND_WINDOW)), INSTALLED)
        self.assert_updated()


if __name__ == "__main__":
    unittest.main()
