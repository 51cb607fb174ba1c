"""The main window's design state and the view operations, read from the real Win32
controls under Wine."""
import os
import unittest

from launcher_e2e import BUILD_DIR, MAIN_WINDOW, LauncherTestCase, controls_by_name, wait_until

WS_CAPTION = 0x00C00000
WS_THICKFRAME = 0x00040000
WS_EX_LAYERED = 0x00080000

# name: (left, top, width, height, visible)
DESIGN = {
    "BG": (-30, -9, 900, 506, True),
    "Configuração": (680, 24, 25, 33, True),
    "Minimizer": (720, 24, 33, 33, True),
    "CloseBtn": (759, 24, 34, 33, True),
    "Image_Slider": (204, 63, 309, 139, False),
    "CheckBox1": (66, 409, 17, 17, True),
    "ProgressBar1": (64, 429, 449, 17, True),
    "ProgressBar2": (129, 319, 433, 17, False),
    "ServerLogo": (129, 88, 281, 225, True),
    "jogar": (552, 384, 241, 87, True),
    "lbl1": (225, 395, None, 13, False),
}


class ViewProbeTest(LauncherTestCase):
    """The view operations on the real controls, through a probe program that shows the main
    window and applies the operations named on its command line."""

    def probe(self, *operations):
        self.start(os.path.join(BUILD_DIR, "view_probe.exe"), *operations)
        return self.driver.wait(MAIN_WINDOW)

    def test_design_state(self):
        window = self.probe()
        self.assertEqual(window["caption"], "Launcher Brennmoor")
        self.assertEqual((window["client_width"], window["client_height"]), (870, 497))
        self.assertEqual((window["width"], window["height"]), (870, 497), "no frame around the client area")
        self.assertFalse(window["style"] & (WS_CAPTION | WS_THICKFRAME))
        self.assertTrue(window["exstyle"] & WS_EX_LAYERED)
        self.assertEqual(window["color_key"], 0xC0DCC0)
        controls = controls_by_name(window)
        for name, (left, top, width, height, visible) in DESIGN.items():
            with self.subTest(control=name):
                control = controls[name]
                self.assertEqual((control["left"], control["top"]), (left, top))
                if width is not None:
                    self.assertEqual(control["width"], width)
                self.assertEqual(control["height"], height)
                self.assertEqual(control["own_visible"], visible)
        self.assertEqual(controls["lbl0"]["text"], "Aguarde...")
        self.assertTrue(controls["lbl0"]["visible"])
        self.assertEqual((controls["lbl0"]["left"], controls["lbl0"]["top"], controls["lbl0"]["height"]), (64, 452, 13))
        for bar in ("ProgressBar1", "ProgressBar2"):
            self.assertEqual((controls[bar]["min"], controls[bar]["max"], controls[bar]["position"]), (0, 100, 0))
        self.assertFalse(controls["CheckBox1"]["checked"])
        self.assertEqual(controls["CheckBox1"]["text"], "")
        stack = [c["name"] for c in sorted(window["controls"], key=lambda c: c.get("stack", 99))]
        self.assertEqual(stack[:3], ["CheckBox1", "ProgressBar1", "ProgressBar2"], "windowed controls on top")
        self.assertEqual(stack[-1], "BG", "the background under everything")
        self.assertLess(stack.index("lbl1"), stack.index("lbl0"), "later design order drawn over earlier")

    def test_progress_is_held_at_the_old_maximum(self):
        window = self.probe("SetFileProgress", "500", "SetFileProgressMax", "500",
                            "SetTotalProgress", "-5", "SetTotalProgressMax", "-1")
        controls = controls_by_name(window)
        bar = controls["ProgressBar1"]
        self.assertEqual((bar["min"], bar["max"], bar["position"]), (0, 500, 100))
        total = controls["ProgressBar2"]
        self.assertEqual((total["min"], total["max"], total["position"]), (-1, -1, -1))

    def test_texts_and_visibility(self):
        window = self.probe("SetDetailText", "Update completed!", "SetStatusText", "Bom jogo!",
                            "SetPlayVisible", "false", "SetWindowModeCaption", "Modo Janela",
                            "SetWindowModeChecked", "true", "SetWindowCaption", "Launcher VALKO",
                            "SetApplicationTitle", "My Server")
        controls = controls_by_name(window)
        self.assertEqual(window["caption"], "Launcher VALKO")
        self.assertEqual(window["owner_caption"], "My Server", "the task bar shows the application title")
        self.assertEqual(controls["lbl1"]["text"], "Update completed!")
        self.assertFalse(controls["lbl1"]["visible"], "the detail text changes while hidden")
        self.assertEqual(controls["lbl0"]["text"], "Bom jogo!")
        self.assertFalse(controls["jogar"]["visible"])
        self.assertEqual(controls["CheckBox1"]["text"], "Modo Janela")
        self.assertTrue(controls["CheckBox1"]["checked"])

    def test_labels_grow_and_shrink_from_their_left_edge(self):
        short = controls_by_name(self.probe("SetStatusText", "ab"))["lbl0"]
        self.driver.run("close", MAIN_WINDOW)
        wait_until(lambda: self.processes[-1].poll() is not None, message="probe to end")
        long = controls_by_name(self.probe("SetStatusText", "Conectando-se ao servidor de atualizações..."))["lbl0"]
        self.assertEqual((short["left"], long["left"]), (64, 64))
        self.assertLess(short["width"], 53)
        self.assertGreater(long["width"], 53)


if __name__ == "__main__":
    unittest.main()
