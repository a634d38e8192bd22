#!/usr/bin/python3
"""Reads and drives a running Vesko through AT-SPI, as a screen reader does.

Started by tests/a11y/run, which brings up the X server, the accessibility
bus, the demo service and Vesko itself. Prints one PASS/FAIL line per check
and, when anything failed, the accessible tree on stderr.
"""

import argparse
import os
import re
import subprocess
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

# get_action_name is marked deprecated for a successor that Python cannot
# reach (it clashes with Accessible.get_name): the warning is noise.
warnings.filterwarnings("ignore", category=DeprecationWarning, module=__name__)

HERO = "Monthly recurring revenue, "
# A dollar figure, then the rest of its sentence.
HERO_FIGURE = re.compile(r"^Monthly recurring revenue, \$\d[\d,]*(\.\d+)?[KMB]?\b[^.]*\.")
# Badge, amount (or what stands for it), channel and more, then the age.
EVENT_ROW = re.compile(r"^(New|Cancelled|Back), .+, .+, (\S.* ago|just now)$")
MENU_ITEMS = ("Account settings", "Check for updates", "Sign out", "Quit")
MENU_CHECKS = ("Open at login", "Hide amounts")

results = {"PASS": 0, "FAIL": 0, "SKIP": 0}


def report(verdict, check, detail):
    results[verdict] += 1
    print(f"{verdict} {check}: {detail}", flush=True)


def check(ok, name, detail_ok, detail_bad):
    report("PASS" if ok else "FAIL", name, detail_ok if ok else detail_bad)
    return ok


# ---- reading the tree ----


def pump():
    # Lets libatspi take in the registry's news (applications coming and going).
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def states(node):
    try:
        return {s.value_nick for s in node.get_state_set().get_states()}
    except GLib.Error:
        return set()


def describe(node):
    try:
        return (node.get_role_name(), node.get_name() or "", node.get_description() or "")
    except GLib.Error as error:
        return ("defunct", "", error.message)


def children(node):
    try:
        count = node.get_child_count()
    except GLib.Error:
        return []
    found = []
    for i in range(count):
        try:
            child = node.get_child_at_index(i)
        except GLib.Error:
            continue
        if child is not None:
            found.append(child)
    return found


def walk(node, depth=0):
    yield node, depth
    for child in children(node):
        yield from walk(child, depth + 1)


def find_all(root, role=None, name=None, showing=True):
    """Nodes under root with the role and name given (a str is exact, a
    compiled pattern is searched); hidden ones only when showing is False."""
    if root is None:
        return []
    found = []
    for node, _ in walk(root):
        node_role, node_name, _ = describe(node)
        if role is not None and node_role not in (role if isinstance(role, tuple) else (role,)):
            continue
        if isinstance(name, str) and node_name != name:
            continue
        if isinstance(name, re.Pattern) and not name.search(node_name):
            continue
        if showing and "showing" not in states(node):
            continue
        found.append(node)
    return found


def find(root, role=None, name=None):
    found = find_all(root, role, name)
    return found[0] if found else None


def wait_for(probe, seconds):
    """probe() until it returns something true, for at most `seconds`."""
    deadline = time.monotonic() + seconds
    while True:
        pump()
        value = probe()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(0.2)


class Vesko:
    def __init__(self, pid):
        self.pid = pid
        self.desktop = Atspi.get_desktop(0)
        # Nothing cached: each poll reads what the application says now.
        self.desktop.set_cache_mask(Atspi.Cache.NONE)
        # Qt leaves popup windows out of the application's children: a screen
        # reader meets them when they take the focus, and so does this.
        self.activated = []
        self.listener = Atspi.EventListener.new(self.heard)
        self.listener.register("window:activate")

    def heard(self, event):
        try:
            if event.source.get_process_id() == self.pid:
                self.activated.append(event.source)
        except GLib.Error:
            pass

    def app(self):
        for node in children(self.desktop):
            try:
                if node.get_process_id() == self.pid:
                    node.set_cache_mask(Atspi.Cache.NONE)
                    return node
            except GLib.Error:
                continue
        return None

    def windows(self):
        return [w for w in children(self.app()) if "showing" in states(w)] if self.app() else []

    def popup(self, since=0, showing=True):
        """The newest window activated after the `since`th that holds menu
        entries (and shows, unless showing is False)."""
        for w in reversed(self.activated[since:]):
            if (not showing or "showing" in states(w)) and find_all(w, ("menu item", "check box"), showing=showing):
                return w
        return None

    def window(self, title):
        for w in self.windows():
            if describe(w)[1] == title:
                return w
        return None


def actions(node):
    """The node's action names, as a screen reader lists them."""
    try:
        if node is None or "Action" not in node.get_interfaces():
            return []
        return [node.get_action_name(i) for i in range(node.get_n_actions())]
    except GLib.Error:
        return []


def press(node):
    """Runs the node's press (or click, or activate) action: the action's name
    when it ran, None when the node offers none."""
    names = actions(node)
    for wanted in ("press", "click", "activate", "toggle"):
        for i, found in enumerate(names):
            if found.lower() == wanted:
                try:
                    return found if node.do_action(i) else None
                except GLib.Error:
                    return None
    return None


def run_vesko(binary, wait, *arguments):
    """A second start, which hands its arguments to the running vesko."""
    try:
        subprocess.run([binary, *arguments], check=False, timeout=wait)
    except subprocess.TimeoutExpired:
        print(f"{binary} {' '.join(arguments)} did not hand over within {wait:.0f} s", file=sys.stderr)


def dump(root, out):
    try:
        root.get_child_count()
    except GLib.Error as error:
        print(f"  (the tree cannot be read: {error.message})", file=out)
    for node, depth in walk(root):
        role, name, description = describe(node)
        line = f"{'  ' * depth}[{role}] {name!r}"
        if description:
            line += f" ({description!r})"
        line += " {" + ",".join(sorted(states(node))) + "}"
        print(line, file=out)


# ---- the checks ----


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--pid", type=int, required=True, help="the running vesko's process id")
    parser.add_argument("--vesko", required=True, help="the vesko binary, for the fallbacks")
    parser.add_argument("--wait", type=float, default=60, help="seconds any one change may take")
    parser.add_argument("--trees", help="a folder to write what a screen reader finds in each state")
    args = parser.parse_args()
    wait = args.wait

    def keep(state, root):
        if args.trees and root is not None:
            with open(os.path.join(args.trees, state + ".txt"), "w", encoding="utf-8") as out:
                dump(root, out)

    Atspi.init()
    # Slow builds (AddressSanitizer) answer late: generous, never a verdict.
    Atspi.set_timeout(int(wait * 1000), int(wait * 1000))
    vesko = Vesko(args.pid)

    welcome = wait_for(lambda: vesko.window("Welcome to Vesko"), wait)
    if not check(welcome is not None, "bridge",
                 "vesko is on the accessibility bus with its welcome window",
                 f"no showing 'Welcome to Vesko' window from pid {args.pid} within {wait:.0f} s"):
        return finish(vesko)

    keep("1-welcome", welcome)
    got_it = find(welcome, "push button", "Got it")
    check(got_it is not None and actions(got_it), "welcome-got-it",
          f"push button 'Got it' with actions {actions(got_it)}",
          "no push button 'Got it' with an action in the welcome window")

    # The link opens the panel in a window; a second start is the way in
    # when the link cannot be pressed.
    link = find(welcome, "link", "Open Vesko here")
    pressed = press(link)
    panel = wait_for(lambda: vesko.window("Vesko"), wait) if pressed else None
    check(panel is not None and vesko.window("Welcome to Vesko") is None, "welcome-open-here",
          f"link 'Open Vesko here' ({pressed}) showed the panel and put the welcome away",
          "no link 'Open Vesko here' whose action shows the panel" if not pressed
          else f"'{pressed}' on the link left panel={panel is not None}, "
               f"welcome={vesko.window('Welcome to Vesko') is not None}")
    if panel is None:
        run_vesko(args.vesko, wait)
        panel = wait_for(lambda: vesko.window("Vesko"), wait)
    if panel is None:
        report("FAIL", "panel-window", "no showing 'Vesko' window, even after a second start")
        return finish(vesko)

    # ---- signed out ----
    sign_in = wait_for(lambda: find(panel, "push button", "Sign in"), wait)
    keep("2-signed-out", panel)
    title = find(panel, ("heading", "label", "static"), re.compile(r"\S"))
    check(title is not None, "signed-out-title",
          f"{describe(title)[0]} {describe(title)[1]!r}" if title else "",
          "no heading or label with a name in the signed-out panel")
    pressed = press(sign_in)
    check(pressed is not None, "sign-in-button",
          f"push button 'Sign in' took '{pressed}'",
          "no push button 'Sign in' with an action" if sign_in is None
          else f"push button 'Sign in' offers {actions(sign_in)}, none of which ran")
    if pressed is None:
        run_vesko(args.vesko, wait, "--sign-in")

    # Signed in once the footer's More button is there: it shows only then.
    more = wait_for(lambda: find(panel, "push button", "More"), wait)
    if not check(more is not None, "signs-in",
                 "the browser approved and the panel shows the dashboard's footer",
                 f"no push button 'More' {wait:.0f} s after signing in started"):
        return finish(vesko)

    # ---- the dashboard ----
    heroes = wait_for(lambda: find_all(panel, name=re.compile("^" + re.escape(HERO))), wait / 4)
    hero_name = describe(heroes[0])[1] if heroes else ""
    check(len(heroes) == 1 and HERO_FIGURE.search(hero_name), "hero",
          f"{describe(heroes[0])[0]} {hero_name!r}" if heroes else "",
          f"{len(heroes)} objects named '{HERO}…'" + (f": {hero_name!r}" if heroes else ""))

    # Rows scrolled out of view count too: a screen reader reads the whole
    # list. The feed may come in after the figures.
    def rows(title):
        found = find(panel, "list", title)
        return found, [describe(n)[1] for n in find_all(found, "list item", showing=False)]

    def shaped(title, pattern):
        found, names = rows(title)
        return found is not None and names and all(pattern.search(n) for n in names)

    wait_for(lambda: shaped("Latest veskos", EVENT_ROW), wait / 4)
    events, names = rows("Latest veskos")
    bad = [n for n in names if not EVENT_ROW.search(n)]
    check(events is not None and names and not bad, "events-list",
          f"list 'Latest veskos' of {len(names)} items, first {names[0]!r}" if names else "",
          "no list 'Latest veskos'" if events is None
          else f"{len(names)} items, these not shaped 'Badge, amount, …, age': {bad[:3]}")

    amount = re.compile(r"\d")
    wait_for(lambda: shaped("Where it comes from", amount), wait / 4)
    channels, names = rows("Where it comes from")
    check(channels is not None and names and all(amount.search(n) for n in names), "channels-list",
          f"list 'Where it comes from' of {len(names)} items, first {names[0]!r}" if names else "",
          "no list 'Where it comes from'" if channels is None else f"items without an amount: {names}")

    # The line needs a history of days: a fresh home may have none.
    images = find_all(panel, "image")
    trend = [n for n in images if describe(n)[2].startswith("MRR over the last 30 days")]
    if not images:
        report("SKIP", "trend", "no image in the panel: no line drawn yet")
    else:
        check(bool(trend), "trend", f"image described {describe(trend[0])[2]!r}" if trend else "",
              f"images without a 'MRR over the last 30 days' description: {[describe(n) for n in images]}")

    keep("3-dashboard", panel)
    dashboard = find(panel, "push button", "Open dashboard")
    check(dashboard is not None and actions(dashboard), "open-dashboard",
          f"push button 'Open dashboard' with actions {actions(dashboard)}",
          "no push button 'Open dashboard' with an action")

    # ---- the More menu ----
    heard = len(vesko.activated)
    pressed = press(more)
    menu = wait_for(lambda: vesko.popup(heard), wait)
    if not check(menu is not None, "more-opens-menu",
                 f"'{pressed}' on More showed a {describe(menu)[0] if menu else ''} window",
                 f"'{pressed}' on More showed no new window" if pressed
                 else f"More offers {actions(more)}, none of which ran"):
        return finish(vesko)

    keep("4-more-menu", menu)
    popups = find_all(menu, "popup menu")
    check(bool(popups), "menu-popup", f"popup menu {describe(popups[0])[1]!r}" if popups else "",
          f"no popup menu in the {describe(menu)[0]} that opened")

    items = {describe(n)[1] for n in find_all(menu, "menu item")}
    # "Quit Vesko" is the Quit meant; an ellipsis says a window follows.
    missing = [n for n in MENU_ITEMS if not any(i.startswith(n) for i in items)]
    check(not missing, "menu-items", f"menu items {sorted(items)}", f"missing menu items {missing}; has {sorted(items)}")

    boxes = {describe(n)[1]: n for n in find_all(menu, "check box")}
    missing = [n for n in MENU_CHECKS if n not in boxes]
    check(not missing, "menu-check-boxes", f"check boxes {sorted(boxes)}",
          f"missing check boxes {missing}; has {sorted(boxes)}")

    # Tray styles and projects are two groups side by side, which AT-SPI
    # does not tell apart: some choice is checked, never all of them.
    radios = find_all(menu, "radio button")
    chosen = [describe(n)[1] for n in radios if "checked" in states(n)]
    check(len(radios) >= 2 and 0 < len(chosen) < len(radios), "menu-radio-buttons",
          f"{len(radios)} radio buttons, checked: {chosen}",
          f"{len(radios)} radio buttons ({[describe(n)[1] for n in radios]}), checked: {chosen}")

    hide = boxes.get("Hide amounts")
    was_checked = hide is not None and "checked" in states(hide)
    pressed = press(hide)

    def hidden():
        names = [describe(n)[1] for n in find_all(panel, name=re.compile("^" + re.escape(HERO)))]
        masked = [describe(n)[1] for n in find_all(panel, "list item", showing=False) if "•" in describe(n)[1]]
        return (names and names[0].startswith(HERO + "hidden") and not masked), names, masked

    ok = pressed is not None and wait_for(lambda: hidden()[0], wait / 4)
    _, names, masked = hidden()
    keep("5-amounts-hidden", panel)
    check(ok and not was_checked, "hide-amounts",
          f"'{pressed}' on Hide amounts: the hero reads {names[0]!r}, no list item shows •" if names else "",
          "no check box 'Hide amounts' with an action" if pressed is None
          else f"after '{pressed}' (checked before: {was_checked}) the hero reads {names}, "
               f"list items with •: {masked[:3]}")

    # A screen reader says whether the box is ticked.
    heard = len(vesko.activated)
    if pressed is not None and press(more) is not None:
        menu = wait_for(lambda: vesko.popup(heard), wait)
        box = find(menu, "check box", "Hide amounts")
        check(box is not None and "checked" in states(box), "hide-amounts-checked",
              "the reopened menu's 'Hide amounts' is checked",
              f"the reopened menu's 'Hide amounts' has states {sorted(states(box)) if box else None}")

    return finish(vesko)


def finish(vesko):
    # A crash after the last check would otherwise go unseen.
    check(vesko.app() is not None, "still-running", "vesko is still on the accessibility bus",
          "vesko left the accessibility bus during the test")
    print(f"{results['PASS']} passed, {results['FAIL']} failed, {results['SKIP']} skipped", flush=True)
    if results["FAIL"]:
        app = vesko.app()
        print("The accessible tree of vesko:", file=sys.stderr)
        if app is None:
            print("  (vesko is not on the accessibility bus)", file=sys.stderr)
        else:
            dump(app, sys.stderr)
        menu = vesko.popup(showing=False)
        if menu is not None:
            print("The More menu (a popup, outside the application's children):", file=sys.stderr)
            dump(menu, sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
