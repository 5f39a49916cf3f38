"""Drives the window with the keys a blind user presses while Orca speaks, and compares what
Orca says after each step with what the user must hear.

Usage: speech.py PROGRAM WORK [--searches N]

Exits 0 when all was heard as it must be, 1 when not, 3 when Orca itself stopped taking keys.

Runs on the X display and session bus it is given, with WORK as its home: Orca 43 speaks
through speech-dispatcher and espeak-ng into a null ALSA device, and every utterance is in its
debug file on a line with "SPEECH OUTPUT:". The page file lies in a folder of its own, so that
the Open dialog, which watches its folder, never sees the growing debug file.

With --searches N it makes N Searches in a row instead, each one heard through to the control
with the focus and the news the Search brings, and says how many were.
"""

import os
import re
import subprocess
import sys
import time

WAIT_SECONDS = 15


def page(title, description, keywords):
    return (
        "<html><head>\r\n"
        f"<title>{title}</title>\r\n"
        f'<meta name="description" content="{description}">\r\n'
        f'<meta name="keywords" content="{keywords}">\r\n'
        '<meta name="robots" content="index, follow">\r\n'
        '<meta name="author" content="Ann Baker">\r\n'
        '<meta name="copyright" content="2026 The Corner Bakery">\r\n'
        "</head><body>Bread</body></html>\r\n"
    )


def counted(length, limit=None):
    said = f"{length} character{'' if length == 1 else 's'}"
    if limit:
        said += f", {'over' if length > limit else 'within'} the limit of {limit}"
    return said


def keywords_said(keywords):
    count = keywords.count(",") + 1
    return (f"{counted(len(keywords), 260)}; {count} keyword{'' if count == 1 else 's'}, "
            f"{'over' if count > 15 else 'within'} the limit of 15")


# A page over its limits, its description written over three lines.
TITLE = "Fresh bread every morning, cakes for every party, and coffee all day | The Corner Bakery"
DESCRIPTION = ("The Corner Bakery bakes fresh bread every morning,\r\n"
               "cakes for birthdays and weddings, and serves coffee\r\n"
               "and pastries all day long in the heart of the old town, seven days a week.")
KEYWORDS = ("bakery, bread, cakes, coffee, pastries, old town, wedding cakes, birthday cakes, "
            "croissants, sourdough, rye, baguette, muffins, cookies, tarts, breakfast, lunch, "
            "catering")
PAGE = page(TITLE, DESCRIPTION, KEYWORDS)
SUMMARY = "6 of 7 tags found, over the limit: title, description, keyword count"
TITLE_SAID = counted(len(TITLE), 70)
DESCRIPTION_SAID = counted(len(DESCRIPTION), 160)
KEYWORDS_SAID = keywords_said(KEYWORDS)
# The same page edited: three values changed, each now within its limit.
TITLE2 = "The Corner Bakery, old town"
DESCRIPTION2 = "Fresh bread, cakes and coffee in the old town."
KEYWORDS2 = "bakery, bread, cakes, coffee"
PAGE2 = page(TITLE2, DESCRIPTION2, KEYWORDS2)
SUMMARY2 = "6 of 7 tags found, all within their limits"
KEYWORDS2_SAID = keywords_said(KEYWORDS2)

CANCELLED = "Search cancelled: the page box is empty, the other boxes keep their values."
# Where Orca cut short what it was saying: nothing heard may be cut.
CUT = "(cut short)"

# Each step: what is pressed or typed, what Orca must say after it (the starts of the
# utterances in order, Orca's own echo of the keys left out, or of one of several such lists),
# and how many times it must say some texts. The texts are compared with their runs of white
# space, line breaks too, as single spaces.
STEPS = [
    ("start", [], [["HTML file: text.", "html htm asp"]], {}),
    ("Tab", [("key", "Tab")], [["Search push button."]], {}),
    ("Tab", [("key", "Tab")], [["Title text.", "No value."]], {}),
    ("Alt+S", [("key", "alt+s")], [["File name: text."]], {}),
    # The window comes back, active, with the focus where it was (Orca says the window's title
    # first, mostly): the focused value, its count and verdict, then what the Search found and
    # what else it changed.
    ("the path typed, Return", [("type", "bakery.html"), ("key", "Return")],
     [["Title text.", TITLE,
       f"{TITLE_SAID}. {SUMMARY}. Changed: Description, {DESCRIPTION_SAID}. Keywords, "
       f"{KEYWORDS_SAID}. Robots, 13 characters. Author, 9 characters. Copyright, "
       "22 characters."]],
     {TITLE: 1, TITLE_SAID: 1, SUMMARY: 1}),
    # A value written over three lines is heard whole, on the focus and with Where Am I; the
    # news of the Search went with the focus that came back, and is not said again.
    ("Tab", [("key", "Tab")], [["Description text.", DESCRIPTION, DESCRIPTION_SAID]],
     {DESCRIPTION: 1, DESCRIPTION_SAID: 1, SUMMARY: 0}),
    ("Where Am I", [("key", "KP_Enter")], [["Description text.", DESCRIPTION, DESCRIPTION_SAID]],
     {DESCRIPTION: 1, DESCRIPTION_SAID: 1}),
    ("Tab", [("key", "Tab")], [["Keywords text.", KEYWORDS, KEYWORDS_SAID]], {KEYWORDS: 1}),
    # Every value the edit changed, once; the focused one with its new value.
    ("the page edited in three places, Alt+R", [("edit", PAGE2), ("key", "alt+r")],
     [[f"notification {SUMMARY2}. Changed: Title, {counted(len(TITLE2), 70)}. Description, "
       f"{counted(len(DESCRIPTION2), 160)}. Keywords, {KEYWORDS2_SAID}: {KEYWORDS2}."]],
     {SUMMARY2: 1, KEYWORDS2: 1}),
    ("Alt+S", [("key", "alt+s")], [["File name: text."]], {}),
    ("Escape", [("key", "Escape")],
     [["Keywords text.", KEYWORDS2, f"{KEYWORDS2_SAID}. {CANCELLED}"]],
     {KEYWORDS2: 1, CANCELLED: 1}),
    ("Tab", [("key", "Tab")], [["Page text.", CANCELLED]], {CANCELLED: 1}),
    ("Shift+Tab", [("key", "shift+Tab")], [["Keywords text.", KEYWORDS2, KEYWORDS2_SAID]],
     {CANCELLED: 0}),
    # A path the dialog refuses: its message, the dialog again, then the window as it was.
    ("Alt+S", [("key", "alt+s")], [["File name: text."]], {}),
    ("a missing path typed, Return", [("type", "missing.html"), ("key", "Return")],
     [["alert Open.", "missing.html File not found.", "OK push button."]], {}),
    ("Return", [("key", "Return")], [["File name: text."]], {}),
    ("Escape", [("key", "Escape")],
     [["Keywords text.", KEYWORDS2, f"{KEYWORDS2_SAID}. {CANCELLED}"]],
     {KEYWORDS2: 1, CANCELLED: 1}),
    ("Shift+Tab", [("key", "shift+Tab")],
     [["Description text.", DESCRIPTION2, counted(len(DESCRIPTION2), 160)]], {CANCELLED: 0}),
    ("Shift+Tab", [("key", "shift+Tab")], [["Title text.", TITLE2, counted(len(TITLE2), 70)]],
     {}),
    ("Shift+Tab", [("key", "shift+Tab")], [["Search push button.", SUMMARY2]], {}),
    # The path whole, once.
    ("Shift+Tab", [("key", "shift+Tab")], [["HTML file: text.", "%path selected"]],
     {"%path": 1}),
    ("Alt+R", [("key", "alt+r")], [[f"notification {SUMMARY2}. Nothing changed."]],
     {SUMMARY2: 1}),
]
ECHO = re.compile(r"^([a-z0-9 ]+ |[A-Z] |num lock (on|off))$")


def setup(work):
    """Orca's home: speech into a null ALSA device, and Orca's debug file written a line at a
    time (Orca 43 buffers it), by a copy of the launcher that also ignores any Orca run by the
    same user on another display."""
    config = os.path.join(work, ".config", "speech-dispatcher")
    os.makedirs(config)
    with open("/etc/speech-dispatcher/speechd.conf") as source:
        conf = re.sub(r"^#\s*AudioOutputMethod .*$", 'AudioOutputMethod "alsa"', source.read(),
                      flags=re.M)
    with open(os.path.join(config, "speechd.conf"), "w") as file:
        file.write(conf)
    with open(os.path.join(work, ".asoundrc"), "w") as file:
        file.write("pcm.!default { type null }\n")
    with open("/usr/bin/orca") as source:
        launcher = source.read()
    launcher = launcher.replace("open(args.debug_file, 'w')",
                                "open(args.debug_file, 'w', buffering=1)")
    launcher = launcher.replace("    if otherOrcas():", "    if False:")
    orca = os.path.join(work, "orca")
    with open(orca, "w") as file:
        file.write(launcher)
    return orca


def words(text):
    return " ".join(text.split())


def spoken(log):
    """Every utterance in the debug file so far, without Orca's echo of the keys, with CUT where
    Orca stopped what it was saying. An utterance that holds line breaks runs on over the lines
    that follow it, indented."""
    try:
        with open(log, errors="replace") as file:
            lines = file.read().splitlines()
    except FileNotFoundError:
        return []
    records = []
    for line in lines:
        if line[:1].isspace() and records:
            records[-1] += "\n" + line.strip()
        else:
            records.append(line)
    said = []
    for record in records:
        match = re.search(r"SPEECH OUTPUT: '(.*)'(?: voice=\S+)?(\{[^{}]*\}|None)?\s*$", record,
                          re.S)
        if match:
            if match.group(1).strip() and not ECHO.match(match.group(1)):
                said.append(words(match.group(1)))
        elif "DEFAULT: Interrupting presentation" in record:
            said.append(CUT)
    return said


def heard(utterances, alternatives):
    """Whether one of the lists of starts of utterances is heard in order, others between."""
    def heard_in_order(expected):
        i = 0
        for utterance in utterances:
            if i < len(expected) and utterance.startswith(words(expected[i])):
                i += 1
        return i == len(expected)
    return any(heard_in_order(expected) for expected in alternatives)


def faults(utterances, alternatives, times):
    """What is wrong with a step's speech: a text not heard as many times as it must be, and
    anything cut short after the step began to be heard."""
    found = []
    text = " | ".join(u for u in utterances if u != CUT)
    for expected, wanted in times.items():
        count = text.count(words(expected))
        if count != wanted:
            found.append(f"heard {count} times, not {wanted}: {expected!r}")
    firsts = {words(expected[0]) for expected in alternatives if expected}
    begun = next((i for i, u in enumerate(utterances) if any(u.startswith(f) for f in firsts)),
                 None)
    if begun is not None and CUT in utterances[begun:]:
        found.append("cut short: " + " | ".join(utterances[begun:]))
    return found


class OrcaStopped(Exception):
    """Orca took no key at all: the screen reader has stopped, not the window."""


class Session:
    """Orca, a window manager and the program, and the keys pressed into them."""

    def __init__(self, program, work):
        self.environment = dict(os.environ, HOME=work,
                                XDG_CONFIG_HOME=os.path.join(work, ".config"),
                                XDG_DATA_HOME=os.path.join(work, ".local", "share"))
        self.environment.pop("QT_QPA_PLATFORMTHEME", None)
        self.program = program
        self.orca = setup(work)
        self.log = os.path.join(work, "orca.log")
        self.pages = os.path.join(work, "pages")
        os.makedirs(self.pages)
        self.path = os.path.join(self.pages, "bakery.html")
        self.write(PAGE)
        self.processes = []

    def write(self, text):
        with open(self.path, "w", newline="") as file:
            file.write(text)

    def start(self, command, cwd=None, extra=None):
        self.processes.append(subprocess.Popen(
            command, cwd=cwd, env=dict(self.environment, **(extra or {})),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))

    def __enter__(self):
        self.start(["openbox"])
        self.start(["/usr/bin/python3", self.orca, "--disable", "braille", "--debug-file",
                    self.log])
        deadline = time.monotonic() + WAIT_SECONDS
        while "Screen reader on." not in spoken(self.log):
            if time.monotonic() > deadline:
                sys.exit("speech: Orca said nothing; is there an audio sink?")
            time.sleep(0.2)
        self.start([self.program], cwd=self.pages,
                   extra={"QT_ACCESSIBILITY": "1", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
        return self

    def __exit__(self, *exception):
        # Orca may keep looking for a braille display as it stops.
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()

    def said(self):
        return spoken(self.log)

    def act(self, kind, what):
        if kind == "key":
            subprocess.run(["xdotool", "key", "--delay", "100", what], check=True)
        elif kind == "type":
            path = os.path.join(self.pages, what)
            subprocess.run(["xdotool", "type", "--delay", "20", path], check=True)
            time.sleep(1)
        else:
            self.write(what)

    def step(self, name, actions, expected, times=None):
        """Presses a step's keys; what Orca says from the last of them on, whether it is as
        expected, and what is wrong with it."""
        for kind, what in actions[:-1]:
            self.act(kind, what)
        before = len(self.said())
        if actions:
            self.act(*actions[-1])
        deadline = time.monotonic() + WAIT_SECONDS
        while not heard(self.said()[before:], expected) and time.monotonic() < deadline:
            time.sleep(0.2)
        # Orca finishes what it says before the next key, as a listening user waits.
        time.sleep(1)
        said = self.said()[before:]
        # Orca stops what it says at every key it takes, whatever the window does: no sign of
        # a key pressed is Orca itself stopped.
        if actions and actions[-1][0] == "key" and not said:
            raise OrcaStopped(name)
        ok = heard(said, expected)
        problems = [] if ok else [
            f"not heard in order: {' or '.join(map(str, expected))}"]
        problems += faults(said, expected, times or {})
        print(f"{name}: {' | '.join(said)}")
        for problem in problems:
            print(f"speech: FAIL, {problem}")
        return ok, not problems


def walk(session):
    """The steps of STEPS; whether all were heard as they must be."""
    passed = True
    for name, actions, expected, times in STEPS:
        expected = [[text.replace("%path", session.path) for text in alternative]
                    for alternative in expected]
        times = {text.replace("%path", session.path): count for text, count in times.items()}
        passed &= session.step(name, actions, expected, times)[1]
    return passed


def searches(session, count):
    """Searches in a row, the focus in the title box; whether every one was heard through to
    the focus and the news it brings."""
    for name, actions, expected, times in STEPS[:3]:
        session.step(name, actions, expected, times)
    come_back = 0
    for number in range(1, count + 1):
        session.step(f"Alt+S ({number})", [("key", "alt+s")], [["File name: text."]])
        back, _ = session.step(f"the path typed, Return ({number})",
                               [("type", "bakery.html"), ("key", "Return")],
                               [["Title text.", TITLE, f"{TITLE_SAID}. {SUMMARY}."]])
        come_back += back
        # Out of the dialog, or of a window left inactive as Alt+S then Escape got out before.
        if not back and not session.step("Escape", [("key", "Escape")], [["Title text."]])[0]:
            session.step("Alt+S", [("key", "alt+s")], [["File name: text."]])
            session.step("Escape", [("key", "Escape")], [["Title text."]])
    print(f"speech: {come_back} of {count} Searches heard through to the focus")
    return come_back == count


def main():
    program, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    count = int(sys.argv[4]) if sys.argv[3:4] == ["--searches"] else 0
    try:
        with Session(program, work) as session:
            passed = searches(session, count) if count else walk(session)
    except OrcaStopped as stop:
        print(f"speech: Orca took no key at {stop}; Orca has stopped, not the window")
        return 3
    print(f"speech: {'passed' if passed else 'FAILED'}")
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
