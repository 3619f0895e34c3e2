// How the panel reaches the raster library: its drawing surface, blits,
// fills, scaled image loading and text, and the bundle's resources.
#pragma once

#include <string>

#include "framework/IGraphicsStructs.h"

class IGraphics;
class RAST_IBitmap;

namespace hvraster {

// The panel's drawing surface: a system bitmap over a drawing context.
RAST_IBitmap* NewSurface(int width, int height);
void Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int x, int y, int srcX, int srcY, int w, int h, float alpha, int mode);
void Fill(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int colour, float alpha, int mode);
// The PNG at path, copied at (width x scale) by (height x scale), each
// truncated, by a bilinear scaled blit; null when it cannot be read.
RAST_IBitmap* LoadScaledPNG(const char* path, double scale);
// The size a text is drawn at to fit a box, and its width at that size as
// it is drawn: from the font's glyph cache, whose glyphs stand on whole
// pixels, or, where only that keeps it whole, laid out by the toolkit.
struct FittedText {
    int size = 0;
    int width = 0;  // of the whole text, beyond the box when it is cut
    bool laidOut = false;
    std::string cut;  // what is drawn when the text is cut: its two ends
};
// The largest size, up to the style's, at which str fits width by height on
// one line (the ink from the capitals' top to the descenders' bottom); the
// smallest readable size when none does, with the text cut to the box.
FittedText FitText(const IGraphics* owner, const IText* style, const char* str, int width, int height);
// Draws str on one line in rect, fitted as FitText says, the ink centred
// vertically, with the style's font through the panel's font store.
bool DrawText(const IGraphics* owner, RAST_IBitmap* dest, const IText* style, const char* str, const IRECT* rect);
void ForgetFonts(const IGraphics* owner);
// The bundle resource named by path's last component, or "".
std::string FindResource(const IGraphics* owner, const char* path);

}  // namespace hvraster
