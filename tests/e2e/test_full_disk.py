"""Launcher.exe under Wine with its game folder on a nearly full disk (a small tmpfs mounted for
each test, about 1 MB free): a 16-byte file listed before a 3 MB one. The small file installs,
however the large package is fetched; the large entry fails for lack of room and keeps its old
file (or, new in a new folder, leaves no folder), nothing temporary stays behind, and the pass
ends with the failure text and the play control usable. Mounting needs root: without it the
tests are skipped."""
import os
import subprocess
import time
import unittest

from launcher_e2e import BUILD_DIR, LauncherTestCase
from loopback_server import Fault
from test_fetch_ahead import address, game_tree
from test_game_folder import ending
from test_updater import leftovers
from update_site_fixture import read_game_file, write_game, write_site

# What the disk keeps free once the old game is on it, as seen: 1 MiB, and a page for the list.
PAGE = 4096
FREE_BYTES = (1 << 20) + PAGE
# Room for the old game before the disk is shrunk to FREE_BYTES beside it.
FIRST_SIZE = "64m"
SMALL = "Data\\a.txt"
SMALL_OLD, SMALL_NEW = b"old sixteen byte", b"new sixteen byte"
LARGE_SIZE = 3 << 20
# The moment seen, held still: a large package fetched ahead stops for a while once its first MiB
# (four whole blocks of the launcher's reads) has filled the disk, and the small package answers
# only then. Without the stop, the large package would fail and go at once, leaving room again.
LARGE_STALL_AFTER, LARGE_STALL_SECONDS = 1 << 20, 2.0
SMALL_DELAY = 1.0
FAILED = (True, "Have a great game!!")


def mount_small_disk(folder):
    """Mounts a tmpfs on the folder; returns why it could not, or None."""
    try:
        mounting = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={FIRST_SIZE},mode=0755", "tmpfs", folder],
                                  capture_output=True, text=True)
    except OSError as error:
        return str(error)
    return None if mounting.returncode == 0 else mounting.stderr.strip() or f"mount exited with {mounting.returncode}"


def unmount(folder):
    """A process of the test that just ended may still hold the folder for a moment."""
    for _ in range(20):
        if subprocess.run(["umount", folder], capture_output=True).returncode == 0:
            return
        time.sleep(0.25)
    subprocess.run(["umount", "--lazy", folder], check=True, capture_output=True)


class FullDiskTest(LauncherTestCase):
    def setUp(self):
        # Registered first, so it runs last: after the launcher and Wine's programs ended.
        self.mounted = None
        self.addCleanup(lambda: self.mounted and unmount(self.mounted))
        super().setUp()
        refusal = mount_small_disk(self.game_dir)
        if refusal:
            self.skipTest(f"the game folder's small disk is a tmpfs mounted by the test, not allowed here: {refusal}")
        self.mounted = self.game_dir
        self.returning_user(LangSelection="Eng")
        self.server = self.serve()

    def leave_free(self, free_bytes):
        """Shrinks the game folder's disk to what it holds and free_bytes beside."""
        disk = os.statvfs(self.game_dir)
        used = (disk.f_blocks - disk.f_bfree) * disk.f_frsize
        size_kb = (used + free_bytes + 4095) // 4096 * 4
        subprocess.run(["mount", "-o", f"remount,size={size_kb}k", self.game_dir], check=True, capture_output=True)
        disk = os.statvfs(self.game_dir)
        self.assertLess(abs(disk.f_bavail * disk.f_frsize - free_bytes), 8192, "the disk's free space as set")

    def check_the_small_entry_installs_and_the_large_one_fails(self, large, large_new, large_old):
        """large_old: None for a new file in new folders."""
        write_site(self.site_dir, {SMALL: SMALL_NEW, large: large_new})
        self.copy_program()
        old_game = {SMALL: SMALL_OLD}
        if large_old is not None and large != "Launcher.exe":
            old_game[large] = large_old
        write_game(self.game_dir, old_game)
        self.leave_free(FREE_BYTES)
        self.server.faults[address(SMALL)] = Fault(delay=SMALL_DELAY)
        self.server.faults[address(large)] = Fault(
            stall_after=LARGE_STALL_AFTER, stall_seconds=LARGE_STALL_SECONDS, times=1)
        self.start_launcher()
        controls = self.wait_for_end_of_pass(timeout=90)
        self.assertEqual(ending(controls), FAILED)
        self.assertTrue(controls["jogar"]["enabled"], "the play control can be pressed")
        self.assertEqual(read_game_file(self.game_dir, SMALL), SMALL_NEW)
        expected_files = {SMALL, "Launcher.exe"}
        if large_old is not None:
            self.assertEqual(read_game_file(self.game_dir, large), large_old, "the old file whole")
            expected_files.add(large)
        self.assertEqual(leftovers(self.game_dir), [])
        self.assertEqual(game_tree(self.game_dir), (expected_files, {"Data"}), "no other file and no folder made")
        # With 1 MB free, the disk has no room to fetch the large package ahead of its turn.
        small_answered = min(t.end for t in self.server.timings if t.path == address(SMALL) and t.end)
        large_asked = min(t.start for t in self.server.timings if t.path == address(large))
        self.assertGreaterEqual(large_asked, small_answered, "the large package fetched at its turn")

    def test_a_large_file_after_a_small_one(self):
        self.check_the_small_entry_installs_and_the_large_one_fails(
            "Data\\z.bin", os.urandom(LARGE_SIZE), os.urandom(100_000))

    def test_a_large_file_in_new_folders_after_a_small_one(self):
        self.check_the_small_entry_installs_and_the_large_one_fails("Novo\\Pasta\\z.bin", os.urandom(LARGE_SIZE), None)

    def test_a_large_new_launcher_after_a_small_file(self):
        with open(os.path.join(BUILD_DIR, "Launcher.exe"), "rb") as f:
            running = f.read()
        new_launcher = running + os.urandom(LARGE_SIZE - len(running) // 2)
        self.check_the_small_entry_installs_and_the_large_one_fails("Launcher.exe", new_launcher, running)


if __name__ == "__main__":
    unittest.main()
