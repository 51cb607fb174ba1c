"""Launcher.exe under Wine against a real nginx on loopback: production sites are plain web
folders, and the launcher must update from one as it does from the test server."""
import os
import shutil
import tempfile
import unittest

from launcher_e2e import STATE_DIR, LauncherTestCase
from nginx_fixture import start_nginx
from update_site_fixture import CONFIG_SERVICE_PORT, config_document, read_game_file, write_game, write_site

SERVER = """
        listen 127.0.0.1:{port};
        location = /api/return.php {{
            default_type application/json;
            alias {root}/config.json;
        }}
        location /game/ {{
            alias {root}/site/;
            autoindex off;
            add_header Cache-Control "no-cache";
        }}
"""


@unittest.skipUnless(shutil.which("nginx"), "nginx is not installed")
class NginxSiteTest(LauncherTestCase):
    def start_nginx(self):
        root = tempfile.mkdtemp(prefix="nginx-", dir=os.path.join(STATE_DIR, "games"))
        os.makedirs(os.path.join(root, "site"))
        start_nginx(self, root, SERVER.format(root=root, port=CONFIG_SERVICE_PORT))
        return root

    def test_a_pass_from_an_nginx_site(self):
        root = self.start_nginx()
        update_url = f"http://127.0.0.1:{CONFIG_SERVICE_PORT}/game/"
        with open(os.path.join(root, "config.json"), "wb") as f:
            f.write(config_document(update_url=update_url, title="nginx"))
        # nginx stores and finds file names in UTF-8: an accented name must be asked for so.
        new = {"Data\\Local\\Item.bmd": b"from nginx " * 20000, "readme.txt": b"v2",
               "Data\\Música\\ação.bmd": b"accented " * 1000}
        write_site(os.path.join(root, "site"), new)
        write_game(self.game_dir, {"readme.txt": b"v1"})
        self.returning_user()
        self.start_launcher()
        controls = self.wait_for_end_of_pass()
        self.assertEqual(controls["lbl1"]["text"], "Atualização concluída!")
        for path, data in new.items():
            self.assertEqual(read_game_file(self.game_dir, path), data)
        with open(os.path.join(root, "access.log")) as f:
            log = f.read()
        self.assertIn("GET /game/Data/Local/Item.bmd.rar", log)
        self.assertIn("GET /game/Data/M%C3%BAsica/a%C3%A7%C3%A3o.bmd.rar HTTP/1.1\" 200", log)


if __name__ == "__main__":
    unittest.main()
