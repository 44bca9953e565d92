#!/usr/bin/python3
"""The real window as a screen reader meets it, under Xvfb through AT-SPI: every control has its name, the chart
its bars, the covered list takes no focus. Run under dbus-run-session: accessibility_test.py EXE SOURCE DB
"""
import datetime
import os
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

executable, source, empty_db = sys.argv[1:4]
work = tempfile.mkdtemp()
children, failures = [], []


def start(*args, **kwargs):
    children.append(subprocess.Popen(args, start_new_session=True, **kwargs))
    return children[-1]


def wait_for(what, check, seconds=60):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = check()
        if value:
            return value
        time.sleep(0.2)
    sys.exit("accessibility_test: no " + what)


def expect(ok, text):
    ok or failures.append(text)


signal.alarm(180)
# The accessibility bus's socket goes below the runtime folder: one of our own, shared with nobody.
os.environ["XDG_RUNTIME_DIR"] = work
try:
    read, write = os.pipe()
    start("Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", pass_fds=[write],
          stderr=subprocess.DEVNULL)
    os.environ["DISPLAY"] = ":" + os.read(read, 16).decode().strip()
    start("/usr/libexec/at-spi-bus-launcher", "--launch-immediately")
    server = start("/usr/bin/python3", "-u", source + "/scripts/serve-sample", "0", stdout=subprocess.PIPE)
    port = server.stdout.readline().decode().strip()

    # Two earlier days of this year, then the page's rate of today.
    year, data = datetime.date.today().year, work + "/dati"
    os.mkdir(data)
    shutil.copy(source + "/data/Euribor_PORTALEDATI.txt", data)
    shutil.copy(empty_db, data)
    days = [d for d in [(datetime.date(year, 1, 2), 2.1), (datetime.date(year, 1, 5), 2.2)]
            if d[0] < datetime.date.today()]
    with sqlite3.connect(data + "/EURIBOR.MDB") as db:
        db.executemany("INSERT INTO Storico_Euribor VALUES ('EuRibor 3m', ?, ?, 'EuRibor 3m', '')",
                       [(d.strftime("%Y%m%d"), r) for d, r in days])
    days.append((datetime.date.today(), 2.064))

    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", LANG="C.UTF-8", LC_ALL="C.UTF-8",
               QT_QPA_PLATFORM="xcb")
    program = start(executable, "--cartella", data, "--provider",
                    "http://127.0.0.1:%s/MainController?p=1&s=4&t=8&page=lteurb&c=lteurb" % port, env=env)

    import pyatspi

    def application():
        return next((a for a in pyatspi.Registry.getDesktop(0) if a and a.get_process_id() == program.pid), None)

    def tree(node):
        yield node
        for child in node:
            if child is not None:
                yield from tree(child)

    def find(role, name):
        return [o for o in tree(window) if o.getRole() == role and o.name == name]

    app = wait_for("application on the bus", application)
    window = wait_for("window", lambda: app[0] if app.childCount else None)
    bar_names = ["%s: %s" % (d.strftime("%d/%m/%Y"), ("%.4f" % r).replace(".", ",")) for d, r in days]
    chart = wait_for("chart drawn", lambda: [o for o in tree(window) if o.getRole() == pyatspi.ROLE_CHART
                                              and o.childCount > len(days)])[0]

    # The chart's elements in detail are window_test's; here the bridge shows each bar as an image.
    shown = [(c.getRole(), c.name) for c in chart if c.getState().contains(pyatspi.STATE_SHOWING)]
    expect(shown[:len(days)] == [(pyatspi.ROLE_IMAGE, n) for n in bar_names], "chart elements %r" % shown)

    T, B = pyatspi.ROLE_TEXT, pyatspi.ROLE_PUSH_BUTTON
    named = [  # Qt names a combo box on Linux by its text; its field carries the name
        (T, "Simbolo della scadenza"), (pyatspi.ROLE_COMBO_BOX, "EuRibor 3m"), (T, "Scadenza"), (T, "Da data:"),
        (T, "a data:"), (T, "Nome file Storico Quotazioni"), (B, "Scegli il file dello storico quotazioni"),
        (T, "Indirizzo della pagina delle quotazioni"), (T, "Nome file Storico Cambi ufficiali"),
        (B, "Scegli il file dello storico cambi ufficiali"), (pyatspi.ROLE_LIST, "Storico quotazioni"),
        (T, "Pagina delle quotazioni scaricata"), (B, "Grafico"), (B, "Elenco"), (B, "Stampa"),
        (pyatspi.ROLE_LABEL, "Data: " + datetime.date.today().strftime("%d-%m")),
        (pyatspi.ROLE_LABEL, "Quotazione: 2.0640")]
    for role, name in named:
        expect(len(find(role, name)) == 1, "no single %s named %r among %r" % (
            role, name, [o.name for o in tree(window) if o.getRole() == role]))
    inputs = (pyatspi.ROLE_TEXT, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_LIST,
              pyatspi.ROLE_LABEL, pyatspi.ROLE_IMAGE)
    for o in tree(window):
        expect(o.getRole() not in inputs or o.name.strip(), "a %s without a name" % o.getRoleName())

    # The chart covers the list, which takes no focus (window_test follows the focus through a resize).
    listed = find(pyatspi.ROLE_LIST, "Storico quotazioni")[0]
    expect(not listed.getState().contains(pyatspi.STATE_FOCUSABLE), "the covered list takes the focus")
finally:
    for p in reversed(children):
        os.killpg(p.pid, signal.SIGKILL)
        p.wait()
    shutil.rmtree(work, ignore_errors=True)

for f in failures:
    print("accessibility_test:", f)
sys.exit(1 if failures else 0)
