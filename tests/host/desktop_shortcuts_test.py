#!/usr/bin/env python3
"""How the end-to-end tests undo their desktop shortcuts, against a model of
Explorer that reacts to the keys as Windows does: which keys are pressed for
each state a test can leave, and the lines for a state that stays."""

import os
import sys
import unittest
from unittest import mock

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import desktop_shortcuts as ds  # noqa: E402

ESCAPE = (ds.VK_ESCAPE,)
PREVIOUS_DESKTOP = (ds.VK_CONTROL, ds.VK_LWIN, ds.VK_LEFT)
SHOW_DESKTOP = (ds.VK_LWIN, ds.VK_D)
APP, TASK_VIEW, SHOWN = ("ConsoleWindowClass", "MultitaskingViewFrame",
                         "WorkerW")


class Explorer:
    """The foreground window's class and the virtual desktops, changed by
    shortcuts; `deaf` ones change nothing."""

    def __init__(self, foreground, desktops, current, deaf=()):
        self.foreground = foreground
        self.ids = [bytes([n]) * 16 for n in range(desktops)]
        self.current = current
        self.deaf = deaf
        self.pressed = []

    def send_keys(self, *keys):
        self.pressed.append(keys)
        if keys in self.deaf:
            return
        if keys == ESCAPE and self.foreground == TASK_VIEW:
            self.foreground = APP
        elif keys == PREVIOUS_DESKTOP:
            self.current = max(self.current - 1, 0)
        elif keys == SHOW_DESKTOP:
            self.foreground = APP if self.foreground == SHOWN else SHOWN

    def virtual_desktops(self):
        # Explorer keeps no list while there is one desktop.
        if len(self.ids) < 2:
            return [], None
        return list(self.ids), self.ids[self.current]


class RestoreDesktopTest(unittest.TestCase):
    def test_presses_only_what_undoes_the_state_left(self):
        table = [
            # name, explorer, shown before, keys pressed, problems
            ("untouched", Explorer(APP, 1, 0), False, [], []),
            ("Task View open", Explorer(TASK_VIEW, 1, 0), False, [ESCAPE],
             []),
            ("third of three desktops", Explorer(APP, 3, 2), False,
             [PREVIOUS_DESKTOP, PREVIOUS_DESKTOP], []),
            ("first of two desktops", Explorer(APP, 2, 0), False, [], []),
            ("desktop shown by the test", Explorer(SHOWN, 1, 0), False,
             [SHOW_DESKTOP], []),
            ("desktop shown before the test", Explorer(SHOWN, 1, 0), True,
             [], []),
            ("all at once", Explorer(TASK_VIEW, 2, 1), False,
             [ESCAPE, PREVIOUS_DESKTOP], []),
            ("Task View that stays", Explorer(TASK_VIEW, 1, 0,
                                              deaf=(ESCAPE,)), False,
             [ESCAPE], ["Task View stays open after Escape"]),
            ("desktop that stays", Explorer(APP, 3, 2,
                                            deaf=(PREVIOUS_DESKTOP,)), False,
             [PREVIOUS_DESKTOP], ["virtual desktop 3 of 3 stays current"]),
        ]
        for name, explorer, shown_before, keys, problems in table:
            with self.subTest(name), \
                    mock.patch.object(ds, "send_keys", explorer.send_keys), \
                    mock.patch.object(ds, "foreground_class",
                                      lambda: explorer.foreground), \
                    mock.patch.object(ds, "virtual_desktops",
                                      explorer.virtual_desktops):
                self.assertEqual(
                    (ds.restore_desktop(shown_before, timeout=0.1),
                     explorer.pressed), (problems, keys))


if __name__ == "__main__":
    unittest.main()
