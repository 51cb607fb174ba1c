"""Launcher.exe as shipped: a GUI program that needs no runtime DLL of its own, with the
manifest, icon and version information Windows shows. The product is the 32-bit file; the
64-bit build that the end-to-end tests use on some machines gets the same checks for its kind."""
import os
import re
import subprocess
import unittest

from launcher_e2e import BUILD_DIR

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "wininet.dll", "advapi32.dll",
               "shell32.dll", "ole32.dll", "msvcrt.dll"}

# What each build must be: the file's kind, the tools that read it, the manifest's processor.
KINDS = {
    "win32": {"file": "PE32 executable (GUI) Intel 80386", "objdump": "i686-w64-mingw32-objdump",
              "processor": "x86"},
    "win64": {"file": "PE32+ executable (GUI) x86-64", "objdump": "x86_64-w64-mingw32-objdump",
              "processor": "amd64"},
}


class BinaryTest(unittest.TestCase):
    def setUp(self):
        self.kind = KINDS[os.environ.get("LAUNCHER_WINE_ARCH", "win32")]
        self.exe = os.path.join(BUILD_DIR, "Launcher.exe")
        self.headers = subprocess.run([self.kind["objdump"], "-p", self.exe], capture_output=True, text=True,
                                      check=True).stdout

    def test_a_gui_program_of_its_kind_importing_only_system_dlls(self):
        kind = subprocess.run(["file", "-b", self.exe], capture_output=True, text=True, check=True).stdout
        self.assertTrue(kind.startswith(self.kind["file"]), kind)
        imports = {line.split(":")[1].strip().lower() for line in self.headers.splitlines() if "DLL Name" in line}
        self.assertTrue(imports, "no imports found")
        self.assertLessEqual(imports, SYSTEM_DLLS)

    def test_manifest_icon_and_version(self):
        data = open(self.exe, "rb").read()
        self.assertIn(b'level="requireAdministrator"', data)
        manifest = b" ".join(data.split())
        self.assertIn(b'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"', manifest)
        self.assertIn("Launcher.exe".encode("utf-16-le"), data, "version information: the original file name")
        self.assertIn("MAINICON".encode("utf-16-le"), data)

    def test_manifest_names_the_programs_own_processor(self):
        # Windows refuses to start a program whose manifest names another processor, and Wine
        # then runs it without the common controls 6.
        manifest = open(self.exe, "rb").read()
        processors = set(re.findall(rb'processorArchitecture="([^"]*)"', manifest))
        self.assertEqual(processors, {self.kind["processor"].encode()})


if __name__ == "__main__":
    unittest.main()
