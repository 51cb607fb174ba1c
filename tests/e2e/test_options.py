"""The options window of Launcher.exe under Wine, on the real registry and real files."""
import os
import unittest

from launcher_e2e import (LAUNCHER_OWN_FILES, MAIN_WINDOW, OPTIONS_WINDOW, LauncherTestCase, controls_by_name,
                          registry_values, wait_until)

VK_RETURN = 0x0D
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
WS_THICKFRAME = 0x00040000


class OptionsTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.returning_user(ID="tester", Resolution=3, MusicOnOff=0, LangSelection="Eng")
        self.start_launcher()
        self.driver.wait(MAIN_WINDOW)

    def open_options(self):
        self.driver.click(MAIN_WINDOW, "Configuração")
        return self.driver.wait(OPTIONS_WINDOW)

    def options(self):
        return controls_by_name(self.driver.dump(OPTIONS_WINDOW))

    def test_filled_from_the_settings_and_laid_out(self):
        window = self.open_options()
        controls = controls_by_name(window)
        self.assertEqual(window["caption"], "SETTINGS")
        self.assertEqual((window["client_width"], window["client_height"]), (256, 470))
        self.assertFalse(window["style"] & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME))
        self.assertEqual(controls["Edit1"]["text"], "tester")
        checked = [name for name, c in controls.items() if c.get("checked")]
        self.assertEqual(sorted(checked), ["CheckBox1", "RadioButton6"])
        self.assertEqual(controls["Resoluções"]["text"], "Resolutions")
        self.assertEqual(controls["SOM"]["text"], "Sound")
        self.assertEqual(controls["ANTLAG"]["text"], "Reduce graphics?")
        self.assertEqual((controls["RadioButton1"]["text"], controls["RadioButton2"]["text"]), ("Yes", "No"))
        self.assertEqual((controls["CheckBox1"]["text"], controls["CheckBox2"]["text"]), ("Musica", "Som"))
        self.assertEqual((controls["RadioButton8"]["left"], controls["RadioButton8"]["top"]), (21, 160))
        self.assertEqual((controls["Image3"]["left"], controls["Image3"]["top"], controls["Image3"]["width"]), (162, 377, 35))
        self.assertEqual((controls["BitBtn1"]["left"], controls["BitBtn1"]["top"]), (21, 436))
        frame = controls["Resoluções"]
        for name in ("RadioButton4", "RadioButton6", "RadioButton7", "RadioButton9"):
            self.assertLess(controls[name]["left"] + controls[name]["width"], frame["left"] + frame["width"] - 1,
                            f"{name} is drawn over the right edge of the resolutions' frame")
        values = registry_values(self.driver.registry())
        self.assertEqual((values["WindowMode"], values["VolumeLevel"]), (1, 3))

    def test_ok_saves_and_hides(self):
        self.open_options()
        self.driver.set_text(OPTIONS_WINDOW, "Edit1", "novo")
        self.driver.click(OPTIONS_WINDOW, "RadioButton3")
        self.driver.click(OPTIONS_WINDOW, "CheckBox2")
        self.driver.click(OPTIONS_WINDOW, "BitBtn1")
        wait_until(lambda: not self.driver.dump(OPTIONS_WINDOW)["visible"], message="hidden")
        values = registry_values(self.driver.registry())
        self.assertEqual((values["ID"], values["Resolution"], values["SoundOnOff"], values["MusicOnOff"]),
                         ("novo", 1, 1, 1), "648x480 saves 1; Som holds MusicOnOff")

    def test_enter_in_the_login_field_presses_ok(self):
        self.open_options()
        self.driver.set_text(OPTIONS_WINDOW, "Edit1", "enter")
        self.driver.key(OPTIONS_WINDOW, "Edit1", VK_RETURN)
        wait_until(lambda: registry_values(self.driver.registry())["ID"] == "enter", message="saved by Enter")
        self.assertFalse(self.driver.dump(OPTIONS_WINDOW)["visible"])

    def test_close_button_hides_without_saving_and_keeps_the_changes_on_screen(self):
        self.open_options()
        self.driver.click(OPTIONS_WINDOW, "RadioButton11")
        self.driver.run("close", OPTIONS_WINDOW)
        wait_until(lambda: not self.driver.dump(OPTIONS_WINDOW)["visible"], message="hidden")
        self.assertEqual(registry_values(self.driver.registry())["Resolution"], 3)
        self.open_options()
        self.open_options()  # twice: still one window
        self.assertTrue(self.options()["RadioButton11"]["checked"])
        self.assertFalse(self.options()["RadioButton6"]["checked"])

    def test_a_flag_stores_the_language_and_recaptions(self):
        self.open_options()
        self.driver.click(OPTIONS_WINDOW, "Image2")
        wait_until(lambda: registry_values(self.driver.registry())["LangSelection"] == "Spn", message="language")
        controls = self.options()
        self.assertEqual(controls["Resoluções"]["text"], "Resoluciones")
        self.assertEqual(controls["RadioButton1"]["text"], "Si")
        self.assertEqual(controls_by_name(self.driver.dump(MAIN_WINDOW))["CheckBox1"]["text"], "Window Mode",
                         "the main window is not re-captioned")

    def test_ant_lag_renames_the_game_files(self):
        for name in ("opengl32.dll", "Effect.ini"):
            open(os.path.join(self.game_dir, name), "w").close()
        self.open_options()
        self.driver.click(OPTIONS_WINDOW, "RadioButton1")
        wait_until(lambda: os.path.exists(os.path.join(self.game_dir, "desativado.ini")), message="renamed")
        self.assertEqual(sorted(f for f in os.listdir(self.game_dir) if f not in LAUNCHER_OWN_FILES | {"Launcher.exe"}),
                         ["desativado.ini", "opengl32x.dll"])
        self.driver.click(OPTIONS_WINDOW, "RadioButton2")
        wait_until(lambda: os.path.exists(os.path.join(self.game_dir, "Effect.ini")), message="renamed back")
        self.assertTrue(os.path.exists(os.path.join(self.game_dir, "opengl32.dll")))


if __name__ == "__main__":
    unittest.main()
