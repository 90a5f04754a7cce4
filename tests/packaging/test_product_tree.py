"""The product folder scan refuses what would fail on the user's machine,
and the generated entries create parents before children and remove
children before parents."""
import json
import os
import unittest

from support import ScratchTest
import list_templates
import product_tree


class RefusalTest(ScratchTest):
    def problems(self):
        _, problems = product_tree.scan(self.path("product"))
        return "\n".join(problems)

    def test_names_windows_forbids(self):
        for name in ("a:b.txt", "what?.txt", 'quote".txt', "pipe|.txt", "back\\slash.txt", "tab\t.txt",
                     "dot.", "space ", "CON", "con.txt", "Com1.log", "LPT9", "nul .txt", "CONOUT$"):
            self.write(f"product/{name}")
        self.write("product/$SERVICEDIR$/a.txt")
        self.write("product/price$.txt")
        self.write("product/console.txt")
        self.write("product/COM10")
        found = self.problems()
        for name in ("a:b.txt", "what?.txt", 'quote".txt', "pipe|.txt", "back\\slash.txt", "tab\t.txt", "dot.",
                     "space ", "CON", "con.txt", "Com1.log", "LPT9", "nul .txt", "CONOUT$"):
            self.assertIn(name + ":", found, name)
        self.assertIn("$SERVICEDIR$: the name holds $SERVICEDIR$", found)
        self.assertNotIn("price$.txt", found)
        self.assertNotIn("console.txt", found)
        self.assertNotIn("COM10", found)

    def test_undecodable_name(self):
        os.makedirs(self.path("product"))
        with open(os.path.join(os.fsencode(self.path("product")), b"caf\xe9.txt"), "wb"):
            pass
        self.assertIn("not valid UTF-8", self.problems())

    def test_names_differing_only_in_case_in_one_folder(self):
        self.write("product/Lib/Readme.txt")
        self.write("product/Lib/README.TXT")
        self.write("product/lib/other.txt")
        self.write("product/a/readme.txt")
        self.write("product/b/README.txt")
        self.write("product/c/straße.txt")   # one character "ß" against two "SS": different names
        self.write("product/c/STRASSE.txt")
        self.write("product/c/Ärger.txt")
        self.write("product/c/äRGER.txt")
        found = self.problems()
        self.assertIn("c/äRGER.txt: differs from c/Ärger.txt only in letter case", found)
        self.assertNotIn("STRASSE", found)
        self.assertIn("only in letter case", found)
        self.assertEqual(found.count("only in letter case"), 3, found)  # Lib/lib, Readme/README, Ärger; a and b are fine

    def test_links_and_special_files(self):
        self.write("product/real.txt")
        os.symlink("real.txt", self.path("product", "link.txt"))
        os.symlink("/", self.path("product", "root"))
        os.mkfifo(self.path("product", "pipe"))
        found = self.problems()
        self.assertIn("link.txt: is a symbolic link", found)
        self.assertIn("root: is a symbolic link", found)
        self.assertIn("pipe: is not a regular file", found)

    def test_long_paths(self):
        deep = "/".join(["folder-name-of-twenty"] * 7)
        self.write(f"product/{deep}/file.txt")
        self.assertIn("longer than", self.problems())

    def test_sizes_over_the_limits(self):
        os.makedirs(self.path("product"))
        with open(self.path("product", "huge.bin"), "wb") as f:
            f.truncate(product_tree.MAX_FILE_SIZE + 1)
        with open(self.path("product", "large.bin"), "wb") as f:  # unpacked in pieces
            f.truncate(700 << 20)
        found = self.problems()
        self.assertIn("huge.bin:", found)
        self.assertIn("over 2 GB", found)
        self.assertNotIn("large.bin", found)
        os.remove(self.path("product", "huge.bin"))
        os.remove(self.path("product", "large.bin"))
        for i in range(product_tree.MAX_TOTAL_SIZE // product_tree.MAX_FILE_SIZE + 1):  # sparse files
            with open(self.path("product", f"part{i}.bin"), "wb") as f:
                f.truncate(product_tree.MAX_FILE_SIZE)
        found = self.problems()
        self.assertIn("cannot be packed into one setup program", found)
        self.assertNotIn("part0.bin:", found)

    def test_clean_tree_with_empty_folders_and_empty_files(self):
        self.write("product/app/empty.txt", b"")
        os.makedirs(self.path("product", "app", "cache"))
        tree, problems = product_tree.scan(self.path("product"))
        self.assertEqual(problems, [])
        self.assertEqual(sorted(tree.folders), ["", "app", "app/cache"])
        self.assertEqual(tree.file_count, 1)


class EntriesTest(ScratchTest):
    def setUp(self):
        super().setUp()
        for rel in ("product/top.txt", "product/app/a.exe", "product/app/lib/b.dll", "product/app/lib/x/y/z.dat",
                    "product/other/o.txt"):
            self.write(rel)
        os.makedirs(self.path("product", "app", "empty"))
        self.tree, problems = product_tree.scan(self.path("product"))
        self.assertEqual(problems, [])

    def test_install_creates_every_folder_before_its_children_and_copies_only_where_files_are(self):
        entries = product_tree.install_entries(self.tree, "app", "$PROGRAMDIR$\\App")
        made = [e["dirname"] for e in entries if e["action"] == "mkdir"]
        self.assertEqual(made, ["$PROGRAMDIR$\\App", "$PROGRAMDIR$\\App\\empty", "$PROGRAMDIR$\\App\\lib",
                                "$PROGRAMDIR$\\App\\lib\\x", "$PROGRAMDIR$\\App\\lib\\x\\y"])
        copies = [(e["src"], e["dst"]) for e in entries if e["action"] == "copyfile"]
        self.assertEqual(copies, [
            ("$CURRENTPATH$Assembly\\app\\*.*", "$PROGRAMDIR$\\App\\"),
            ("$CURRENTPATH$Assembly\\app\\lib\\*.*", "$PROGRAMDIR$\\App\\lib\\"),
            ("$CURRENTPATH$Assembly\\app\\lib\\x\\y\\*.*", "$PROGRAMDIR$\\App\\lib\\x\\y\\")])
        # Each copy comes after the folder it copies into.
        for i, e in enumerate(entries):
            if e["action"] == "copyfile":
                self.assertEqual(entries[i - 1], {"action": "mkdir", "dirname": e["dst"][:-1]})

    def test_uninstall_empties_and_removes_deepest_folders_first(self):
        entries = product_tree.uninstall_entries(self.tree, "", "$PROGRAMDIR$\\P")
        removed = [e["path"] for e in entries if e["action"] == "deldir"]
        self.assertEqual(removed[-1], "$PROGRAMDIR$\\P")
        depth = [p.count("\\") for p in removed]
        self.assertEqual(depth, sorted(depth, reverse=True))
        self.assertEqual(len(removed), len(self.tree.folders))
        for i in range(0, len(entries), 2):
            self.assertEqual(entries[i], {"action": "delfile", "path": entries[i + 1]["path"] + "\\*.*"})
            self.assertEqual(entries[i + 1]["empty"], "need")


class TemplateTest(ScratchTest):
    LIST = {"installs": [{"name": "P", "order": 1, "actions": [
        {"action": "writereg", "KEY": "K"},
        {"action": "@tree", "folder": "app", "dst": "$PROGRAMDIR$\\App\\"},
        {"action": "writereg", "KEY": "L"}]}]}

    def setUp(self):
        super().setUp()
        self.write("product/app/a.exe")
        self.write("product/app/sub/b.dll")
        self.tree, _ = product_tree.scan(self.path("product"))

    def test_tree_entries_take_the_place_of_the_marker(self):
        data = json.dumps(self.LIST).encode()
        installed = json.loads(list_templates.expand(data, self.tree, False, "setup.ini"))
        verbs = [a["action"] for a in installed["installs"][0]["actions"]]
        self.assertEqual(verbs, ["writereg", "mkdir", "copyfile", "mkdir", "copyfile", "writereg"])
        removed = json.loads(list_templates.expand(b"\xef\xbb\xbf" + data, self.tree, True, "uninst.ini"))
        paths = [a["path"] for a in removed["installs"][0]["actions"] if a["action"] == "deldir"]
        self.assertEqual(paths, ["$PROGRAMDIR$\\App\\sub", "$PROGRAMDIR$\\App"])

    def test_list_without_markers_ships_byte_for_byte(self):
        data = b'\xef\xbb\xbf{ // comment\n "installs": [],\n}'
        self.assertIs(list_templates.expand(data, self.tree, False, "setup.ini"), data)

    def test_marker_in_a_list_json_would_not_read_is_refused(self):
        data = b'{"installs": [{"actions": [{"action": "@tree", "folder": "app", "dst": "D"},]}]}'
        with self.assertRaisesRegex(list_templates.ListError, "plain JSON"):
            list_templates.expand(data, self.tree, False, "setup.ini")

    def test_marker_faults_name_their_place(self):
        for action, message in (({"action": "@tree", "folder": "nothere", "dst": "D"}, "no folder \"nothere\""),
                                ({"action": "@tree", "folder": "app"}, "needs the texts"),
                                ({"action": "@tree", "folder": 3, "dst": "D"}, "needs the texts")):
            data = json.dumps({"installs": [{"actions": [{"action": "mkdir"}, action]}]}).encode()
            with self.assertRaisesRegex(list_templates.ListError, r"installs\[0\]\.actions\[1\]: .*" + message):
                list_templates.expand(data, self.tree, False, "setup.ini")


class UncopiedFilesTest(ScratchTest):
    def test_files_no_copy_takes_are_named(self):
        for rel in ("product/app/a.exe", "product/app/sub/b.dll", "product/top.txt", "product/other/x.txt"):
            self.write(rel)
        tree, _ = product_tree.scan(self.path("product"))
        data = json.dumps({"installs": [{"actions": [
            {"action": "@tree", "folder": "app", "dst": "D"},
            {"action": "copyfile", "src": "$CURRENTPATH$Assembly\\TOP.TXT", "dst": "D\\"},
            {"action": "copyfile", "src": "$CURRENTPATH$stagehand.exe", "dst": "D\\uninst.exe"}]}]}).encode()
        expanded = list_templates.expand(data, tree, False, "setup.ini")
        self.assertEqual(list_templates.uncopied_files(expanded, tree), ["other/x.txt"])
        self.assertIsNone(list_templates.uncopied_files(b"{ // comment\n}", tree))


if __name__ == "__main__":
    unittest.main()
