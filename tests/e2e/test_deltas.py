"""Deltas in Launcher.exe under Wine: sites built by update-site.exe release after release into
one folder, so that each build makes deltas from the contents it replaces. A game a version or
two behind downloads the deltas instead of the packages; a delta that is missing, damaged or
not the signed one leaves the package to install the file exactly."""
import os
import random
import unittest

from launcher_e2e import MAIN_WINDOW, LauncherTestCase, wait_until
from update_site_fixture import build_site, read_game_file, write_game

ITEM, TABLE, README = "Data\\Item.bmd", "Data\\Local\\Table.txt", "readme.txt"


def releases(count, seed=1):
    """The game's files in count successive versions: a binary file with records edited and some
    inserted, a text table with a few lines edited, a file replaced wholly (which gains nothing
    from a delta, and may take one or its package)."""
    rng = random.Random(seed)
    item = bytearray(rng.randbytes(2_000_000))
    table = [f"{n}\t{rng.randrange(10**6)}\tItem number {n}" for n in range(20_000)]
    versions = []
    for version in range(count):
        versions.append({ITEM: bytes(item), TABLE: "\r\n".join(table).encode(), README: rng.randbytes(30_000)})
        for _ in range(200):
            at = rng.randrange(len(item) - 8)
            item[at:at + 8] = rng.randbytes(8)
        middle = len(item) // 2
        item[middle:middle] = rng.randbytes(20_000)
        for _ in range(30):
            n = rng.randrange(len(table))
            table[n] = f"{n}\t{rng.randrange(10**6)}\tItem number {n}, edited in {version + 2}"
    return versions


class DeltaUpdateTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.returning_user()
        self.server = self.serve()
        self.source = self.site_dir + "-source"

    def publish(self, versions, key=None):
        for files in versions:
            build_site(self.source, self.site_dir, files, key)

    def deltas_on_site(self):
        found = []
        for folder, _, names in os.walk(os.path.join(self.site_dir, "deltas")):
            found += [os.path.relpath(os.path.join(folder, name), self.site_dir).replace(os.sep, "/") for name in names]
        return sorted(found)

    def requested(self, since=0):
        return self.server.requests[since:]

    def run_pass(self, game, program="Launcher.exe", ending="Atualização concluída!"):
        """One pass over a game folder holding game, the launcher ended after it; the requests it
        made."""
        write_game(self.game_dir, game)
        log = os.path.join(self.game_dir, "log.txt")
        if os.path.exists(log):
            os.remove(log)
        before = len(self.server.requests)
        self.start_launcher(program)
        controls = self.wait_for_end_of_pass(timeout=90)
        self.assertTrue(controls["lbl1"]["text"].startswith(ending), controls["lbl1"]["text"])
        self.driver.run("terminate", MAIN_WINDOW)
        self.processes[-1].wait(timeout=30)
        return self.requested(before)

    def assert_game_holds(self, files):
        for path, data in files.items():
            self.assertEqual(read_game_file(self.game_dir, path), data, path)

    def site_size(self, path):
        return os.path.getsize(os.path.join(self.site_dir, *path.strip("/").split("/")))

    def test_a_game_one_or_two_versions_behind_downloads_deltas_instead_of_packages(self):
        v1, v2, v3 = releases(3)
        self.publish([v1, v2, v3])
        deltas = self.deltas_on_site()
        self.assertTrue(any(path.startswith("deltas/Data/Item.bmd.") for path in deltas), deltas)

        for behind, game in (("one version", v2), ("two versions", v1)):
            with self.subTest(behind):
                requests = self.run_pass(game)
                self.assert_game_holds(v3)
                got_deltas = [path for path in requests if path.startswith("/deltas/")]
                packages = [path for path in requests if path.endswith(".rar")]
                self.assertNotIn("/Data/Item.bmd.rar", packages)
                self.assertNotIn("/Data/Local/Table.txt.rar", packages)
                self.assertEqual(len([p for p in got_deltas if "Item.bmd" in p]), 1 if game is v2 else 2, got_deltas)
                self.assertEqual(len([p for p in got_deltas if "Table.txt" in p]), 1 if game is v2 else 2, got_deltas)
                delta_bytes = sum(self.site_size(path) for path in got_deltas)
                package_bytes = self.site_size("Data/Item.bmd.rar") + self.site_size("Data/Local/Table.txt.rar")
                self.assertLess(delta_bytes * 5, package_bytes)
                self.assertEqual(self.log_lines(), [])

    def test_a_missing_or_damaged_delta_leaves_the_package_to_install_the_file(self):
        v1, v2, v3 = releases(3, seed=2)
        self.publish([v1, v2, v3])
        last = [path for path in self.deltas_on_site() if path.startswith("deltas/Data/")]
        item = next(path for path in last if "Item.bmd" in path and self._leads_to(path, v3[ITEM]))
        table = next(path for path in last if "Table.txt" in path and self._leads_to(path, v3[TABLE]))
        with open(os.path.join(self.site_dir, *item.split("/")), "r+b") as f:
            f.seek(200)
            f.write(b"\xff" * 64)
        os.remove(os.path.join(self.site_dir, *table.split("/")))

        requests = self.run_pass(v2)
        self.assert_game_holds(v3)
        self.assertIn("/Data/Item.bmd.rar", requests)
        self.assertIn("/Data/Local/Table.txt.rar", requests)
        fell_back = [line for line in self.log_lines() if "por deltas falhou" in line]
        self.assertEqual(len(fell_back), 2, self.log_lines())

        # A file of no published version takes its package, and no delta is asked for.
        requests = self.run_pass({ITEM: b"modded" * 1000})
        self.assert_game_holds(v3)
        self.assertIn("/Data/Item.bmd.rar", requests)
        self.assertFalse([path for path in requests if path.startswith("/deltas/Data/Item.bmd")], requests)

    def _leads_to(self, delta_path, content):
        import zlib
        return delta_path.endswith(f"-{zlib.crc32(content):08x}.zst")

    def test_a_signed_site_with_deltas_installs_and_a_forged_delta_is_replaced_by_the_package(self):
        from update_site_fixture import TEST_SIGNING_KEY
        v1, v2 = releases(2, seed=3)
        self.publish([v1, v2], key=TEST_SIGNING_KEY)
        self.copy_program("LauncherSigned.exe", "Launcher.exe")
        requests = self.run_pass(v1)
        self.assert_game_holds(v2)
        self.assertTrue([path for path in requests if path.startswith("/deltas/")], requests)
        self.assertNotIn("/Data/Item.bmd.rar", requests)
        self.assertEqual(self.log_lines(), [])

        item = next(path for path in self.deltas_on_site() if "Item.bmd" in path)
        with open(os.path.join(self.site_dir, *item.split("/")), "r+b") as f:
            f.seek(100)
            f.write(b"\0" * 16)
        requests = self.run_pass(v1)
        self.assert_game_holds(v2)
        self.assertIn("/Data/Item.bmd.rar", requests)
        self.assertTrue(any("não confere com a declaração assinada" in line for line in self.log_lines()),
                        self.log_lines())

        # The launchers already in players' hands never ask for the index: to them the statement
        # vouches for a list and packages, with more package lines than the list names.
        os.remove(os.path.join(self.site_dir, "mu.update.deltas"))
        requests = self.run_pass(v1)
        self.assert_game_holds(v2)
        self.assertIn("/Data/Item.bmd.rar", requests)
        self.assertFalse([path for path in requests if path.startswith("/deltas/")], requests)
        self.assertEqual(self.log_lines(), [])

    def test_a_launcher_ended_while_deltas_apply_leaves_the_file_old_or_new(self):
        rng = random.Random(4)
        big = bytearray(rng.randbytes(12 << 20))
        v1 = {ITEM: bytes(big)}
        for _ in range(300):
            at = rng.randrange(len(big) - 4)
            big[at:at + 4] = b"edit"
        v2 = {ITEM: bytes(big)}
        self.publish([v1, v2])
        write_game(self.game_dir, v1)
        self.start_launcher()
        wait_until(lambda: any(t.path.startswith("/deltas/") and t.end is not None for t in self.server.timings),
                   timeout=60, message="the delta to arrive")
        self.driver.run("terminate", MAIN_WINDOW)
        self.processes[-1].wait(timeout=30)
        self.assertIn(read_game_file(self.game_dir, ITEM), (v1[ITEM], v2[ITEM]))
        self.run_pass({})
        self.assert_game_holds(v2)
        leftovers = [name for name in os.listdir(os.path.join(self.game_dir, "Data"))
                     if name.endswith((".delta", ".new", ".rar"))]
        self.assertEqual(leftovers, [])


if __name__ == "__main__":
    unittest.main()
