"""Transfers in Launcher.exe under Wine: a package unpacked while it arrives; cut transfers
resumed from the bytes already received when the server still has the same package, started
over when it does not; never a file made of two."""
import bz2
import os
import unittest

from launcher_e2e import LauncherTestCase, wait_until
from loopback_server import Fault
from test_updater import leftovers
from update_site_fixture import read_game_file, write_game, write_site

BIG = "Data\\Effect\\Fire.ozj"
BIG_ADDRESS = "/Data/Effect/Fire.ozj.rar"
OLD = {BIG: b"old fire", "readme.txt": b"v1"}
NEW = {BIG: os.urandom(600_000), "readme.txt": b"v2"}
CUT = 150_000


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
        controls = self.wait_for_end_of_pass()
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


if __name__ == "__main__":
    unittest.main()
