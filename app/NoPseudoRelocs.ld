/* Added to the linker's own script: the exe links only while it needs no pseudo-relocation,
   which PseudoRelocator.cpp does not apply. */
ASSERT(__rt_psrelocs_size == 0, "a DLL's data is used without dllimport: declare it imported")
