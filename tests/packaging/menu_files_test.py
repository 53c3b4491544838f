"""The file-manager menus as installed: every entry runs one of the program's four actions on the
selected paths and is offered for the right files; the Thunar script and the Nautilus extension
are run against stand-ins; the MIME additions make the desktop recognise what they add.

Usage: menu_files_test.py BUILD_DIR
"""
import configparser
import os
import shlex
import subprocess
import sys
import tempfile
import types
import unittest
import xml.etree.ElementTree as ElementTree
import zipfile
from pathlib import Path

BUILD = Path(sys.argv.pop(1)).resolve()
LABELS = {
    "--extract-here": "ここに解凍",
    "--extract-to": "解凍先を指定...",
    "--compress-lzh": "LZH に圧縮",
    "--compress-zip": "ZIP に圧縮",
}
EXTRACT = {"--extract-here", "--extract-to"}
ALL = "all files and folders"


def read_key_file(path):
    parser = configparser.ConfigParser(interpolation=None, delimiters=("=",), comment_prefixes=("#",))
    parser.optionxform = str
    parser.read(path, encoding="utf-8")
    return parser


def mime_set(value):
    types_ = {t for t in value.split(";") if t}
    return ALL if types_ == {"all/all"} else frozenset(types_)


class InstalledTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        cls.share = Path(cls.work.name) / "share"
        subprocess.run(["cmake", "--install", str(BUILD), "--prefix", cls.work.name], check=True,
                       stdout=subprocess.DEVNULL)
        app = read_key_file(cls.share / "applications" / "io.github.tembrel.Tembrel.desktop")
        cls.app = app
        cls.archives = mime_set(app["Desktop Entry"]["MimeType"])

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    # Every menu entry as (label, command, offered for), file manager by file manager.
    def entries(self):
        found = {"desktop entry": [], "Dolphin": [], "Nemo": [], "file-manager actions": [], "libfm": []}
        for action in self.app["Desktop Entry"]["Actions"].split(";"):
            if action:
                group = self.app["Desktop Action " + action]
                found["desktop entry"].append((group["Name"], group["Exec"], None))
        for path in (self.share / "kio" / "servicemenus").glob("*.desktop"):
            menu = read_key_file(path)
            offered = mime_set(menu["Desktop Entry"]["MimeType"])
            for action in filter(None, menu["Desktop Entry"]["Actions"].split(";")):
                group = menu["Desktop Action " + action]
                found["Dolphin"].append((group["Name"], group["Exec"], offered))
        for path in (self.share / "nemo" / "actions").glob("*.nemo_action"):
            group = read_key_file(path)["Nemo Action"]
            offered = ALL if group.get("Extensions") == "any;" else mime_set(group["Mimetypes"])
            found["Nemo"].append((group["Name"], group["Exec"], offered))
        for path in (self.share / "file-manager" / "actions").glob("*.desktop"):
            action = read_key_file(path)
            for profile in filter(None, action["Desktop Entry"]["Profiles"].split(";")):
                group = action["X-Action-Profile " + profile]
                found["file-manager actions"].append(
                    (action["Desktop Entry"]["Name"], group["Exec"], mime_set(group["MimeTypes"])))
        for group in read_key_file(self.share / "doc" / "tembrel" / "examples" / "libfm-archivers.list").values():
            if "mime_types" in group:
                found["libfm"] += [(None, group["extract"], mime_set(group["mime_types"])),
                                   (None, group["extract_to"], mime_set(group["mime_types"])),
                                   (None, group["create"], ALL)]
        return found

    def test_every_entry_runs_an_action_on_the_selection_for_the_right_files(self):
        for where, entries in self.entries().items():
            with self.subTest(where):
                self.assertTrue(entries)
                if where != "libfm":
                    self.assertEqual({shlex.split(command)[1] for _, command, _ in entries}, set(LABELS))
                for label, command, offered in entries:
                    program, action, *arguments = shlex.split(command)
                    self.assertEqual((program, arguments), ("pellum", ["%F"]), command)
                    self.assertIn(action, LABELS)
                    if label is not None:
                        self.assertEqual(label, LABELS[action])
                    if offered is not None:
                        self.assertEqual(offered, self.archives if action in EXTRACT else ALL, command)

    def test_the_program_opens_the_archives_it_declares(self):
        entry = self.app["Desktop Entry"]
        self.assertEqual((entry["Name"], entry["Exec"]), ("Tembrel", "pellum %F"))
        metainfo = ElementTree.parse(self.share / "metainfo" / "io.github.tembrel.Tembrel.metainfo.xml")
        self.assertEqual(frozenset(m.text for m in metainfo.iterfind("provides/mediatype")), self.archives)

    def test_thunar_script_runs_the_actions(self):
        script = self.share.parent / "libexec" / "thunar-archive-plugin" / "io.github.tembrel.Tembrel.tap"
        stand_in = Path(self.work.name) / "stand-in"
        stand_in.mkdir(exist_ok=True)
        (stand_in / "pellum").write_text('#!/bin/sh\nprintf "%s\\n" "$@" > "$PELLUM_ARGUMENTS"\n')
        (stand_in / "pellum").chmod(0o755)
        paths = ["/home/me/a b.lzh", "/home/me/c.zip"]
        for tap_action, action in [("create", "--compress-zip"), ("extract-here", "--extract-here"),
                                   ("extract-to", "--extract-to"), ("unknown", None)]:
            with self.subTest(tap_action):
                record = stand_in / "arguments"
                record.unlink(missing_ok=True)
                env = dict(os.environ, PATH=f"{stand_in}:{os.environ['PATH']}", PELLUM_ARGUMENTS=str(record))
                run = subprocess.run([script, tap_action, "/home/me", *paths], env=env, capture_output=True)
                if action is None:
                    self.assertEqual((run.returncode, record.exists()), (2, False))
                else:
                    self.assertEqual(run.returncode, 0, run.stderr)
                    self.assertEqual(record.read_text().splitlines(), [action, *paths])

    def test_nautilus_extension_offers_and_runs_the_actions(self):
        launched = []
        extension = load_nautilus_extension(self.share / "nautilus-python" / "extensions" / "tembrel.py", launched)
        archive, other = ("application/zip", "application/x-lha"), ("text/plain", "inode/directory")
        cases = [  # mime types of the selection (None: not on a local disk), window first, actions offered
            ((archive[0], archive[1]), False, list(LABELS)),
            ((archive[0], other[0]), False, ["--compress-lzh", "--compress-zip"]),
            ((other[1],), True, ["--compress-lzh", "--compress-zip"]),
            ((archive[0], None), False, []),
        ]
        for mime_types, window_first, offered in cases:
            with self.subTest(mime_types=mime_types, window_first=window_first):
                files = [FakeFileInfo(f"/tmp/x y/{i}", mime) for i, mime in enumerate(mime_types)]
                items = extension.TembrelMenuProvider().get_file_items(*(["window"] if window_first else []), files)
                self.assertEqual([item.label for item in items], [LABELS[action] for action in offered])
                for item, action in zip(items, offered):
                    launched.clear()
                    item.activate()
                    self.assertEqual(launched, [["pellum", action] + [f.path for f in files]])

    def test_mime_additions_recognise_unnamed_archives(self):
        empty_zip = Path(self.work.name) / "empty"
        zipfile.ZipFile(empty_zip, "w").close()
        lzh_header = b"\x22\x00-lh%d-" + bytes(16)
        mime_root = Path(self.work.name) / "mime-root"
        (mime_root / "mime" / "packages").mkdir(parents=True, exist_ok=True)
        (mime_root / "mime" / "packages" / "tembrel.xml").write_bytes(
            (self.share / "mime" / "packages" / "tembrel.xml").read_bytes())
        subprocess.run(["update-mime-database", str(mime_root / "mime")], check=True)
        for name, data, expected in [("-lh7-", lzh_header % 7, "application/x-lha"),
                                     ("-lh6-", lzh_header % 6, "application/x-lha"),
                                     ("empty ZIP", empty_zip.read_bytes(), "application/zip")]:
            with self.subTest(name):
                self.assertNotEqual(guess_type(data, []), expected)  # what the desktop knew before
                self.assertEqual(guess_type(data, [mime_root]), expected)


def guess_type(data, extra_data_dirs):
    """The type GLib gives these bytes in a file without an extension, reading the MIME database
    of `extra_data_dirs` before the system's."""
    with tempfile.TemporaryDirectory() as home:
        (Path(home) / "unnamed").write_bytes(data)
        dirs = ":".join([str(d) for d in extra_data_dirs] + ["/usr/share"])
        env = dict(os.environ, XDG_DATA_DIRS=dirs, XDG_DATA_HOME=home)
        info = subprocess.run(["gio", "info", "-a", "standard::content-type", str(Path(home) / "unnamed")], env=env,
                              capture_output=True, check=True, text=True).stdout
        return info.rsplit("standard::content-type:", 1)[1].strip()


class FakeFileInfo:
    def __init__(self, path, mime_type):
        self.path, self.mime_type = path, mime_type

    def get_location(self):
        return types.SimpleNamespace(get_path=lambda: self.path if self.mime_type else None)

    def is_mime_type(self, mime_type):
        return self.mime_type == mime_type


class FakeMenuItem:
    def __init__(self, name, label, tip, icon):
        self.label, self.handlers = label, {}

    def connect(self, signal, handler):
        self.handlers[signal] = handler

    def activate(self):
        self.handlers["activate"](self)


def load_nautilus_extension(path, launched):
    """The extension loaded over stand-ins of Nautilus, GObject and Gio; what it starts is
    recorded in `launched`."""
    repository = types.ModuleType("gi.repository")
    repository.Nautilus = types.SimpleNamespace(MenuItem=FakeMenuItem, MenuProvider=type("MenuProvider", (), {}))
    repository.GObject = types.SimpleNamespace(GObject=type("GObject", (), {}))
    repository.Gio = types.SimpleNamespace(Subprocess=types.SimpleNamespace(new=lambda argv, flags: launched.append(argv)),
                                           SubprocessFlags=types.SimpleNamespace(NONE=0))
    sys.modules["gi"] = types.SimpleNamespace(require_version=lambda name, version: None, repository=repository)
    sys.modules["gi.repository"] = repository
    module = types.ModuleType("tembrel_nautilus")
    module.__file__ = str(path)
    exec(compile(Path(path).read_text(encoding="utf-8"), str(path), "exec"), module.__dict__)
    return module


if __name__ == "__main__":
    unittest.main()
