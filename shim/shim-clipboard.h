#pragma once
// Win32-style clipboard calls over pasteboards. Text goes to and comes from
// the general pasteboard (UTF-8; a handle read back ends in a NUL); every
// other format goes through the private pasteboard "SHIM_APP", unless it is
// written together with text. Data passes in GlobalAlloc handles: the
// clipboard owns what SetClipboardData is given, and frees what
// GetClipboardData handed out at the next CloseClipboard.
//
// Order of calls: OpenClipboard, then EmptyClipboard and SetClipboardData,
// or EnumClipboardFormats and GetClipboardData, then CloseClipboard. Nothing
// reaches a pasteboard before CloseClipboard. Main thread only.
#include "shim/shim.h"

// The text format's number (1 unless another name was registered first).
#define CF_TEXT RegisterClipboardFormat("SHIM__CF_TEXT")

// The number of a named format, the same for the process's life; from 1 up.
UINT RegisterClipboardFormat(const char* name);
BOOL OpenClipboard(HWND owner);
BOOL EmptyClipboard();
// Setting a format again replaces its data. A handle already given for
// another format is copied, not taken twice.
HANDLE SetClipboardData(UINT format, HANDLE data);
BOOL CloseClipboard();
// The private pasteboard's formats as of OpenClipboard: 0 gives the first,
// a format the next one; 0 when there is none.
UINT EnumClipboardFormats(UINT format);
// A handle valid until CloseClipboard, or null. A paste from another program
// is bounded: it takes at most about 2 s and 64 MiB, and the owner may list
// at most 1,024 formats. Past a bound the result is null and GetLastError()
// says which: ERROR_TIMEOUT, ERROR_NOT_ENOUGH_MEMORY or ERROR_INVALID_DATA;
// a null result with ERROR_SUCCESS means there is no such data.
HANDLE GetClipboardData(UINT format);
