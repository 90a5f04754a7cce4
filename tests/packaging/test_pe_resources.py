"""The resource rewriter: what it writes reads back the same, the sections
behind the resources move intact, and images it cannot change safely are
refused instead of damaged."""
import os
import shutil
import struct
import unittest

from support import TEMPLATE, ScratchTest, needs_build
import pe_resources


@needs_build
class ResourceRewriteTest(ScratchTest):
    def rewrite(self, change):
        image = pe_resources.PeImage(TEMPLATE)
        change(image)
        out = self.path("out.exe")
        image.write(out)
        return image, pe_resources.PeImage(out)

    def test_added_and_replaced_entries_read_back_and_old_ones_stay(self):
        big = self.write("big.bin", os.urandom(3 << 20))
        before = pe_resources.PeImage(TEMPLATE)
        image, after = self.rewrite(lambda im: (
            im.set("BINARY", 110, pe_resources.FileBlob(big, 3 << 20)),
            im.set("binary", 112, b"A" * 44),
            im.set(100, 180, b"{}")))
        with open(big, "rb") as f:
            big_bytes = f.read()
        self.assertEqual(after.resources[after.find("BINARY", 110)[0]], big_bytes)
        self.assertEqual(after.resources[after.find("BINARY", 112)[0]], b"A" * 44)
        self.assertEqual(after.resources[after.find(100, 180)[0]], b"{}")
        # A replaced entry keeps the language the resource compiler gave it.
        self.assertEqual(after.find("BINARY", 112)[0][2], before.find("BINARY", 112)[0][2])
        for key, data in before.resources.items():
            if key[:2] != ("BINARY", 112):
                self.assertEqual(after.resources[key], data, key)

    def test_relocations_move_behind_the_grown_resources_unchanged(self):
        before = pe_resources.PeImage(TEMPLATE)
        big = self.write("big.bin", b"\x01" * (5 << 20))
        _, after = self.rewrite(lambda im: im.set("BINARY", 111, pe_resources.FileBlob(big, 5 << 20)))
        reloc_rva, reloc_size = before.directory(5)
        new_rva, new_size = after.directory(5)
        self.assertEqual(new_size, reloc_size)
        rsrc_rva, rsrc_size = after.directory(2)
        self.assertGreaterEqual(new_rva, rsrc_rva + rsrc_size)
        self.assertEqual(new_rva % before.section_align, 0)
        old = before._data[before._file_offset(reloc_rva):before._file_offset(reloc_rva) + reloc_size]
        new = after._data[after._file_offset(new_rva):after._file_offset(new_rva) + new_size]
        self.assertEqual(new, old)
        last = after.sections[-1]
        size_of_image = struct.unpack_from("<I", after._data, after.opt + 56)[0]
        self.assertEqual(size_of_image, -(-(last.va + last.vsize) // after.section_align) * after.section_align)
        self.assertEqual(len(after._data), last.rawptr + last.rawsize)

    def test_checksum_is_the_one_windows_computes(self):
        _, after = self.rewrite(lambda im: im.set("BINARY", 112, b"B" * 44))
        stored = struct.unpack_from("<I", after._data, after.opt + 64)[0]
        copy = self.path("copy.exe")
        shutil.copyfile(after.path, copy)
        with open(copy, "r+b") as f:
            f.seek(after.opt + 64)
            f.write(b"\0\0\0\0")
        pe_resources.write_checksum(copy, after.opt + 64)
        with open(copy, "rb") as f:
            data = f.read()
        self.assertEqual(struct.unpack_from("<I", data, after.opt + 64)[0], stored)
        self.assertNotEqual(stored, 0)

    def test_appended_data_is_refused_not_dropped(self):
        appended = self.path("appended.exe")
        shutil.copyfile(TEMPLATE, appended)
        with open(appended, "ab") as f:
            f.write(b"7z archive behind the image")
        image = pe_resources.PeImage(appended)
        with self.assertRaisesRegex(pe_resources.PeError, "follow the image"):
            image.write(self.path("out.exe"))
        self.assertFalse(os.path.exists(self.path("out.exe")))

    def test_text_and_truncated_images_are_refused(self):
        with self.assertRaisesRegex(pe_resources.PeError, "not a Windows program"):
            pe_resources.PeImage(self.write("list.ini", "{}"))
        with open(TEMPLATE, "rb") as f:
            head = f.read(0x200)
        with self.assertRaises(pe_resources.PeError):
            pe_resources.PeImage(self.write("short.exe", head))


class VersionInfoTest(unittest.TestCase):
    def test_fixed_part_and_strings(self):
        blob = pe_resources.version_info({"ProductName": "Fernleaf", "CompanyName": "Acme"}, "2.3.0.5")
        self.assertEqual(struct.unpack_from("<H", blob)[0], len(blob))
        self.assertEqual(blob[6:6 + 32].decode("utf-16-le"), "VS_VERSION_INFO\0")
        fixed = blob.index(struct.pack("<I", 0xFEEF04BD))
        self.assertEqual(fixed % 4, 0)
        ms, ls = struct.unpack_from("<II", blob, fixed + 8)
        self.assertEqual((ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), (2, 3, 0, 5))
        self.assertIn("Fernleaf\0".encode("utf-16-le"), blob)
        self.assertIn("Acme\0".encode("utf-16-le"), blob)

    def test_versions_that_do_not_fit_are_refused(self):
        for bad in ("1.2.3", "1.2.3.4.5", "1.2.3.65536", "1.2.x.4", ""):
            with self.assertRaises(ValueError, msg=bad):
                pe_resources.version_info({}, bad)


if __name__ == "__main__":
    unittest.main()
