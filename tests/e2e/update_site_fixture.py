"""Update sites and configuration documents for the end-to-end tests: a list "mu.update" and one
bzip2 package per file, written as an operator's site would hold them."""
import bz2
import json
import os
import zlib

# The configuration service the end-to-end build of the launcher asks (CONFIG_SERVICE_BASE).
CONFIG_SERVICE_PORT = 47613


def crc_text(data):
    return f"{zlib.crc32(data):06X}"


def write_site(site_dir, files, extra_lines=()):
    """files: {"Data\\\\Local\\\\Item.bmd": b"..."}; returns the list's text. Packages are stored under
    their names in UTF-8, as on any web server."""
    lines = ["[Download]"]
    for path, data in sorted(files.items()):
        package = bz2.compress(data, 9)
        target = os.path.join(site_dir, *path.split("\\")) + ".rar"
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(package)
        lines.append(f"{path}|{crc_text(data)}|{len(package)}")
    lines.extend(extra_lines)
    lines.append("[/Download]")
    text = "\r\n".join(lines) + "\r\n"
    # The list is written in the ANSI code page, as the launcher reads it.
    with open(os.path.join(site_dir, "mu.update"), "w", newline="", encoding="cp1252") as f:
        f.write(text)
    return text


def write_game(game_dir, files):
    for path, data in files.items():
        target = os.path.join(game_dir, *path.split("\\"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(data)


def read_game_file(game_dir, path):
    with open(os.path.join(game_dir, *path.split("\\")), "rb") as f:
        return f.read()


def config_document(update_url="", title="", address="", port="", logo="", **extra):
    config = {"Design": "1", "UpdateUrl": update_url, "VPS_IP": address, "ConnectServerPort": port, "Title": title,
              "Phrase": "", "LogoUrl": logo}
    config.update(extra)
    return json.dumps({"config": config, "redes": {}, "slides": []}).encode()


TEST_SIGNING_KEY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "keys", "test_signing.key")


def build_site(source, site_dir, files, key=TEST_SIGNING_KEY):
    """The site an operator builds with update-site.exe under Wine from a game folder holding
    files (source is made anew), signed with key unless it is None."""
    import shutil
    import subprocess
    from launcher_e2e import BUILD_DIR, wine, wine_env
    shutil.rmtree(source, ignore_errors=True)
    write_game(source, files)
    args = ["build", source, site_dir] + (["--signing-key", key] if key else [])
    subprocess.run(wine() + [os.path.join(BUILD_DIR, "update-site.exe"), *args], env=wine_env(), check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
