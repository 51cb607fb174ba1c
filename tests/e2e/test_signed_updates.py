"""Signed updates in Launcher.exe under Wine. The launcher built with the test key
(LauncherSigned.exe, started as Launcher.exe) takes a list only with a statement signed by that
key, and every package only with its signed digest. Each attack ends with no game file changed,
no program started from a changed file, an entry in the activity log and play available."""
import bz2
import os
import random
import shutil
import subprocess
import time
import unittest
import zlib

from launcher_e2e import BUILD_DIR, LAUNCHER_OWN_FILES, MAIN_WINDOW, LauncherTestCase, wait_until, wine, wine_env
from update_site_fixture import TEST_SIGNING_KEY, build_site, read_game_file, write_game

HERE = os.path.dirname(os.path.abspath(__file__))
KEY = TEST_SIGNING_KEY
OTHER_KEY = os.path.join(HERE, "keys", "other_signing.key")

V1 = {"Data\\Item.bmd": b"item v1 " * 3000, "readme.txt": b"v1"}
V2 = {"Data\\Item.bmd": os.urandom(20_000), "readme.txt": b"v2", "Data\\Map.att": os.urandom(20_000)}
REFUSED = (True, "Update refused: the update server's signature is not valid.")
ENTRY_FAILED = (True, "Have a great game!!")
LOG_REFUSED_LIST = "Lista de atualização recusada: "
LOG_REFUSED_PACKAGE = "Pacote recusado: "

_CRC_TABLE = []
for _n in range(256):
    _c = _n
    for _ in range(8):
        _c = (_c >> 1) ^ 0xEDB88320 if _c & 1 else _c >> 1
    _CRC_TABLE.append(_c)
_CRC_BY_TOP_BYTE = {entry >> 24: index for index, entry in enumerate(_CRC_TABLE)}


def with_crc(prefix, target):
    """prefix and four bytes more, so that the CRC-32 of the whole is target: what forging the
    list's checksum costs an attacker."""
    register, indices = target ^ 0xFFFFFFFF, []
    for _ in range(4):
        index = _CRC_BY_TOP_BYTE[register >> 24]
        indices.insert(0, index)
        register = ((register ^ _CRC_TABLE[index]) << 8) & 0xFFFFFFFF
    register, tail = zlib.crc32(prefix) ^ 0xFFFFFFFF, bytearray()
    for index in indices:
        tail.append((register ^ index) & 0xFF)
        register = (register >> 8) ^ _CRC_TABLE[index]
    return prefix + bytes(tail)


def forged_package(genuine, package_size):
    """Other content with the genuine content's CRC-32, packed to the genuine package's size."""
    rng = random.Random(7)
    for _ in range(5000):
        content = with_crc(rng.randbytes(len(genuine) - 4), zlib.crc32(genuine))
        package = bz2.compress(content, 9)
        if len(package) == package_size:
            return package
    raise AssertionError("no forgery of that size found")


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def ending(controls):
    return controls["lbl1"]["own_visible"], controls["lbl1"]["text"]


class SignedSiteTestCase(LauncherTestCase):
    """A site built and signed by update-site.exe, and the launcher built with the test key."""

    def setUp(self):
        super().setUp()
        self.returning_user(LangSelection="Eng")
        self.server = self.serve()
        self.source = os.path.join(self.site_dir + "-source")

    # --- the operator's side: update-site.exe under Wine ---

    def publish(self, files, key=KEY):
        build_site(self.source, self.site_dir, files, key)

    def resign(self, *options, key=KEY):
        subprocess.run(wine() + [os.path.join(BUILD_DIR, "statement_tool.exe"), "resign", key,
                                 os.path.join(self.site_dir, "mu.update.sig"), *map(str, options)],
                       env=wine_env(), check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=60)

    def site_file(self, name):
        return os.path.join(self.site_dir, *name.split("\\"))

    # --- the player's side ---

    def run_signed_launcher(self):
        """One pass of the signed launcher over the game folder; its main window at the end."""
        self.copy_program("LauncherSigned.exe", "Launcher.exe")
        self.start_launcher()
        controls = self.wait_for_end_of_pass()
        return controls

    def end_launchers(self):
        self.driver.run("terminate", MAIN_WINDOW, check=False)

    def game_snapshot(self):
        snapshot = {}
        for folder, _, files in os.walk(self.game_dir):
            for name in files:
                path = os.path.join(folder, name)
                if name not in LAUNCHER_OWN_FILES:
                    snapshot[os.path.relpath(path, self.game_dir)] = read_bytes(path)
        return snapshot

    def log(self):
        path = os.path.join(self.game_dir, "log.txt")
        return read_bytes(path).decode("cp1252") if os.path.exists(path) else ""

    def assert_attack_stopped(self, controls, before, expected_ending, log_text):
        self.assertEqual(ending(controls), expected_ending)
        self.assertTrue(controls["jogar"]["own_visible"], "play is available")
        self.assertEqual(self.game_snapshot(), before, "no game file changed")
        self.assertIn(log_text, self.log())
        self.assertEqual(self.driver.run("count", MAIN_WINDOW)[0], 1, "no other launcher was started")


class SignedUpdatesTest(SignedSiteTestCase):
    # --- what works ---

    def test_a_signed_site_installs_and_the_launcher_updates_itself(self):
        new_launcher = read_bytes(os.path.join(BUILD_DIR, "LauncherSigned.exe")) + b"\0signed build 2"
        write_game(self.game_dir, V1)
        self.publish(dict(V2, **{"Launcher.exe": new_launcher}))
        self.copy_program("LauncherSigned.exe", "Launcher.exe")
        launcher = self.start_launcher()
        self.assertEqual(launcher.wait(timeout=60), 0, "the old launcher ends after starting the new one")
        controls = self.wait_for_end_of_pass()
        self.assertEqual(ending(controls), (False, "Update completed! No outdated files found."))
        for path, data in V2.items():
            self.assertEqual(read_game_file(self.game_dir, path), data, path)
        self.assertEqual(read_game_file(self.game_dir, "Launcher.exe"), new_launcher)
        self.assertEqual(read_game_file(self.game_dir, "mu.update.version"), b"1")

    def test_a_launcher_built_without_keys_ignores_the_signatures(self):
        write_game(self.game_dir, V1)
        self.publish(V2)
        self.start_launcher()
        controls = self.wait_for_end_of_pass()
        self.assertEqual(ending(controls), (True, "Update completed!"))
        for path, data in V2.items():
            self.assertEqual(read_game_file(self.game_dir, path), data, path)
        self.assertNotIn("/mu.update.sig", self.server.requests)

    def test_a_signed_site_with_deltas_installs(self):
        """A second release built into the same site publishes deltas, their index and a statement
        that vouches for them in package lines: the signed launcher takes the list and installs."""
        write_game(self.game_dir, V1)
        self.publish(V1)
        self.publish(V2)
        self.assertTrue(os.path.exists(os.path.join(self.site_dir, "mu.update.deltas")))
        statement = read_bytes(os.path.join(self.site_dir, "mu.update.sig")).decode()
        self.assertIn(" mu.update.deltas\n", statement)
        self.assertIn(" deltas/Data/Item.bmd.", statement)
        controls = self.run_signed_launcher()
        self.assertEqual(ending(controls), (True, "Update completed!"))
        for path, data in V2.items():
            self.assertEqual(read_game_file(self.game_dir, path), data, path)
        self.assertEqual(read_game_file(self.game_dir, "mu.update.version"), b"2")

    # --- the attacks ---

    def test_a_package_with_the_same_crc_and_size_is_refused(self):
        write_game(self.game_dir, dict(V2, **{"Data\\Item.bmd": V1["Data\\Item.bmd"]}))
        self.publish(V2)
        package = self.site_file("Data\\Item.bmd") + ".rar"
        forged = forged_package(V2["Data\\Item.bmd"], os.path.getsize(package))
        with open(package, "wb") as f:
            f.write(forged)
        self.copy_program("LauncherSigned.exe", "Launcher.exe")
        before = self.game_snapshot()
        controls = self.run_signed_launcher()
        self.assert_attack_stopped(controls, before, ENTRY_FAILED, LOG_REFUSED_PACKAGE + "Data\\Item.bmd.rar")

    def test_a_replaced_launcher_package_is_not_installed_nor_started(self):
        new_launcher = read_bytes(os.path.join(BUILD_DIR, "LauncherSigned.exe")) + b"\0signed build 2"
        self.publish({"Launcher.exe": new_launcher})
        evil = read_bytes(os.path.join(BUILD_DIR, "standin", "main.exe"))
        with open(self.site_file("Launcher.exe") + ".rar", "wb") as f:
            f.write(bz2.compress(evil, 9))
        self.copy_program("LauncherSigned.exe", "Launcher.exe")
        before = self.game_snapshot()
        launcher = self.start_launcher()
        controls = self.wait_for_end_of_pass()
        self.assert_attack_stopped(controls, before, ENTRY_FAILED, LOG_REFUSED_PACKAGE + "Launcher.exe.rar")
        self.assertIsNone(launcher.poll(), "the launcher did not restart")
        self.assertFalse(os.path.exists(os.path.join(self.game_dir, "Launcher.exe.old")))

    def test_lists_that_fail_their_statement_install_nothing(self):
        def rollback():
            # An older list and statement, still validly signed, after a newer one was accepted.
            shutil.copytree(self.site_dir, self.site_dir + "-v1")
            self.publish(V2)
            self.run_signed_launcher()
            self.end_launchers()
            shutil.rmtree(self.site_dir)
            shutil.copytree(self.site_dir + "-v1", self.site_dir)
            return "older than the accepted version"

        def expired():
            self.resign("--expires", int(time.time()) - 60)
            return "expired"

        def mixed():
            list_v1 = read_bytes(self.site_file("mu.update"))
            self.publish(V2)
            with open(self.site_file("mu.update"), "wb") as f:
                f.write(list_v1)
            return "does not match the list"

        def missing():
            os.remove(self.site_file("mu.update.sig"))
            return "no signed statement"

        def other_key():
            self.publish(V1, key=OTHER_KEY)
            return ""

        def damaged():
            with open(self.site_file("mu.update.sig"), "r+b") as f:
                data = bytearray(f.read())
                data[len(data) // 2] ^= 0x01
                f.seek(0)
                f.write(data)
            return ""

        for attack in (rollback, expired, mixed, missing, other_key, damaged):
            with self.subTest(attack.__name__):
                shutil.rmtree(self.site_dir, ignore_errors=True)
                shutil.rmtree(self.site_dir + "-v1", ignore_errors=True)
                shutil.rmtree(self.game_dir)
                os.makedirs(self.game_dir)
                self.publish(V1)
                write_game(self.game_dir, {"readme.txt": b"v0"})
                reason = attack()
                self.copy_program("LauncherSigned.exe", "Launcher.exe")
                before = self.game_snapshot()
                requests_before = len(self.server.requests)
                controls = self.run_signed_launcher()
                self.assert_attack_stopped(controls, before, REFUSED, LOG_REFUSED_LIST + reason)
                print(f"{attack.__name__}: {self.log().strip().splitlines()[-1]}")
                self.assertFalse([r for r in self.server.requests[requests_before:] if r.endswith(".rar")],
                                 "no package is fetched for a refused list")
                self.end_launchers()


if __name__ == "__main__":
    unittest.main()
