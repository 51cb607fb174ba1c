"""Packages fetched ahead in Launcher.exe under Wine, against a loopback site that waits 100 ms
before every answer: while one entry is installed, the next entries' packages arrive on several
connections at once, yet the entries are installed one by one in list order; a failed download
still ends the pass at once and leaves nothing of the later entries, even of one whose server
went silent; a new launcher takes its place in the list and restarts only after the last entry;
a process ended mid-transfer leaves only whole files, and the next start finishes the update."""
import itertools
import os
import random
import time
import unittest
from collections import Counter

from launcher_e2e import BUILD_DIR, LAUNCHER_OWN_FILES, MAIN_WINDOW, LauncherTestCase, wait_until
from loopback_server import Fault, most_at_once
from test_game_folder import FOUND_CURRENT, INSTALLED, ending
from test_updater import leftovers
from update_site_fixture import read_game_file, write_game, write_site

# What a distant update server adds before every answer: enough to make one connection at a
# time slow, and waits on several connections overlap.
ANSWER_DELAY = 0.1
CONNECTIONS = 4
# Besides the packages, the launcher may ask for its configuration, logo and list meanwhile.
OTHER_REQUESTS = 2

# (folder, entries, whether the old game has the folder). In the old game, every third entry of
# an existing folder is missing, every third outdated and every third already current.
LARGE_GAME = [("Data\\Effect", 80, True), ("Data\\Local\\Eng", 100, True), ("Data\\Zone\\Deep", 80, False),
              ("Sound", 40, False)]

# How a pass ends when an entry failed.
FAILED = (True, "Have a great game!!")


def versions(layout, seed):
    """(old, new) game files {list path: bytes} of 1 to 30 KB each, in nested folders."""
    rng = random.Random(seed)
    old, new = {}, {}
    for folder, count, existed in layout:
        for i in range(count):
            path = f"{folder}\\f{i:03d}.bin"
            new[path] = rng.randbytes(rng.randint(1_000, 30_000))
            if existed and i % 3 == 1:
                old[path] = rng.randbytes(rng.randint(1_000, 30_000))
            elif existed and i % 3 == 2:
                old[path] = new[path]
    return old, new


def address(path):
    return "/" + path.replace("\\", "/") + ".rar"


def game_path(game_dir, path):
    return os.path.join(game_dir, *path.split("\\"))


def game_tree(game_dir):
    """(files, folders) under the game folder as list paths; the activity log is left out."""
    files, folders = set(), set()
    for folder, subfolders, names in os.walk(game_dir):
        relative = os.path.relpath(folder, game_dir)
        prefix = "" if relative == "." else relative.replace(os.sep, "\\") + "\\"
        files |= {prefix + name for name in names if name not in LAUNCHER_OWN_FILES}
        folders |= {prefix + name for name in subfolders}
    return files, folders


def folders_of(paths):
    folders = set()
    for path in paths:
        parts = path.split("\\")[:-1]
        folders |= {"\\".join(parts[:n]) for n in range(1, len(parts) + 1)}
    return folders


class FetchAheadTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.returning_user(LangSelection="Eng")
        self.server = self.serve()
        self.server.answer_delay = ANSWER_DELAY

    def publish(self, old, new):
        """Writes the site and the old game; returns the outdated entries in list order."""
        write_site(self.site_dir, new)
        write_game(self.game_dir, old)
        self.copy_program()
        return [path for path in sorted(new) if old.get(path) != new[path]]

    def assert_game_holds(self, expected, extra_files=("Launcher.exe",)):
        """The game folder holds exactly these files with these contents, and no other file or
        folder: nothing temporary under any name, no folder made for an entry not installed."""
        for path, data in expected.items():
            self.assertEqual(read_game_file(self.game_dir, path), data, path)
        files, folders = game_tree(self.game_dir)
        self.assertEqual(leftovers(self.game_dir), [])
        self.assertEqual(files, set(expected) | set(extra_files))
        self.assertEqual(folders, folders_of(expected))

    def assert_installed_in_list_order(self, paths):
        """paths: installed entries, in list order. Each one's file took its name by a rename,
        which sets its change time, and nothing touches it afterwards. That clock steps by a few
        milliseconds (two entries may share a time) and never goes back, so an entry installed
        before one listed ahead of it shows an earlier time."""
        times = [os.stat(game_path(self.game_dir, path)).st_ctime_ns for path in paths]
        late = [(earlier, later) for (earlier, t1), (later, t2) in itertools.pairwise(zip(paths, times)) if t2 < t1]
        self.assertEqual(late, [], "entries installed before an entry listed ahead of them")

    def assert_each_requested_once(self, paths):
        counts = Counter(self.server.requests)
        self.assertEqual({path: counts[address(path)] for path in paths if counts[address(path)] != 1}, {},
                         "packages asked for other than once")

    def test_a_long_list_arrives_on_parallel_connections_and_installs_in_list_order(self):
        old, new = versions(LARGE_GAME, seed=1)
        outdated = self.publish(old, new)
        # An early package answers late: its followers arrive first, and must still wait for it.
        self.server.faults[address(outdated[2])] = Fault(delay=1.0)
        self.start_launcher()
        self.assertEqual(ending(self.wait_for_end_of_pass(timeout=150)), INSTALLED)
        self.assert_game_holds(new)
        self.assert_installed_in_list_order(outdated)
        self.assert_each_requested_once(outdated)
        self.assertEqual([path for path in new if path not in outdated and address(path) in self.server.requests],
                         [], "a current file is not fetched")
        packages = [timing for timing in self.server.timings if timing.path.endswith(".rar")]
        self.assertEqual(most_at_once(packages), CONNECTIONS, "every connection busy at once, and no more")
        self.assertLessEqual(most_at_once(self.server.timings), CONNECTIONS + OTHER_REQUESTS)

    def test_a_failed_download_ends_the_pass_and_nothing_fetched_ahead_stays(self):
        old, new = versions(LARGE_GAME, seed=2)
        outdated = self.publish(old, new)
        order = sorted(new)
        failing = next(path for path in order[149:] if path in outdated)
        self.server.faults[address(failing)] = Fault(status=404)
        self.start_launcher()
        self.assertEqual(ending(self.wait_for_end_of_pass(timeout=150)), FAILED)
        self.assertIn(address(failing), self.server.requests)
        cut = order.index(failing)
        expected = {path: new[path] for path in order[:cut]}
        expected.update({path: old[path] for path in order[cut:] if path in old})
        # The later entries' own folders (Data\Zone, Sound) are gone with their packages.
        self.assert_game_holds(expected)
        self.assert_installed_in_list_order(outdated[:outdated.index(failing)])

    def test_a_failed_download_gives_up_at_once_a_package_whose_server_went_silent(self):
        self.check_failure_gives_up_silent_package(Fault(stall_after=100, stall_seconds=300))

    def test_a_failed_download_gives_up_at_once_a_package_whose_server_never_answers(self):
        self.check_failure_gives_up_silent_package(Fault(delay=300))

    def check_failure_gives_up_silent_package(self, silence):
        old, new = versions([("Data\\Effect", 12, True), ("Sound", 6, False)], seed=6)
        outdated = self.publish(old, new)
        order = sorted(new)
        # Cut every time, the entry fails after its resumptions, while the silent package
        # fetched ahead waits far longer than that.
        failing, silent = outdated[1], outdated[4]
        self.server.faults[address(failing)] = Fault(cut_after=10)
        self.server.faults[address(silent)] = silence
        started = time.monotonic()
        self.start_launcher()
        # Well before a request's own timeout (60 s) would end the silent transfer.
        self.assertEqual(ending(self.wait_for_end_of_pass(timeout=45)), FAILED)
        self.assertLess(time.monotonic() - started, 45)
        self.assertIn(address(silent), self.server.requests)
        cut = order.index(failing)
        expected = {path: new[path] for path in order[:cut]}
        expected.update({path: old[path] for path in order[cut:] if path in old})
        self.assert_game_holds(expected)

    def test_a_new_launcher_in_the_middle_takes_its_place_and_restarts_after_the_last_entry(self):
        old, new = versions([("Data\\Effect", 30, True), ("Sound", 20, False)], seed=3)
        with open(os.path.join(BUILD_DIR, "Launcher.exe"), "rb") as f:
            new["Launcher.exe"] = f.read() + b"\0new build"
        outdated = self.publish(old, new)
        self.assertTrue(0 < outdated.index("Launcher.exe") < len(outdated) - 1, "the launcher is listed mid-list")
        first = self.start_launcher()
        self.assertEqual(first.wait(timeout=120), 0, "the old launcher ends with exit code 0")
        # Had the old launcher restarted at the launcher's entry, the new one would have had
        # the later entries to fetch.
        self.assertEqual(ending(self.wait_for_end_of_pass()), FOUND_CURRENT)
        self.assert_each_requested_once(outdated)
        self.assert_game_holds(new, extra_files=("Launcher.exe.old",))
        self.assert_installed_in_list_order(outdated)

    def test_a_launcher_ended_mid_transfer_leaves_whole_files_and_the_next_start_finishes(self):
        old, new = versions([("Data\\Effect", 60, True)], seed=4)
        pending = [path for path in sorted(new) if old.get(path) != new[path]]
        # Larger packages sent slowly, so that several transfers are under way at the end.
        rng = random.Random(5)
        slow = [pending[3], pending[4], pending[12], pending[13]]
        for path in slow:
            new[path] = rng.randbytes(400_000)
            self.server.faults[address(path)] = Fault(rate=100_000)
        self.publish(old, new)
        self.start_launcher()

        slow_addresses = set(map(address, slow))

        def slow_transfers_under_way():
            return sum(1 for timing in self.server.timings if timing.path in slow_addresses and timing.end is None)
        wait_until(lambda: slow_transfers_under_way() >= 2, timeout=40, message="two slow packages arriving at once")
        self.driver.run("terminate", MAIN_WINDOW)
        self.processes[-1].wait(timeout=30)
        for path in new:
            if os.path.exists(game_path(self.game_dir, path)):
                self.assertIn(read_game_file(self.game_dir, path), (old.get(path), new[path]), path)
        self.server.faults.clear()
        self.start_launcher()
        self.assertEqual(ending(self.wait_for_end_of_pass(timeout=90)), INSTALLED)
        self.assert_game_holds(new)


if __name__ == "__main__":
    unittest.main()
