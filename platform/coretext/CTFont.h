#pragma once
// Fonts by name and size, in the manner of CoreText: a font is a reference-
// counted object (create, retain, release) so that plain records can hold it.
// Faces are found through fontconfig and drawn with FreeType. A name that is
// not installed falls back to "DejaVu Sans Mono" in the asked style, and the
// fallback is logged once per name on stderr.
//
// Tests can switch every font made afterwards to a built-in box engine whose
// metrics are exact functions of the size (see CTSetBoxFontEngine).
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

struct CTFont;
using CTFontRef = CTFont*;

// Family of the installed monospace face that stands in for missing ones.
inline constexpr const char* kCTFallbackFamily = "DejaVu Sans Mono";
// Family of the system label font.
inline constexpr const char* kCTLabelFamily = "DejaVu Sans";

// A new font (reference count 1) for a PostScript name ("DejaVuSans-Bold"),
// a full name ("DejaVu Sans Bold") or a family with style words appended
// ("NK57 Monospace Bold Italic"). Sizes are in pixels. Null for an empty
// name, a size that is not a finite positive number, or when no face at all
// can be had.
CTFontRef CTFontCreateWithName(const char* name, double size);

// The system label font at a size (null only when no face can be had).
CTFontRef CTFontCreateLabelFont(double size);

CTFontRef CTFontRetain(CTFontRef font);  // returns font; null is allowed
void CTFontRelease(CTFontRef font);      // null is allowed

double CTFontGetSize(CTFontRef font);
double CTFontGetAscent(CTFontRef font);     // above the baseline, positive
double CTFontGetDescent(CTFontRef font);    // below the baseline, positive
double CTFontGetLeading(CTFontRef font);    // line gap
double CTFontGetCapHeight(CTFontRef font);  // top of the tallest letters above the baseline
std::string CTFontCopyPostScriptName(CTFontRef font);
std::string CTFontCopyFamilyName(CTFontRef font);
bool CTFontIsBold(CTFontRef font);
bool CTFontIsItalic(CTFontRef font);

// What a font-panel lookup by name answers: the PostScript name of the
// installed face that a PostScript name, full name or family-and-style name
// denotes; false when no installed face has that name (no fallback here).
bool CTFontFindInstalled(const char* name, std::string* postScriptName);

// Advance of one character in pixels (0 for line feeds and carriage returns).
double CTFontGetAdvanceForCharacter(CTFontRef font, char32_t c);

// Switches the engine for fonts created afterwards: true selects the box
// engine, false the installed faces. Fonts already made keep their engine.
//
// Box engine at size s: ascent 0.8 s, descent 0.2 s, leading 0, every
// character advances 0.6 s (line feed and carriage return 0, no ink). A
// character other than a blank or a control character is inked as one
// rectangle from 0.7 s above the baseline down to the baseline, from
// 0.1 s to 0.5 s after the pen (bold: 0.05 s to 0.55 s); italic shifts the
// ink 0.3 s to the right, past the advance. Coverage is the exact area.
void CTSetBoxFontEngine(bool on);
bool CTBoxFontEngineIsOn();

}  // namespace platform
