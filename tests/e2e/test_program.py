#!/usr/bin/env python3
"""End-to-end tests of the built TalvorinTool, used from outside as its owner
would: mouse and keys on a real X desktop (window manager and notification
area included), a local web site that records what the program asks of it,
the settings file and the autostart entry on disk.

    python3 tests/e2e/test_program.py <path to the built TalvorinTool>

Needs an X display with an EWMH window manager and an XEmbed notification
area (scripts/common.sh: run_on_virtual_desktop), and xdotool, xprop,
xwininfo, wmctrl and ImageMagick's import.
"""

import os
import shutil
import sys
import tempfile
import time
import unittest

# The helpers beside this file; no byte-code left in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import desktop  # noqa: E402
import pages  # noqa: E402
from desktop import wait_until  # noqa: E402
from program import Program, TITLE, SETTINGS_TITLE  # noqa: E402

EXECUTABLE = None
SKIPPED = 77

# 1440 twips to the inch; the desktop is a 96 dpi one.
TWIPS_PER_PIXEL = 15
CHAT_INSET = 4

SKIP_STATES = {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}
ABOVE = "_NET_WM_STATE_ABOVE"


class ProgramTestCase(unittest.TestCase):
    """Starts a site server for every test and ends every program it ran."""

    def setUp(self):
        self.site = pages.SiteServer()
        self.programs = []

    def tearDown(self):
        try:
            if self._failed():
                print("\n--- %s failed; what was seen:\n%s" % (self.id(), self.describe()),
                      file=sys.stderr)
        finally:
            for program in self.programs:
                program.cleanup()
            self.site.stop()

    def _failed(self):
        outcome = getattr(self, "_outcome", None)
        if outcome is None:
            return False
        errors = getattr(outcome, "errors", None)
        if errors:
            return any(exc for _, exc in errors)
        result = getattr(outcome, "result", None)
        if result is None:
            return False
        return any(test is self or getattr(test, "test_case", None) is self
                   for test, _ in result.failures + result.errors)

    # --- helpers -----------------------------------------------------------

    def new_program(self, directory_name="Talvorin"):
        program = Program(EXECUTABLE, directory_name)
        self.programs.append(program)
        self.program = program
        return program

    def links(self, badge=True, start=True, close=True):
        return {"badge": self.site.url("/badge") if badge else "",
                "start": self.site.url("/start") if start else "",
                "close": self.site.url("/exit") if close else ""}

    def describe(self):
        lines = ["requests: %s" % self.site.requests()]
        program = getattr(self, "program", None)
        if program is not None and program.process is not None:
            lines.append("program running: %s (status %s)"
                         % (program.alive(), program.process.returncode))
            if program.alive():
                try:
                    wid = program.main_window(timeout=1)
                    lines.append("main window 0x%x: %s" % (wid, desktop.window_info(wid)))
                    lines.append(desktop.xprop(wid, "_NET_WM_STATE", "WM_STATE").strip())
                    lines.append("viewable windows: %s" % program.viewable_windows())
                except AssertionError as e:
                    lines.append("no main window: %s" % e)
            try:
                lines.append("talvorin.ini: %r" % program.ini_bytes())
            except OSError:
                lines.append("talvorin.ini: none")
            lines.append("autostart entry: %r" % program.autostart_text())
            lines.append("program output (end):\n%s" % program.log())
        try:
            path = os.path.join(tempfile.gettempdir(), "talvorin-e2e-%s.ppm" % self.id())
            desktop.Screenshot(path)
            lines.append("screenshot: %s" % path)
        except desktop.ToolError as e:
            lines.append("no screenshot: %s" % e)
        return "\n".join(lines)

    def wait_for_requests(self, *paths, timeout=20):
        """Waits until the site has seen the given paths, in this order, as
        its first requests of those kinds."""
        def seen():
            got = self.site.paths()
            it = iter(got)
            return all(p in it for p in paths)
        wait_until(seen, timeout, lambda: "requests %s (seen %s)"
                   % (list(paths), self.site.requests()))

    def assertIniLines(self, program, **expected):
        values = program.ini_values()
        for name, value in expected.items():
            self.assertEqual(values.get(name), value,
                             "[%s] in talvorin.ini: %r" % (name, program.ini_bytes()))
        return values

    def assertSizeLines(self, program, outer):
        """The file holds the window's outer size (frame included) in twips."""
        values = program.ini_values()
        self.assertEqual(values["__order__"][6:], ["height", "width"],
                         "size lines after the toggles: %r" % program.ini_bytes())
        width, height = outer
        for name, pixels in (("height", height), ("width", width)):
            twips = int(values[name])
            self.assertLessEqual(abs(twips - pixels * TWIPS_PER_PIXEL), TWIPS_PER_PIXEL,
                                 "[%s]=%d for an outer size of %dx%d px"
                                 % (name, twips, width, height))

    def outer_size(self, program):
        x, y, width, height = program.client_geometry()
        left, right, top, bottom = desktop.frame_extents(program.main_window())
        return width + left + right, height + top + bottom

    def exit_from_file_menu(self, program, limit):
        program.file_menu("Exit")
        started = time.monotonic()
        status = program.wait_exit(limit)
        return status, time.monotonic() - started

    # --- what the window shows ---------------------------------------------

    def wait_for_chat(self, program, timeout=20):
        """Waits until the chat page fills the window, inset on every side."""
        def shown():
            shot = desktop.Screenshot()
            return self.chat_layout(program, shot)
        return wait_until(shown, timeout, lambda: "the chat page in the window (%s)"
                          % self.chat_layout(program, desktop.Screenshot(), explain=True))

    def chat_layout(self, program, shot, explain=False):
        """The chat's rectangle on screen when the window shows it as it should
        (chat colour in the middle, header on top, the inset all around), else
        None (or, with explain, what is wrong)."""
        x, y, width, height = program.client_geometry()
        mid_x, mid_y = x + width // 2, y + height // 2
        chat = pages.CHAT_BACKGROUND
        centre = shot.pixel(mid_x, mid_y)
        if not desktop.colour_near(centre, chat):
            return ("centre is %s, not the chat's %s" % (desktop.hex_colour(centre),
                                                         desktop.hex_colour(chat))
                    if explain else None)
        row = [shot.pixel(xx, mid_y) for xx in range(x, x + width)]
        chat_columns = [i for i, c in enumerate(row) if desktop.colour_near(c, chat)]
        left, right = chat_columns[0], chat_columns[-1]
        column = [shot.pixel(mid_x, yy) for yy in range(y, y + height)]
        header_rows = [i for i, c in enumerate(column)
                       if desktop.colour_near(c, pages.CHAT_HEADER)]
        chat_rows = [i for i, c in enumerate(column) if desktop.colour_near(c, chat)]
        if not header_rows:
            return "no header row in the middle column" if explain else None
        top, bottom = header_rows[0], chat_rows[-1]
        problems = []
        if abs(left - CHAT_INSET) > 1:
            problems.append("left edge at %d px" % left)
        if abs((width - 1 - right) - CHAT_INSET) > 1:
            problems.append("right edge %d px from the side" % (width - 1 - right))
        if abs((height - 1 - bottom) - CHAT_INSET) > 1:
            problems.append("bottom edge %d px from the bottom" % (height - 1 - bottom))
        # Below the menu bar, by the inset.
        if not 16 + CHAT_INSET <= top <= 40 + CHAT_INSET:
            problems.append("top edge %d px below the window's top" % top)
        share = shot.share_of(chat, x + left + 2, y + top + 60, right - left - 4,
                              bottom - top - 64)
        if share < 0.98:
            problems.append("only %.0f%% of the chat area has the chat colour" % (share * 100))
        if problems:
            return "; ".join(problems) if explain else None
        return (x + left, y + top, right - left + 1, bottom - top + 1)

    def empty_panel(self, program, shot):
        """The bordered, empty panel shown without a badge link: its outline
        (x, y, width, height) relative to the window, or None."""
        x, y, width, height = program.client_geometry()
        counts = shot.region_colours(x, y + 40, width, height - 40, step=3)
        background = max(counts, key=counts.get)
        mid_y = y + height // 2

        def differs(xx, yy):
            return not desktop.colour_near(shot.pixel(xx, yy), background, 4)

        # Left and right border lines, looked for away from the window's edges.
        edges = [xx for xx in range(x + 8, x + width - 8) if differs(xx, mid_y)]
        if len(edges) < 2 or edges[-1] - edges[0] < 100:
            return None
        left, right = edges[0], edges[-1]
        inside = [xx for xx in edges if left + 3 < xx < right - 3]
        if inside:
            return None  # something in the panel: not empty

        def vertical_run(xx):
            rows = [yy for yy in range(y + 30, y + height - 8) if differs(xx, yy)]
            return (rows[0], rows[-1]) if rows else (0, 0)

        (top_l, bottom_l), (top_r, bottom_r) = vertical_run(left), vertical_run(right)
        if bottom_l - top_l < 100 or abs(top_l - top_r) > 2 or abs(bottom_l - bottom_r) > 2:
            return None
        return (left - x, top_l - y, right - left + 1, bottom_l - top_l + 1)


class FirstStart(ProgramTestCase):

    def test_first_start_without_configuration(self):
        program = self.new_program()
        self.assertFalse(os.path.exists(program.ini_path))
        program.start()
        wid = program.wait_viewable()
        self.assertEqual(desktop.window_title(wid), TITLE)
        x, y, width, height = program.client_geometry()
        self.assertLessEqual(abs(width - 406), 2, "client width %d" % width)
        self.assertLessEqual(abs(height - 547), 2, "client height %d" % height)
        state = program.wm_state()
        self.assertTrue(SKIP_STATES <= state, "no taskbar button by design: %s" % state)
        self.assertNotIn(ABOVE, state)
        program.tray_icon()

        # Nothing to load: the empty panel stands in for the chat.
        panel = wait_until(lambda: self.empty_panel(program, desktop.Screenshot()), 10,
                           "the empty bordered panel")
        px, py, pwidth, pheight = panel
        self.assertTrue(0 < px and px + pwidth < width and 20 < py and py + pheight < height,
                        "panel %s outside the window" % (panel,))

        # No status link: nobody is told of the start.
        time.sleep(1.0)
        self.assertEqual(self.site.requests(), [])
        outer = self.outer_size(program)

        status, took = self.exit_from_file_menu(program, 3)
        self.assertEqual(status, 0)
        self.assertLess(took, 3)
        data = program.ini_bytes()
        self.assertTrue(data.startswith(b"[badgelink]=\r\n[linkstart]=\r\n[linkclose]=\r\n"
                                        b"[ontop]=False\r\n[taskbar]=False\r\n"
                                        b"[startwin]=False\r\n[height]="), data)
        self.assertRegex(data, rb"\r\n\[height\]=\d+\r\n\[width\]=\d+\r\n\Z")
        self.assertEqual(data.count(b"\r\n"), 8, data)
        self.assertSizeLines(program, outer)
        self.assertIsNone(program.autostart_text())
        self.assertEqual(self.site.requests(), [])


class SettingsDialog(ProgramTestCase):

    def open_settings(self, program):
        program.file_menu("Settings")
        dialog = program.wait_window(SETTINGS_TITLE)
        desktop.activate(dialog)
        return dialog

    def test_links_typed_into_settings(self):
        program = self.new_program()
        program.start()
        program.wait_viewable()
        links = self.links()
        dialog = self.open_settings(program)

        # Tab order: badge box, Change, start-up box, exit box.
        desktop.type_text(links["badge"])
        desktop.key("Tab", "Tab")
        desktop.type_text(links["start"])
        desktop.key("Tab")
        desktop.type_text(links["close"])
        desktop.key("shift+Tab", "shift+Tab")
        before = time.monotonic()
        desktop.key("space")

        wait_until(lambda: not desktop.is_viewable(dialog), 5, "the dialog to close")
        # Written at once, not only at Exit.
        wait_until(lambda: os.path.exists(program.ini_path), 5, "talvorin.ini to be written")
        data = program.ini_bytes()
        expected = ("[badgelink]=%s\r\n[linkstart]=%s\r\n[linkclose]=%s\r\n"
                    % (links["badge"], links["start"], links["close"])).encode()
        self.assertTrue(data.startswith(expected + b"[ontop]=False\r\n[taskbar]=False\r\n"
                                        b"[startwin]=False\r\n"), data)

        # The badge page reloads, its first link opens the chat in the window.
        self.wait_for_requests("/badge", "/chat")
        self.assertGreaterEqual(self.site.first_time("/badge"), before)
        self.wait_for_chat(program)
        self.assertIsNone(self.empty_panel(program, desktop.Screenshot()), "panel still shown")
        self.assertNotIn("/wrong", self.site.paths())
        self.assertNotIn("/exit", self.site.paths())

        # The new exit link is the one used at Exit.
        status, _ = self.exit_from_file_menu(program, 10)
        self.assertEqual(status, 0)
        self.assertIn("/exit", self.site.paths())
        self.assertTrue(program.ini_bytes().startswith(expected), program.ini_bytes())

    def test_change_without_badge_link_is_refused(self):
        program = self.new_program()
        program.start()
        program.wait_viewable()
        dialog = self.open_settings(program)
        desktop.key("Tab")  # to Change, the badge box left empty
        before = [w for w in program.popups() if w != dialog]
        desktop.key("space")
        message = program.wait_popup(before + [dialog], "the message about the badge link")
        self.assertEqual(desktop.window_title(message), "TalvorinTool")
        desktop.activate(message)
        desktop.key("Return")
        wait_until(lambda: not desktop.is_viewable(message), 5, "the message to close")
        # Nothing taken: the dialog stays, the file is not written.
        self.assertTrue(desktop.is_viewable(dialog), "the dialog closed")
        self.assertFalse(os.path.exists(program.ini_path))

        # Enter in a box is a line break, not the Change button.
        desktop.activate(dialog)
        desktop.key("shift+Tab")
        desktop.type_text("http://127.0.0.1:1/a")
        desktop.key("Return")
        time.sleep(0.5)
        self.assertTrue(desktop.is_viewable(dialog), "Enter in the badge box closed the dialog")
        self.assertFalse(os.path.exists(program.ini_path))
        desktop.key("Escape")
        wait_until(lambda: not desktop.is_viewable(dialog), 5, "Escape to close the dialog")
        self.assertFalse(os.path.exists(program.ini_path))
        self.assertEqual(self.site.requests(), [])


class ChatChain(ProgramTestCase):

    def test_configured_program_opens_the_chat(self):
        program = self.new_program()
        # 600 x 480 px outside.
        program.write_ini(**self.links(), size=(480 * TWIPS_PER_PIXEL, 600 * TWIPS_PER_PIXEL))
        program.start()
        program.wait_viewable()
        self.wait_for_requests("/start", "/badge", "/chat")
        got = self.site.paths()
        self.assertEqual(got[:3], ["/start", "/badge", "/chat"], self.site.requests())
        self.assertEqual(got.count("/start"), 1, self.site.requests())
        wait_until(lambda: self.outer_size(program) == (600, 480), 5,
                   lambda: "the saved outer size 600x480 (is %dx%d)" % self.outer_size(program))
        self.wait_for_chat(program)
        self.assertNotIn("/wrong", self.site.paths())
        self.assertNotIn("/exit", self.site.paths())


class TrayLife(ProgramTestCase):

    def test_close_hides_and_tray_click_restores(self):
        program = self.new_program()
        program.write_ini(**self.links())
        program.start()
        wid = program.wait_viewable()
        self.wait_for_requests("/start", "/badge", "/chat")
        self.wait_for_chat(program)

        desktop.wm_close(wid)
        program.wait_hidden()
        time.sleep(0.5)
        self.assertTrue(program.alive(), "closing the window ended the program")
        self.assertNotIn("/exit", self.site.paths())

        desktop.click(*program.tray_icon_centre())
        program.wait_viewable(5)
        self.wait_for_chat(program)

        # Minimizing hides too; the tray menu's Restore brings it back.
        desktop.run_tool("xdotool", "windowminimize", str(program.main_window()))
        program.wait_hidden()
        self.assertTrue(program.alive())
        program.tray_menu("Restore")
        program.wait_viewable(5)

        # The tray menu's Minimize and Maizimize.
        program.tray_menu("Minimize")
        program.wait_hidden()
        program.tray_menu("Maizimize")
        program.wait_viewable(5)
        wait_until(lambda: {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"}
                   <= program.wm_state(), 5,
                   lambda: "the window maximized (state %s)" % program.wm_state())
        self.assertNotIn("/exit", self.site.paths())

        # Maximized: Exit leaves the size out of the file.
        status, _ = self.exit_from_file_menu(program, 10)
        self.assertEqual(status, 0)
        values = program.ini_values()
        self.assertNotIn("height", values, program.ini_bytes())
        self.assertNotIn("width", values, program.ini_bytes())

    def test_double_click_on_tray_icon(self):
        program = self.new_program()
        program.start()
        wid = program.wait_viewable()
        desktop.wm_close(wid)
        program.wait_hidden()
        before = program.popups()
        desktop.click(*program.tray_icon_centre(), repeat=2)
        program.wait_viewable(5)
        message = program.wait_popup(before, "the double-click message")
        self.assertEqual(desktop.window_title(message), "TalvorinTool")
        desktop.activate(message)
        desktop.key("Return")
        wait_until(lambda: not desktop.is_viewable(message), 5, "the message to close on OK")
        self.assertTrue(program.alive())
        self.assertTrue(desktop.is_viewable(program.main_window()))


class Toggles(ProgramTestCase):

    def assertState(self, program, present=(), absent=(), what=""):
        """Waits a little for the window manager to show the state."""
        def right():
            state = program.wm_state()
            return set(present) <= state and not set(absent) & state
        def wrong():
            wid = program.main_window()
            return ("%s: _NET_WM_STATE %s to hold %s and not %s\n(window 0x%x, %s; %s)"
                    % (what, sorted(program.wm_state()), sorted(present), sorted(absent), wid,
                       desktop.map_state(wid),
                       " ".join(desktop.xprop(wid, "WM_STATE", "_NET_WM_STATE").split())))
        wait_until(right, 5, wrong)

    def test_toggles_from_both_menus_survive_a_restart(self):
        # A blank in the path: the autostart entry must quote it.
        program = self.new_program("Talvorin Tool")
        program.start()
        program.wait_viewable()
        self.assertState(program, present=SKIP_STATES, absent=[ABOVE], what="at start")

        program.file_menu("Always on top")
        self.assertState(program, present=[ABOVE] + sorted(SKIP_STATES),
                         what="File > Always on top on")
        self.assertIniLines(program, ontop="True", taskbar="False", startwin="False")

        program.tray_menu("Show in taskbar")
        self.assertState(program, present=[ABOVE], absent=SKIP_STATES,
                         what="tray > Show in taskbar on")
        self.assertIniLines(program, ontop="True", taskbar="True", startwin="False")

        program.tray_menu("Start with windows")
        wait_until(program.autostart_text, 5, "the autostart entry")
        entry = program.autostart_text()
        exec_lines = [l for l in entry.splitlines() if l.startswith("Exec=")]
        self.assertEqual(exec_lines, ['Exec="%s"' % program.executable], entry)
        self.assertIniLines(program, ontop="True", taskbar="True", startwin="True")

        status, _ = self.exit_from_file_menu(program, 3)
        self.assertEqual(status, 0)
        self.assertIniLines(program, ontop="True", taskbar="True", startwin="True")

        # The next start restores all three, check marks in both menus too.
        program.start()
        program.wait_viewable()
        self.assertState(program, present=[ABOVE], absent=SKIP_STATES, what="after the restart")
        self.assertIsNotNone(program.autostart_text())
        self.assertEqual(program.check_marks("File"), {"Start with Windows": True,
                                                       "Show in taskbar": True,
                                                       "Always on top": True})
        self.assertEqual(program.check_marks("tray"), {"Always on top": True,
                                                       "Start with windows": True,
                                                       "Show in taskbar": True})
        self.assertIniLines(program, ontop="True", taskbar="True", startwin="True")

        # Off again, each from the other menu: the check marks are shared.
        program.tray_menu("Always on top")
        self.assertState(program, absent=[ABOVE] + sorted(SKIP_STATES),
                         what="tray > Always on top off")
        self.assertIniLines(program, ontop="False", taskbar="True", startwin="True")

        program.file_menu("Show in taskbar")
        self.assertState(program, present=SKIP_STATES, absent=[ABOVE],
                         what="File > Show in taskbar off")
        self.assertIniLines(program, ontop="False", taskbar="False", startwin="True")

        program.file_menu("Start with Windows")
        wait_until(lambda: program.autostart_text() is None, 5, "the autostart entry removed")
        self.assertIniLines(program, ontop="False", taskbar="False", startwin="False")
        self.assertEqual(program.check_marks("tray"), {"Always on top": False,
                                                       "Start with windows": False,
                                                       "Show in taskbar": False})

        # Always on top once more with the taskbar button off: it stays off.
        program.tray_menu("Always on top")
        self.assertState(program, present=[ABOVE] + sorted(SKIP_STATES),
                         what="tray > Always on top on, taskbar button off")

        program.tray_menu("Exit")
        self.assertEqual(program.wait_exit(3), 0)
        self.assertIniLines(program, ontop="True", taskbar="False", startwin="False")


    def expected_state(self, ontop, taskbar):
        wanted = ([ABOVE] if ontop else []) + ([] if taskbar else sorted(SKIP_STATES))
        unwanted = ([] if ontop else [ABOVE]) + (sorted(SKIP_STATES) if taskbar else [])
        return wanted, unwanted

    def hide_and_restore(self, program):
        desktop.wm_close(program.main_window())
        program.wait_hidden()
        desktop.click(*program.tray_icon_centre())
        program.wait_viewable(5)

    def test_saved_window_toggles_survive_hiding_in_the_tray(self):
        # Each combination of the two window toggles, read from the file at
        # start, must still hold once the window was hidden in the tray and
        # brought back by the tray icon.
        for ontop in (False, True):
            for taskbar in (False, True):
                what = "always on top %s, show in taskbar %s" % (ontop, taskbar)
                program = self.new_program()
                try:
                    with self.subTest(what):
                        program.write_ini(ontop=ontop, taskbar=taskbar)
                        program.start()
                        program.wait_viewable()
                        wanted, unwanted = self.expected_state(ontop, taskbar)
                        self.assertState(program, wanted, unwanted, what + ", at start")
                        self.hide_and_restore(program)
                        self.assertState(program, wanted, unwanted,
                                         what + ", hidden in the tray and restored")
                finally:
                    program.kill_all()

    def test_toggled_window_properties_survive_hiding_in_the_tray(self):
        # The toggles as the owner uses them: switched from the menus, the
        # window hidden in the tray and brought back after each switch.
        program = self.new_program()
        program.start()
        program.wait_viewable()
        steps = [("File", "Always on top", True, False),
                 ("tray", "Show in taskbar", True, True),
                 ("tray", "Always on top", False, True),
                 ("File", "Show in taskbar", False, False)]
        for menu, item, ontop, taskbar in steps:
            if menu == "File":
                program.file_menu(item)
            else:
                program.tray_menu(item)
            self.assertIniLines(program, ontop=str(ontop), taskbar=str(taskbar))
            wanted, unwanted = self.expected_state(ontop, taskbar)
            what = "%s > %s: always on top %s, show in taskbar %s" % (menu, item, ontop, taskbar)
            with self.subTest(what + ", before hiding"):
                self.assertState(program, wanted, unwanted, what)
            self.hide_and_restore(program)
            with self.subTest(what + ", after hiding and the tray icon's click"):
                self.assertState(program, wanted, unwanted, what + ", hidden and restored")


class StatusMenu(ProgramTestCase):

    def test_online_and_offline_request_the_status_links(self):
        program = self.new_program()
        program.write_ini(**self.links(badge=False))
        program.start()
        program.wait_viewable()
        self.wait_for_requests("/start")

        self.assertEqual(program.check_marks("Status"), {"Online": True, "Offline": False})

        program.status_menu("Online")
        wait_until(lambda: self.site.count("/start") == 2, 5,
                   lambda: "a second /start on Online (seen %s)" % self.site.requests())
        # Each click flips both marks.
        self.assertEqual(program.check_marks("Status"), {"Online": False, "Offline": True})
        program.status_menu("Offline")
        wait_until(lambda: self.site.count("/exit") == 1, 5,
                   lambda: "/exit on Offline (seen %s)" % self.site.requests())
        self.assertEqual(program.check_marks("Status"), {"Online": True, "Offline": False})
        time.sleep(1.0)
        self.assertTrue(program.alive(), "Offline ended the program")
        self.assertTrue(desktop.is_viewable(program.main_window()))
        program.status_menu("Online")
        wait_until(lambda: self.site.count("/start") == 3, 5,
                   lambda: "a third /start on Online (seen %s)" % self.site.requests())
        self.assertEqual(self.site.paths(), ["/start", "/start", "/exit", "/start"])
        self.assertTrue(program.alive())


class Exit(ProgramTestCase):

    def test_exit_from_tray_menu_requests_the_exit_link(self):
        program = self.new_program()
        program.write_ini(**self.links(badge=False))
        program.start()
        wid = program.wait_viewable()
        self.wait_for_requests("/start")
        # From the tray, with the window hidden there.
        desktop.wm_close(wid)
        program.wait_hidden()
        program.tray_menu("Exit")
        chosen = time.monotonic()
        self.assertEqual(program.wait_exit(10), 0)
        ended = time.monotonic()
        self.assertEqual(self.site.paths(), ["/start", "/exit"])
        self.assertLessEqual(self.site.first_time("/exit"), ended)
        # It ends when the request completes, not at the deadline.
        self.assertLess(ended - chosen, 5)
        values = program.ini_values()
        self.assertEqual(values["linkclose"], self.site.url("/exit"))
        # Hidden in the tray: no size to keep.
        self.assertNotIn("height", values, program.ini_bytes())
        self.assertNotIn("width", values, program.ini_bytes())

    def test_exit_from_file_menu_without_exit_link(self):
        program = self.new_program()
        program.write_ini(**self.links(badge=False, close=False))
        program.start()
        program.wait_viewable()
        self.wait_for_requests("/start")
        status, took = self.exit_from_file_menu(program, 3)
        self.assertEqual(status, 0)
        self.assertLess(took, 3)
        self.assertEqual(self.site.paths(), ["/start"])

    def test_exit_waits_at_most_ten_seconds_for_the_exit_link(self):
        program = self.new_program()
        program.write_ini(badge="", start="", close=self.site.url("/hang"))
        program.start()
        program.wait_viewable()
        status, took = self.exit_from_file_menu(program, 14)
        self.assertEqual(status, 0)
        self.assertIn("/hang", self.site.paths())
        self.assertGreater(took, 8, "ended before the exit request completed")
        self.assertLess(took, 12)


class Logout(ProgramTestCase):

    def test_sigterm_exits_like_exit(self):
        program = self.new_program()
        program.write_ini(**self.links())
        program.start()
        program.wait_viewable()
        self.wait_for_requests("/start", "/badge", "/chat")
        self.assertNotIn("height", program.ini_values())
        outer = self.outer_size(program)
        program.terminate()
        self.assertEqual(program.wait_exit(10), 0)
        self.assertIn("/exit", self.site.paths())
        self.assertEqual(self.site.paths().count("/exit"), 1)
        # Rewritten: the size lines were not there before.
        self.assertSizeLines(program, outer)
        self.assertIniLines(program, badgelink=self.site.url("/badge"),
                            linkstart=self.site.url("/start"), linkclose=self.site.url("/exit"))


def main():
    global EXECUTABLE
    if len(sys.argv) < 2:
        print("usage: %s <path to TalvorinTool> [unittest arguments]" % sys.argv[0],
              file=sys.stderr)
        return 2
    EXECUTABLE = os.path.abspath(sys.argv[1])
    if not os.access(EXECUTABLE, os.X_OK):
        print("not an executable: %s" % EXECUTABLE, file=sys.stderr)
        return 2
    # Without a desktop or the tools to use it there is nothing to test: CTest
    # shows such a run as skipped (SKIP_RETURN_CODE 77), not as passed.
    if not desktop.have_display():
        print("no X display (DISPLAY is not set)", file=sys.stderr)
        return SKIPPED
    missing = [tool for tool in ("xdotool", "xprop", "xwininfo", "wmctrl", "import")
               if shutil.which(tool) is None]
    if missing:
        print("missing tools: %s (Debian: xdotool x11-utils wmctrl imagemagick)"
              % ", ".join(missing), file=sys.stderr)
        return SKIPPED
    program = unittest.main(argv=[sys.argv[0]] + sys.argv[2:], exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
