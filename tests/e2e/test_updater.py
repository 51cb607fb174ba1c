"""The update worker in Launcher.exe under Wine, against a loopback update site: what the
player sees at the end of a pass, what is on disk, and what must never be on disk."""
import os
import unittest

from launcher_e2e import BUILD_DIR, LAUNCHER_OWN_FILES, MAIN_WINDOW, LauncherTestCase, wait_until
from loopback_server import Fault
from update_site_fixture import read_game_file, write_game, write_site

OLD = {"Data\\Local\\Item.bmd": b"old item " * 1000, "Data\\Map.att": b"same map " * 5000, "readme.txt": b"v1"}
NEW = {"Data\\Local\\Item.bmd": b"new item " * 30000, "Data\\Map.att": b"same map " * 5000,
       "Data\\Effect\\Fire.ozj": os.urandom(300000), "readme.txt": b"v2"}


def leftovers(game_dir):
    found = []
    for folder, _, files in os.walk(game_dir):
        found += [os.path.join(folder, f) for f in files if f.endswith((".rar", ".new", ".tmp")) or f == "mu.update"]
    return found


class UpdaterTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.returning_user(LangSelection="Eng")

    def test_installs_missing_and_changed_files_in_nested_folders(self):
        server = self.serve()
        write_site(self.site_dir, NEW)
        write_game(self.game_dir, OLD)
        self.start_launcher()
        controls = self.wait_for_end_of_pass()
        for path, data in NEW.items():
            self.assertEqual(read_game_file(self.game_dir, path), data, path)
        self.assertEqual(leftovers(self.game_dir), [])
        self.assertTrue(controls["lbl1"]["own_visible"])
        self.assertEqual(controls["lbl1"]["text"], "Update completed!")
        self.assertIn("/Data/Local/Item.bmd.rar", server.requests)
        self.assertNotIn("/Data/Map.att.rar", server.requests, "a current file is not fetched")

    def test_nothing_outdated(self):
        self.serve()
        write_site(self.site_dir, OLD)
        write_game(self.game_dir, OLD)
        self.start_launcher()
        controls = self.wait_for_end_of_pass()
        self.assertFalse(controls["lbl1"]["own_visible"])
        self.assertEqual(controls["lbl1"]["text"], "Update completed! No outdated files found.")

    def test_unreachable_update_location_still_lets_the_player_play(self):
        self.serve(update_url="http://127.0.0.1:9/")
        self.start_launcher()
        controls = self.wait_for_end_of_pass()
        self.assertFalse(controls["lbl1"]["own_visible"])
        self.assertEqual(controls["lbl1"]["text"], "Connecting to the update server...")

    def test_the_end_of_a_pass_names_the_launcher_and_tidies_the_game_folder(self):
        self.serve(update_url="http://127.0.0.1:9/")
        write_game(self.game_dir, {"update.update": b"x", "MuError.log": b"x"})
        self.start_launcher("MyLauncher.exe")
        self.wait_for_end_of_pass()
        self.assertEqual(sorted(f for f in os.listdir(self.game_dir) if f not in LAUNCHER_OWN_FILES), ["Launcher.exe"])

    def test_a_missing_package_fails_the_download_and_keeps_the_old_file(self):
        server = self.serve()
        write_site(self.site_dir, NEW)
        server.faults["/Data/Local/Item.bmd.rar"] = Fault(status=404)
        write_game(self.game_dir, OLD)
        self.start_launcher()
        controls = self.wait_for_end_of_pass()
        self.assertEqual(read_game_file(self.game_dir, "Data\\Local\\Item.bmd"), OLD["Data\\Local\\Item.bmd"])
        self.assertEqual(controls["lbl1"]["text"], "Have a great game!!")
        self.assertEqual(leftovers(self.game_dir), [])

    def test_a_connection_cut_mid_package_leaves_the_old_file_intact(self):
        server = self.serve()
        write_site(self.site_dir, NEW)
        server.faults["/Data/Effect/Fire.ozj.rar"] = Fault(cut_after=50000)
        write_game(self.game_dir, OLD)
        self.start_launcher()
        controls = self.wait_for_end_of_pass()
        self.assertFalse(os.path.exists(os.path.join(self.game_dir, "Data", "Effect", "Fire.ozj")))
        self.assertEqual(controls["lbl1"]["text"], "Have a great game!!")
        self.assertEqual(leftovers(self.game_dir), [])

    def test_a_transfer_that_stalls_for_a_minute_is_given_up_and_resumed(self):
        server = self.serve()
        write_site(self.site_dir, NEW)
        # The server holds the connection open far longer than the launcher waits for data,
        # once; the launcher gives that answer up after its timeout and asks for the rest.
        server.faults["/Data/Effect/Fire.ozj.rar"] = Fault(stall_after=20000, stall_seconds=240, times=1)
        write_game(self.game_dir, OLD)
        self.start_launcher()
        controls = self.wait_for_end_of_pass(timeout=150)
        self.assertEqual(read_game_file(self.game_dir, "Data\\Effect\\Fire.ozj"), NEW["Data\\Effect\\Fire.ozj"])
        self.assertEqual(server.requests.count("/Data/Effect/Fire.ozj.rar"), 2)
        self.assertEqual(controls["lbl1"]["text"], "Update completed!")
        self.assertEqual(leftovers(self.game_dir), [])

    def test_a_package_that_is_not_bzip2_fails_and_the_next_ones_install(self):
        self.serve()
        write_site(self.site_dir, NEW)
        with open(os.path.join(self.site_dir, "Data", "Effect", "Fire.ozj.rar"), "wb") as f:
            f.write(b"<html>not a package</html>")
        write_game(self.game_dir, OLD)
        self.start_launcher()
        controls = self.wait_for_end_of_pass()
        self.assertEqual(read_game_file(self.game_dir, "readme.txt"), b"v2", "later entries still install")
        self.assertFalse(os.path.exists(os.path.join(self.game_dir, "Data", "Effect", "Fire.ozj")))
        self.assertEqual(controls["lbl1"]["text"], "Have a great game!!")
        self.assertEqual(leftovers(self.game_dir), [])

    def test_an_entry_leading_outside_the_game_folder_is_never_written(self):
        self.serve()
        write_site(self.site_dir, {"readme.txt": b"v2"}, extra_lines=["..\\escaped.txt|000000|14"])
        self.start_launcher()
        controls = self.wait_for_end_of_pass()
        self.assertFalse(os.path.exists(os.path.join(os.path.dirname(self.game_dir), "escaped.txt")))
        self.assertEqual(read_game_file(self.game_dir, "readme.txt"), b"v2")
        self.assertEqual(controls["lbl1"]["text"], "Have a great game!!")

    def test_the_cross_during_a_download_ends_at_once_and_keeps_the_old_file(self):
        server = self.serve()
        write_site(self.site_dir, NEW)
        server.faults["/Data/Effect/Fire.ozj.rar"] = Fault(rate=20000)
        old_fire = b"old fire " * 100
        write_game(self.game_dir, dict(OLD, **{"Data\\Effect\\Fire.ozj": old_fire}))
        self.start_launcher()
        wait_until(lambda: "/Data/Effect/Fire.ozj.rar" in server.requests, message="the download to start")
        self.driver.click(MAIN_WINDOW, "CloseBtn")
        self.assertEqual(self.processes[-1].wait(timeout=30), 0)
        self.assertEqual(read_game_file(self.game_dir, "Data\\Effect\\Fire.ozj"), old_fire)

    def test_self_update_restarts_the_new_launcher(self):
        self.serve()
        new_launcher = open(os.path.join(BUILD_DIR, "Launcher.exe"), "rb").read() + b"\0new build"
        write_site(self.site_dir, {"Launcher.exe": new_launcher, "readme.txt": b"v2"})
        self.copy_program()
        first = self.start_launcher()
        self.assertEqual(first.wait(timeout=60), 0, "the old launcher ends with exit code 0")
        self.wait_for_end_of_pass()  # the new launcher's own pass
        self.assertEqual(read_game_file(self.game_dir, "Launcher.exe"), new_launcher)
        self.assertTrue(os.path.exists(os.path.join(self.game_dir, "Launcher.exe.old")))
        self.assertEqual(read_game_file(self.game_dir, "readme.txt"), b"v2")

    def test_a_failed_self_update_does_not_restart(self):
        self.serve()
        write_site(self.site_dir, {"Launcher.exe": b"new launcher " * 100})
        with open(os.path.join(self.site_dir, "Launcher.exe.rar"), "wb") as f:
            f.write(b"BZh91AY&SY damaged")
        original = open(os.path.join(self.copy_program()), "rb").read()
        process = self.start_launcher()
        controls = self.wait_for_end_of_pass()
        self.assertIsNone(process.poll(), "no restart: the launcher runs on")
        self.assertEqual(read_game_file(self.game_dir, "Launcher.exe"), original)
        self.assertEqual(controls["lbl1"]["text"], "Have a great game!!")


if __name__ == "__main__":
    unittest.main()
