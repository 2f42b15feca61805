#!/usr/bin/env python3
"""Runs the Windows builds under Wine on every end-to-end scenario and
compares each outcome with the Linux build's run on the same image: exit
code, console, log lines (time stamps aside) and the tree of copied drivers
must be identical.

Usage: compare_with_wine.py SCENARIO_DIR LINUX_EXE X86_EXE X64_EXE WORK_DIR

SCENARIO_DIR holds one image per scenario (the end-to-end tests export them
with DRAVOLIN_SCENARIO_EXPORT). Every scenario runs in a 64-bit Wine prefix.
An image of a 64-bit machine is run by X86_EXE, the 32-bit product, which
there is under WOW64 as on the real machine (registry and System32
redirection, IsWow64Process true). An image of a 32-bit machine is run by
X64_EXE, the same sources built as a 64-bit program: it is not under WOW64,
so it sees a 32-bit system (a fully 32-bit prefix is not usable where 32-bit
programs run emulated).
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

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
            if os.path.lexists(dst):
                # It may be a hard link into the base prefix: never write through it.
                os.remove(dst)
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
    # Output goes through files, not pipes: Wine's services, started by the
    # first program of a prefix, inherit its handles and outlive it.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        result = subprocess.run(command, cwd=cwd, env=env, stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                timeout=timeout)
        out.seek(0)
        err.seek(0)
        result.stdout, result.stderr = out.read(), err.read()
    return result


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


# Wine's 64-bit loader. Plain "wine" prefers the 32-bit loader once the
# 32-bit Wine is installed, and would then run Wine's own tools (reg, winecfg,
# wineboot) as 32-bit programs: emulated, slow, and writing the registry
# below WOW6432Node. A 32-bit program given to this loader still runs as one.
WINE64 = shutil.which("wine64") or "/usr/lib/wine/wine64"


def wine_env(prefix):
    env = dict(os.environ)
    env.update({"WINEPREFIX": prefix, "WINEARCH": "win64", "WINEDEBUG": "-all",
                # No Mono, no Gecko; and no debugger on a crash (Wine starts
                # winedbg even when the AeDebug key names none), which would
                # hold the crashed process: it ends with its exception code.
                "WINEDLLOVERRIDES": "mscoree,mshtml=;winedbg.exe=d", "DISPLAY": "",
                # The reserve qemu-user takes for a 32-bit process: with this
                # one a program starts in seconds; a larger one takes about a
                # minute and 0x80000000 does not start at all.
                "QEMU_RESERVED_VA": "0x82000000"})
    return env


def start_prefix(env):
    # One server for all the programs of a prefix; without it each program
    # would start the server and Wine's services anew (seconds each).
    run(["wineserver", "-p"], None, env, timeout=60)


def end_prefix(env):
    # Killing rather than waiting: a crashed Wine service must not hold the run.
    run(["wineserver", "-k"], None, env, timeout=60)


def make_base_prefix(work):
    """A fresh 64-bit prefix with both halves of Wine; every scenario runs in
    a copy of it."""
    base = os.path.join(work, "base-prefix")
    shutil.rmtree(base, ignore_errors=True)
    os.makedirs(base)
    env = wine_env(base)
    start_prefix(env)
    try:
        result = run([WINE64, "wineboot", "-i"], work, env, timeout=900)
        if result.returncode != 0 or not os.path.isdir(os.path.join(base, "drive_c", "windows", "syswow64")):
            raise RuntimeError("wineboot could not make a 64-bit prefix with its 32-bit half: %s"
                               % result.stderr.decode(errors="replace"))
    finally:
        end_prefix(env)
    return base


def copy_prefix(base, prefix):
    """Copies the base prefix; the system folders (most of its bytes, never
    written by a run) become hard links."""
    shared = {os.path.join("drive_c", "windows", name) for name in ("system32", "syswow64", "winsxs")}

    def copy(src, dst):
        if any(os.path.relpath(src, base).startswith(folder + os.sep) for folder in shared):
            os.link(src, dst)
        else:
            shutil.copy2(src, dst)

    shutil.copytree(base, prefix, symlinks=True, copy_function=copy)


def import_registry(image, env, work):
    registry = os.path.join(image, "registry")
    for name in sorted(os.listdir(registry)):
        if name.lower().endswith(".reg"):
            # The 64-bit reg writes the keys where the file names them, as
            # regedit does on a 64-bit machine.
            result = run([WINE64, "reg", "import", os.path.join(registry, name), "/reg:64"], work, env)
            if result.returncode != 0:
                raise RuntimeError("reg import %s failed: %s" % (name, result.stderr.decode(errors="replace")))


def run_wine(exe, image, major, base, work):
    prefix = os.path.join(work, "prefix")
    copy_prefix(base, prefix)
    env = wine_env(prefix)
    start_prefix(env)
    try:
        if major < 6:
            # The image is of Windows XP: make Wine answer with its version.
            run([WINE64, "winecfg", "-v", "winxp64"], work, env)
        import_registry(image, env, work)
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
        # The program runs in C:\, the current directory the stand-in gives
        # every image, so that relative paths name the same folders.
        cwd = os.path.join(prefix, "drive_c")
        result = run([WINE64, exe], cwd, env, timeout=300)
    finally:
        end_prefix(env)
    log = os.path.join(cwd, "Dravolin.log")
    outcome = {
        "exit code": result.returncode,
        # The C runtime writes the console in text mode: CR LF line ends.
        "console": result.stdout.decode("utf-8", "replace").replace("\r\n", "\n"),
        "log": log_lines(open(log, "rb").read(), wine=True) if os.path.exists(log) else None,
        "drivers": tree(drivers_folder(os.path.join(prefix, "drive_c"))),
    }
    shutil.rmtree(prefix, ignore_errors=True)
    return outcome


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
    started = time.monotonic()
    scenario_dir, linux_exe, x86_exe, x64_exe, work_dir = (os.path.abspath(arg) for arg in sys.argv[1:6])
    os.makedirs(work_dir, exist_ok=True)
    base = make_base_prefix(work_dir)
    print("Wine prefix made in %.0f s" % (time.monotonic() - started))
    # is 64-bit machine -> [identical, compared]
    counts = {True: [0, 0], False: [0, 0]}
    for name in sorted(os.listdir(scenario_dir)):
        image = os.path.join(scenario_dir, name)
        is64, major = machine_facts(image)
        kind = "32-bit product under WOW64" if is64 else "64-bit build"
        work = os.path.join(work_dir, "runs", name)
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        counts[is64][1] += 1
        scenario_started = time.monotonic()
        linux = run_linux(linux_exe, image, work)
        try:
            wine = run_wine(x86_exe if is64 else x64_exe, image, major, base, work)
        except (RuntimeError, subprocess.TimeoutExpired) as error:
            print("%s (%s): could not be run under Wine: %s" % (name, kind, error))
            continue
        if linux != wine:
            print(describe(name, linux, wine) + " (%s)" % kind)
        else:
            counts[is64][0] += 1
            print("same under Wine (%s): %s (exit code %d, %.0f s)"
                  % (kind, name, linux["exit code"], time.monotonic() - scenario_started))
    identical = counts[True][0] + counts[False][0]
    compared = counts[True][1] + counts[False][1]
    print("Wine comparison: %d of %d scenarios of 64-bit machines (32-bit product under WOW64) identical, "
          "%d of %d of 32-bit machines (64-bit build) identical; %.0f s"
          % (counts[True][0], counts[True][1], counts[False][0], counts[False][1], time.monotonic() - started))
    if counts[True][1] == 0 or counts[False][1] == 0:
        print("compare_with_wine: *** no scenario of one kind of machine was exported ***")
    print("%d passed, %d failed" % (identical, compared - identical))
    return 0 if identical == compared and counts[True][1] and counts[False][1] else 1


if __name__ == "__main__":
    sys.exit(main())
