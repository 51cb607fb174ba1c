"""The remote configuration in Launcher.exe under Wine: the configuration service answered by a
loopback server, the activity log beside the executable, the server logo and the errors that
reach the user."""
import json
import os
import struct
import time
import unittest
import zlib

from launcher_e2e import MAIN_WINDOW, LauncherTestCase, controls_by_name, pixel, wait_until
from loopback_server import Fault, LoopbackServer
from update_site_fixture import CONFIG_SERVICE_PORT, config_document, read_game_file, write_game, write_site


def png(width, height, rgb):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    row = b"\0" + bytes(rgb) * width
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(row * height)) + chunk(b"IEND", b""))


class RemoteConfigurationTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.returning_user()

    def test_a_full_configuration_reaches_the_title_the_worker_and_the_logo(self):
        server = self.serve(title="Servidor Épico", logo="LOGO")
        server.documents["/logo.png"] = png(120, 90, (220, 30, 40))
        document = json.loads(server.documents["/api/return.php?token="])
        document["config"]["LogoUrl"] = server.base_url + "/logo.png"
        server.documents["/api/return.php?token="] = json.dumps(document).encode()
        with open(os.path.join(self.site_dir, "mu.update"), "w") as f:
            f.write("[Download]\r\n[/Download]\r\n")
        self.start_launcher()
        window = self.driver.wait(MAIN_WINDOW)
        self.assertEqual(window["owner_caption"], "Servidor Épico", "the task bar shows the title")
        self.assertEqual(window["caption"], "Launcher VALKO")
        wait_until(lambda: "/mu.update" in server.requests, message="the worker to ask the update location")
        shot = self.screenshot("logo")
        self.assertEqual(pixel(shot, window["left"] + 129 + 60, window["top"] + 88 + 45), (220, 30, 40))
        self.assertEqual(self.log_lines(), [])

    def test_a_logo_that_cannot_be_decoded_is_logged_and_the_load_goes_on(self):
        server = self.serve(title="Still here")
        document = json.loads(server.documents["/api/return.php?token="])
        document["config"]["LogoUrl"] = server.base_url + "/missing.png"
        server.documents["/api/return.php?token="] = json.dumps(document).encode()
        self.start_launcher()
        window = self.driver.wait(MAIN_WINDOW)
        self.assertEqual(window["owner_caption"], "Still here")
        lines = wait_until(lambda: self.log_lines(), message="the log entry")
        self.assertEqual(len(lines), 1)
        self.assertTrue(lines[0].startswith("Erro ao carregar a logo: "), lines[0])

    def test_service_unreachable(self):
        self.start_launcher()
        window = self.driver.wait(MAIN_WINDOW)
        self.assertEqual(window["caption"], "Launcher VALKO")
        self.assertEqual(window["owner_caption"], "")
        self.wait_for_end_of_pass()
        lines = self.log_lines()
        self.assertEqual(lines[:2], ["Retorno vazio da API.", "Falha de conexão (erro 12029)"])
        # Without a document there is no update location either: the worker's request fails too.
        self.assertEqual(len(lines), 3, lines)
        self.assertTrue(lines[2].startswith("Falha ao conectar ao servidor de atualização: /mu.update - "), lines[2])

    def test_the_last_configuration_serves_while_the_service_has_none(self):
        service = self.serve()
        site = LoopbackServer(self.site_dir, lifetime=600)
        site.start()
        self.addCleanup(site.stop)
        service.documents["/api/return.php?token="] = config_document(
            update_url=site.base_url + "/", title="Kept", address="10.0.0.5", port="44405")
        write_site(self.site_dir, {"readme.txt": b"v1"})
        record, title = self.pass_then_play()
        self.assertEqual((record["command_line"], title), ("main.exe connect /u10.0.0.5 /p44405", "Kept"))
        self.assertTrue(os.path.exists(os.path.join(self.game_dir, "LastConfig.json")))
        self.assertEqual(self.log_lines(), [])

        def service_down():
            service.stop()

        def error_page():
            again = self.serve(document=b"<html>502 Bad Gateway</html>")
            again.faults["/api/return.php"] = Fault(status=502)
        for why, break_service, first_entries in (
                ("service down", service_down, ["Retorno vazio da API.", "Falha de conexão (erro 12029)"]),
                ("error page", error_page, ["Erro ao processar JSON"])):
            with self.subTest(why):
                break_service()
                log = os.path.join(self.game_dir, "log.txt")
                if os.path.exists(log):
                    os.remove(log)
                version = why.encode()
                write_site(site.root, {"readme.txt": version})
                record, title = self.pass_then_play()
                self.assertEqual((record["command_line"], title), ("main.exe connect /u10.0.0.5 /p44405", "Kept"))
                self.assertEqual(read_game_file(self.game_dir, "readme.txt"), version, "updated from the kept location")
                lines = self.log_lines()
                self.assertEqual(lines[:-1], first_entries)
                self.assertRegex(lines[-1], r"^Usando a configuração de \d\d/\d\d/\d{4} \d\d:\d\d:\d\d$")

    def test_a_service_that_never_answers_is_given_up_after_30_seconds(self):
        server = self.serve()
        server.faults["/api/return.php"] = Fault(delay=300)
        started = time.monotonic()
        self.start_launcher()
        self.wait_for_end_of_pass(timeout=90)
        self.assertLess(time.monotonic() - started, 60)
        self.assertEqual(self.log_lines()[:2], ["Retorno vazio da API.", "Falha de conexão (erro 12002)"])

    def test_a_title_that_is_an_object_stops_start_up_with_the_message(self):
        server = self.serve()
        document = json.loads(server.documents["/api/return.php?token="])
        document["config"]["Title"] = {"text": "x"}
        server.documents["/api/return.php?token="] = json.dumps(document).encode()
        self.start_launcher()
        box = self.driver.message_box(dismiss=True)
        self.assertEqual(box["text"], "Conversion from TJSONObject to string is not supported")
        window = self.driver.wait(MAIN_WINDOW)
        self.assertEqual(window["caption"], "Launcher Brennmoor", "start-up ended before the caption")
        wait_until(lambda: "/mu.update" in server.requests, message="the worker to start anyway")

    def test_the_log_is_written_beside_the_executable(self):
        elsewhere = os.path.join(self.game_dir, "elsewhere")
        os.makedirs(elsewhere)
        self.copy_program()
        self.start_launcher(cwd=elsewhere)
        self.driver.wait(MAIN_WINDOW)
        wait_until(lambda: self.log_lines(), message="the log entry")
        self.assertFalse(os.path.exists(os.path.join(elsewhere, "log.txt")))

    def test_the_token_is_sent_to_the_service(self):
        server = self.serve()
        server.documents["/api/return.php?token=abc 123&x"] = server.documents["/api/return.php?token="]
        token_dir = os.path.join(self.game_dir, "VALKO", "Launcher")
        os.makedirs(token_dir)
        with open(os.path.join(token_dir, "Config.vlk"), "w") as f:
            f.write('[auth]\r\nClientToken = "abc 123&x"\r\n')
        self.start_launcher()
        self.driver.wait(MAIN_WINDOW)
        wait_until(lambda: any(r.startswith("/api/return.php?token=abc") for r in server.requests), message="request")


if __name__ == "__main__":
    unittest.main()
