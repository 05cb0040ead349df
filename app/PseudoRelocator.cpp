// The C runtime's start fixes up, before anything runs, the references to a DLL's data that
// were made without declaring it imported. The exe has none: NoPseudoRelocs.ld fails the link
// at the first. With none the runtime's own fixer does nothing, yet it brings its lookup of
// the exe's sections and its error messages, written by printf, into the exe (3 KB).
extern "C" void _pei386_runtime_relocator() {}
