#!/usr/bin/env python3
"""Runs the Windows build under Wine on the end-to-end scenarios of 32-bit
machines and compares every outcome with the Linux build's run on the same
image: exit code, console, log lines (time stamps aside) and the tree of
copied drivers must be identical.

Usage: compare_with_wine.py SCENARIO_DIR LINUX_EXE WINDOWS_EXE WORK_DIR

SCENARIO_DIR holds one image per scenario (the end-to-end tests export them
with DRAVOLIN_SCENARIO_EXPORT). A 64-bit Windows program is not under WOW64,
so under Wine it sees a 32-bit system: only images of 32-bit machines take
part.
"""
import os
import re
import shutil
import subprocess
import sys

INSTALL_DRIVERS = ("Program Files", "Tessaro", "Pelvane", "Tessaro", "Drivers")


def read_text(path, encoding):
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le", "replace")
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    return data.decode(encoding, "replace")


def machine_facts(image):
    """(is 64-bit, major version) from the image's .reg files, as the stand-in reads them."""
    text = ""
    registry = os.path.join(image, "registry")
    for name in sorted(os.listdir(registry)):
        if name.lower().endswith(".reg"):
            text += read_text(os.path.join(registry, name), "utf-8") + "\n"
    is64 = re.search(r'"PROCESSOR_ARCHITECTURE"="AMD64"', text, re.I) is not None
    major = re.search(r'"CurrentMajorVersionNumber"=dword:([0-9a-fA-F]+)', text)
    return is64, int(major.group(1), 16) if major else 10


def find_case_insensitive(folder, name):
    if os.path.isdir(folder):
        for entry in os.listdir(folder):
            if entry.lower() == name.lower():
                return os.path.join(folder, entry)
    return os.path.join(folder, name)


def merge_tree(source, target):
    """Copies source into target, matching existing names ignoring case, as
    Windows would see them (the prefix has 'windows', an image 'Windows')."""
    os.makedirs(target, exist_ok=True)
    for entry in os.listdir(source):
        src = os.path.join(source, entry)
        dst = find_case_insensitive(target, entry)
        if os.path.isdir(src):
            merge_tree(src, dst)
        else:
            shutil.copy2(src, dst)


def tree(folder):
    """Every file (relative path -> bytes) and folder (path + '/') below folder."""
    result = {}
    if not os.path.isdir(folder):
        return result
    for root, dirs, files in os.walk(folder):
        rel = os.path.relpath(root, folder)
        for d in dirs:
            result[os.path.normpath(os.path.join(rel, d)) + "/"] = b""
        for f in files:
            with open(os.path.join(root, f), "rb") as fh:
                result[os.path.normpath(os.path.join(rel, f))] = fh.read()
    return result


def drivers_folder(drive_c):
    path = drive_c
    for part in INSTALL_DRIVERS:
        path = find_case_insensitive(path, part)
    return path


# Wine words some system messages in its own way; these are the texts of
# Windows for the same codes (the Linux stand-in gives the Windows ones). Any
# other text still counts as a difference.
WINE_MESSAGES = {
    "File not found.": "The system cannot find the file specified.",
    "Path not found.": "The system cannot find the path specified.",
    "Access denied.": "Access is denied.",
    "Sharing violation.": "The process cannot access the file because it is being used by another process.",
    "Invalid name.": "The filename, directory name, or volume label syntax is incorrect.",
    "Disk full.": "There is not enough space on the disk.",
}


def log_lines(data, wine=False):
    lines = data.decode("latin-1").split("\r\n")
    lines = [re.sub(r"^\d\d:\d\d:\d\d - ", "", line) for line in lines]
    if wine:
        for i, line in enumerate(lines):
            match = re.match(r"^(.*[Rr]eason: )(.*)\r$", line)
            if match and match.group(2) in WINE_MESSAGES:
                lines[i] = match.group(1) + WINE_MESSAGES[match.group(2)] + "\r"
    return lines


def run(command, cwd, env=None, timeout=120):
    return subprocess.run(command, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, timeout=timeout)


def run_linux(exe, image, work):
    copy = os.path.join(work, "linux-image")
    shutil.copytree(image, copy, symlinks=True)
    cwd = os.path.join(work, "linux-cwd")
    os.makedirs(cwd)
    result = run([exe, "--image", copy], cwd)
    log = os.path.join(cwd, "Dravolin.log")
    return {
        "exit code": result.returncode,
        "console": result.stdout.decode("utf-8", "replace"),
        "log": log_lines(open(log, "rb").read()) if os.path.exists(log) else None,
        "drivers": tree(drivers_folder(os.path.join(copy, "drive_c"))),
    }


def wine_env(prefix):
    env = dict(os.environ)
    env.update({"WINEPREFIX": prefix, "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=",
                "DISPLAY": ""})
    return env


def make_base_prefix(work):
    base = os.path.join(work, "base-prefix")
    if not os.path.isdir(os.path.join(base, "drive_c")):
        shutil.rmtree(base, ignore_errors=True)
        env = wine_env(base)
        run(["wineboot", "-i"], work, env, timeout=300)
        run(["wineserver", "-w"], work, env, timeout=300)
    return base


def run_wine(exe, image, major, base, work):
    prefix = os.path.join(work, "prefix")
    shutil.copytree(base, prefix, symlinks=True)
    env = wine_env(prefix)
    if major < 6:
        # The image is of Windows XP: make Wine answer with its version.
        run(["wine", "winecfg", "-v", "winxp64"], work, env)
    registry = os.path.join(image, "registry")
    for name in sorted(os.listdir(registry)):
        if name.lower().endswith(".reg"):
            result = run(["wine", "reg", "import", os.path.join(registry, name)], work, env)
            if result.returncode != 0:
                raise RuntimeError("reg import %s failed: %s" % (name, result.stderr.decode(errors="replace")))
    for entry in sorted(os.listdir(image)):
        match = re.fullmatch(r"drive_([a-z])", entry)
        if not match:
            continue
        letter = match.group(1)
        if letter == "c":
            merge_tree(os.path.join(image, entry), os.path.join(prefix, "drive_c"))
        else:
            target = os.path.join(work, "drive_" + letter)
            shutil.copytree(os.path.join(image, entry), target, symlinks=True)
            link = os.path.join(prefix, "dosdevices", letter + ":")
            if os.path.lexists(link):
                os.remove(link)
            os.symlink(target, link)
    cwd = os.path.join(work, "wine-cwd")
    os.makedirs(cwd)
    result = run(["wine", exe], cwd, env)
    run(["wineserver", "-w"], work, env)
    log = os.path.join(cwd, "Dravolin.log")
    return {
        "exit code": result.returncode,
        # The C runtime writes the console in text mode: CR LF line ends.
        "console": result.stdout.decode("utf-8", "replace").replace("\r\n", "\n"),
        "log": log_lines(open(log, "rb").read(), wine=True) if os.path.exists(log) else None,
        "drivers": tree(drivers_folder(os.path.join(prefix, "drive_c"))),
    }


def describe(name, linux, wine):
    lines = ["%s: the Windows build under Wine differs from the Linux build" % name]
    for key in linux:
        if linux[key] != wine[key]:
            if key == "drivers":
                only_linux = sorted(set(linux[key]) - set(wine[key]))
                only_wine = sorted(set(wine[key]) - set(linux[key]))
                changed = sorted(k for k in linux[key] if k in wine[key] and linux[key][k] != wine[key][k])
                lines.append("  drivers: only on Linux %s, only under Wine %s, different bytes %s"
                             % (only_linux, only_wine, changed))
            else:
                lines.append("  %s:\n    Linux: %r\n    Wine:  %r" % (key, linux[key], wine[key]))
    return "\n".join(lines)


def main():
    scenario_dir, linux_exe, windows_exe, work_dir = (os.path.abspath(arg) for arg in sys.argv[1:5])
    os.makedirs(work_dir, exist_ok=True)
    base = make_base_prefix(work_dir)
    compared, failed, skipped = 0, 0, 0
    for name in sorted(os.listdir(scenario_dir)):
        image = os.path.join(scenario_dir, name)
        is64, major = machine_facts(image)
        if is64:
            skipped += 1
            continue
        work = os.path.join(work_dir, "runs", name)
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        linux = run_linux(linux_exe, image, work)
        wine = run_wine(windows_exe, image, major, base, work)
        compared += 1
        if linux != wine:
            failed += 1
            print(describe(name, linux, wine))
        else:
            print("same under Wine: %s (exit code %d)" % (name, linux["exit code"]))
    print("Wine comparison: %d scenarios compared, %d of 64-bit machines left out" % (compared, skipped))
    print("%d passed, %d failed" % (compared - failed, failed))
    return 1 if failed or compared == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
