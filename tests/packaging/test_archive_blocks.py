"""Blocks the self-extracting stub would have to decode in memory are found
in a packed archive, and the product's switches keep large files to a single
coder."""
import os
import shutil
import subprocess
import unittest

from support import BUILD, ScratchTest
import archive_blocks

ARCHIVER = shutil.which("7zz")
STUB = os.path.join(BUILD, "sfx", "sfx.exe")


@unittest.skipUnless(ARCHIVER, "needs 7zz")
class BlocksTest(ScratchTest):
    def pack(self, *switches):
        archive = self.path("out.7z")
        if os.path.exists(archive):
            os.remove(archive)
        subprocess.run([ARCHIVER, "a", "-t7z", "-bso0", "-bsp0", *switches, archive, "."], cwd=self.path("content"),
                       check=True)
        return archive

    def setUp(self):
        super().setUp()
        self.write("content/a.txt", "alpha " * 5000)
        self.write("content/sub/b.txt", "beta " * 3000)
        self.write("content/sub/empty.txt", b"")
        os.makedirs(self.path("content", "folder"))

    def test_listing_gives_each_block_its_files_sizes_and_coders(self):
        listing = subprocess.run([ARCHIVER, "l", "-slt", self.pack("-m0=PPMd", "-ms=on")], stdout=subprocess.PIPE,
                                 text=True, check=True).stdout
        blocks = archive_blocks.parse_listing(listing)
        self.assertEqual(list(blocks), [0])
        self.assertEqual(sorted(blocks[0].files), ["a.txt", "sub/b.txt"])
        self.assertEqual(blocks[0].size, 30000 + 15000)
        self.assertFalse(blocks[0].streamed())

    def test_only_large_blocks_without_a_single_streamed_coder_are_problems(self):
        archive = self.pack("-m0=PPMd", "-ms=on")
        self.assertEqual(archive_blocks.in_memory_problems(ARCHIVER, archive), [])
        problems = archive_blocks.in_memory_problems(ARCHIVER, archive, limit=40000)
        self.assertEqual(len(problems), 1)
        self.assertIn("PPMD", problems[0])
        self.assertEqual(archive_blocks.in_memory_problems(ARCHIVER, archive, limit=50000), [])
        for switches in (["-m0=lzma2", "-ms=on"], ["-m0=lzma", "-ms=on"], ["-mx=0"]):
            self.assertEqual(archive_blocks.in_memory_problems(ARCHIVER, self.pack(*switches), limit=0), [],
                             switches)
        for switches in (["-psecret"], ["-mhe=on", "-psecret"]):  # encrypted data, encrypted names
            self.assertNotEqual(archive_blocks.in_memory_problems(ARCHIVER, self.pack(*switches), limit=0), [],
                                switches)

    @unittest.skipUnless(os.path.isfile(STUB), f"needs a built tree ({STUB})")
    def test_switches_without_filters_keep_programs_to_one_coder(self):
        shutil.copyfile(STUB, self.path("content", "tool.exe"))
        default = "-mx=9 -ms=64m".split()
        # The archiver filters programs by default: such a block, if large,
        # would be decoded in memory.
        self.assertNotEqual(archive_blocks.in_memory_problems(ARCHIVER, self.pack(*default), limit=0), [])
        options = archive_blocks.without_filters(default)
        self.assertEqual(archive_blocks.in_memory_problems(ARCHIVER, self.pack(*options), limit=0), [])
        self.assertIsNone(archive_blocks.without_filters(["-mx=9", "-mf=BCJ2"]))


if __name__ == "__main__":
    unittest.main()
