"""update-site.exe, the operator's tool as a Windows program under Wine: it builds a site the
launcher reads, and verify finds a damaged package."""
import bz2
import os
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
            package = open(os.path.join(site, *path.split("\\")) + ".rar", "rb").read()
            self.assertEqual(bz2.decompress(package), GAME[path])
            self.assertEqual((crc, int(size)), (f"{zlib.crc32(GAME[path]):06X}", len(package)))
        self.assertEqual(self.run_tool("verify", site).returncode, 0)

        with open(os.path.join(site, "readme.txt.rar"), "r+b") as f:
            f.seek(20)
            f.write(b"\xff\xff\xff\xff")
        damaged = self.run_tool("verify", site)
        self.assertEqual(damaged.returncode, 1)
        self.assertIn("readme.txt", damaged.stdout)


if __name__ == "__main__":
    unittest.main()
