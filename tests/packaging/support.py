"""Shared helpers of the packaging tests: the modules under scripts/, the
build folder of the engine, scratch folders."""
import os
import shutil
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "scripts", "packaging"))
BUILD = os.environ.get("LARKSPUR_BUILD", os.path.join(ROOT, "build"))
TEMPLATE = os.path.join(BUILD, "bootstrap", "setup-template.exe")


def needs_build(test):
    return unittest.skipUnless(os.path.isfile(TEMPLATE), f"needs a built tree ({TEMPLATE})")(test)


class ScratchTest(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="packaging-test.")
        self.addCleanup(shutil.rmtree, self.scratch, True)

    def path(self, *parts):
        return os.path.join(self.scratch, *parts)

    def write(self, rel, data=b"x"):
        path = self.path(*rel.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else data.encode("utf-8"))
        return path
