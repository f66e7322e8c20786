#!/usr/bin/python3
# The program as a screen reader sees it, through the real accessibility bus: on an X server, a
# session bus and an accessibility bus of the test's own, every marker is named by its location and
# described by its state line ("VIE waiting"), the legend reads as text, a change of state is seen in
# that description, and Tab then Enter open the List View with no mouse. Needs root (echo requests
# from the program); exits 77 (skipped) where a part is missing.
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77


def skip(why):
    print("SKIP: " + why)
    sys.exit(SKIP)


try:
    import pyatspi
except ImportError:
    skip("python3-pyatspi is not installed")
LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
for tool in ("Xvfb", "dbus-daemon", "dbus-send", "xdotool"):
    if not shutil.which(tool):
        skip(tool + " is not installed")
if not os.path.exists(LAUNCHER):
    skip("at-spi2-core is not installed")
if os.geteuid() != 0:
    skip("the program's echo requests need root here")

PROGRAM = sys.argv[1]
BLOCK = "------------LOCATION BEGIN-----------\r\nSITEID={0}\r\nIGNORE=\r\nSITEIP=127.0.0.1\r\n" \
        "DISABLED=0\r\nSITELEFT={1}\r\nSITETOP=3000\r\n------------LOCATION END-----------\r\n"
MAIN = "------------MAIN SETTINGS-----------\r\nPINGTIMEOUT=500\r\nPINGINTERVAL=3\r\nPINGPACKETS=1\r\n" \
       "------------MAIN SETTINGS-----------\r\n"


def wait_for(what, condition, seconds=60):
    deadline = time.time() + seconds
    while time.time() < deadline:
        found = condition()
        if found:
            return found
        time.sleep(0.2)
    desk = pyatspi.Registry.getDesktop(0)
    apps = [desk.getChildAtIndex(i) for i in range(desk.childCount)]
    raise AssertionError("timed out after %d s waiting for %s; applications on the bus: %r" %
                         (seconds, what, [a.name for a in apps if a is not None]))


def nodes(root):
    out = [root]
    for i in range(root.childCount):
        child = root.getChildAtIndex(i)
        if child is not None:
            out.extend(nodes(child))
    return out


def program_nodes():
    desk = pyatspi.Registry.getDesktop(0)
    out = []
    for i in range(desk.childCount):
        app = desk.getChildAtIndex(i)
        if app is not None and "qor" in (app.name or "").lower():
            out.extend(nodes(app))
    return out


def named(name):
    return [n for n in program_nodes() if n.name == name]


def main():
    folder = tempfile.mkdtemp(prefix="qos-a11y-")
    with open(os.path.join(folder, "graph.txt"), "wb") as f:
        f.write((MAIN + BLOCK.format("VIE", 3000) + BLOCK.format("WAR", 6000)).encode("latin-1"))
    started = []
    bus = []
    try:
        # The first free display; Xvfb writes its number once it takes connections. Without -noreset it
        # starts afresh when its last client leaves, refusing connections meanwhile: the bus launcher
        # is such a client.
        ready, told = os.pipe()
        started.append(subprocess.Popen(["Xvfb", "-displayfd", str(told), "-screen", "0", "1280x1024x24", "-noreset",
                                         "-nolisten", "tcp"], pass_fds=(told,)))
        os.close(told)
        # Read up to the line end: Xvfb may write the number and its newline apart, and dies when the
        # pipe is closed between the two.
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(ready, 16)
            if not chunk:
                break
            number += chunk
        os.close(ready)
        display = ":" + number.decode().strip()
        if display == ":":
            raise AssertionError("Xvfb did not start")
        env = dict(os.environ, DISPLAY=display, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        env.pop("QT_SCALE_FACTOR", None)
        # The bus starts the registry on demand: it must know the display.
        bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                             env=env, capture_output=True, text=True, check=True).stdout.split()
        env["DBUS_SESSION_BUS_ADDRESS"] = bus[0]
        os.environ.update(DISPLAY=display, DBUS_SESSION_BUS_ADDRESS=bus[0])
        started.append(subprocess.Popen([LAUNCHER, "--launch-immediately"], env=env))
        # The program asks the session bus for the accessibility bus once, at start: the launcher must
        # answer by then (on a cold machine it takes seconds).
        wait_for("the accessibility bus", lambda: subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], env=env, capture_output=True).returncode == 0)
        started.append(subprocess.Popen([PROGRAM, "--folder", folder], env=env))

        # Every marker named by its location, described by its state line.
        for site in ("VIE", "WAR"):
            marker = wait_for("the marker " + site, lambda: [n for n in named(site) if n.description])[0]
            assert marker.description.startswith(site + " "), marker.description
        # The legend reads as text: each caption, and its symbol by that caption.
        for caption in ("online", "offline(partial ignore)", "unreachable"):
            assert named(caption) and named(caption + " symbol"), caption
        # A change of state is seen: the cycle starts and VIE answers.
        start = wait_for("Start Monitor", lambda: named("Start Monitor"))[0]
        start.queryAction().doAction(0)
        wait_for("VIE online", lambda: [n for n in named("VIE") if "online" in (n.description or "")])

        # Tab to a marker, Enter: the List View opens.
        def focused_marker():
            for n in program_nodes():
                if n.getState().contains(pyatspi.STATE_FOCUSED) and n.name in ("VIE", "WAR"):
                    return n
            return None
        # No window manager: the keyboard goes to the window given the X input focus.
        subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "QOR", "windowfocus", "--sync"],
                       env=env, capture_output=True, timeout=10)
        for _ in range(40):
            if focused_marker():
                break
            subprocess.run(["xdotool", "key", "Tab"], env=env, check=True)
            time.sleep(0.2)
        marker = focused_marker()
        if not marker:
            focus = [n.name for n in program_nodes() if n.getState().contains(pyatspi.STATE_FOCUSED)]
            raise AssertionError("Tab never reached a marker; focused: %r" % focus)
        subprocess.run(["xdotool", "key", "Return"], env=env, check=True)
        wait_for("the List View", lambda: named("QOR Online Status - List View"))
        print("PASS: markers named and described, a state change seen, Tab and Enter opened the List View of "
              + marker.name)
        return 0
    finally:
        for p in reversed(started):
            p.terminate()
        if len(bus) > 1:
            subprocess.run(["kill", bus[1]])
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
