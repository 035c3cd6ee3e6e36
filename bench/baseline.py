#!/usr/bin/python3
"""The least a batch replacement can cost: one office session, one load and one store per document.

Usage: baseline.py --copy-to DIR --pair FIND REPLACEMENT [--pair ...] FOLDER

Copies the documents of FOLDER to DIR/<folder name>/ and replaces in the copies, each pair with a
document-wide replace-all, as quorvane-batch does with the same options (replacements in 「」).
Prints one JSON line: office start seconds, total seconds, documents.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

try:
    import uno
    from com.sun.star.beans import PropertyValue
    from com.sun.star.connection import NoConnectException
except ImportError:
    sys.exit("baseline.py: this Python (%s) has no LibreOffice 'uno' module; run it with the "
             "system's /usr/bin/python3 and the python3-uno package" % sys.executable)

SOFFICE = "/usr/lib/libreoffice/program/soffice"


def prop(name, value):
    p = PropertyValue()
    p.Name = name
    p.Value = value
    return p


def start_office(profile, pipe):
    office = subprocess.Popen(
        [SOFFICE, "-env:UserInstallation=" + uno.systemPathToFileUrl(profile), "--headless",
         "--invisible", "--norestore", "--nologo", "--nodefault",
         "--accept=pipe,name=%s;urp;" % pipe],
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext(
        "com.sun.star.bridge.UnoUrlResolver", local)
    deadline = time.monotonic() + 120
    while True:
        try:
            context = resolver.resolve(
                "uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            break
        except NoConnectException:
            if office.poll() is not None or time.monotonic() > deadline:
                raise SystemExit("baseline: the office did not start")
            time.sleep(0.05)
    desktop = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop",
                                                                context)
    return office, desktop


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--copy-to", required=True)
    parser.add_argument("--pair", nargs=2, action="append", default=[])
    parser.add_argument("folder")
    args = parser.parse_args()

    began = time.monotonic()
    folder = os.path.abspath(args.folder)
    target = os.path.join(os.path.abspath(args.copy_to), os.path.basename(folder))
    os.makedirs(target, exist_ok=True)
    names = sorted(n for n in os.listdir(folder) if os.path.isfile(os.path.join(folder, n)))

    with tempfile.TemporaryDirectory(prefix="quorvane-baseline-") as profile:
        office, desktop = start_office(profile, "quorvane_baseline_%d" % os.getpid())
        started = time.monotonic()
        try:
            for name in names:
                copy = os.path.join(target, name)
                shutil.copyfile(os.path.join(folder, name), copy)
                doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(copy), "_blank", 0,
                                                   (prop("Hidden", True),))
                for find, replacement in args.pair:
                    descriptor = doc.createReplaceDescriptor()
                    descriptor.SearchString = find
                    descriptor.ReplaceString = "「" + replacement + "」"
                    descriptor.SearchCaseSensitive = True
                    doc.replaceAll(descriptor)
                doc.store()
                doc.close(True)
        finally:
            try:
                desktop.terminate()
            except Exception as e:  # the office may already be gone; it is waited for below
                print("baseline: terminate: %s" % e, file=sys.stderr)
            try:
                office.wait(timeout=60)
            except subprocess.TimeoutExpired:
                office.kill()
                office.wait()
    ended = time.monotonic()
    print(json.dumps({"start": started - began, "total": ended - began, "documents": len(names)}))


if __name__ == "__main__":
    main()
