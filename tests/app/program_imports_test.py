#!/usr/bin/env python3
"""Fails when a program imports a DLL that Windows might load from the program's
own folder.

A statically imported DLL is looked up before the program runs a line, so only
DLLs that the loader never searches for are safe to import:
  - the KnownDLLs: the loader maps them from System32's section objects, never
    from a folder. Listed are those that are KnownDLLs on every Windows from 7 to
    11 (the registry key ...\\Session Manager\\KnownDLLs of each), so that the list
    holds on the oldest system the manifest names;
  - ntdll.dll, which every process has mapped before its imports are resolved;
  - comctl32.dll, which the manifest binds to the side-by-side Common Controls 6
    in WinSxS, not to a folder's copy;
  - the API sets (api-ms-win-*, ext-ms-win-*), names the loader resolves to
    System32 DLLs through its schema.
Everything else (bthprops.cpl, version.dll, ...) is loaded at run time from
System32.

It also fails on an import of a function the oldest system of the manifest
(Windows 7) lacks, from the list below: the per-monitor DPI functions of Windows
8.1 and 10, which a program with a per-monitor DPI-aware window reaches for first.
A statically imported one would stop the program from starting there; they are
looked up at run time with a fallback.

usage: program_imports_test.py OBJDUMP PROGRAM...
"""

import re
import subprocess
import sys

KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "difxapi.dll", "gdi32.dll", "imagehlp.dll",
    "imm32.dll", "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll",
    "oleaut32.dll", "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
}
ALWAYS_FROM_SYSTEM = {"ntdll.dll", "comctl32.dll"}
NEWER_THAN_WINDOWS_7 = {
    "GetDpiForWindow", "GetDpiForSystem", "AdjustWindowRectExForDpi", "GetSystemMetricsForDpi",
    "SystemParametersInfoForDpi", "EnableNonClientDpiScaling", "SetThreadDpiAwarenessContext",
    "SetProcessDpiAwarenessContext", "GetDpiForMonitor", "SetProcessDpiAwareness", "GetWindowDpiAwarenessContext",
    "AreDpiAwarenessContextsEqual", "GetThreadDpiAwarenessContext", "LogicalToPhysicalPointForPerMonitorDPI",
}
API_SET = re.compile(r"^(api|ext)-ms-win-[a-z0-9-]+\.dll$")


def import_listing(objdump, program):
    return subprocess.run([objdump, "-p", program], check=True, capture_output=True, text=True).stdout


def imported_dlls(listing):
    return [name.strip().lower() for name in re.findall(r"^\s*DLL Name:\s*(\S+)", listing, re.MULTILINE)]


def imported_functions(listing):
    # Lines of the import tables: "\t<hint-name RVA> <ordinal hint> <name>".
    return set(re.findall(r"^\s+[0-9a-f]+\s+\d+\s+(\w+)$", listing, re.MULTILINE))


def outside_the_system(dlls):
    return [dll for dll in dlls if dll not in KNOWN_DLLS | ALWAYS_FROM_SYSTEM and not API_SET.match(dll)]


def main(objdump, programs):
    failed = False
    for program in programs:
        listing = import_listing(objdump, program)
        dlls = imported_dlls(listing)
        # A program imports kernel32 at least: no DLL read means the listing was not understood.
        if "kernel32.dll" not in dlls:
            print(f"{program}: no import of kernel32.dll found in objdump's listing ({dlls})")
            failed = True
            continue
        planted = outside_the_system(dlls)
        print(f"{program}: {', '.join(sorted(set(dlls)))}")
        if planted:
            print(f"{program}: imports DLLs outside the KnownDLLs: {', '.join(planted)}")
            failed = True
        newer = sorted(imported_functions(listing) & NEWER_THAN_WINDOWS_7)
        if newer:
            print(f"{program}: imports functions Windows 7 lacks: {', '.join(newer)}")
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2:]))
