#!/usr/bin/python3
"""Tests of the starter brain's generator and checker.

Run: /usr/bin/python3 -m unittest discover -s data -p 'test_*.py'
"""

import calendar
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import check_brain  # noqa: E402
import make_brain  # noqa: E402


def brain_of(records, padding=check_brain.MINIMUM_RECORDS):
    """A well-formed brain holding the given records plus enough filler to pass the size rule."""
    filler = [(f"fråga {n}", f"svar {n}") for n in range(padding)]
    return make_brain.render(list(records) + filler)


def problems_of(data):
    return check_brain.check_brain_bytes(data)[1]


class BrainCheckTest(unittest.TestCase):
    def test_well_formed_brain_passes_and_reads_back(self):
        data = brain_of([("hej| hur mår du", "bra| tack.")])
        records, problems = check_brain.check_brain_bytes(data)
        self.assertEqual(problems, [])
        self.assertEqual(records[0], ("hej| hur mår du", "bra| tack."))
        self.assertTrue(data.startswith(b"\r\n*\r\nhej| hur m\xe5r du\r\nbra| tack.\r\n"))

    def test_line_end_faults_are_found(self):
        good = brain_of([])
        cases = {
            "LF alone": good.replace(b"\r\n", b"\n", 3),
            "lone CR": good[:10] + b"\r" + good[10:],
            "does not end with CR LF": good[:-2],
            "byte-order mark": b"\xef\xbb\xbf" + good,
        }
        for fault, data in cases.items():
            with self.subTest(fault=fault):
                self.assertTrue(any(fault in p for p in problems_of(data)), problems_of(data)[:3])

    def test_bytes_outside_windows_1252_are_found(self):
        data = brain_of([]) + b"\r\n*\r\nhej\r\n\x81\r\n"
        self.assertTrue(any("not Windows-1252" in p for p in problems_of(data)))

    def test_text_faults_are_found(self):
        cases = {
            "not lower case": ("hej", "Hej!"),
            "a comma": ("hej, du", "hej"),
            '"*"': ("hej", "stjärna * här"),
            "starts with a blank": (" hej", "hej"),
            "ends with a blank": ("hej ", "hej"),
            "a double quote": ("hej", 'han sa "hej"'),
            "control character": ("hej", "tab\there"),
            "is empty": ("hej", ""),
        }
        for fault, record in cases.items():
            with self.subTest(fault=fault):
                problems = problems_of(brain_of([record]))
                self.assertTrue(any(fault in p for p in problems), problems)

    def test_duplicate_and_unreachable_questions_are_found(self):
        problems = problems_of(brain_of([("hej", "ett"), ("hej", "två")]))
        self.assertTrue(any("already at line 3" in p for p in problems), problems)
        for question in ("vad heter du", "vem skapade dig?", "vad är din ålder", "är du smart", "jag heter kalle", "hur gammal är jorden"):
            with self.subTest(question=question):
                problems = problems_of(brain_of([(question, "svar")]))
                self.assertTrue(any("built-in entry" in p for p in problems), problems)
        for question in ("vad heter du nu", "smart", "vad heter hund på engelska"):
            with self.subTest(question=question):
                self.assertEqual(problems_of(brain_of([(question, "svar")])), [])

    def test_layout_and_size_faults_are_found(self):
        self.assertTrue(any("fewer than 1500" in p for p in problems_of(brain_of([], padding=1499))))
        self.assertEqual(problems_of(brain_of([], padding=1500)), [])
        compact = b"*\r\nhej\r\nhej\r\n" + brain_of([])
        self.assertTrue(any('expected an empty line, "*"' in p for p in problems_of(compact)))
        truncated = brain_of([]) + b"\r\n*\r\nhej\r\n"
        self.assertTrue(any('expected an empty line, "*"' in p for p in problems_of(truncated)))


class SmalltalkTest(unittest.TestCase):
    def setUp(self):
        self.folder = Path(tempfile.mkdtemp())
        self.addCleanup(shutil.rmtree, self.folder)

    def write(self, text):
        path = self.folder / "brain_smalltalk.txt"
        path.write_text(text, encoding="utf-8")
        return path

    def test_question_mark_gives_both_variants_and_text_is_stored_as_typed(self):
        path = self.write("# comment\n\nHur mår du?\tBra, tack!\nhej\tHej!\n")
        self.assertEqual(
            make_brain.read_smalltalk(path),
            [(3, "Hur mår du?", "Bra, tack!"), (3, "Hur mår du", "Bra, tack!"), (4, "hej", "Hej!")],
        )
        records = [(make_brain.stored(q), make_brain.stored(a)) for _, q, a in make_brain.read_smalltalk(path)]
        self.assertEqual(records[0], ("hur mår du?", "bra| tack!"))

    def test_malformed_lines_are_refused(self):
        for text in ("no tab here\n", "a\tb\tc\n", "question\t \n"):
            with self.subTest(text=text):
                with self.assertRaises(ValueError):
                    make_brain.read_smalltalk(self.write(text))

    def test_missing_handwritten_record_and_too_few_lines_are_found(self):
        path = self.write("hej\tHej!\nhallå\tHallå!\n")
        problems = check_brain.check_smalltalk_present(brain_of([("hej", "hej!")]), path)
        self.assertTrue(any("fewer than 200" in p for p in problems), problems)
        self.assertTrue(any("'hallå' is not in the brain" in p for p in problems), problems)
        self.assertFalse(any("'hej'" in p for p in problems), problems)


class FactsTest(unittest.TestCase):
    """The generated facts, re-derived here by other means."""

    @classmethod
    def setUpClass(cls):
        cls.records = dict(make_brain.build_records())

    def test_arithmetic_answers_are_right(self):
        operations = {"plus": lambda a, b: a + b, "minus": lambda a, b: a - b,
                      "gånger": lambda a, b: a * b, "delat med": lambda a, b: a / b}
        pattern = re.compile(r"vad är (\d+) (plus|minus|gånger|delat med) (\d+)")
        checked = 0
        for question, answer in self.records.items():
            match = pattern.fullmatch(question)
            if not match:
                continue
            a, operation, b = int(match[1]), match[2], int(match[3])
            expected = operations[operation](a, b)
            self.assertEqual(expected, int(expected), question)
            self.assertGreaterEqual(expected, 0, question)
            numbers = [int(n) for n in re.findall(r"-?\d+", answer)]
            self.assertEqual(numbers[-1], expected, f"{question} => {answer}")
            checked += 1
        self.assertGreater(checked, 300)

    def test_calendar_answers_agree_with_the_calendar(self):
        year = 2023  # not a leap year
        for number, name in enumerate(make_brain.MONTHS, start=1):
            month = name[0]
            days = calendar.monthrange(year, number)[1]
            self.assertTrue(self.records[f"hur många dagar har {month}"].startswith(f"{month} har {days} dagar"))
        # 2024-01-01 was a Monday; walk a fortnight of real dates.
        for offset in range(14):
            today = make_brain.DAYS[calendar.weekday(2024, 1, 1 + offset)]
            tomorrow = make_brain.DAYS[calendar.weekday(2024, 1, 2 + offset)]
            self.assertEqual(self.records[f"vilken dag kommer efter {today}"], f"efter {today} kommer {tomorrow}.")
            self.assertEqual(self.records[f"vilken dag kommer före {tomorrow}"], f"före {tomorrow} kommer {today}.")

    def test_every_capital_question_names_its_capital(self):
        for country, capital, _, _ in make_brain.COUNTRIES:
            self.assertIn(capital, self.records[f"vad är huvudstaden i {country}"])
        self.assertIn("stockholm", self.records["vad är huvudstaden i sverige"])
        self.assertNotIn("i vilket land ligger luxemburg", self.records)

    def test_opposites_agree_both_ways(self):
        table = dict(make_brain.OPPOSITES)
        for word, opposite in make_brain.OPPOSITES:
            if opposite in table and "," not in opposite and "," not in table[opposite]:
                self.assertEqual(table[opposite], word, f"{word} <-> {opposite}")


class ServerFolderTest(unittest.TestCase):
    def setUp(self):
        self.folder = Path(tempfile.mkdtemp()) / "server"
        shutil.copytree(HERE / "server", self.folder)
        self.addCleanup(shutil.rmtree, self.folder.parent)

    def problems_after(self, name, data):
        (self.folder / name).write_bytes(data)
        return check_brain.check_server_folder(self.folder)

    def test_committed_folder_passes(self):
        self.assertEqual(check_brain.check_server_folder(self.folder), [])

    def test_format_faults_are_found(self):
        cases = [
            ("version.txt", b"9,Ingen nyhet,0,100\n", "LF alone"),
            ("version.txt", b"9,Ingen nyhet,0\r\n", "four comma-separated fields"),
            ("version.txt", b"10,Ny version,0,100\r\n", "updater"),
            ("version.txt", b"9,Ingen nyhet,1,100\r\n", "holiday"),
            ("version.txt", b"nio,Ingen nyhet,0,100\r\n", "must be numbers"),
            ("medd.txt", b"Hej, alla\r\nAdmin\r\n", "comma"),
            ("medd.txt", b"Bara en rad\r\n", "two lines"),
            ("medd.txt", b"x" * 201 + b"\r\nAdmin\r\n", "longer than 200"),
            ("medd.txt", b"Hej\r\n\x81\r\n", "Windows-1252"),
            ("användare.txt", b"dator1\r\n", "no registered computer"),
            ("brain.txt", b"", "must not be kept here"),
        ]
        for name, data, fault in cases:
            with self.subTest(name=name, fault=fault):
                saved = (self.folder / name).read_bytes() if (self.folder / name).exists() else None
                problems = self.problems_after(name, data)
                self.assertTrue(any(fault in p for p in problems), problems)
                if saved is None:
                    (self.folder / name).unlink()
                else:
                    (self.folder / name).write_bytes(saved)

    def test_missing_file_is_found(self):
        (self.folder / "index.html").unlink()
        self.assertTrue(any("index.html is missing" in p for p in check_brain.check_server_folder(self.folder)))


class CommittedBrainTest(unittest.TestCase):
    def test_committed_files_pass_every_check(self):
        self.assertEqual(check_brain.check_all(HERE), [])

    def test_generation_is_deterministic_across_runs(self):
        # Separate interpreters with different hash seeds: nothing may depend on set or dict hashing.
        with tempfile.TemporaryDirectory() as folder:
            outputs = []
            for seed in ("1", "2"):
                target = Path(folder) / f"brain{seed}.txt"
                subprocess.run([sys.executable, str(HERE / "make_brain.py"), str(target)], check=True,
                               env={**os.environ, "PYTHONHASHSEED": seed}, stdout=subprocess.DEVNULL)
                outputs.append(target.read_bytes())
        self.assertEqual(outputs[0], outputs[1])
        self.assertEqual(outputs[0], (HERE / "brain.txt").read_bytes())


if __name__ == "__main__":
    unittest.main()
