#!/usr/bin/python3
"""Verifies Vimo's starter brain and the demo server's files.

Usage: /usr/bin/python3 data/check_brain.py [data folder]

Prints every problem found and exits 1 if there is any, 0 otherwise.

What the chat relies on, and so what is checked:
- Windows-1252 bytes, CR LF after every line (also the last), no bare CR or LF.
- Appended layout: empty line, "*", question, answer for every record.
- Questions and answers are the stored form of typed text: lower case, no
  comma (stored as "|"), no "*", no leading blank. The item reader's handling
  of double quotes and trailing blanks is a choice of the reader, so neither
  occurs here. No control characters.
- No question twice, and none that the bot's built-in answers would catch
  before the brain is looked at (they could never be reached).
- At least 1500 records: a smaller brain is taken for a broken one.
- Every hand-written small-talk record is in the brain, and there are at
  least 200 hand-written lines.
- brain.txt is exactly what make_brain.py builds, so nobody edits it by hand.
- The demo server's files have the formats the program reads.
"""

import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
MINIMUM_RECORDS = 1500
MINIMUM_HANDWRITTEN = 200
FLAG_MESSAGE_LIMIT = 200
NEWEST_VERSION = 9

# The questions the bot answers about itself before it looks in its brain:
# ("equal", key), ("contains", key) or ("contains both", key, key).
CANNED = [
    ("equal", "vad heter du"),
    ("equal", "vad heter du?"),
    ("equal", "vem skapade dig"),
    ("equal", "vem skapade dig?"),
    ("contains", "vem är du kär i"),
    ("contains", "vem gillar du"),
    ("contains", "vem tycker du om"),
    ("contains", "hur många hjärnceller har"),
    ("contains", "hur smart är"),
    ("contains both", "smart", "du"),
    ("contains", "hur gammal är"),
    ("contains", "ålder"),
    ("contains", "hur länge har du"),
    ("contains", "jag heter"),
    ("contains", "vad heter jag"),
]


def canned_key(question):
    """The built-in entry that would answer this question first, or None."""
    for entry in CANNED:
        kind, keys = entry[0], entry[1:]
        if kind == "equal" and question == keys[0]:
            return keys[0]
        if kind != "equal" and all(key in question for key in keys):
            return " + ".join(keys)
    return None


def text_problems(text):
    """What makes a question or answer unusable as stored text."""
    problems = []
    if not text:
        problems.append("is empty")
        return problems
    if text[0] == " ":
        problems.append("starts with a blank")
    if text[-1] == " ":
        problems.append("ends with a blank")
    for forbidden, name in (("*", '"*"'), (",", "a comma"), ('"', "a double quote")):
        if forbidden in text:
            problems.append(f"contains {name}")
    if any(ord(c) < 32 or ord(c) == 127 for c in text):
        problems.append("contains a control character")
    if text != text.lower():
        problems.append("is not lower case")
    return problems


def line_end_problems(data):
    """How a file breaks the rule of Windows-1252 text with CR LF after every line."""
    problems = []
    if data.startswith(b"\xef\xbb\xbf"):
        problems.append("starts with a byte-order mark")
    if not data.endswith(b"\r\n"):
        problems.append("does not end with CR LF")
    rest = data.replace(b"\r\n", b"")
    if b"\n" in rest:
        problems.append("has a line ended by LF alone")
    if b"\r" in rest:
        problems.append("has a lone CR")
    return problems


def check_brain_bytes(data):
    """Returns ([(question, answer)], [problem]) for the bytes of a brain."""
    problems = [f"brain {problem}" for problem in line_end_problems(data)]
    try:
        text = data.decode("cp1252")
    except UnicodeDecodeError as error:
        return [], problems + [f"brain is not Windows-1252: byte {error.start}"]

    lines = text.split("\r\n")
    if lines[-1] == "":
        lines.pop()
    records = []
    seen = {}
    for start in range(0, len(lines), 4):
        group = lines[start:start + 4]
        line_number = start + 1
        if len(group) < 4 or group[0] != "" or group[1] != "*":
            problems.append(f"line {line_number}: expected an empty line, \"*\", question, answer")
            continue
        question, answer = group[2], group[3]
        for what, value, offset in (("question", question, 2), ("answer", answer, 3)):
            for problem in text_problems(value):
                problems.append(f"line {line_number + offset}: {what} {problem}: {value!r}")
        if question in seen:
            problems.append(f"line {line_number + 2}: question {question!r} already at line {seen[question]}")
        else:
            seen[question] = line_number + 2
        key = canned_key(question)
        if key:
            problems.append(f"line {line_number + 2}: question {question!r} is answered by the built-in entry {key!r}")
        records.append((question, answer))
    if len(records) < MINIMUM_RECORDS:
        problems.append(f"brain has {len(records)} records, fewer than {MINIMUM_RECORDS}")
    if data.count(b"*") != len(records):
        problems.append(f"brain has {data.count(b'*')} \"*\" for {len(records)} records")
    return records, problems


def check_smalltalk_present(data, smalltalk_path):
    """Every hand-written record is in the brain with its answer; enough of them."""
    sys.path.insert(0, str(HERE))
    import make_brain

    problems = []
    entries = make_brain.read_smalltalk(smalltalk_path)
    lines = {number for number, _, _ in entries}
    if len(lines) < MINIMUM_HANDWRITTEN:
        problems.append(f"{smalltalk_path.name} has {len(lines)} records, fewer than {MINIMUM_HANDWRITTEN}")
    # The first record of a question is the one the lookup finds.
    brain = dict(reversed(check_brain_bytes(data)[0]))
    for number, question, answer in entries:
        want_question, want_answer = make_brain.stored(question), make_brain.stored(answer)
        if brain.get(want_question) != want_answer:
            problems.append(f"{smalltalk_path.name}:{number}: {want_question!r} is not in the brain with its answer")
    return problems


def read_lines_crlf(path, problems):
    """The Windows-1252 lines of a CR LF text file, or None after noting why not."""
    data = path.read_bytes()
    line_ends = line_end_problems(data)
    if line_ends:
        problems.extend(f"{path.name} {problem}" for problem in line_ends)
        return None
    try:
        return data.decode("cp1252").split("\r\n")[:-1]
    except UnicodeDecodeError:
        problems.append(f"{path.name}: not Windows-1252")
        return None


def check_server_folder(folder):
    """The files that seed the demo FTP server."""
    problems = []
    required = ["index.html", "version.txt", "medd.txt", "användare.txt"]
    for name in required:
        if not (folder / name).is_file():
            problems.append(f"{folder.name}/{name} is missing")
    for name in ("brain.txt", "brain2.txt"):
        if (folder / name).exists():
            problems.append(f"{folder.name}/{name} must not be kept here; it is copied from the starter brain at set-up")
    if problems:
        return problems

    version = read_lines_crlf(folder / "version.txt", problems)
    if version is not None:
        fields = ",".join(version).split(",")
        if len(version) != 1 or len(fields) != 4:
            problems.append("version.txt: expected one line of four comma-separated fields")
        else:
            try:
                newest, holiday, interval = float(fields[0]), float(fields[2]), float(fields[3])
            except ValueError:
                problems.append("version.txt: fields 1, 3 and 4 must be numbers")
            else:
                if newest > NEWEST_VERSION:
                    problems.append(f"version.txt: version {fields[0]} would send every demo user to the updater")
                if holiday == 1:
                    problems.append("version.txt: the demo must not announce a holiday")
                if interval <= 0:
                    problems.append("version.txt: the animation interval must be positive")

    messages = read_lines_crlf(folder / "medd.txt", problems)
    if messages is not None:
        if len(messages) != 2:
            problems.append(f"medd.txt: expected two lines, found {len(messages)}")
        for number, message in enumerate(messages, start=1):
            if "," in message:
                problems.append(f"medd.txt: line {number} holds a comma; store it as \"|\"")
            if not message or message[0] == " ":
                problems.append(f"medd.txt: line {number} is empty or starts with a blank")
        if messages and len(messages[0]) > FLAG_MESSAGE_LIMIT:
            problems.append(f"medd.txt: the users' message is longer than {FLAG_MESSAGE_LIMIT} characters")

    if (folder / "användare.txt").stat().st_size != 0:
        problems.append("användare.txt: the demo server starts with no registered computer")
    return problems


def check_all(folder):
    sys.path.insert(0, str(HERE))
    import make_brain

    brain_path = folder / "brain.txt"
    smalltalk_path = folder / "brain_smalltalk.txt"
    if not brain_path.is_file():
        return [f"{brain_path} is missing; run make_brain.py"]
    data = brain_path.read_bytes()
    records, problems = check_brain_bytes(data)
    problems += check_smalltalk_present(data, smalltalk_path)
    if data != make_brain.render(make_brain.build_records(smalltalk_path)):
        problems.append("brain.txt differs from what make_brain.py builds; run make_brain.py")
    problems += check_server_folder(folder / "server")
    if not problems:
        print(f"check_brain: {len(records)} records, all checks passed")
    return problems


def main(argv):
    folder = Path(argv[1]) if len(argv) > 1 else HERE
    problems = check_all(folder)
    for problem in problems:
        print(f"check_brain: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
