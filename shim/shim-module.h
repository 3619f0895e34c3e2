#pragma once
// Win32-style loadable modules over the dynamic loader: shared objects and
// bundle folders (a folder D loads D/<name of D without extension>.so).
// Loading a module again gives the same record with one more count. A module
// that exports SHIM_dllMain, and optionally DllMain, has them called with
// DLL_PROCESS_ATTACH after its first load and DLL_PROCESS_DETACH before its
// last free; a false result from an attach undoes the load.
#include "shim/shim.h"

struct SHIM_HINSTANCE;
typedef SHIM_HINSTANCE* HINSTANCE;
typedef HINSTANCE HMODULE;

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1

// The entries a module may export, in C linkage, under the names
// "SHIM_dllMain" and "DllMain".
typedef bool (*SHIM_DllEntry)(HINSTANCE module, int reason, void* reserved);

HINSTANCE LoadLibrary(const char* path);
// symbolsGlobal makes the module's symbols visible to modules loaded later.
HINSTANCE LoadLibraryGlobals(const char* path, bool symbolsGlobal);
void* GetProcAddress(HINSTANCE module, const char* name);
// 1 when the module was loaded; 0 for null or a record that is not.
BOOL FreeLibrary(HINSTANCE module);
// The module's path (a bundle's folder; the running program's folder for
// null), at most size - 1 bytes and a NUL; returns the length written, 0
// when unknown or when size is below 1 (buf is then not touched).
int GetModuleFileName(HINSTANCE module, char* buf, int size);
