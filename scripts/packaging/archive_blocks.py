"""The solid blocks of a packed 7z archive, as the self-extracting stub will
meet them: a block it cannot decode in pieces is decoded in memory, which a
32-bit process can only do up to a few hundred megabytes."""
import subprocess

# Larger blocks must be decodable in pieces (512 MB in memory was seen to
# work under Wine, 640 MB not).
MAX_IN_MEMORY_BLOCK = 256 << 20
# Coders the stub decodes in pieces, when a block has just one of them.
STREAMED_CODERS = ("LZMA", "LZMA2", "Copy")


class Block:
    def __init__(self, index, method):
        self.index, self.method = index, method
        self.size = 0
        self.files = []

    def streamed(self):
        coders = self.method.split()
        return len(coders) == 1 and coders[0].split(":")[0] in STREAMED_CODERS


def without_filters(options):
    """The archiver's switches with branch filters turned off, so that every
    block is a single coder; None when the switches choose filters
    themselves."""
    if any(o.lower().startswith("-mf") for o in options):
        return None
    return [*options, "-mf=off"]


def parse_listing(text):
    """Blocks by index from the technical listing ("7zz l -slt") of an
    archive; files without data (folders, empty files) belong to none."""
    blocks = {}
    entries, current = [], None
    for line in text.splitlines():
        if line.startswith("Path = "):
            current = {"Path": line[7:]}
            entries.append(current)
        elif current is not None and " = " in line:
            key, value = line.split(" = ", 1)
            current[key] = value
    for entry in entries[1:]:  # the first entry is the archive itself
        index = entry.get("Block", "")
        if not index.isdigit():
            continue
        block = blocks.setdefault(int(index), Block(int(index), entry.get("Method", "")))
        block.size += int(entry.get("Size", "0") or 0)
        block.files.append(entry["Path"])
    return blocks


def in_memory_problems(archiver, archive, limit=MAX_IN_MEMORY_BLOCK):
    """Why the stub could not unpack `archive`: one text per block over
    `limit` bytes that it would have to decode in memory."""
    # An empty password: an archive with encrypted names fails instead of asking.
    result = subprocess.run([archiver, "l", "-slt", "-p", archive], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True)
    if result.returncode != 0:
        return [f"the packed archive cannot be listed (encrypted?), so the setup program could not unpack it:\n"
                f"{result.stdout.strip()}"]
    problems = []
    for block in sorted(parse_listing(result.stdout).values(), key=lambda b: b.index):
        if block.size > limit and not block.streamed():
            problems.append(f"{block.files[0]}: packed as \"{block.method}\" in a block of {block.size} bytes; the "
                            f"setup program unpacks blocks over {limit >> 20} MB only from a single LZMA, LZMA2 "
                            "or stored coder (no filter, no encryption)")
    return problems
