"""update-site.exe, the operator's tool as a Windows program under Wine: it builds a site the
launcher reads, and verify finds a damaged package; a second release into the same site gets a
delta that the zstd tool applies, and verify applies it too."""
import bz2
import os
import shutil
import subprocess
import unittest
import zlib

from launcher_e2e import BUILD_DIR, HEAP_CHECKS, LauncherTestCase, heap_faults, wine, wine_env
from update_site_fixture import write_game

GAME = {"Data\\Local\\Item.bmd": b"item " * 20000, "Launcher.exe": b"MZ launcher", "readme.txt": b"hello",
        "log.txt": b"not distributed"}


class UpdateSiteExeTest(LauncherTestCase):
    def run_tool(self, *args):
        # A heap fault may pass unseen many times and then hang the tool.
        env = dict(wine_env(), WINEDEBUG=HEAP_CHECKS)
        done = subprocess.run(wine() + [os.path.join(BUILD_DIR, "update-site.exe"), *args], env=env,
                              capture_output=True, text=True, stdin=subprocess.DEVNULL, timeout=120)
        self.assertEqual(heap_faults(done.stderr), [])
        return done

    def test_build_and_verify(self):
        write_game(self.game_dir, GAME)
        site = os.path.join(self.game_dir + "-site")
        built = self.run_tool("build", self.game_dir, site)
        self.assertEqual(built.returncode, 0, built.stderr)
        with open(os.path.join(site, "mu.update"), "rb") as f:
            lines = f.read().decode("cp1252").split("\r\n")
        entries = {line.split("|")[0]: line.split("|")[1:] for line in lines[1:-2]}
        self.assertEqual((lines[0], lines[-2], lines[-1]), ("[Download]", "[/Download]", ""))
        self.assertEqual(sorted(entries), ["Data\\Local\\Item.bmd", "Launcher.exe", "readme.txt"])
        for path, (crc, size) in entries.items():
            with open(os.path.join(site, *path.split("\\")) + ".rar", "rb") as f:
                package = f.read()
            self.assertEqual(bz2.decompress(package), GAME[path])
            self.assertEqual((crc, int(size)), (f"{zlib.crc32(GAME[path]):06X}", len(package)))
        self.assertEqual(self.run_tool("verify", site).returncode, 0)

        with open(os.path.join(site, "readme.txt.rar"), "r+b") as f:
            f.seek(20)
            f.write(b"\xff\xff\xff\xff")
        damaged = self.run_tool("verify", site)
        self.assertEqual(damaged.returncode, 1)
        self.assertIn("readme.txt", damaged.stdout)

    def test_a_second_release_gets_a_delta_that_verify_applies(self):
        write_game(self.game_dir, GAME)
        site = os.path.join(self.game_dir + "-site")
        self.assertEqual(self.run_tool("build", self.game_dir, site).returncode, 0)
        shutil.copytree(site, site + "-v1")
        item = GAME["Data\\Local\\Item.bmd"].replace(b"item item", b"item ITEM", 50)
        write_game(self.game_dir, {"Data\\Local\\Item.bmd": item})
        built = self.run_tool("build", self.game_dir, site)
        self.assertEqual(built.returncode, 0, built.stderr)
        self.assertIn("Deltas in mu.update.deltas: 1 made", built.stdout)

        with open(os.path.join(site, "mu.update.deltas"), encoding="utf-8") as f:
            lines = f.read().split("\n")
        self.assertEqual((lines[0], len(lines)), ("launcher-deltas 1", 3))
        _, path, old_crc, new_crc, size, result_size, location = lines[1].split("\t")
        self.assertEqual((path, old_crc, new_crc, int(result_size)),
                         ("Data\\Local\\Item.bmd", f"{zlib.crc32(GAME[path]):08x}", f"{zlib.crc32(item):08x}", len(item)))
        delta = os.path.join(site, *location.split("/"))
        self.assertEqual(os.path.getsize(delta), int(size))
        old = os.path.join(self.game_dir + "-old")
        with open(old, "wb") as f:
            f.write(GAME[path])
        applied = subprocess.run(["zstd", "-d", "-c", "--long=31", f"--patch-from={old}", delta], capture_output=True,
                                 check=True, timeout=60)
        self.assertEqual(applied.stdout, item)

        verified = self.run_tool("verify", site, "--previous", site + "-v1")
        self.assertEqual(verified.returncode, 0, verified.stdout)
        self.assertIn("1 deltas", verified.stdout)
        self.assertIn("1 applied) checked: no problems", verified.stdout)


if __name__ == "__main__":
    unittest.main()
