#!/usr/bin/env python3
"""Plants one fault at a time in a copy of a sound exe and asserts that check-pe.py names it.

    check-pe-faults.py EXE MACHINE
"""
import importlib
import os
import struct
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
check_pe = importlib.import_module("check-pe")


def main():
    path, machine = sys.argv[1], sys.argv[2]
    image = check_pe.Image(path)
    dll, names, first, descriptor = image.delay_imports()[0]
    slot = image.offset(first)
    thunk = image.pointer(first)
    # The first function the exe imports at start: its name, after the hint.
    first_name = image.u32(image.u32(image.directories[check_pe.IMPORT_DIRECTORY][0]))
    name_at = image.offset(first_name + 2)
    # The thunk's first instruction names its slot: "mov $slot,%eax", "lea slot(%rip),%rax".
    thunk_operand = image.offset(thunk - image.image_base) + (1 if image.pointer_size == 4 else 3)
    other_slot = (struct.unpack_from("<I", image.data, thunk_operand)[0] + image.pointer_size).to_bytes(4, "little")
    relocations = image.offset(image.directories[check_pe.BASE_RELOCATION_DIRECTORY][0])
    pe = struct.unpack_from("<I", image.data, 0x3C)[0]

    def reloc_entry_of(rva):
        at = relocations
        while True:
            page, block = struct.unpack_from("<II", image.data, at)
            for i in range((block - 8) // 2):
                if page + (struct.unpack_from("<H", image.data, at + 8 + 2 * i)[0] & 0xFFF) == rva:
                    return at + 8 + 2 * i
            at += block

    faults = [
        # The 32-bit exe of the first late loading: every slot 0 in the file.
        ("slot 0", slot, bytes(image.pointer_size), "holds 0x0, not an instruction"),
        ("thunk of another slot", thunk_operand, other_slot, "does not hand the slot"),
        ("slot without relocation", reloc_entry_of(first), b"\0\0", "has no base relocation"),
        ("a DLL's late-binding descriptor lost", image.offset(descriptor), b"\0", "a slot that nothing fills"),
        ("machine", pe + 4, b"\0\0", "machine 0x0"),
        ("console subsystem", pe + 24 + 68, b"\3\0", "subsystem 3"),
    ]
    if os.path.isdir(check_pe.WINE_DLLS[machine]):  # 32-bit Wine may not be installed
        faults.append(("import Wine lacks", name_at, b"X", "which does not export it"))
    if image.pointer_size == 4:  # 64-bit code addresses its data relative to itself
        faults.append(("code without relocation", reloc_entry_of(thunk - image.image_base + 1), b"\0\0",
                       "without a base relocation"))
    # The code and symbols are read once: a fault that leaves the code as it is needs no new
    # disassembly of a large exe.
    code, symbols = check_pe.Code(path), check_pe.symbols_of(path)
    code_start, code_end = [(s[3], s[3] + s[4]) for s in image.sections if s[5] & 0x20000000][0]
    failed = 0
    with tempfile.TemporaryDirectory() as folder:
        for what, at, new, expected in [(None, 0, b"", None)] + faults:
            data = bytearray(image.data)
            data[at : at + len(new)] = new
            copy = os.path.join(folder, "Pelorin.exe")
            with open(copy, "wb") as file:
                file.write(data)
            in_code = code_start <= at < code_end
            found = check_pe.check(copy, machine, check_pe.WINE_DLLS[machine], None if in_code else code,
                                   None if in_code else symbols)[0]
            named = not found if expected is None else any(expected in fault for fault in found)
            verdict = ("passes" if named else "FAILS: %s" % found) if expected is None else \
                ("named" if named else "MISSED, check-pe found: %s" % found)
            print("check-pe-faults: %s: %s" % (what or "as built", verdict))
            failed += not named
    print("check-pe-faults: %d planted faults (the first late-bound slot: %s!%s), %d missed" %
          (len(faults), dll, names[0], failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
