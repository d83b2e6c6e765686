"""What the desktop shortcuts an end-to-end test presses on a real Windows
desktop (Win+D, Win+Tab, Ctrl+Win+Right) leave behind, and how it is undone,
so that one test's shortcuts cannot steer the next test's input. Windows
only: under Wine the shortcuts do nothing and none of this is called."""

import time

TASK_VIEW_CLASSES = ("MultitaskingViewFrame", "XamlExplorerHostIslandWindow")
SHOWN_DESKTOP_CLASSES = ("WorkerW", "Progman")
VK_CONTROL, VK_ESCAPE, VK_LEFT, VK_LWIN, VK_D = 0x11, 0x1B, 0x25, 0x5B, 0x44
KEYEVENTF_EXTENDEDKEY, KEYEVENTF_KEYUP = 0x1, 0x2
EXPLORER_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer"


def wait_for(read, done, timeout=30.0):
    """Reads until `done(value)` or the deadline; the last value read."""
    deadline = time.monotonic() + timeout
    value = read()
    while not done(value) and time.monotonic() < deadline:
        time.sleep(0.05)
        value = read()
    return value


def foreground_class():
    import ctypes
    user32 = ctypes.windll.user32
    name = ctypes.create_unicode_buffer(256)
    window = user32.GetForegroundWindow()
    if not window or not user32.GetClassNameW(window, name, len(name)):
        return ""
    return name.value


def send_keys(*vks):
    """Key downs in order, then key ups in reverse, as a user presses a
    shortcut. The Windows and arrow keys are extended keys."""
    import ctypes
    keybd_event = ctypes.windll.user32.keybd_event

    def flags(vk):
        return KEYEVENTF_EXTENDEDKEY if vk in (VK_LWIN, VK_LEFT) else 0

    for vk in vks:
        keybd_event(vk, 0, flags(vk), 0)
    for vk in reversed(vks):
        keybd_event(vk, 0, flags(vk) | KEYEVENTF_KEYUP, 0)


def virtual_desktops():
    """Explorer's virtual desktops in order and the current one, as it keeps
    them in the registry (the current one per session on Windows 10, once
    for the user on Windows 11); no desktops while only one was ever made."""
    import ctypes
    import winreg

    def read(key, name):
        try:
            with winreg.OpenKey(winreg.HKEY_CURRENT_USER, key) as handle:
                return winreg.QueryValueEx(handle, name)[0]
        except OSError:
            return None

    kernel32 = ctypes.windll.kernel32
    session = ctypes.c_ulong()
    kernel32.ProcessIdToSessionId(kernel32.GetCurrentProcessId(),
                                  ctypes.byref(session))
    ids = read(EXPLORER_KEY + "\\VirtualDesktops", "VirtualDesktopIDs") or b""
    current = (read("%s\\SessionInfo\\%d\\VirtualDesktops" %
                    (EXPLORER_KEY, session.value), "CurrentVirtualDesktop") or
               read(EXPLORER_KEY + "\\VirtualDesktops",
                    "CurrentVirtualDesktop"))
    return [ids[i:i + 16] for i in range(0, len(ids), 16)], current


def desktop_state():
    """Whether the desktop was shown when a test began."""
    return foreground_class() in SHOWN_DESKTOP_CLASSES


def restore_desktop(shown_before, timeout=30.0):
    """Closes Task View, makes the first virtual desktop current again and
    shows the windows again unless the desktop was shown before the test.
    Each step waits, with a deadline, for Windows to have done it. Returns a
    line for each state it could not restore."""
    problems = []
    if foreground_class() in TASK_VIEW_CLASSES:
        send_keys(VK_ESCAPE)
        if wait_for(foreground_class, lambda c: c not in TASK_VIEW_CLASSES,
                    timeout) in TASK_VIEW_CLASSES:
            problems.append("Task View stays open after Escape")
    ids, current = virtual_desktops()
    # One desktop to the left at a time; a switch that does not happen ends
    # the attempt rather than waiting out the deadline again.
    left = None
    for _ in ids:
        if current in (ids[0], left):
            break
        send_keys(VK_CONTROL, VK_LWIN, VK_LEFT)
        left = current
        current = wait_for(lambda: virtual_desktops()[1],
                           lambda now: now != left, timeout)
    if ids and current != ids[0]:
        problems.append("virtual desktop %s of %d stays current" % (
            ids.index(current) + 1 if current in ids else "unknown",
            len(ids)))
    # Win+D toggles. With no other window a shown desktop looks like any
    # other, so the undoing is attempted, not asserted.
    if not shown_before and foreground_class() in SHOWN_DESKTOP_CLASSES:
        send_keys(VK_LWIN, VK_D)
        wait_for(foreground_class, lambda c: c not in SHOWN_DESKTOP_CLASSES,
                 min(timeout, 5.0))
    return problems
