"""Transfers in Launcher.exe under Wine: a package unpacked while it arrives; cut transfers
resumed from the bytes already received when the server still has the same package, started
over when it does not; never a file made of two."""
import bz2
import os
import time
import unittest

from launcher_e2e import MAIN_WINDOW, LauncherTestCase, controls_by_name, wait_until
from loopback_server import Fault
from test_updater import leftovers
from update_site_fixture import read_game_file, write_game, write_site

BIG = "Data\\Effect\\Fire.ozj"
BIG_ADDRESS = "/Data/Effect/Fire.ozj.rar"
OLD = {BIG: b"old fire", "readme.txt": b"v1"}
NEW = {BIG: os.urandom(600_000), "readme.txt": b"v2"}
CUT = 150_000
# A 256 kbit/s line, common where many players live.
SLOW_LINE = 32_000
# What the launcher waits for a silent server before it gives up and resumes.
RECEIVE_TIMEOUT = 60


class ResumeTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.returning_user(LangSelection="Eng")
        self.server = self.serve()
        write_site(self.site_dir, NEW)
        write_game(self.game_dir, OLD)

    def requests_for_big(self):
        """(Range, If-Range) of every request for the big package."""
        return [(wanted, validator) for path, wanted, validator in self.server.range_requests if path == BIG_ADDRESS]

    def pass_installs_the_new_files(self):
        self.pass_installs_the_new_files_within(60)

    def pass_installs_the_new_files_within(self, seconds):
        controls = self.wait_for_end_of_pass(timeout=seconds)
        self.assertEqual(controls["lbl1"]["text"], "Update completed!")
        for path, data in NEW.items():
            self.assertEqual(read_game_file(self.game_dir, path), data, path)
        self.assertEqual(leftovers(self.game_dir), [])

    def test_a_multi_block_package_is_unpacked_while_it_arrives(self):
        big = os.urandom(2_500_000)  # three bzip2 blocks
        write_site(self.site_dir, dict(NEW, **{BIG: big}))
        self.server.faults[BIG_ADDRESS] = Fault(rate=500_000)
        self.start_launcher()
        unpacked = os.path.join(self.game_dir, *BIG.split("\\")) + ".new"
        package = os.path.join(self.game_dir, *BIG.split("\\")) + ".rar"
        seen = []

        def unpacking_before_the_end():
            if os.path.exists(unpacked) and os.path.exists(package):
                seen.append((os.path.getsize(package), os.path.getsize(unpacked)))
            return any(0 < done and received < len(bz2.compress(big, 9)) for received, done in seen)
        wait_until(unpacking_before_the_end, timeout=30, interval=0.05,
                   message="unpacked bytes while the package was still arriving")
        controls = self.wait_for_end_of_pass()
        self.assertEqual(controls["lbl1"]["text"], "Update completed!")
        self.assertEqual(read_game_file(self.game_dir, BIG), big)
        self.assertEqual(leftovers(self.game_dir), [])

    def test_a_transfer_cut_twice_resumes_where_it_was_cut(self):
        self.server.faults[BIG_ADDRESS] = Fault(cut_after=CUT, times=2)
        self.start_launcher()
        self.pass_installs_the_new_files()
        requests = self.requests_for_big()
        self.assertEqual([wanted for wanted, _ in requests], [None, f"bytes={CUT}-", f"bytes={2 * CUT}-"])
        self.assertTrue(all(validator for _, validator in requests[1:]), "resumed only with If-Range")

    def test_a_server_without_ranges_is_asked_again_and_sends_the_whole_package(self):
        self.server.ignore_ranges.add(BIG_ADDRESS)
        self.server.faults[BIG_ADDRESS] = Fault(cut_after=CUT, times=1)
        self.start_launcher()
        self.pass_installs_the_new_files()
        self.assertEqual(len(self.requests_for_big()), 2)

    def test_a_package_changed_between_the_cut_and_the_resume_is_fetched_again_whole(self):
        # The operator republishes the same file packed another way: other bytes, other ETag.
        package = os.path.join(self.site_dir, *BIG.split("\\")) + ".rar"

        def republish():
            with open(package, "wb") as f:
                f.write(bz2.compress(NEW[BIG], 1))
        self.server.faults[BIG_ADDRESS] = Fault(cut_after=CUT, times=1, on_cut=republish)
        self.start_launcher()
        self.pass_installs_the_new_files()
        requests = self.requests_for_big()
        self.assertEqual(len(requests), 2)
        self.assertEqual(requests[1][0], f"bytes={CUT}-", "the launcher asked to resume; the server sent it whole")

    def test_on_a_slow_line_the_file_bar_moves_every_second(self):
        big = os.urandom(160_000)
        write_site(self.site_dir, dict(NEW, **{BIG: big}))
        write_game(self.game_dir, {"readme.txt": NEW["readme.txt"]})  # the big file alone is outdated
        package_size = os.path.getsize(os.path.join(self.site_dir, *BIG.split("\\")) + ".rar")
        self.server.faults[BIG_ADDRESS] = Fault(rate=SLOW_LINE)
        self.start_launcher()
        changes = []  # (time, file bar position) at each change while the package arrives
        deadline = time.monotonic() + 60
        while not changes or changes[-1][1] < package_size:
            self.assertLess(time.monotonic(), deadline, "the package's transfer")
            window = self.driver.try_dump(MAIN_WINDOW)
            position = controls_by_name(window)["ProgressBar1"]["position"] if window else 0
            if changes and position < changes[-1][1]:
                break  # the transfer ended between two looks
            if position > 0 and (not changes or position != changes[-1][1]):
                changes.append((time.monotonic(), position))
        gaps = [later[0] - earlier[0] for earlier, later in zip(changes, changes[1:])]
        print(f"{len(changes)} positions of the file bar in {changes[-1][0] - changes[0][0]:.1f} s, "
              f"the longest still {max(gaps, default=0):.2f} s")
        self.assertGreaterEqual(len(changes), 4, changes)
        self.assertLessEqual(max(gaps), 1.0, changes)
        self.assertEqual(self.wait_for_end_of_pass()["lbl1"]["text"], "Update completed!")
        self.assertEqual(read_game_file(self.game_dir, BIG), big)

    def test_a_stalled_transfer_keeps_what_arrived_and_resumes_from_there(self):
        write_game(self.game_dir, {"readme.txt": NEW["readme.txt"]})
        self.server.faults[BIG_ADDRESS] = Fault(stall_after=10_000, stall_seconds=RECEIVE_TIMEOUT + 15, times=1)
        self.start_launcher()
        package = os.path.join(self.game_dir, *BIG.split("\\")) + ".rar"
        wait_until(lambda: os.path.exists(package) and os.path.getsize(package) == 10_000, timeout=20,
                   message="the bytes that arrived before the stall in the package file")
        self.pass_installs_the_new_files_within(RECEIVE_TIMEOUT + 30)
        requests = self.requests_for_big()
        self.assertEqual([wanted for wanted, _ in requests], [None, "bytes=10000-"])


if __name__ == "__main__":
    unittest.main()
