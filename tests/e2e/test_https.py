"""The launcher as operators ship it, its configuration service over HTTPS and signed updates
(LauncherHttps.exe, started as Launcher.exe), under Wine against nginx with TLS and a certificate from a test CA
that only the test's prefix trusts: the configuration, the logo, the list and the packages come
over HTTPS; a certificate WinINet refuses stops every request on that connection, says why in
the log, and nothing is asked again over plain HTTP."""
import os
import shutil
import socket
import tempfile
import unittest

from launcher_e2e import STATE_DIR, LauncherTestCase
from loopback_server import Fault, LoopbackServer
from nginx_fixture import start_nginx
from tls_fixture import TestCertificates, trust_in_prefix
from test_remote import png
from update_site_fixture import CONFIG_SERVICE_PORT, config_document, read_game_file, build_site, write_game

SERVICE = f"https://localhost:{CONFIG_SERVICE_PORT}"

SERVER = """
        {listen}
        ssl_certificate {certificate};
        ssl_certificate_key {key};
        location = /api/return.php {{
            default_type application/json;
            alias {root}/config.json;
        }}
        location = /logo.png {{
            alias {root}/logo.png;
        }}
        location /game/ {{
            alias {root}/site/;
            autoindex off;
        }}
"""


def loopback_addresses():
    """Where "localhost" leads on this machine: nginx listens on each, so that a resolver that
    prefers IPv6 finds it too."""
    found = {info[4][0] for info in socket.getaddrinfo("localhost", CONFIG_SERVICE_PORT, type=socket.SOCK_STREAM)}
    return sorted(address for address in found if address in ("127.0.0.1", "::1")) or ["127.0.0.1"]


@unittest.skipUnless(shutil.which("nginx") and shutil.which("openssl"), "nginx or openssl is not installed")
class HttpsTest(LauncherTestCase):
    @classmethod
    def setUpClass(cls):
        cls.certificates = TestCertificates(tempfile.mkdtemp(prefix="certificates-", dir=STATE_DIR))
        cls.distrust = trust_in_prefix(cls.certificates.ca)

    @classmethod
    def tearDownClass(cls):
        cls.distrust()
        shutil.rmtree(cls.certificates.folder, ignore_errors=True)

    def setUp(self):
        super().setUp()
        self.returning_user()
        self.copy_program("LauncherHttps.exe", "Launcher.exe")
        self.root = tempfile.mkdtemp(prefix="nginx-", dir=os.path.join(STATE_DIR, "games"))
        os.makedirs(os.path.join(self.root, "site"))

    def start_nginx(self, certificate):
        """nginx with the given (certificate, key) on the service's port; returns what stops it."""
        listen = " ".join(f"listen {'[::1]' if a == '::1' else a}:{CONFIG_SERVICE_PORT} ssl;"
                          for a in loopback_addresses())
        server = SERVER.format(root=self.root, listen=listen, certificate=certificate[0], key=certificate[1])
        return start_nginx(self, self.root, server, log_format="with_tls")

    def access_log(self):
        path = os.path.join(self.root, "access.log")
        if not os.path.exists(path):
            return []
        with open(path) as f:
            return f.read().splitlines()

    def publish(self, files, **config):
        """The configuration document and a site signed with the key the launcher trusts."""
        with open(os.path.join(self.root, "config.json"), "wb") as f:
            f.write(config_document(update_url=f"{SERVICE}/game/", **config))
        build_site(self.root + "-source", os.path.join(self.root, "site"), files)

    def clear_log(self):
        log = os.path.join(self.game_dir, "log.txt")
        if os.path.exists(log):
            os.remove(log)

    def test_the_configuration_the_logo_and_the_update_come_over_https(self):
        with open(os.path.join(self.root, "logo.png"), "wb") as f:
            f.write(png(120, 90, (20, 200, 40)))
        # More files than connections, so that packages are fetched ahead on several of them.
        files = {f"Data\\Item{n}.bmd": bytes([n]) * (40000 + n) for n in range(8)}
        files["readme.txt"] = b"v2"
        self.publish(files, title="Seguro", address="10.0.0.7", port="44405", logo=f"{SERVICE}/logo.png")
        write_game(self.game_dir, {"readme.txt": b"v1"})
        self.start_nginx(self.certificates.good)

        record, title = self.pass_then_play()
        self.assertEqual((record["command_line"], title), ("main.exe connect /u10.0.0.7 /p44405", "Seguro"))
        for path, data in files.items():
            self.assertEqual(read_game_file(self.game_dir, path), data)
        self.assertEqual(self.log_lines(), [])
        log = self.access_log()
        self.assertTrue(log)
        for line in log:
            self.assertRegex(line, r'^TLSv1\.[23] "GET \S+ HTTP/1\.1" 200$')
        requested = {line.split()[2] for line in log}
        self.assertLessEqual({"/api/return.php?token=", "/logo.png", "/game/mu.update", "/game/mu.update.sig", "/game/readme.txt.rar",
                              "/game/Data/Item7.bmd.rar"}, requested)

    def test_a_package_cut_short_resumes_over_https(self):
        size = 3 << 20
        data = os.urandom(size)
        site = os.path.join(self.root, "site")
        server = LoopbackServer(site, lifetime=600, port=CONFIG_SERVICE_PORT, tls=self.certificates.good)
        server.start()
        self.addCleanup(server.stop)
        self.assertEqual(server.base_url, SERVICE)
        server.documents["/api/return.php?token="] = config_document(update_url=f"{SERVICE}/")
        build_site(self.root + "-source", site, {"big.bin": data})
        package = os.path.getsize(os.path.join(site, "big.bin.rar"))
        server.faults["/big.bin.rar"] = Fault(cut_after=package // 2, times=1)

        self.start_launcher()
        controls = self.wait_for_end_of_pass(timeout=120)
        self.assertEqual(controls["lbl1"]["text"], "Atualização concluída!")
        self.assertEqual(read_game_file(self.game_dir, "big.bin"), data)
        ranges = [r for p, r, _ in server.range_requests if p == "/big.bin.rar"]
        self.assertEqual(ranges, [None, f"bytes={package // 2}-"])

    def test_a_refused_certificate_stops_every_request_and_the_log_says_why(self):
        # One good start leaves the kept configuration, so that the update site, the same
        # server, is asked for too while its certificate is refused.
        self.publish({"readme.txt": b"v1"}, title="Seguro", address="10.0.0.7", port="44405")
        stop = self.start_nginx(self.certificates.good)
        self.pass_then_play()
        stop()
        self.publish({"readme.txt": b"v2"}, title="Seguro", address="10.0.0.7", port="44405")

        for why, certificate, reason, code in (
                ("self-signed", self.certificates.self_signed, "emissor não confiável", 12045),
                ("another name", self.certificates.wrong_name, "nome não confere", 12038),
                ("expired", self.certificates.expired, "expirado", 12037)):
            with self.subTest(why):
                self.clear_log()
                stop = self.start_nginx(certificate)
                record, title = self.pass_then_play()
                stop()
                refusal = f"Certificado do servidor recusado: {reason} (erro {code})"
                lines = self.log_lines()
                self.assertEqual(lines[:2], ["Retorno vazio da API.", refusal])
                self.assertRegex(lines[2], r"^Usando a configuração de \d\d/\d\d/\d{4} \d\d:\d\d:\d\d$")
                self.assertEqual(lines[3:], [f"Falha ao conectar ao servidor de atualização: {SERVICE}/game/mu.update"
                                             f" - {refusal}"])
                self.assertEqual(self.access_log(), [], "nothing asked over a refused connection, nor over HTTP")
                self.assertEqual(read_game_file(self.game_dir, "readme.txt"), b"v1")
                self.assertEqual((record["command_line"], title), ("main.exe connect /u10.0.0.7 /p44405", "Seguro"))


if __name__ == "__main__":
    unittest.main()
