"""Setup lists written by a product team, with tree entries filled in.

A team writes its lists as the engine reads them and puts, where the files
of a folder belong, one entry of the packaging verb "@tree":

    {"action": "@tree", "folder": "app", "dst": "$PROGRAMDIR$\\\\App"}

"folder" is a folder inside the product folder ("" for all of it), "dst"
where it goes. In the install list the entry becomes "mkdir"/"copyfile"
pairs for that folder and every folder below it; in the uninstall list it
becomes "delfile"/"deldir" pairs, deepest folder first. A list without
"@tree" entries is shipped byte for byte as it was written.
"""
import json
import re

import product_tree

TREE_VERB = "@tree"
_MARKER = re.compile(r'"action"\s*:\s*"@tree"')


class ListError(Exception):
    pass


def has_markers(text):
    return bool(_MARKER.search(text))


def strip_bom(data):
    return data[3:] if data.startswith(b"\xef\xbb\xbf") else data


def expand(data, tree, uninstall, name):
    """The list bytes to ship: `data` as given, or, when it holds tree
    entries, the list with those entries replaced. Raises ListError."""
    text = strip_bom(data).decode("utf-8", errors="strict") if data else ""
    if not has_markers(text):
        return data
    try:
        root = json.loads(text)
    except json.JSONDecodeError as e:
        raise ListError(f"{name}: a list with \"{TREE_VERB}\" entries must be plain JSON "
                        f"(no comments or trailing commas): {e}") from None
    components = root.get("installs") if isinstance(root, dict) else None
    if not isinstance(components, list):
        raise ListError(f"{name}: no \"installs\" array")
    for ci, component in enumerate(components):
        actions = component.get("actions") if isinstance(component, dict) else None
        if not isinstance(actions, list):
            continue
        expanded = []
        for ai, action in enumerate(actions):
            if not (isinstance(action, dict) and action.get("action") == TREE_VERB):
                expanded.append(action)
                continue
            where = f"{name}: installs[{ci}].actions[{ai}]"
            folder, dst = action.get("folder"), action.get("dst")
            if not isinstance(folder, str) or not isinstance(dst, str) or not dst:
                raise ListError(f"{where}: \"{TREE_VERB}\" needs the texts \"folder\" and \"dst\"")
            folder = folder.replace("\\", "/").strip("/")
            if folder in (".",):
                folder = ""
            if folder not in tree.folders:
                raise ListError(f"{where}: the product folder has no folder \"{folder}\"")
            dst = dst.rstrip("\\")
            make = product_tree.uninstall_entries if uninstall else product_tree.install_entries
            expanded.extend(make(tree, folder, dst))
        component["actions"] = expanded
    return (json.dumps(root, indent=4, ensure_ascii=False) + "\n").encode("utf-8")


def uncopied_files(data, tree):
    """Files of the product folder that no "copyfile" of the install list
    copies (relative "/" paths), or None when the list is not plain JSON."""
    try:
        root = json.loads(strip_bom(data).decode("utf-8"))
        components = root["installs"]
    except (ValueError, KeyError, TypeError):
        return None
    prefix = "$CURRENTPATH$Assembly\\"
    folders, files = set(), set()
    for component in components if isinstance(components, list) else []:
        actions = component.get("actions") if isinstance(component, dict) else None
        for action in actions if isinstance(actions, list) else []:
            src = action.get("src") if isinstance(action, dict) and action.get("action") == "copyfile" else None
            if not isinstance(src, str) or not src.startswith(prefix):
                continue
            rel = src[len(prefix):].replace("\\", "/")
            if rel.endswith("*.*"):
                folders.add(product_tree.folded(rel[:-3].strip("/")))
            else:
                files.add(product_tree.folded(rel))
    missing = []
    for folder in tree.folders.values():
        for name, _ in folder.files:
            rel = f"{folder.rel}/{name}" if folder.rel else name
            if product_tree.folded(folder.rel) not in folders and product_tree.folded(rel) not in files:
                missing.append(rel)
    return missing
