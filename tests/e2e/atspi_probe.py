"""What a screen reader sees of a running program, over the AT-SPI bus.

atspi_probe.py enable                 switch assistive technology on for the session
atspi_probe.py PID buttons            every shown toolbar button: named, with an action
atspi_probe.py PID toolbars NAME...   the shown toolbars are named NAME..., in any order
atspi_probe.py PID press NAME         runs the first action of the button NAME
atspi_probe.py PID checked NAME       the button NAME is checked
atspi_probe.py PID unchecked NAME     the button NAME is there and not checked
atspi_probe.py PID named NAME         a control is named NAME
atspi_probe.py PID extents NAME       prints the screen rectangle of the control NAME: x y width height
atspi_probe.py PID fields TITLE       every field of the window TITLE is named
Exit code 0 when the check holds; what was seen goes to stdout.
"""

import sys
import time

import pyatspi
from gi.repository import Gio, GLib

BUTTONS = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_RADIO_BUTTON,
           pyatspi.ROLE_CHECK_BOX}
FIELDS = {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_CHECK_BOX,
          pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_LIST}
# Rows of a list or lines of a text are not controls; a comment list may hold thousands of them.
LEAVES = {pyatspi.ROLE_LIST, pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE,
          pyatspi.ROLE_TEXT, pyatspi.ROLE_DOCUMENT_TEXT, pyatspi.ROLE_LIST_BOX}


def enable():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    bus.call_sync('org.a11y.Bus', '/org/a11y/bus', 'org.freedesktop.DBus.Properties', 'Set',
                  GLib.Variant('(ssv)', ('org.a11y.Status', 'IsEnabled', GLib.Variant('b', True))),
                  None, Gio.DBusCallFlags.NONE, 5000, None)
    return True


def application(pid):
    # Under Qt's GTK platform theme GTK registers the process too, with an empty tree of its own.
    desktop = pyatspi.Registry.getDesktop(0)
    found = []
    for app in desktop:
        try:
            if app is not None and app.get_process_id() == pid:
                found.append(app)
        except GLib.Error:
            continue
    return max(found, key=lambda app: app.childCount, default=None)


def walk(node, leaves=LEAVES):
    yield node
    if node.getRole() in leaves:
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, leaves)


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def action_names(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def toolbar_buttons(app):
    for node in walk(app):
        if node.getRole() == pyatspi.ROLE_TOOL_BAR and showing(node):
            for i in range(node.childCount):
                child = node.getChildAtIndex(i)
                if child is not None and child.getRole() in BUTTONS and showing(child):
                    yield child


def find(app, name, roles=None):
    for node in walk(app):
        if node.name == name and (roles is None or node.getRole() in roles):
            return node
    return None


def check_buttons(app):
    buttons = list(toolbar_buttons(app))
    good = True
    for b in buttons:
        names = action_names(b)
        print(f'{b.getRoleName()!s:14} {b.name!r:28} {names}')
        if not b.name or not names:
            good = False
    print(f'{len(buttons)} toolbar buttons')
    return good and len(buttons) > 0


def toolbars(app, *names):
    seen = sorted(node.name for node in walk(app) if node.getRole() == pyatspi.ROLE_TOOL_BAR and showing(node))
    print(f'toolbars: {seen}')
    return seen == sorted(names)


def press(app, name):
    button = find(app, name, BUTTONS)
    if button is None or not action_names(button):
        print(f'no button {name!r} with an action')
        return False
    button.queryAction().doAction(0)
    return True


def checked(app, name):
    button = find(app, name, BUTTONS)
    return button is not None and button.getState().contains(pyatspi.STATE_CHECKED)


def unchecked(app, name):
    button = find(app, name, BUTTONS)
    return button is not None and not button.getState().contains(pyatspi.STATE_CHECKED)


def named(app, name):
    node = find(app, name)
    if node is not None:
        print(f'{node.getRoleName()} named {name!r}')
    return node is not None


def extents(app, name):
    # A field's own buttons (a clear button) are children of the field.
    for node in walk(app, LEAVES - {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY}):
        if node.name == name and showing(node):
            box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            print(box.x, box.y, box.width, box.height)
            return box.width > 0 and box.height > 0
    print(f'no shown control {name!r}', file=sys.stderr)
    return False


def fields(app, title):
    window = None
    for i in range(app.childCount):
        child = app.getChildAtIndex(i)
        if child is not None and child.name == title:
            window = child
    if window is None:
        print(f'no window {title!r}')
        return False
    good, seen = True, 0
    for node in walk(window):
        if node is window or node.getRole() not in FIELDS or not showing(node):
            continue
        seen += 1
        print(f'{node.getRoleName()!s:14} {node.name!r}')
        if not node.name:
            good = False
    return good and seen > 0


def main(argv):
    if argv[1] == 'enable':
        return enable()
    pid, what, args = int(argv[1]), argv[2], argv[3:]
    # The program registers with the bus some time after its window shows.
    app, deadline = None, time.monotonic() + 20
    while app is None and time.monotonic() < deadline:
        app = application(pid)
        if app is None:
            time.sleep(0.3)
    if app is None:
        print(f'process {pid} is not on the accessibility bus')
        return False
    checks = {'buttons': check_buttons, 'toolbars': toolbars, 'press': press, 'checked': checked, 'unchecked': unchecked, 'named': named, 'extents': extents,
              'fields': fields}
    return checks[what](app, *args)


if __name__ == '__main__':
    sys.exit(0 if main(sys.argv) else 1)
