"""Start-up of Launcher.exe under Wine: the game settings written to the real registry, the
language decision, the window-mode box, and an error during start-up."""
import os
import unittest

from launcher_e2e import MAIN_WINDOW, LauncherTestCase, controls_by_name, registry_values, wait_until


class StartupTest(LauncherTestCase):
    def start_and_wait(self):
        self.start_launcher()
        return self.driver.wait(MAIN_WINDOW)

    def test_first_start_writes_the_first_start_values(self):
        window = self.start_and_wait()
        key = wait_until(lambda: self.driver.registry(), message="settings key")
        wait_until(lambda: "VolumeLevel" in self.driver.registry()["values"], message="options filling")
        key = self.driver.registry()
        self.assertEqual(registry_values(key), {
            "ID": "Seu Login", "Resolution": 1, "SoundOnOff": 0, "MusicOnOff": 0, "WindowMode": 1,
            "VolumeLevel": 3, "ColorDepth": 1, "LangSelection": "Por"})
        self.assertEqual(list(key["subkeys"]), ["Software"], "the first-start marker")
        self.assertIn("Config", key["subkeys"]["Software"]["subkeys"]["Webzen"]["subkeys"]["Mu"]["subkeys"])
        self.assertEqual(window["caption"], "Launcher VALKO")
        box = controls_by_name(window)["CheckBox1"]
        self.assertTrue(box["checked"])
        self.assertEqual(box["text"], "Modo Janela")

    def test_returning_user_keeps_settings_and_language(self):
        self.returning_user(ID="tester", Resolution=3, Windowmode=0, LangSelection="Spn")
        window = self.start_and_wait()
        box = controls_by_name(window)["CheckBox1"]
        self.assertFalse(box["checked"])
        self.assertEqual(box["text"], "Modo Ventana")
        values = registry_values(self.driver.registry())
        self.assertEqual((values["ID"], values["Resolution"]), ("tester", 3))

    def test_absent_window_mode_shows_the_error_and_the_launcher_runs_on(self):
        self.returning_user(Windowmode=None)
        self.start_launcher()
        box = self.driver.message_box(dismiss=True)
        self.assertEqual(box["text"], "Failed to get data for 'Windowmode'")
        window = self.driver.wait(MAIN_WINDOW)
        controls = controls_by_name(window)
        self.assertFalse(controls["CheckBox1"]["checked"])
        self.assertEqual(window["caption"], "Launcher VALKO")
        self.assertIsNone(self.processes[-1].poll(), "the launcher runs on")

    def test_a_resolution_stored_as_text_stops_the_options_filling(self):
        self.returning_user(Resolution="2")
        self.start_launcher()
        self.assertEqual(self.driver.message_box(dismiss=True)["text"], "Invalid data type for 'Resolution'")
        self.driver.wait(MAIN_WINDOW)
        values = registry_values(self.driver.registry())
        self.assertRaises(KeyError, lambda: values["VolumeLevel"])

    def test_an_update_list_in_the_game_folder_leaves_the_box_unticked(self):
        with open(os.path.join(self.game_dir, "mu.update"), "w") as f:
            f.write("[Download]\n[/Download]\n")
        window = self.start_and_wait()
        self.assertFalse(controls_by_name(window)["CheckBox1"]["checked"])

    def test_a_missing_visual_style_is_reported_and_start_up_goes_on(self):
        exe = self.copy_program()
        # Rename the resource in the program's resource directory, where names are stored as
        # a 16-bit length and UTF-16 text, so the program no longer finds it.
        with open(exe, "r+b") as f:
            data = f.read()
            entry = b"\x08\x00" + "ONYXBLUE".encode("utf-16-le")
            self.assertEqual(data.count(entry), 1)
            f.seek(data.index(entry))
            f.write(b"\x08\x00" + "NOSTYLE_".encode("utf-16-le"))
        self.start_launcher()
        self.assertEqual(self.driver.message_box(dismiss=True)["text"], "Style 'Onyx Blue' not found")
        window = self.driver.wait(MAIN_WINDOW)
        self.assertEqual(window["caption"], "Launcher VALKO")

    def test_a_second_launcher_is_not_refused(self):
        self.start_and_wait()
        self.start_launcher()
        wait_until(lambda: len(self.processes) == 2 and self.processes[1].poll() is None and
                   self.driver.run("dump", MAIN_WINDOW)[0] is not None, timeout=10)
        self.assertIsNone(self.processes[0].poll())
        self.assertIsNone(self.processes[1].poll())


if __name__ == "__main__":
    unittest.main()
