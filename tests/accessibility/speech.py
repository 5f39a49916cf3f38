"""Drives the window with the keys a blind user presses while Orca speaks, and compares what
Orca says after each step with what the user must hear.

Usage: speech.py PROGRAM WORK

Runs on the X display and session bus it is given, with WORK as its home: Orca 43 speaks
through speech-dispatcher and espeak-ng into a null ALSA device, and every utterance is in its
debug file on a line with "SPEECH OUTPUT:". The page file lies in a folder of its own, so that
the Open dialog, which watches its folder, never sees the growing debug file.
"""

import os
import re
import subprocess
import sys
import time

WAIT_SECONDS = 15

TITLE = "Fresh bread every morning, cakes for every party, and coffee all day | The Corner Bakery"
DESCRIPTION = ("The Corner Bakery bakes fresh bread every morning, cakes for birthdays and weddings, "
               "and serves coffee and pastries all day long in the heart of the old town, seven "
               "days a week.")
KEYWORDS = ("bakery, bread, cakes, coffee, pastries, old town, wedding cakes, birthday cakes, "
            "croissants, sourdough, rye, baguette, muffins, cookies, tarts, breakfast, lunch, "
            "catering")
PAGE = (
    "<html><head>\r\n"
    f"<title>{TITLE}</title>\r\n"
    f'<meta name="description" content="{DESCRIPTION}">\r\n'
    f'<meta name="keywords" content="{KEYWORDS}">\r\n'
    '<meta name="robots" content="index, follow">\r\n'
    '<meta name="author" content="Ann Baker">\r\n'
    '<meta name="copyright" content="2026 The Corner Bakery">\r\n'
    "</head><body>Bread</body></html>\r\n"
)
SUMMARY = "6 of 7 tags found, over the limit: title, description, keyword count"
TITLE_SAID = f"{len(TITLE)} characters, over the limit of 70"
DESCRIPTION_SAID = f"{len(DESCRIPTION)} characters, over the limit of 160"
KEYWORDS_SAID = (f"{len(KEYWORDS)} characters, within the limit of 260; "
                 f"{KEYWORDS.count(',') + 1} keywords, over the limit of 15")

# Each step: what is pressed or typed, and what Orca must say after it: the starts of the
# utterances in order, Orca's own echo of the keys left out, or of one of several such lists.
STEPS = [
    ("start", [], [["HTML file: text."]]),
    ("Tab", ["key", "Tab"], [["Search push button."]]),
    ("Tab", ["key", "Tab"], [["Title text.", "No value."]]),
    ("Alt+S", ["key", "alt+s"], [["File name: text."]]),
    # The window, active again, reads the box with the focus; where it speaks first, the
    # focus moving back cuts the announcement short.
    ("the path typed, Return", ["type+Return"],
     [[f"notification {SUMMARY}. Title, {TITLE_SAID}: {TITLE}"],
      ["Title text.", TITLE, TITLE_SAID]]),
    ("Tab", ["key", "Tab"], [["Description text.", DESCRIPTION, DESCRIPTION_SAID]]),
    ("Tab", ["key", "Tab"], [["Keywords text.", KEYWORDS, KEYWORDS_SAID]]),
    ("Alt+R", ["key", "alt+r"], [[f"notification {SUMMARY}. Keywords, {KEYWORDS_SAID}: {KEYWORDS}"]]),
    ("Shift+Tab", ["key", "shift+Tab"], [["Description text.", DESCRIPTION, DESCRIPTION_SAID]]),
    ("Shift+Tab", ["key", "shift+Tab"], [["Title text.", TITLE, TITLE_SAID]]),
    ("Shift+Tab", ["key", "shift+Tab"], [["Search push button.", SUMMARY]]),
    ("Alt+R", ["key", "alt+r"], [[f"notification {SUMMARY}."]]),
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


def spoken(log):
    """Every utterance in the debug file so far, without Orca's echo of the keys."""
    try:
        with open(log, errors="replace") as file:
            lines = file.read().splitlines()
    except FileNotFoundError:
        return []
    said = []
    for line in lines:
        match = re.search(r"SPEECH OUTPUT: '(.*?)'(\{.*\})?\s*$", line)
        if match:
            text = match.group(1).strip()
            if text and not ECHO.match(text):
                said.append(text)
    return said


def heard(utterances, alternatives):
    """Whether one of the lists of starts of utterances is heard in order, others between."""
    def heard_in_order(expected):
        i = 0
        for utterance in utterances:
            if i < len(expected) and utterance.startswith(expected[i]):
                i += 1
        return i == len(expected)
    return any(heard_in_order(expected) for expected in alternatives)


def main():
    program, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    environment = dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, ".config"),
                       XDG_DATA_HOME=os.path.join(work, ".local", "share"))
    environment.pop("QT_QPA_PLATFORMTHEME", None)
    orca = setup(work)
    log = os.path.join(work, "orca.log")
    pages = os.path.join(work, "pages")
    os.makedirs(pages)
    path = os.path.join(pages, "bakery.html")
    with open(path, "w", newline="") as file:
        file.write(PAGE)

    processes = []

    def start(command, cwd=None, extra=None):
        processes.append(subprocess.Popen(command, cwd=cwd, env=dict(environment, **(extra or {})),
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))

    passed = True
    try:
        start(["openbox"])
        start(["/usr/bin/python3", orca, "--disable", "braille", "--debug-file", log])
        deadline = time.monotonic() + WAIT_SECONDS
        while "Screen reader on." not in spoken(log):
            if time.monotonic() > deadline:
                sys.exit("speech: Orca said nothing; is there an audio sink?")
            time.sleep(0.2)
        start([program], cwd=pages,
              extra={"QT_ACCESSIBILITY": "1", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
        for name, action, expected in STEPS:
            before = len(spoken(log))
            if action and action[0] == "key":
                subprocess.run(["xdotool", "key", "--delay", "100", action[1]], check=True)
            elif action:
                subprocess.run(["xdotool", "type", "--delay", "20", path], check=True)
                time.sleep(1)
                subprocess.run(["xdotool", "key", "Return"], check=True)
            deadline = time.monotonic() + WAIT_SECONDS
            while not heard(spoken(log)[before:], expected) and time.monotonic() < deadline:
                time.sleep(0.2)
            said = spoken(log)[before:]
            ok = heard(said, expected)
            passed &= ok
            print(f"{name}: {' | '.join(said)}")
            if not ok:
                print(f"speech: FAIL, not heard in order: {' or '.join(map(str, expected))}")
            # Orca finishes what it says before the next key, as a listening user waits.
            time.sleep(1)
    finally:
        # Orca may keep looking for a braille display as it stops.
        for process in reversed(processes):
            process.terminate()
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
    print(f"speech: {'passed' if passed else 'FAILED'}")
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
