// The panel: its controls and layers, the bitmaps they draw from, the drawing
// surface they are drawn into, and the dispatch of mouse and key events.
// Platform parts (the view, its timer, menus and prompts) live in
// IGraphicsMac; create a panel with MakeGraphics.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/IGraphicsStructs.h"

class IUnitBase;
class IControl;
class ControlLayer;
class IPopupMenu;
class BASE_String;
class RAST_IBitmap;

class IGraphics {
public:
    static constexpr int kMaxFileBytes = 4096000;
    // Threads that decode a panel's images at once, the calling one included.
    static constexpr size_t kMaxDecodeThreads = 4;

    IGraphics(IUnitBase* plug, int width, int height, int fps = 25, double scale = 1.0);
    virtual ~IGraphics();
    IGraphics(const IGraphics&) = delete;
    IGraphics& operator=(const IGraphics&) = delete;

    IUnitBase* GetPlug() const { return mPlug; }
    int Width() const { return mWidth; }
    int Height() const { return mHeight; }
    int FPS() const { return mFPS; }
    double GetScale() const { return mScale; }

    // ---- Controls and layers (the panel owns what is attached).
    void AttachControl(IControl* control);
    // Returns the layer's index among the top-level layers.
    int AttachLayer(ControlLayer* layer);
    // A full-panel bitmap drawn below every other control.
    void AttachBackground(int id, const char* name, double scale = 1.0);
    int NControls() const { return static_cast<int>(mControls.size()); }
    IControl* GetControl(int i) const;
    int NLayers() const { return static_cast<int>(mLayers.size()); }
    ControlLayer* GetLayer(int i) const;

    // ---- Values from the plug-in. With normalized false the plain value is
    // first stored in the parameter (clamped). Then every control and layer
    // showing the parameter gets the normalised value. No change handler runs.
    void SetParameterFromPlug(int paramIdx, double value, bool normalized);
    void SetAllControlsDirty();

    // ---- Resources. LoadFile reads up to kMaxFileBytes of the bundle resource
    // named by path's last component into a zero-filled buffer of that size,
    // which the caller frees with delete[]; null when there is none.
    uint8_t* LoadFile(int id, const char* path);
    int GetLoadedFileLength() const { return mLoadedFileLength; }

    // ---- The process-wide bitmap cache, shared by all panels under its own
    // recursive lock. A bitmap stays while any panel that loaded it keeps it.
    IBitmap LoadIBitmap(int id, const char* name, double scale = 1.0, int frames = 1, bool framesAreHorizontal = false);
    // Loads into the cache, for this panel, every bitmap of the list that is
    // not there yet, as LoadIBitmap would one by one, but decoded on several
    // threads at once. What cannot be loaded is left to LoadIBitmap to report.
    struct BitmapRequest {
        int id;
        const char* name;
    };
    void PreloadBitmaps(const std::vector<BitmapRequest>& requests, double scale);
    // The cached bitmap of id with the given frames; empty when not cached.
    IBitmap getImageById(int id, int frames, bool framesAreHorizontal);
    // This panel lets go of the cached bitmap; it is deleted when no panel
    // keeps it. Stops this panel's drawing first, since the panel is going away.
    void ReleaseBitmap(IBitmap* bitmap);
    static bool IsBitmapCached(int id);
    static int NCachedBitmaps();

    // ---- Drawing into the panel's surface (clipped to the area being redrawn).
    bool DrawBitmap(IBitmap* bitmap, IRECT* rect, int frame, int srcX, int srcY, const IChannelBlend* blend = nullptr);
    bool DrawBitmap(IBitmap* bitmap, IRECT* rect, int frame = 1, const IChannelBlend* blend = nullptr) {
        return DrawBitmap(bitmap, rect, frame, 0, 0, blend);
    }
    bool FillIRect(const IColor* color, IRECT* rect, const IChannelBlend* blend = nullptr);
    // Draws str on one line in rect, shrunk to fit it when it is too wide or
    // too tall at the style's size, its ink centred vertically.
    bool DrawIText(IText* text, const char* str, IRECT* rect);
    // The size DrawIText draws str at in a box of width by height; width
    // out is the text's width at that size (wider than the box when not even
    // the smallest readable size holds it whole: it is then drawn cut).
    int FitText(const IText* text, const char* str, int width, int height, int* textWidth = nullptr);
    RAST_IBitmap* GetDrawBitmap() const { return mDrawBitmap.get(); }

    // ---- Figures (IGraphicsShapes.cpp), in panel pixels, clipped to the area
    // being redrawn. With no blend (copy with source alpha) the colour's alpha
    // scales the opacity; a blend sets the mode and the opacity. Angles are
    // radians, 0 at the top, clockwise; the bitmap rotations take degrees.
    bool DrawLine(const IColor* color, float x1, float y1, float x2, float y2, const IChannelBlend* blend = nullptr,
                  bool antiAlias = false);
    // Both ends included.
    bool DrawHorizontalLine(const IColor* color, int yi, int xLo, int xHi);
    bool DrawVerticalLine(const IColor* color, int xi, int yLo, int yHi);
    // The outline of the rectangle's outermost pixels.
    bool DrawRect(const IColor* color, IRECT* rect);
    // From radius rMin to rMax at angle from the centre.
    bool DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin, float rMax,
                        const IChannelBlend* blend = nullptr, bool antiAlias = false);
    bool DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
                 const IChannelBlend* blend = nullptr, bool antiAlias = false);
    bool DrawCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend = nullptr,
                    bool antiAlias = false);
    bool FillCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend = nullptr,
                    bool antiAlias = false);
    bool RoundRect(const IColor* color, IRECT* rect, const IChannelBlend* blend, int cornerradius, bool antiAlias);
    bool FillRoundRect(const IColor* color, IRECT* rect, const IChannelBlend* blend, int cornerradius, bool antiAlias);
    // The whole bitmap centred on the point, turned about its centre moved
    // down by yOffsetZeroDeg, bilinear.
    bool DrawRotatedBitmap(IBitmap* bitmap, int destCtrX, int destCtrY, double angle, int yOffsetZeroDeg = 0,
                           const IChannelBlend* blend = nullptr);
    // base with mask added and top laid over it, both turned by angle, drawn
    // with its top-left at (x, y).
    bool DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                         const IChannelBlend* blend = nullptr);

    // ---- Redraw. IsDirty collects the areas of changed controls; Draw draws
    // every shown control meeting the area and marks all controls clean.
    bool IsDirty(IRECT* rect);
    void Draw(const IRECT* rect);
    // Draws one control if it is shown and meets the area (layers call it).
    void DrawControl(IControl* control, const IRECT* rect);
    // How many control draws the last Draw made.
    int LastDrawCount() const { return mLastDrawCount; }
    // After this, Draw only shows what the surface holds.
    void StopDrawing();
    bool IsDrawingStopped() const { return mDrawingStopped; }
    // Guards a redraw against a teardown on another thread.
    std::recursive_mutex& DrawLock() { return mDrawLock; }

    // ---- Events, in panel coordinates. Hit testing goes through the layers,
    // the last attached first, then the panel's own controls, last first;
    // hidden and grayed-out controls are skipped.
    IControl* GetMouseControl(int x, int y);
    void OnMouseDown(int x, int y, IMouseMod* mod);
    void OnMouseUp(int x, int y, IMouseMod* mod);
    void OnMouseDrag(int x, int y, IMouseMod* mod);
    void OnMouseDblClick(int x, int y, IMouseMod* mod);
    void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
    void OnMouseOver(int x, int y, IMouseMod* mod);
    void OnMouseOut();
    // The key goes to the control under (x, y); true when it was used.
    bool OnKeyDown(int x, int y, int key);
    void ReleaseMouseCapture() { mMouseCapture = nullptr; }
    IControl* GetMouseCapture() const { return mMouseCapture; }
    void OnGUIIdle();

    // ---- Menus and prompts (answered by the platform part).
    // Shows the menu at the rectangle; returns the menu holding the chosen item
    // (its chosen index set), or null when dismissed or no window is open.
    virtual IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* rect) = 0;
    // file and dir carry proposals in; file holds the chosen path, or "" when
    // cancelled. exts: space-separated extensions without dots.
    virtual void PromptForFile(BASE_String* file, EFileAction action, BASE_String* dir = nullptr,
                               const char* exts = "") = 0;
    // The value prompt of a control: a menu of the display texts for an enum
    // or bool parameter, a one-line entry for the others. A menu ends with
    // the notes, as items that cannot be chosen.
    void PromptUserInput(IControl* control, const std::vector<std::string>& notes = {});
    // A one-line entry over rect; false when cancelled. With a filter, the
    // entry takes each character as the filter says.
    virtual bool PromptForText(const IRECT& rect, const std::string& initial, int maxLength,
                               const ITextEntryFilter& filter, std::string& out) = 0;
    virtual bool OpenURL(const char* url) = 0;

    // ---- The window: the platform view that shows the panel.
    virtual void* OpenWindow(void* parentView) = 0;
    virtual void CloseWindow() = 0;
    virtual bool WindowIsOpen() const = 0;

protected:
    IControl* CaptureAt(int x, int y);

    IUnitBase* mPlug;
    int mWidth, mHeight, mFPS;
    double mScale;
    std::vector<IControl*> mControls;
    std::vector<ControlLayer*> mLayers;
    std::unique_ptr<RAST_IBitmap> mDrawBitmap;
    IRECT mDrawRECT;
    std::unique_ptr<RAST_IBitmap> mScratchBitmap;  // the rotated mask's composition
    int mLoadedFileLength = 0;
    int mLastDrawCount = 0;
    bool mDrawingStopped = false;
    std::recursive_mutex mDrawLock;
    IControl* mMouseCapture = nullptr;
    IControl* mMouseOver = nullptr;
    int mMouseX = 0, mMouseY = 0;
};
