"""A product folder as the installer will see it: every folder and file,
checked for what would fail on the user's machine, and the setup-list
entries that create, copy and remove the tree."""
import os
import stat

# The self-extracting stub decodes large files in pieces (the packer keeps
# their blocks to one coder it can stream); setup.exe's archives must still
# fit into it, checked after packing.
MAX_FILE_SIZE = 2 << 30
# Larger product folders are refused before anything is packed (the archives
# must also fit into setup.exe, checked after packing).
MAX_TOTAL_SIZE = 4 << 30
# Paths are used without the long-path prefix: the install folder
# ("C:\Program Files (x86)\Orbisoft\...") and the work folder under the
# user's temporary folder both come in front of this part.
MAX_RELATIVE_PATH = 160

_FORBIDDEN_CHARS = set('<>:"/\\|?*') | {chr(c) for c in range(32)}
# Placeholders the engine replaces in the lists' paths, wherever they occur.
_PLACEHOLDERS = ("$PROGRAMDIR$", "$SERVICEDIR$", "$PCSUITDIR$", "$CURRENTPATH$", "$REGKEY$", "$VERSIONCODE$",
                 "$MODE$", "$STARTMENU$", "$MYDOCUMENTS$", "$APPDATA$")
_DEVICE_NAMES = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"} | \
    {f"{p}{d}" for p in ("COM", "LPT") for d in "123456789"}


class Folder:
    def __init__(self, rel):
        self.rel = rel          # "/"-separated path inside the product folder, "" for the top
        self.files = []         # (name, size)
        self.folders = []       # names of subfolders


class ProductTree:
    def __init__(self, root):
        self.root = root
        self.folders = {}       # rel -> Folder, parents before children
        self.total_size = 0
        self.file_count = 0

    def subtree(self, rel):
        """Folders at and below `rel`, parents first."""
        prefix = rel + "/" if rel else ""
        return [f for r, f in self.folders.items() if r == rel or r.startswith(prefix)]


def name_problem(name):
    """Why Windows would refuse or change this file or folder name, or None."""
    if any(0xDC80 <= ord(c) <= 0xDCFF for c in name):
        return "is not valid UTF-8"
    bad = sorted({c for c in name if c in _FORBIDDEN_CHARS})
    if bad:
        shown = " ".join(repr(c) if c.isprintable() else f"\\x{ord(c):02x}" for c in bad)
        return f"holds characters Windows forbids in names ({shown})"
    if name.endswith((".", " ")):
        return "ends with a dot or a space, which Windows drops"
    if name.split(".")[0].rstrip(" ").upper() in _DEVICE_NAMES:
        return "is a device name on Windows"
    for token in _PLACEHOLDERS:
        if token in name:
            return f"holds {token}, which the engine replaces in the lists' paths"
    return None


def folded(name):
    """The name as Windows compares names: each character upper-cased on its
    own ("ß" stays, where Python's upper() would make it "SS")."""
    return "".join(c.upper() if len(c.upper()) == 1 else c for c in name)


def windows_path(rel):
    return rel.replace("/", "\\")


def scan(root):
    """Walks the product folder. Returns (tree, problems); every problem is a
    line for the user, and a tree with problems must not be packed."""
    problems = []
    tree = ProductTree(root)
    if not os.path.isdir(root):
        return tree, [f"{root}: not a folder"]

    def walk(rel):
        folder = Folder(rel)
        tree.folders[rel] = folder
        path = os.path.join(root, rel) if rel else root
        try:
            entries = sorted(os.scandir(path), key=lambda e: e.name)
        except OSError as e:
            problems.append(f"{rel or '.'}: cannot be listed ({e.strerror})")
            return
        seen = {}
        children = []
        for entry in entries:
            child = f"{rel}/{entry.name}" if rel else entry.name
            why = name_problem(entry.name)
            if why:
                problems.append(f"{child}: the name {why}")
                continue
            key = folded(entry.name)
            if key in seen:
                problems.append(f"{child}: differs from {seen[key]} only in letter case; "
                                "Windows keeps one of them")
                continue
            seen[key] = child
            if len(windows_path(child)) > MAX_RELATIVE_PATH:
                problems.append(f"{child}: the path is longer than {MAX_RELATIVE_PATH} characters, "
                                "too long below an install folder")
                continue
            try:
                info = entry.stat(follow_symlinks=False)
            except OSError as e:
                problems.append(f"{child}: cannot be read ({e.strerror})")
                continue
            if stat.S_ISLNK(info.st_mode):
                problems.append(f"{child}: is a symbolic link; put the file or folder itself there")
            elif stat.S_ISDIR(info.st_mode):
                folder.folders.append(entry.name)
                children.append(child)
            elif stat.S_ISREG(info.st_mode):
                if not os.access(entry.path, os.R_OK):
                    problems.append(f"{child}: cannot be read")
                    continue
                if info.st_size > MAX_FILE_SIZE:
                    problems.append(f"{child}: {info.st_size} bytes; files over {MAX_FILE_SIZE >> 30} GB "
                                    "cannot be unpacked by the setup program")
                    continue
                folder.files.append((entry.name, info.st_size))
                tree.total_size += info.st_size
                tree.file_count += 1
            else:
                problems.append(f"{child}: is not a regular file or folder")
        for child in children:
            walk(child)

    walk("")
    if tree.total_size > MAX_TOTAL_SIZE:
        problems.append(f"the product folder holds {tree.total_size} bytes; more than "
                        f"{MAX_TOTAL_SIZE >> 30} GB cannot be packed into one setup program")
    return tree, problems


def _dst(base, rel, top):
    """The install-side folder of product folder `rel` below the tree top."""
    inner = rel[len(top):].lstrip("/") if top else rel
    return base + ("\\" + windows_path(inner) if inner else "")


def install_entries(tree, top, base):
    """"mkdir" and "copyfile" for every folder at and below `top` (parents
    first), copying from the unpacked product below the engine's folder into
    `base`."""
    entries = []
    for folder in tree.subtree(top):
        dst = _dst(base, folder.rel, top)
        entries.append({"action": "mkdir", "dirname": dst})
        if folder.files:
            src = "$CURRENTPATH$Assembly" + ("\\" + windows_path(folder.rel) if folder.rel else "")
            entries.append({"action": "copyfile", "src": src + "\\*.*", "dst": dst + "\\"})
    return entries


def uninstall_entries(tree, top, base):
    """"delfile" and "deldir" for the same folders, deepest first, so each
    folder is empty when it is removed."""
    folders = tree.subtree(top)
    folders.sort(key=lambda f: (-(f.rel.count("/") + 1 if f.rel else 0), f.rel))
    entries = []
    for folder in folders:
        dst = _dst(base, folder.rel, top)
        entries.append({"action": "delfile", "path": dst + "\\*.*"})
        entries.append({"action": "deldir", "path": dst, "empty": "need"})
    return entries
