// File drag and drop: the dropped-file block a window receives with
// WM_DROPFILES, the application's drop-target callbacks, and the drag source
// of one promised file with its fulfilment (the file is written where the
// user dropped it, asking before an existing file is replaced).
#pragma once

#include <string>
#include <vector>

#include "shim/SHIM_Types.h"
#include "shim/shim-gdi.h"
#include "shim/shim.h"

#define WM_DROPFILES 0x233

// The application's drop-target callbacks; each may be null.
extern void (*SHIM_DDrop_onDragEnter)(HGLOBAL block, int x, int y);
extern void (*SHIM_DDrop_onDragOver)(int x, int y);
extern void (*SHIM_DDrop_onDragLeave)();
// Given the first promised file type, the folder to write promised files to.
extern const char* (*SHIM_DDrop_getDroppedFileTargetPath)(const char* type);

// The dropped-file block: the offset of the name list (16), the drop point
// x and y, a 0, then each name NUL-terminated, then one more NUL. With a
// prefix, each name is written after it. A name (with its prefix) longer
// than a path can be, 4,095 bytes, is left out: cut, it would name another
// file; so are names that are empty or hold a NUL. The caller frees it with
// GlobalFree.
HGLOBAL SHIM_MakeDropFilesBlock(const std::vector<std::string>& names, int x, int y, const char* prefix = "");
// DragQueryFile and DragQueryPoint read it; reading all its names one by one
// walks the list once.
// GlobalFree calls this: what DragQueryFile keeps of a block goes with it.
void SHIM_ForgetDropFilesBlock(HGLOBAL block);

// Writes the promised file at a destination path.
typedef void (*SHIM_DragWriteCallback)(const char* destinationPath);

// The drag source's state (one per process): the source file name and the
// writer. Forgetting it is safe at any time.
void SHIM_SetDragSourceState(const char* fileName, SHIM_DragWriteCallback write);
bool SHIM_HasDragSourceState();
void SHIM_FinishDragDrop();

// Starts a drag of one promised file (the text after the name's last "."
// is its type) from a toolkit window's rectangle; the callback writes it
// where it is dropped. Forgets any earlier source state first.
void SHIM_InitiateDragDrop(HWND h, const RECT* from, const char* fileName, SHIM_DragWriteCallback write);
// Starts a drag of existing files from the rectangle's top-left corner,
// shown as the icon's image (null: none of the caller's).
void SHIM_InitiateDragDropOfFileList(HWND h, const RECT* from, const char** paths, int count, HGDIOBJ icon);

// Answers a drop of the promised file in a folder: writes it there (asking
// before an existing file of that name is replaced, or keeping both under a
// numbered name) and returns the name written; none when nothing was. The
// source state is forgotten in every case.
std::vector<std::string> SHIM_DoDragDrop(const char* destinationFolder);

// The name "keep both" gives a file beside another of the same name: the
// stem's number (one to three digits after a space, "_" or "-"; else 0 and
// a space) counted on as "%03d" up to 999. Empty when every name is taken.
std::string SHIM_KeepBothName(const std::string& path);
