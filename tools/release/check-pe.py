#!/usr/bin/env python3
"""Checks a Windows exe as a file, without running it: what the loader and the first call of
each function will find.

    check-pe.py EXE MACHINE [WINE_DLLS]

MACHINE is i386 or amd64. WINE_DLLS is the folder of Wine's own DLLs for that machine (by
default Debian's: i386-windows or x86_64-windows under /usr/lib/<triplet>/wine/); they are
PE files, read here whether or not this machine runs programs of that kind.

- The header: the machine asked for, the GUI subsystem.
- Every import, bound at start or on first call, names a function (or an ordinal) that Wine's
  DLL of that name exports.
- Every late-bound slot holds, in the file, the address of its binding thunk: code that hands
  the slot and its DLL's descriptor to the one binding helper and jumps to what it returns.
- Every slot of the import tables that the code reads is one the loader or the helper fills.
- Every absolute address in the code and in the late-binding slots has a base relocation, so
  the exe still runs where Windows loads it at another base. (Other data is not read for
  addresses: in a 32-bit exe the bytes of a text can read as one.)

Prints one line for each fault and a summary; exits 1 when there is a fault.
"""
import functools
import os
import re
import struct
import subprocess
import sys

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
WINE_DLLS = {
    "i386": "/usr/lib/i386-linux-gnu/wine/i386-windows",
    "amd64": "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows",
}
GUI_SUBSYSTEM = 2
IMPORT_DIRECTORY, BASE_RELOCATION_DIRECTORY = 1, 5
RELOCATION_TYPES = {4: 3, 8: 10}  # pointer size: IMAGE_REL_BASED_HIGHLOW, IMAGE_REL_BASED_DIR64
OBJDUMP = "x86_64-w64-mingw32-objdump"  # reads 32-bit and 64-bit exes alike


class Image:
    """A PE file's headers and its bytes by relative virtual address."""

    def __init__(self, path):
        with open(path, "rb") as file:
            self.data = file.read()
        if self.data[:2] != b"MZ":
            raise ValueError("%s: not an MZ file" % path)
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[pe : pe + 4] != b"PE\0\0":
            raise ValueError("%s: no PE header" % path)
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", self.data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", self.data, optional)[0]
        self.pointer_size = {0x10B: 4, 0x20B: 8}[magic]
        if self.pointer_size == 4:
            self.image_base = struct.unpack_from("<I", self.data, optional + 28)[0]
            directories = optional + 96
        else:
            self.image_base = struct.unpack_from("<Q", self.data, optional + 24)[0]
            directories = optional + 112
        self.image_size = struct.unpack_from("<I", self.data, optional + 56)[0]
        self.subsystem = struct.unpack_from("<H", self.data, optional + 68)[0]
        count = struct.unpack_from("<I", self.data, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i) for i in range(count)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", self.data, table + 40 * i)
            flags = struct.unpack_from("<I", self.data, table + 40 * i + 36)[0]
            self.sections.append((name.rstrip(b"\0").decode("latin-1"), rva, max(virtual_size, raw_size), raw_offset,
                                  raw_size, flags))

    def section_of(self, rva):
        for section in self.sections:
            if section[1] <= rva < section[1] + section[2]:
                return section
        return None

    def offset(self, rva):
        section = self.section_of(rva)
        if section is None or rva - section[1] >= section[4]:
            return None  # outside the image, or in a part the file does not hold (.bss)
        return section[3] + rva - section[1]

    def read(self, rva, size):
        start = self.offset(rva)
        return None if start is None else self.data[start : start + size]

    def u32(self, rva):
        return struct.unpack("<I", self.read(rva, 4))[0]

    def pointer(self, rva):
        return struct.unpack("<" + "IQ"[self.pointer_size // 8], self.read(rva, self.pointer_size))[0]

    def string(self, rva):
        start = self.offset(rva)
        if start is None:
            return None
        end = self.data.find(b"\0", start)
        return self.data[start:end].decode("latin-1") if end >= 0 else None

    def executable(self, rva):
        section = self.section_of(rva)
        return section is not None and section[5] & 0x20000000 != 0  # IMAGE_SCN_MEM_EXECUTE

    def in_image(self, address):
        return self.image_base <= address < self.image_base + self.image_size

    def thunks(self, table_rva):
        """The entries of an import name table: a name, or an ordinal as a number."""
        ordinal_flag = 1 << (8 * self.pointer_size - 1)
        entries = []
        while True:
            entry = self.pointer(table_rva + self.pointer_size * len(entries))
            if entry == 0:
                return entries
            entries.append(entry & 0xFFFF if entry & ordinal_flag else self.string(entry + 2))

    @functools.cache
    def imports(self):
        """(DLL name, names, first slot's RVA) for each DLL the loader binds at start."""
        rva = self.directories[IMPORT_DIRECTORY][0]
        found = []
        while rva:
            names_rva, _, _, name_rva, slots_rva = struct.unpack("<IIIII", self.read(rva, 20))
            if name_rva == 0:
                return found
            found.append((self.string(name_rva), self.thunks(names_rva or slots_rva), slots_rva))
            rva += 20
        return found

    @functools.cache
    def delay_imports(self):
        """(DLL name, names, first slot's RVA, descriptor RVA) for each DLL bound on first call.

        The GNU linker leaves the delay-import directory empty: the descriptors (attributes 1,
        the form with relative addresses) are found where they stand.
        """
        found = []
        for _, rva, _, raw_offset, raw_size, flags in self.sections:
            if flags & 0x02000000:  # IMAGE_SCN_MEM_DISCARDABLE: debugging information, relocations
                continue
            section = self.data[raw_offset : raw_offset + raw_size]
            at = section.find(b"\1\0\0\0")
            while 0 <= at <= raw_size - 32:
                start, at = at, section.find(b"\1\0\0\0", at + 1)
                attributes, name, module, slots, names, bound, unload, stamp = struct.unpack_from(
                    "<8I", section, start)
                if start % 4 or bound or unload or stamp or 0 in (name, module, slots, names):
                    continue
                dll = self.string(name) if self.offset(name) is not None else None
                if dll is None or not dll.lower().endswith(".dll") or self.section_of(module) is None:
                    continue
                if self.offset(slots) is None or self.offset(names) is None:
                    continue
                found.append((dll, self.thunks(names), slots, rva + start))
        return found

    def relocations(self):
        rva, size = self.directories[BASE_RELOCATION_DIRECTORY]
        kinds = {}
        end = rva + size
        while rva < end:
            page, block = struct.unpack("<II", self.read(rva, 8))
            if block < 8:
                break
            for i in range((block - 8) // 2):
                entry = struct.unpack("<H", self.read(rva + 8 + 2 * i, 2))[0]
                if entry >> 12:
                    kinds[page + (entry & 0xFFF)] = entry >> 12
            rva += block
        return kinds

    def exports(self):
        """The names and the ordinals a DLL exports."""
        rva, size = self.directories[0]
        if not size:
            return set(), set()
        _, _, _, _, _, base, functions, names, functions_rva, names_rva, _ = struct.unpack("<IIHHIIIIIII",
                                                                                          self.read(rva, 40))
        ordinals = {base + i for i in range(functions) if self.u32(functions_rva + 4 * i)}
        return {self.string(self.u32(names_rva + 4 * i)) for i in range(names)}, ordinals


class Code:
    """The exe's instructions, as objdump decodes them: address -> (bytes, text)."""

    LINE = re.compile(r"^\s*([0-9a-f]+):\t([0-9a-f ]+?)\s*(?:\t(.*))?$")

    def __init__(self, path):
        listing = subprocess.run([OBJDUMP, "-d", "-w", path], check=True, capture_output=True, text=True).stdout
        self.instructions = {}
        self.order = []
        for line in listing.splitlines():
            match = self.LINE.match(line)
            if not match:
                continue
            address, raw, text = int(match.group(1), 16), bytes.fromhex(match.group(2)), match.group(3)
            # An exe with symbols names the targets: "jmp 14001e020 <name>" for "jmp 0x14001e020".
            text = re.sub(r"(call|jmp)(\s+)([0-9a-f]+) <[^>]*>$", r"\1\2 0x\3", text or "")
            text = re.sub(r"# ([0-9a-f]+) <[^>]*>$", r"# 0x\1", text)
            self.instructions[address] = (raw, text)
            self.order.append(address)
        self.next = {a: b for a, b in zip(self.order, self.order[1:])}

    def run(self, address, limit=48):
        """The instructions from address on, following direct jumps, up to the first return
        or jump through a register."""
        while address in self.instructions and limit:
            raw, text = self.instructions[address]
            yield address, raw, text
            jump = re.match(r"jmp\s+0x([0-9a-f]+)$", text)
            if jump:
                address = int(jump.group(1), 16)
            elif re.match(r"(ret|jmp\s+\*%[re]ax)", text):
                return
            else:
                address = self.next.get(address)
            limit -= 1


def address_of(text, pointer_size):
    """The address an instruction loads or pushes as a constant: "$0x..." on 32-bit, the target
    of a "lea ...(%rip)" on 64-bit."""
    match = re.search(r"\$0x([0-9a-f]+)," if pointer_size == 4 else r"\(%rip\),%\w+\s+# 0x([0-9a-f]+)", text)
    if not match and pointer_size == 4:
        match = re.match(r"push\s+\$0x([0-9a-f]+)$", text)
    return int(match.group(1), 16) if match else None


@functools.cache
def wine_exports(wine_dll):
    """The names and ordinals Wine's DLL at that path exports; None when there is none. Read once
    for all the exes checked."""
    return Image(wine_dll).exports() if os.path.isfile(wine_dll) else None


def missing_exports(image, wine_dlls):
    """Every import, at start or on first call, that Wine's DLL of that name does not export."""
    faults = []
    for dll, names, *_ in image.imports() + image.delay_imports():
        exports = wine_exports(os.path.join(wine_dlls, dll.lower()))
        if exports is None:
            faults.append("imports %s, which Wine's DLLs (%s) do not hold" % (dll, wine_dlls))
            continue
        for name in names:
            if name not in exports[1 if isinstance(name, int) else 0]:
                faults.append("imports %s from %s, which does not export it" % (name, dll))
    return faults


def symbols_of(path):
    return subprocess.run([OBJDUMP.replace("objdump", "nm"), path], capture_output=True, text=True).stdout


def unsound_late_slots(image, code, symbols, relocated):
    """Every late-bound slot that is not relocated, not its function's, or whose value in the
    file does not lead through its thunk to the one binding helper."""
    faults, helpers, base = [], set(), image.image_base
    # Where the exe keeps its symbols, each slot must be the one its function's name is bound to.
    bound = {int(a, 16): n for a, n in re.findall(r"^([0-9a-f]+) I __imp__?([^@\s]+)", symbols, re.M)}
    for dll, names, first, descriptor in image.delay_imports():
        for i, name in enumerate(names):
            rva = first + image.pointer_size * i
            where = "the late-bound slot of %s!%s at 0x%x" % (dll, name, base + rva)
            if bound and bound.get(base + rva) != name:
                faults.append("%s is %s's" % (where, bound.get(base + rva)))
            if not relocated(rva):
                faults.append("%s has no base relocation" % where)
            thunk = image.pointer(rva)
            if thunk not in code.instructions or not image.executable(thunk - base):
                faults.append("%s holds 0x%x, not an instruction of the exe" % (where, thunk))
                continue
            steps = list(code.run(thunk))
            loads = [address_of(text, image.pointer_size) for _, _, text in steps]
            calls = [int(m.group(1), 16) for m in (re.match(r"call\s+0x([0-9a-f]+)$", t) for _, _, t in steps) if m]
            if base + rva not in loads or base + descriptor not in loads or len(calls) != 1 or \
                    not re.match(r"jmp\s+\*%[re]ax", steps[-1][2]):
                faults.append("%s holds 0x%x, whose code does not hand the slot and the descriptor of %s to a "
                              "binding helper and jump to its answer" % (where, thunk, dll))
                continue
            helpers.update(calls)
    if len(helpers) > 1:
        faults.append("the late-bound slots lead to %d binding helpers (%s), not one" %
                      (len(helpers), " ".join("0x%x" % h for h in sorted(helpers))))
    return faults


def unsound_code_addresses(image, code, relocated):
    """Every instruction that reads an import slot nothing fills, or holds an absolute address
    of the image without a base relocation."""
    faults, base = [], image.image_base
    slots = {base + first + image.pointer_size * i
             for _, names, first, *_ in image.imports() + image.delay_imports() for i in range(len(names))}
    idata = next((s for s in image.sections if s[0] == ".idata"), None)
    for address, (raw, text) in sorted(code.instructions.items()):
        if re.match(r"(call|j[a-z,]+|loop[a-z]*)\s+0x[0-9a-f]+", text) or text.startswith("nop"):
            continue  # direct branches are relative
        for match in re.finditer(r"0x([0-9a-f]+)", text):
            target = int(match.group(1), 16)
            # A number that falls on the headers is a flag (0x400000 is one of WinInet's).
            if not image.in_image(target) or image.section_of(target - base) is None:
                continue
            if idata and idata[1] <= target - base < idata[1] + idata[2] and target not in slots:
                faults.append("the instruction at 0x%x reads 0x%x in the import tables, a slot that nothing "
                              "fills: %s" % (address, target, text))
            if "(%rip)" in text:
                continue  # relative to the instruction
            at = raw.find(target.to_bytes(image.pointer_size if "movabs" in text else 4, "little"))
            if at < 0 or not relocated(address - base + at):
                faults.append("the instruction at 0x%x holds the address 0x%x without a base relocation: %s" %
                              (address, target, text))
    return faults


def check(path, machine, wine_dlls, code=None, symbols=None):
    """The faults found, and the image read. The code and the symbols, when given, are the
    exe's as read before (by Code and symbols_of)."""
    image = Image(path)
    if image.machine != MACHINES[machine]:
        return ["machine 0x%x, not %s" % (image.machine, machine)], image
    faults = [] if image.subsystem == GUI_SUBSYSTEM else ["subsystem %d, not the GUI (2)" % image.subsystem]
    relocations = image.relocations()
    relocated = lambda rva: relocations.get(rva) == RELOCATION_TYPES[image.pointer_size]
    code = code or Code(path)
    if os.path.isdir(wine_dlls):  # 32-bit Wine may not be installed (tools/setup.sh)
        faults += missing_exports(image, wine_dlls)
    faults += unsound_late_slots(image, code, symbols_of(path) if symbols is None else symbols, relocated)
    faults += unsound_code_addresses(image, code, relocated)
    return faults, image


def main():
    if len(sys.argv) not in (3, 4) or sys.argv[2] not in MACHINES:
        sys.exit(__doc__.split("\n\n")[1])
    path, machine = sys.argv[1], sys.argv[2]
    wine_dlls = sys.argv[3] if len(sys.argv) == 4 else WINE_DLLS[machine]
    faults, image = check(path, machine, wine_dlls)
    if not os.path.isdir(wine_dlls):
        print("check-pe: skipped: the imports against Wine's own DLLs, which are not installed here (%s)" % wine_dlls)
    for fault in faults:
        print("check-pe: FAIL: %s" % fault)
    imports, delay_imports = image.imports(), image.delay_imports()
    count = lambda tables: sum(len(names) for _, names, *_ in tables)
    print("check-pe: %s: %s, %d functions of %d DLLs bound at start, %d of %d DLLs on first call (%s); %s" %
          (path, machine, count(imports), len(imports), count(delay_imports), len(delay_imports),
           " ".join(sorted(d.lower() for d, *_ in delay_imports)) or "none",
           "%d fault(s)" % len(faults) if faults else "ok"))
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
