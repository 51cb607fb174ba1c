"""Answers that do not end, in Launcher.exe under Wine: a server (an attacker, or a broken proxy)
keeps sending zeros after the part the launcher needs, with chunked encoding or with no length
at all. The launcher takes what it needs or gives up at its bound, and the pass ends within
seconds of that moment: the rest of such an answer is never waited for, nor written to disk."""
import os
import threading
import time
import unittest

from launcher_e2e import MAIN_WINDOW
from loopback_server import Fault
from test_signed_updates import LOG_REFUSED_LIST, REFUSED, V1, V2, SignedSiteTestCase, ending, read_bytes
from update_site_fixture import read_game_file, write_game, write_site

KINDS = ("chunked", "unsized")
# The most that the launcher reads of an update list or a statement.
LARGEST_LIST = 64 << 20
# From the launcher's start to the end of its pass when nothing waits: Wine's start-up included.
PROMPT_PASS = 20


class LargestFileWatch:
    """Follows the size of one file while a pass runs, as often as it can."""

    def __init__(self, path):
        self.path, self.largest, self._stop = path, 0, threading.Event()
        self._thread = threading.Thread(target=self._watch, daemon=True)
        self._thread.start()

    def _watch(self):
        while not self._stop.is_set():
            try:
                self.largest = max(self.largest, os.path.getsize(self.path))
            except OSError:
                pass
            time.sleep(0.02)

    def stop(self):
        self._stop.set()
        self._thread.join()
        return self.largest


class EndlessAnswersTest(SignedSiteTestCase):
    def timed_pass(self, program="LauncherSigned.exe"):
        """(controls at the end, seconds from the launcher's start to the end of its pass)."""
        self.copy_program(program, "Launcher.exe")
        started = time.monotonic()
        self.start_launcher()
        controls = self.wait_for_end_of_pass(timeout=180)
        return controls, time.monotonic() - started

    def requests_of(self, path):
        return [timing for timing in self.server.timings if timing.path == path]

    def test_a_signed_package_followed_by_endless_bytes_installs_at_once(self):
        big = os.urandom(1 << 20)
        files = dict(V2, **{"Data\\Item.bmd": big})
        for kind in KINDS:
            with self.subTest(kind):
                write_game(self.game_dir, V1)
                self.publish(files)
                self.server.faults["/Data/Item.bmd.rar"] = Fault(endless=kind)
                controls, seconds = self.timed_pass()
                self.end_launchers()
                self.assertEqual(ending(controls), (True, "Update completed!"))
                self.assertEqual(read_game_file(self.game_dir, "Data\\Item.bmd"), big)
                self.assertLess(seconds, PROMPT_PASS, f"the pass took {seconds:.1f} s")
                self.assertFalse(os.path.exists(os.path.join(self.game_dir, "Data", "Item.bmd.rar")))
                print(f"{kind} package: pass {seconds:.1f} s")

    def test_an_endless_statement_is_refused_at_its_bound(self):
        for kind in KINDS:
            with self.subTest(kind):
                write_game(self.game_dir, V1)
                self.publish(V2)
                self.copy_program("LauncherSigned.exe", "Launcher.exe")
                before = self.game_snapshot()
                self.server.faults["/mu.update.sig"] = Fault(endless=kind)
                controls, seconds = self.timed_pass()
                self.assert_attack_stopped(controls, before, REFUSED, LOG_REFUSED_LIST)
                self.end_launchers()
                self.assertLess(seconds, PROMPT_PASS, f"the pass took {seconds:.1f} s")
                print(f"{kind} statement: pass {seconds:.1f} s")

    def test_an_update_list_without_end_fails_and_leaves_nothing(self):
        for kind in KINDS:
            with self.subTest(kind):
                write_game(self.game_dir, V1)
                write_site(self.site_dir, V2)
                self.server.faults["/mu.update"] = Fault(endless=kind)
                watch = LargestFileWatch(os.path.join(self.game_dir, "mu.update"))
                try:
                    controls, seconds = self.timed_pass("Launcher.exe")
                finally:
                    largest = watch.stop()
                self.end_launchers()
                self.assertTrue(controls["jogar"]["own_visible"], "play is available")
                self.assertEqual(read_game_file(self.game_dir, "Data\\Item.bmd"), V1["Data\\Item.bmd"])
                self.assertFalse(os.path.exists(os.path.join(self.game_dir, "mu.update")))
                self.assertLessEqual(largest, LARGEST_LIST)
                self.assertLess(seconds, PROMPT_PASS, f"the pass took {seconds:.1f} s")
                sent = sum(timing.sent for timing in self.requests_of("/mu.update"))
                print(f"{kind} list: pass {seconds:.1f} s, {sent / 2**20:.0f} MiB sent, "
                      f"at most {largest / 2**20:.1f} MiB on disk")


if __name__ == "__main__":
    unittest.main()
