"""scripts/package as a product team runs it: bad input is refused before
anything is built and leaves no setup.exe behind; good input gives a
setup.exe that carries the product's archives, lists, pictures, channel and
version."""
import base64
import json
import os
import shutil
import struct
import subprocess
import sys
import unittest

from support import BUILD, ROOT, ScratchTest, needs_build
import pe_resources

PACKAGE = os.path.join(ROOT, "scripts", "package")
LIST = {"installs": [{"name": "Fernleaf", "version": "2.3.0.5", "order": 1, "regkey": "SOFTWARE\\Orbisoft\\F",
                      "actions": [{"action": "@tree", "folder": "", "dst": "$PROGRAMDIR$\\Fernleaf"}]}]}
PNG_1x1 = base64.b64decode("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==")


@needs_build
class PackageCommandTest(ScratchTest):
    def setUp(self):
        super().setUp()
        self.write("product/bin/app.exe", b"MZ" + os.urandom(1000))
        self.write("product/readme.txt", "hello")
        self.setup_ini = self.write("setup.ini", json.dumps(LIST))
        self.uninst_ini = self.write("uninst.ini", json.dumps(LIST))
        self.out = self.path("out", "setup.exe")

    def package(self, *extra, checker=None):
        command = [sys.executable, PACKAGE, "--build", BUILD, "--product", self.path("product"),
                   "--setup-ini", self.setup_ini, "--uninst-ini", self.uninst_ini, "--out", self.out,
                   "--archiver-options=-mx=1", *extra]
        command += ["--checker", checker] if checker else ["--skip-check"]
        return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def assertRefused(self, result, *messages):
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        for message in messages:
            self.assertIn(message, result.stderr)
        self.assertIn("no setup.exe was written", result.stderr)
        self.assertNotIn("head archive", result.stdout)  # refused before anything was built

    def test_bad_product_folder_is_refused_with_every_problem_and_nothing_written(self):
        self.write("product/bin/App.exe")
        self.write("product/aux.txt")
        os.makedirs(self.path("out"))
        with open(self.out, "wb") as f:
            f.write(b"previous")
        result = self.package()
        self.assertRefused(result, "bin/app.exe: differs from bin/App.exe only in letter case",
                           "aux.txt: the name is a device name")
        with open(self.out, "rb") as f:
            self.assertEqual(f.read(), b"previous")
        self.assertEqual(os.listdir(self.path("out")), ["setup.exe"])

    def test_bad_options_are_refused(self):
        self.write("notpng.png", "GIF89a")
        self.assertRefused(self.package("--channel", "short"), "must be 44 characters of Base64")
        self.assertRefused(self.package("--splash", self.path("notpng.png")), "is not a PNG file")
        self.assertRefused(self.package("--version", "1.2.3"), "is not four numbers")
        self.assertRefused(self.package("--engine-file", self.path("missing.exe")), "missing.exe is missing")
        self.assertRefused(self.package("--engine-file", self.setup_ini), "puts a file of that name there itself")
        self.assertRefused(self.package("--engine-file", self.write("a/tool.exe"), "--engine-file",
                                        self.write("b/Tool.exe")), "two files named tool.exe")
        self.assertRefused(self.package(checker=self.path("no-checker")), "is not an executable file")
        self.assertRefused(self.package("--work", self.path("product", "work")),
                           "lies inside the product folder")
        self.assertFalse(os.path.exists(self.path("product", "work")))
        self.out = self.path("product", "setup.exe")
        self.assertRefused(self.package(), "lies inside the product folder")
        self.assertRefused(self.package("--language-xml", self.write("l.xml", "<a><b></a>")), "not well-formed XML")
        self.assertRefused(self.package("--pages", self.write("p.pkg", struct.pack("<5I", 1, 20, 5, 25, 999))),
                           "entry 0 points outside the file")
        self.assertFalse(os.path.exists(self.out))

    def test_a_work_folder_of_someone_else_is_never_emptied(self):
        precious = self.write("mine/thesis.txt", "years of work")
        self.assertRefused(self.package("--work", self.path("mine")), "was not made by scripts/package")
        self.assertTrue(os.path.isfile(precious))
        self.assertEqual(self.package("--work", self.path("fresh")).returncode, 0)
        self.assertEqual(self.package("--work", self.path("fresh")).returncode, 0)  # its own: reused

    def test_lists_that_cannot_be_expanded_are_refused(self):
        broken = dict(LIST, installs=[dict(LIST["installs"][0], actions=[
            {"action": "@tree", "folder": "nothere", "dst": "X"}])])
        self.uninst_ini = self.write("uninst.ini", json.dumps(broken))
        self.assertRefused(self.package(), "installs[0].actions[0]: the product folder has no folder \"nothere\"")
        self.uninst_ini = self.write("empty.ini", "")
        self.assertRefused(self.package(), "is empty")

    def test_setup_exe_carries_the_product(self):
        channel = base64.b64encode(b"c" * 32).decode()
        work = self.path("work")
        language = b'<?xml version="1.0" encoding="utf-8"?><root><zh_CN><TITLE>Fernleaf</TITLE></zh_CN></root>'
        result = self.package("--channel", channel, "--splash", self.write("s.png", PNG_1x1), "--work", work,
                              "--company", "Acme", "--language-xml", self.write("lang.xml", language))
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        image = pe_resources.PeImage(self.out)

        def resource(rtype, name):
            keys = image.find(rtype, name)
            self.assertEqual(len(keys), 1, (rtype, name))
            return image.resources[keys[0]]

        with open(os.path.join(work, "head.exe"), "rb") as f:
            self.assertEqual(resource("BINARY", 110), f.read())
        with open(os.path.join(work, "body.exe"), "rb") as f:
            body = f.read()
        self.assertEqual(resource("BINARY", 111), body)
        with open(os.path.join(BUILD, "sfx", "sfx.exe"), "rb") as f:
            self.assertTrue(body.startswith(f.read()))
        self.assertEqual(resource("BINARY", 112), channel.encode())
        self.assertEqual(resource("PNG", 141), PNG_1x1)
        self.assertEqual(resource("XML", 161), language)
        version = resource(16, 1)
        for text in ("Fernleaf", "Acme", "2.3.0.5"):
            self.assertIn(text.encode("utf-16-le"), version)
        # The engine carries the expanded uninstall list as its fallback.
        engine = pe_resources.PeImage(os.path.join(work, "head", "Setup", "stagehand.exe"))
        embedded = json.loads(engine.resources[engine.find(100, 180)[0]])
        with open(os.path.join(work, "head", "Setup", "uninst.ini"), "rb") as f:
            self.assertEqual(json.loads(f.read()), embedded)
        verbs = [a["action"] for a in embedded["installs"][0]["actions"]]
        self.assertEqual(verbs, ["delfile", "deldir", "delfile", "deldir"])
        listing = subprocess.run(["7zz", "l", "-slt", os.path.join(work, "body.exe")], stdout=subprocess.PIPE,
                                 text=True).stdout
        self.assertIn("Path = Assembly/bin/app.exe", listing)
        self.assertIn("Path = Assembly/readme.txt", listing)

    def checker(self, exit_code):
        """A stand-in list checker that records what it was shown."""
        record = self.path("checked")
        script = self.write("checker", f"""#!/bin/sh
printf '%s\\n' "$@" >"{record}"
echo "$LARKSPUR_BUILD_DIR" >>"{record}"
ls "$2/Assembly/bin" >>"{record}"
cat "$3" >>"{record}"
exit {exit_code}
""")
        os.chmod(script, 0o755)
        return script, record

    def body_methods(self, work):
        listing = subprocess.run(["7zz", "l", "-slt", os.path.join(work, "body.exe")], stdout=subprocess.PIPE,
                                 text=True, check=True).stdout
        methods = {}
        for entry in listing.split("\n\n"):
            fields = dict(line.split(" = ", 1) for line in entry.splitlines() if " = " in line)
            if "Method" in fields and fields["Path"].startswith("Assembly/"):
                methods[fields["Path"][len("Assembly/"):]] = fields["Method"]
        return methods

    def test_large_files_are_packed_so_that_the_stub_can_stream_them(self):
        with open(self.path("product", "data.bin"), "wb") as f:  # sparse: zeros
            f.truncate(300 << 20)
        shutil.copyfile(os.path.join(BUILD, "sfx", "sfx.exe"), self.path("product", "bin", "tool.exe"))
        work = self.path("work")
        result = self.package("--work", work)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertNotIn("packing again", result.stdout)
        methods = self.body_methods(work)
        self.assertEqual(len(methods["data.bin"].split()), 1, methods)
        self.assertEqual(len(methods["bin/tool.exe"].split()), 2, methods)  # small programs keep their filter

        # A large program: filtered at first, packed again without filters.
        os.remove(self.path("product", "data.bin"))
        with open(self.path("product", "bin", "tool.exe"), "ab") as f:
            f.truncate(300 << 20)
        result = self.package("--work", work)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertIn("packing again with -mf=off", result.stdout)
        self.assertEqual(len(self.body_methods(work)["bin/tool.exe"].split()), 1)

        os.remove(self.out)
        result = self.package("--archiver-options=-mx=1 -mf=BCJ")
        self.assertRefusedAfterPacking(result, "bin/tool.exe: packed as \"BCJ")
        result = self.package("--archiver-options=-mx=1 -m0=PPMd")
        self.assertRefusedAfterPacking(result, "packed as \"PPMD")

    def assertRefusedAfterPacking(self, result, message):
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        self.assertIn(message, result.stderr)
        self.assertFalse(os.path.exists(self.out))

    def test_checker_errors_stop_packing(self):
        script, record = self.checker(1)
        result = self.package("--work", self.path("work"), checker=script)
        self.assertRefused(result, "the list checker found errors")
        script, _ = self.checker(2)
        self.assertRefused(self.package(checker=script), "could not check the lists (exit 2)")
        self.assertFalse(os.path.exists(self.out))
        self.assertFalse(os.path.exists(self.path("work", "head.exe")))

    def test_checker_sees_the_engine_folder_and_the_expanded_lists(self):
        script, record = self.checker(0)
        result = self.package(checker=script)
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(record) as f:
            lines = f.read().splitlines()
        self.assertEqual(lines[0], "--product")
        self.assertEqual(lines[2:4], [os.path.join(lines[1], "setup.ini"), os.path.join(lines[1], "uninst.ini")])
        self.assertEqual(lines[4], os.path.abspath(BUILD))
        self.assertIn("app.exe", lines)
        self.assertIn('"action": "copyfile"', "\n".join(lines))
        self.assertNotIn("@tree", "\n".join(lines))

    def test_pages_folder_replaces_the_engine_pages(self):
        uipack = os.path.join(BUILD, "host", "uipack")
        if not os.path.isfile(uipack):
            self.skipTest("needs the page packer")
        self.write("pages/app/installer/install.htm", "<html>mine</html>")
        work = self.path("work")
        result = self.package("--pages", self.path("pages"), "--work", work)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        engine = pe_resources.PeImage(os.path.join(work, "head", "Setup", "stagehand.exe"))
        package = engine.resources[engine.find("BIN", 173)[0]]
        self.assertIn(b"<html>mine</html>", package)
        self.assertIn(b"/app/installer/install.htm", package)


class NewListsTest(ScratchTest):
    def new_lists(self, *extra):
        command = [sys.executable, os.path.join(ROOT, "scripts", "new-lists"), "--product", self.path("product"),
                   "--out-dir", self.path("lists"), *extra]
        return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def test_lists_name_the_shallowest_program_and_tree_the_whole_folder(self):
        self.write("product/tools/helper.exe")
        self.write("product/bin/Main.exe")
        self.write("product/Z.exe")
        result = self.new_lists("--name", "Tool", "--version", "1.2.3.4")
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(self.path("lists", "setup.ini"), encoding="utf-8") as f:
            setup = json.load(f)
        actions = setup["installs"][0]["actions"]
        self.assertIn({"action": "@tree", "folder": "", "dst": "$PROGRAMDIR$\\Tool"}, actions)
        self.assertIn("$PROGRAMDIR$\\Tool\\Z.exe", [a.get("value") for a in actions])
        with open(self.path("lists", "uninst.ini"), encoding="utf-8") as f:
            self.assertIn({"action": "@tree", "folder": "", "dst": "$PROGRAMDIR$\\Tool"},
                          json.load(f)["installs"][0]["actions"])

    def test_refusals_and_no_overwrite(self):
        self.write("product/readme.txt")
        self.assertIn("holds no .exe", self.new_lists("--name", "T", "--version", "1.2.3.4").stderr)
        self.assertIn("not in the product folder",
                      self.new_lists("--name", "T", "--version", "1.2.3.4", "--main-exe", "x.exe").stderr)
        self.assertIn("four numbers", self.new_lists("--name", "T", "--version", "1.2").stderr)
        self.assertIn("device name", self.new_lists("--name", "con", "--version", "1.2.3.4").stderr)
        self.write("lists/setup.ini", "mine")
        result = self.new_lists("--name", "T", "--version", "1.2.3.4", "--main-exe", "readme.txt")
        self.assertEqual(result.returncode, 1)
        self.assertIn("exists; not overwritten", result.stderr)
        with open(self.path("lists", "setup.ini")) as f:
            self.assertEqual(f.read(), "mine")
        self.assertFalse(os.path.exists(self.path("lists", "uninst.ini")))


if __name__ == "__main__":
    unittest.main()
