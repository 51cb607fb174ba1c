#!/usr/bin/env python3
"""Which Windows build the end-to-end tests and the demo run under Wine.

The product is the 32-bit Launcher.exe, and where this machine runs 32-bit programs the tests
run it. Some machines' kernels refuse every 32-bit program; there the same sources, built for
x86_64, run under 64-bit Wine instead. LAUNCHER_E2E_BITS=32 or 64 forces either mode.

    wine_mode.py    prints the bits (32 or 64) on the first line, the reason on the second
"""
import os
import platform
import shutil
import subprocess
import sys

WINE32_LOADER = "/usr/lib/wine/wine"
WINE64_LOADER = "/usr/lib/wine/wine64"
FORCE_VARIABLE = "LAUNCHER_E2E_BITS"


def runs_32_bit_programs():
    """(True, "") when a 32-bit program starts here, else (False, what went wrong)."""
    try:
        result = subprocess.run([WINE32_LOADER, "--version"], stdin=subprocess.DEVNULL, capture_output=True,
                                text=True, timeout=60)
    except OSError as error:
        return False, f"{WINE32_LOADER}: {error.strerror}"
    except subprocess.TimeoutExpired:
        return False, f"{WINE32_LOADER} --version did not end"
    if result.returncode != 0:
        return False, f"{WINE32_LOADER} --version exited with {result.returncode}"
    return True, ""


def choose():
    """(bits, reason): the build the end-to-end tests run, and why."""
    forced = os.environ.get(FORCE_VARIABLE, "").strip()
    if forced in ("32", "64"):
        return int(forced), f"forced by {FORCE_VARIABLE}={forced}"
    if forced:
        sys.exit(f"{FORCE_VARIABLE} must be 32 or 64, not {forced!r}")
    runs, problem = runs_32_bit_programs()
    if runs:
        return 32, "this machine runs 32-bit programs"
    return 64, f"because this machine cannot run 32-bit programs ({problem})"


def describe(bits, reason):
    build = "32-bit build (the product)" if bits == 32 else "64-bit build"
    return f"end to end: {build}, {reason}"


def wine_arch(bits):
    return "win32" if bits == 32 else "win64"


def wine_command(arch):
    """The command that starts a Windows program in a prefix of that architecture. Debian's
    `wine` script takes the 32-bit loader whenever it is installed, so a 64-bit prefix calls
    the 64-bit loader itself. Address space randomization is turned off for Wine's processes:
    with it, about one start in 500 failed before the program ran ("failed to map the shared
    user data"), when the system had put something where Wine must place that page."""
    loader = ["wine"] if arch == "win32" else [WINE64_LOADER]
    if shutil.which("setarch"):
        return ["setarch", platform.machine(), "-R"] + loader
    return loader


if __name__ == "__main__":
    chosen_bits, chosen_reason = choose()
    print(chosen_bits)
    print(describe(chosen_bits, chosen_reason))
