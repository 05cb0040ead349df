// Binds a delay-loaded function on its first call: loads its DLL once, finds the function and
// writes it where the next calls find it.
//
// WinInet, Winsock and the shell are loaded when the program first talks to the router or the
// tray, not before its window shows (each DLL loaded at start delays the window). The runtime's
// own helper does the same with hooks and notices this program never sets, 1.5 KB more of
// the exe. A DLL or function that cannot be had raises the same exception as the runtime's.
#include <windows.h>
#include <delayimp.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

template <class T>
T* AtRva(RVA rva) {
    return reinterpret_cast<T*>(reinterpret_cast<BYTE*>(&__ImageBase) + rva);
}

[[noreturn]] void RaiseDelayLoadFailure(DWORD error) {
    // The runtime's code for it (facility 0x6D), so that a crash report reads the same.
    RaiseException(ERROR_SEVERITY_ERROR | (0x6D << 16) | error, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    __builtin_unreachable();  // a non-continuable exception does not return
}

HMODULE LoadedModule(PCImgDelayDescr descriptor) {
    void* volatile* kept = AtRva<void* volatile>(descriptor->rvaHmod);
    if (void* module = *kept) return static_cast<HMODULE>(module);
    const HMODULE loaded = LoadLibraryA(AtRva<char>(descriptor->rvaDLLName));
    if (!loaded) RaiseDelayLoadFailure(ERROR_MOD_NOT_FOUND);
    // Another thread may have loaded it meanwhile: one handle is kept, this reference given back.
    if (void* earlier = InterlockedCompareExchangePointer(kept, loaded, nullptr)) {
        FreeLibrary(loaded);
        return static_cast<HMODULE>(earlier);
    }
    return loaded;
}

}  // namespace

extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor, FARPROC* slot) {
    // The linker's descriptors give places relative to the exe; an old form gave addresses.
    if (!(descriptor->grAttrs & dlattrRva)) RaiseDelayLoadFailure(ERROR_INVALID_PARAMETER);
    const HMODULE module = LoadedModule(descriptor);
    const IMAGE_THUNK_DATA& name =
        AtRva<IMAGE_THUNK_DATA>(descriptor->rvaINT)[slot - AtRva<FARPROC>(descriptor->rvaIAT)];
    const FARPROC function =
        IMAGE_SNAP_BY_ORDINAL(name.u1.Ordinal)
            ? GetProcAddress(module, MAKEINTRESOURCEA(IMAGE_ORDINAL(name.u1.Ordinal)))
            : GetProcAddress(module,
                             AtRva<IMAGE_IMPORT_BY_NAME>(static_cast<RVA>(name.u1.AddressOfData))->Name);
    if (!function) RaiseDelayLoadFailure(ERROR_PROC_NOT_FOUND);
    InterlockedExchangePointer(reinterpret_cast<void* volatile*>(slot), reinterpret_cast<void*>(function));
    return function;
}
