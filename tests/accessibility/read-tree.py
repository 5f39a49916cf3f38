"""Reads the window as a screen reader does, through AT-SPI.

Usage: read-tree.py PROGRAM

Starts PROGRAM on the X display and session bus it is given, finds the application "metatags"
on the AT-SPI desktop and lists the window's accessible objects: role, name, a counter's text
(its number), description, and the caption a box is labelled by. It presses Search, answers the
Open dialog and presses Recheck through AT-SPI alone, as a screen reader's user would, and
compares each listing with what the user must hear. Like a screen reader, it keeps what it has
read in libatspi's cache, which only the program's change events bring up to date, and it
checks the text-change events a screen reader speaks from: each box's new value, and no more
than 4,096 characters of a page however large.
"""

import os
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import Atspi, GLib

WAIT_SECONDS = 20


def page(title, description, keywords):
    return (
        "<html><head>\r\n"
        f"<title>{title}</title>\r\n"
        f'<meta name="description" content="{description}">\r\n'
        f'<meta name="keywords" content="{keywords}">\r\n'
        '<meta name="abstract" content="A page">\r\n'
        '<meta name="robots" content="noindex">\r\n'
        '<meta name="author" content="Ann">\r\n'
        '<meta name="copyright" content="2026 Ann">\r\n'
        "</head><body>Text</body></html>\r\n"
    )


def keywords(words, characters):
    commas = "," * (words - 1)
    return "k" * (characters - len(commas)) + commas


OVER = page("t" * 71, "d" * 161, keywords(16, 100))
WITHIN = page("t" * 70, "d" * 160, keywords(15, 260))
NO_TAGS = "<html><body>Text</body></html>\r\n"
# A page far longer than one change event or one answer carries.
LIMIT = 4096
HUGE = NO_TAGS + "<p>" + "x" * 3 * LIMIT + "</p>\r\n"


COUNTERS = ["Title length", "Description length", "Keywords length", "Keyword count",
            "Abstract length", "Robots length", "Author length", "Copyright length"]


def counters(*values):
    """The counters' lines of a listing, from each counter's number and description."""
    return [f"label {name!r} text {number!r}" + (f" description {said!r}" if said else "")
            for name, (number, said) in zip(COUNTERS, values, strict=True)]


BOXES = ["Title", "Description", "Keywords", "Abstract", "Robots", "Author", "Copyright"]


# How the window's pages, all ASCII, are read, as the page box says after its summary.
READ = "Read as UTF-8: the bytes are valid UTF-8"


def listing(counter_lines, box_descriptions, summary, notice, with_focus=""):
    """What a screen reader finds in the window, in the window's order; `with_focus` is the line
    the path box, which has the focus, says after its description when the window comes back
    after the Open dialog."""
    (title, description, keyword_chars, keyword_count, abstract, robots, author,
     copyright) = counter_lines
    box = {name: f"text {name!r}" + (f" description {said!r}" if said else "")
           + f" labelled by {name!r}" for name, said in zip(BOXES, box_descriptions, strict=True)}
    said = f" description {summary!r}" if summary else ""
    page_said = f" description {summary + '. ' + READ!r}" if summary else ""
    path_said = f" description {summary + '. ' + with_focus!r}" if with_focus else said
    return [
        "image 'HTML picture'",
        "label 'HTML file:'",
        f"text 'HTML file'{path_said} labelled by 'HTML file:'",
        f"push button 'Search'{said}",
        f"push button 'Recheck'{said}",
        "frame ''",
        "panel ''",
        "label 'Title'",
        "label 'Max. 70 car.'",
        title,
        box["Title"],
        "label 'Description'",
        "label 'Max. 160 car.'",
        description,
        box["Description"],
        "label 'Keywords'",
        "label 'Max. 260 car.'",
        keyword_chars,
        box["Keywords"],
        "label '5-15 words'",
        keyword_count,
        "label 'Abstract'",
        "label 'Not for HTML5'",
        abstract,
        box["Abstract"],
        "label 'Robots'",
        robots,
        box["Robots"],
        "label 'Author'",
        author,
        box["Author"],
        "label 'Copyright'",
        copyright,
        box["Copyright"],
        f"text 'Page'{page_said}",
        f"notification {notice!r}",
    ]


NOTHING = (" ", "")
EMPTY = ("", "")
NO_VALUE = ["No value"] * 7
AT_START = listing(counters(*[NOTHING] * 8), NO_VALUE, "", "")
OVER_SUMMARY = "7 of 7 tags found, over the limit: title, description, keyword count"
AFTER_OVER = listing(counters(
    ("71", "Over the limit of 70 characters"),
    ("161", "Over the limit of 160 characters"),
    ("100", "Within the limit of 260 characters"),
    ("16", "Over the limit of 15 keywords"),
    ("6", ""), ("7", ""), ("3", ""), ("8", "")),
    ["71 characters, over the limit of 70", "161 characters, over the limit of 160",
     "100 characters, within the limit of 260; 16 keywords, over the limit of 15",
     "6 characters", "7 characters", "3 characters", "8 characters"],
    # The window comes back after the Open dialog with the focus in the path box: its
    # description says the summary already, and then what changed.
    OVER_SUMMARY, "",
    "Changed: Title, 71 characters, over the limit of 70. Description, 161 characters, over "
    "the limit of 160. Keywords, 100 characters, within the limit of 260; 16 keywords, over the "
    "limit of 15. Abstract, 6 characters. Robots, 7 characters. Author, 3 characters. "
    "Copyright, 8 characters.")
WITHIN_SUMMARY = "7 of 7 tags found, all within their limits"
AFTER_WITHIN = listing(counters(
    ("70", "Within the limit of 70 characters"),
    ("160", "Within the limit of 160 characters"),
    ("260", "Within the limit of 260 characters"),
    ("15", "Within the limit of 15 keywords"),
    ("6", ""), ("7", ""), ("3", ""), ("8", "")),
    ["70 characters, within the limit of 70", "160 characters, within the limit of 160",
     "260 characters, within the limit of 260; 15 keywords, within the limit of 15",
     "6 characters", "7 characters", "3 characters", "8 characters"],
    WITHIN_SUMMARY, "",
    "Changed: Title, 70 characters, within the limit of 70. Description, 160 characters, within "
    "the limit of 160. Keywords, 260 characters, within the limit of 260; 15 keywords, within "
    "the limit of 15.")
AFTER_NO_TAGS = listing(counters(*[EMPTY] * 8), NO_VALUE, "No tags found",
                        "No tags found. Now empty: title, description, keywords, abstract, robots, "
                        "author, copyright.")

# The text changes a screen reader hears of: (kind, box, position, length, the first characters
# inserted or, as the toolkit tells them, spaces for the characters removed).
changes = []


def record(event):
    if event.type.startswith("object:text-changed:"):
        text = event.any_data if isinstance(event.any_data, str) else ""
        changes.append((event.type.split(":")[-1], event.source.name, event.detail1,
                        event.detail2, text[:10]))


def expect_changes(expected, heading):
    """Waits until every expected text change has been heard; none may carry more than LIMIT."""
    deadline = time.monotonic() + WAIT_SECONDS
    while not all(change in changes for change in expected) and time.monotonic() < deadline:
        pump()
        time.sleep(0.05)
    missing = [change for change in expected if change not in changes]
    too_long = [change for change in changes if change[3] > LIMIT]
    print(f"{heading}: {len(changes)} text changes heard")
    for change in missing:
        print(f"read-tree: FAIL, not heard: {change}")
    for change in too_long:
        print(f"read-tree: FAIL, longer than {LIMIT} characters: {change}")
    changes.clear()
    return not missing and not too_long


def pump():
    """Takes in the events that keep the cache up to date, as a screen reader's loop does."""
    context = GLib.MainContext.default()
    while context.iteration(False):
        pass


def wait_for(what, find):
    deadline = time.monotonic() + WAIT_SECONDS
    while time.monotonic() < deadline:
        pump()
        found = find()
        if found:
            return found
        time.sleep(0.05)
    sys.exit(f"read-tree: no {what} after {WAIT_SECONDS} s")


def children(accessible):
    return [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]


def descendants(accessible):
    for child in children(accessible):
        yield child
        yield from descendants(child)


def text_of(accessible):
    try:
        text = accessible.queryText()
    except NotImplementedError:
        return None
    return text.getText(0, text.characterCount)


def describe(accessible):
    line = f"{accessible.getRoleName()} {accessible.name!r}"
    text = text_of(accessible)
    if accessible.getRole() == pyatspi.ROLE_LABEL and text is not None:
        line += f" text {text!r}"
    if accessible.description:
        line += f" description {accessible.description!r}"
    for relation in accessible.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            line += f" labelled by {relation.getTarget(0).name!r}"
    return line


def read(window):
    """The window's objects in order; a box's own parts, its scroll bars, are left out."""
    lines = []

    def walk(accessible):
        for child in children(accessible):
            lines.append(describe(child))
            if child.getRole() != pyatspi.ROLE_TEXT:
                walk(child)

    walk(window)
    return lines


def expect(window, expected, heading, shown_before=None):
    """Waits until the window reads as expected; prints what changed since `shown_before`."""
    deadline = time.monotonic() + WAIT_SECONDS
    while True:
        pump()
        lines = read(window)
        if lines == expected or time.monotonic() > deadline:
            break
        time.sleep(0.05)
    print(f"{heading}:" if shown_before is None else f"{heading}, what differs from the start:")
    for line in lines:
        if shown_before is None or line not in shown_before:
            print(f"    {line}")
    if lines != expected:
        print("read-tree: FAIL, the window does not read as expected:")
        for line in expected:
            if line not in lines:
                print(f"    missing: {line}")
        for line in lines:
            if line not in expected:
                print(f"    unexpected: {line}")
        return False
    return True


def press(container, name):
    button = wait_for(f"button {name!r}", lambda: next(
        (a for a in descendants(container)
         if a.getRole() == pyatspi.ROLE_PUSH_BUTTON and a.name == name), None))
    button.queryAction().doAction(0)


def open_dialog(application):
    """The Open dialog while it is shown; the application keeps it when it is closed."""
    return next((a for a in children(application) if a.getRole() == pyatspi.ROLE_DIALOG
                 and a.getState().contains(pyatspi.STATE_SHOWING)), None)


def search(application, path):
    """Search, then the path typed into the Open dialog's file name box, then Open."""
    press(application, "Search")
    dialog = wait_for("Open dialog", lambda: open_dialog(application))
    file_name = wait_for("file name box", lambda: next(
        (a for a in descendants(dialog)
         if a.getRole() == pyatspi.ROLE_TEXT and a.name == "File name:"), None))
    file_name.queryEditableText().setTextContents(path)
    press(dialog, "Open")
    wait_for("Open dialog closed", lambda: open_dialog(application) is None)


def main():
    program = os.path.abspath(sys.argv[1])
    # A screen reader hears of changes through these events.
    pyatspi.Registry.registerEventListener(record, "object:property-change",
                                           "object:state-changed", "object:children-changed",
                                           "object:text-changed")

    environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
    environment.pop("QT_QPA_PLATFORMTHEME", None)
    with tempfile.TemporaryDirectory() as folder:
        errors = os.path.join(folder, "stderr")
        with open(errors, "w") as error_file:
            process = subprocess.Popen([program], env=environment, cwd=folder, stderr=error_file)
        try:
            desktop = pyatspi.Registry.getDesktop(0)
            application = wait_for("application 'metatags' on the AT-SPI desktop", lambda: next(
                (a for a in children(desktop)
                 if a is not None and a.name == "metatags" and a.get_process_id() == process.pid),
                None))
            # What is read is kept in libatspi's cache, as a screen reader keeps it: a change
            # that the program does not announce would leave the old value read.
            application.set_cache_mask(Atspi.Cache.DEFAULT)
            window = wait_for("window", lambda: next(
                (a for a in children(application) if a.name.startswith("Orlimo 3.0 - ")), None))
            print(f"read-tree: {application.name}, window {window.name!r} ({window.getRoleName()})")

            passed = expect(window, AT_START, "at start")
            over = os.path.join(folder, "over.html")
            within = os.path.join(folder, "within.html")
            with open(over, "w", newline="") as file:
                file.write(OVER)
            with open(within, "w", newline="") as file:
                file.write(WITHIN)

            changes.clear()
            search(application, over)
            passed &= expect(window, AFTER_OVER, "after a Search of a page over the limits",
                             AT_START)
            passed &= expect_changes([
                ("insert", "Title", 0, 71, "t" * 10),
                ("insert", "Keywords", 0, 100, "k" * 10),
                ("insert", "Page", 0, len(OVER), OVER[:10])],
                "after a Search of a page over the limits")
            search(application, within)
            passed &= expect(window, AFTER_WITHIN,
                             "after a Search of a page within the limits", AT_START)
            passed &= expect_changes([
                ("delete", "Title", 0, 71, " " * 10), ("insert", "Title", 0, 70, "t" * 10)],
                "after a Search of a page within the limits")
            with open(within, "w", newline="") as file:
                file.write(NO_TAGS)
            press(window, "Recheck")
            passed &= expect(window, AFTER_NO_TAGS,
                             "after a Recheck of that page with its tags gone", AT_START)
            passed &= expect_changes([("delete", "Title", 0, 70, " " * 10)],
                                     "after a Recheck of that page with its tags gone")
            with open(within, "w", newline="") as file:
                file.write(HUGE)
            press(window, "Recheck")
            passed &= expect_changes([
                ("delete", "Page", 0, len(NO_TAGS), " " * 10),
                ("insert", "Page", 0, LIMIT, HUGE[:10])],
                "after a Recheck of a page of 12,000 characters")
            page_box = next(a for a in descendants(window) if a.name == "Page")
            text = page_box.queryText()
            print(f"    the page box: {text.characterCount} characters, "
                  f"{len(text.getText(0, -1))} given at once")
            if (text.characterCount, len(text.getText(0, -1))) != (len(HUGE), LIMIT):
                print("read-tree: FAIL, the page box does not answer a bounded part of its text")
                passed = False
        finally:
            process.terminate()
            process.wait()
        with open(errors) as file:
            error_output = file.read()
    if error_output:
        print(f"read-tree: FAIL, the program wrote to its error output:\n{error_output}")
        passed = False
    print(f"read-tree: {'passed' if passed else 'FAILED'}")
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
