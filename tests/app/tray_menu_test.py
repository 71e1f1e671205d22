#!/usr/bin/python3
"""The notification-area icon's menu, driven the way a user drives it, in the
real program under a virtual X server (Xvfb) with a small tray host (trayer).
Every way out must end the program with exit status 0."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from Xlib import X, XK, Xatom, display as xdisplay, error as xerror, protocol
from Xlib.ext import xtest

PROGRAM = ""
WAIT = 20.0  # seconds for anything the test waits for; a failure never hangs


def wait_for(condition, what, timeout=WAIT):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


class Desktop:
    """Xvfb on a free display number, a tray host, and the program."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="ftpqor-tray-")
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        end = time.monotonic() + WAIT
        while not number.endswith(b"\n") and time.monotonic() < end:
            chunk = os.read(read_end, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            self.close()
            raise AssertionError("Xvfb did not start")
        self.name = ":" + number.decode().strip()
        self.display = xdisplay.Display(self.name)
        self.root = self.display.screen().root
        self.program = None
        self.trayer = None
        self.start_tray_host()

    def environment(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith("DBUS_") and k != "WAYLAND_DISPLAY"}
        env.update({
            "DISPLAY": self.name,
            "QT_QPA_PLATFORM": "xcb",
            "FTPQOR_HOME": os.path.join(self.folder, "home"),
            "FTPQOR_RUNTIME_DIR": os.path.join(self.folder, "run"),
            "XDG_CONFIG_HOME": os.path.join(self.folder, "config"),
            "XDG_DATA_HOME": os.path.join(self.folder, "data"),
            "XDG_RUNTIME_DIR": os.path.join(self.folder, "xdg-run"),
            "HOME": self.folder,
        })
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        return env

    def tray_owner(self):
        atom = self.display.intern_atom("_NET_SYSTEM_TRAY_S0")
        return self.display.get_selection_owner(atom) != X.NONE

    def start_tray_host(self):
        self.trayer = subprocess.Popen(
            ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"],
            env=self.environment(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(self.tray_owner, "the tray host")

    def stop_tray_host(self):
        self.trayer.terminate()
        self.trayer.wait(WAIT)
        wait_for(lambda: not self.tray_owner(), "the tray host to go")

    def start_program(self):
        self.program = subprocess.Popen([PROGRAM], env=self.environment(), cwd=self.folder,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def program_windows(self):
        """(window, x, y, width, height, override_redirect) of the program's mapped windows."""
        found = []

        def walk(window):
            try:
                children = window.query_tree().children
            except xerror.XError:
                return
            for child in children:
                try:
                    attributes = child.get_attributes()
                    wm_class = child.get_wm_class()
                    if attributes.map_state == X.IsViewable and wm_class and "ftpqor" in wm_class[0]:
                        geometry = child.get_geometry()
                        at = self.root.translate_coords(child, 0, 0)
                        found.append((child, at.x, at.y, geometry.width, geometry.height,
                                      bool(attributes.override_redirect)))
                except xerror.XError:
                    continue
                walk(child)

        walk(self.root)
        return found

    def tray_icon(self):
        for window, x, y, width, height, _ in self.program_windows():
            if width <= 64 and height <= 64 and y < 30:  # docked in the tray along the top edge
                return (x + width // 2, y + height // 2)
        return None

    def main_window(self):
        windows = [w for w in self.program_windows() if not w[5] and w[3] >= 300]
        return max(windows, key=lambda w: w[3] * w[4])[0] if windows else None

    def menu_shown(self):
        return any(w[5] and w[3] > 40 and w[4] > 20 for w in self.program_windows())

    def click(self, x, y, button):
        xtest.fake_input(self.display, X.MotionNotify, x=x, y=y)
        self.display.sync()
        xtest.fake_input(self.display, X.ButtonPress, button)
        xtest.fake_input(self.display, X.ButtonRelease, button)
        self.display.sync()

    def key(self, name):
        code = self.display.keysym_to_keycode(XK.string_to_keysym(name))
        xtest.fake_input(self.display, X.KeyPress, code)
        xtest.fake_input(self.display, X.KeyRelease, code)
        self.display.sync()

    def close_from_window_manager(self, window):
        protocols = self.display.intern_atom("WM_PROTOCOLS")
        delete = self.display.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                             data=(32, [delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event, event_mask=0)
        self.display.sync()

    def open_tray_menu(self):
        x, y = wait_for(self.tray_icon, "the tray icon")
        self.click(x, y, 3)
        wait_for(self.menu_shown, "the tray menu")

    def exit_status(self):
        try:
            return self.program.wait(WAIT)
        except subprocess.TimeoutExpired:
            self.program.kill()
            self.program.wait()
            return "still running"

    def close(self):
        for process in (self.program, self.trayer):
            if process and process.poll() is None:
                process.kill()
                process.wait()
        if self.program and self.program.stderr:
            self.program.stderr.close()
        if getattr(self, "display", None):
            self.display.close()
        if self.xvfb.poll() is None:
            self.xvfb.send_signal(signal.SIGTERM)
            self.xvfb.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


class TrayMenu(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop()
        self.addCleanup(self.desktop.close)
        self.desktop.start_program()
        wait_for(self.desktop.main_window, "the main window")

    def assertEndsCleanly(self):
        status = self.desktop.exit_status()
        errors = self.desktop.program.stderr.read().decode(errors="replace")
        self.assertEqual(status, 0, errors[-2000:])

    def test_exit_from_the_tray_menu(self):
        self.desktop.open_tray_menu()
        self.desktop.key("Down")
        self.desktop.key("Down")
        self.desktop.key("Return")
        self.assertEndsCleanly()

    def tray_host_leaves_while_the_menu_is_open(self, close_menu):
        self.desktop.open_tray_menu()
        self.desktop.stop_tray_host()
        time.sleep(0.3)  # let the program see the tray go before the menu closes
        close_menu()
        wait_for(lambda: not self.desktop.menu_shown(), "the menu to close")
        self.assertIsNone(self.desktop.program.poll())
        self.desktop.close_from_window_manager(self.desktop.main_window())
        self.assertEndsCleanly()

    def test_tray_host_leaves_while_the_menu_is_open_then_escape(self):
        self.tray_host_leaves_while_the_menu_is_open(lambda: self.desktop.key("Escape"))

    def test_tray_host_leaves_while_the_menu_is_open_then_a_click(self):
        self.tray_host_leaves_while_the_menu_is_open(lambda: self.desktop.click(5, 700, 1))

    def test_window_manager_closes_the_window_while_the_menu_is_open(self):
        self.desktop.open_tray_menu()
        self.desktop.close_from_window_manager(self.desktop.main_window())
        self.assertEndsCleanly()

    def test_window_manager_close_without_the_menu(self):
        wait_for(self.desktop.tray_icon, "the tray icon")
        self.desktop.close_from_window_manager(self.desktop.main_window())
        self.assertEndsCleanly()


if __name__ == "__main__":
    PROGRAM = os.path.abspath(sys.argv.pop(1))
    unittest.main()
