"""Launcher.exe as shipped: a 32-bit GUI program that needs no runtime DLL of its own, with the
manifest, icon and version information Windows shows."""
import os
import subprocess
import unittest

from launcher_e2e import BUILD_DIR

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "wininet.dll", "advapi32.dll",
               "shell32.dll", "ole32.dll", "msvcrt.dll"}


class BinaryTest(unittest.TestCase):
    def setUp(self):
        self.exe = os.path.join(BUILD_DIR, "Launcher.exe")
        self.headers = subprocess.run(["i686-w64-mingw32-objdump", "-p", self.exe], capture_output=True, text=True,
                                      check=True).stdout

    def test_a_32_bit_gui_program_importing_only_system_dlls(self):
        kind = subprocess.run(["file", "-b", self.exe], capture_output=True, text=True, check=True).stdout
        self.assertTrue(kind.startswith("PE32 executable (GUI) Intel 80386"), kind)
        imports = {line.split(":")[1].strip().lower() for line in self.headers.splitlines() if "DLL Name" in line}
        self.assertTrue(imports, "no imports found")
        self.assertLessEqual(imports, SYSTEM_DLLS)

    def test_manifest_icon_and_version(self):
        data = open(self.exe, "rb").read()
        self.assertIn(b'level="requireAdministrator"', data)
        self.assertIn(b'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', b" ".join(data.split()))
        self.assertIn("Launcher.exe".encode("utf-16-le"), data, "version information: the original file name")
        self.assertIn("MAINICON".encode("utf-16-le"), data)


if __name__ == "__main__":
    unittest.main()
