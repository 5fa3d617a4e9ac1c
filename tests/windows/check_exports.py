"""Checks that each DLL exports exactly the given names, each by name and none
by ordinal only, and carries its own file name as its export name.

    check_exports.py OBJDUMP NAMES DLL...     (NAMES: comma-separated)
"""
import os
import re
import subprocess
import sys


def exports(objdump, dll):
    text = subprocess.run([objdump, "-p", dll], check=True, capture_output=True, text=True).stdout
    m = re.search(r"^Name\s+[0-9a-f]+ (\S+)$", text, re.M)
    dll_name = m.group(1) if m else None
    addresses = re.search(r"Export Address Table -- Ordinal Base \d+\n((?:\t\[.*\n)*)", text)
    named = re.search(r"\[Ordinal/Name Pointer\] Table\n((?:\t\[.*\n)*)", text)
    n_addresses = len(addresses.group(1).splitlines()) if addresses else 0
    names = [line.split("]", 1)[1].strip() for line in named.group(1).splitlines()] if named else []
    return dll_name, n_addresses, names


def main():
    objdump, wanted = sys.argv[1], sys.argv[2].split(",")
    failed = False
    for dll in sys.argv[3:]:
        dll_name, n_addresses, names = exports(objdump, dll)
        problems = []
        if names != wanted:
            problems.append(f"names {names}, want {wanted}")
        if n_addresses != len(wanted):
            problems.append(f"{n_addresses} exported addresses (an export by ordinal only?)")
        if dll_name != os.path.basename(dll):
            problems.append(f"export name {dll_name}")
        print(f"{os.path.basename(dll)}: {'; '.join(problems) or 'exports ' + ', '.join(names)}")
        failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
