#pragma once
// The librarian page's two-pane view: the bank being edited above, a source
// bank (or a bank of search results) below, 128 slot names each. Slots are
// selected by click, sent by double click or arrow key, copied from the lower
// pane into the upper one by drag and drop or Copy and Paste, and renamed.
// The view owns no program data: every bank lives in the librarian, and a
// copied program reaches the upper bank as if the instrument had sent it.
#include <atomic>

#include "framework/IControl.h"

class Halvoran;
class PatchLibrarian;
struct PatchFile;

// An overlay whose switch behaviour is left to the control built on it.
class CustomOverlayControl : public IBitmapOverlayControl {
public:
    using IBitmapOverlayControl::IBitmapOverlayControl;
};

class LibrarianViewControl : public CustomOverlayControl {
public:
    static constexpr int kSlots = 128;
    enum EPane { kUpperPane = 0, kLowerPane = 1 };

    // x, y: the view's corner on the panel (scaled); area: its scaled bounds.
    LibrarianViewControl(Halvoran* plug, int x, int y, int paramIdx, IBitmap* background, IRECT area,
                         PatchLibrarian* librarian, double scale);
    ~LibrarianViewControl() override;

    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseUp(int x, int y, IMouseMod* mod) override;
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
    bool OnKeyDown(int x, int y, int key) override;
    bool Draw(IGraphics* graphics) override;
    // The whole view is hit, whatever its value (no overlay switching).
    bool IsHit(int x, int y) override { return IControl::IsHit(x, y); }

    // Refill one pane's slot names from its bank.
    void patchSelectionUpperChanged();
    void patchSelectionLowerChanged();

    // The slot menus' actions, at the right click that opened the menu.
    void renameSlot(int x, int y);
    void CopySlotData(int x, int y);
    void PasteSlotData(int x, int y);

    // The slot of a pane under (x, y), or -1.
    int slotAt(int pane, int x, int y) const;
    const IRECT& slotRect(int pane, int slot) const;
    ITextControl* slot(int pane, int slot) const { return (pane == kUpperPane ? upperSlots : lowerSlots)[slot]; }

    ITextControl* upperSlots[kSlots] = {};
    ITextControl* lowerSlots[kSlots] = {};
    // Set by the editor each time it shows the librarian page.
    bool dragEnabled = false;
    IRECT dragRect;
    bool dragging = false;
    const int dragWidth;
    const int rowHeight;
    // The lower slot recorded by Copy or at the start of a drag.
    int sourceSlot = -1;
    Halvoran* const plug;
    PatchLibrarian* const librarian;
    const double scale;
    // The transfer and MIDI input threads read and write these too.
    std::atomic<int> selectedUpper{0};
    std::atomic<int> selectedLower{-1};
    std::atomic<int> activePane{kUpperPane};
    std::atomic<int> keyCursor{0};
    // The lower bank's index at the last Copy; -1 until something is copied.
    int clipboard = -1;

    // The bank each pane shows now, or null.
    PatchFile* upperBank() const;
    PatchFile* lowerBank() const;

private:
    enum EHitEffects { kSelectionOnly = 0, kSetPane = 1, kGraySaveLayer = 2 };
    // Tests the panes' slots at (x, y) and selects what is hit; with kSetPane
    // the hit pane becomes active, with kGraySaveLayer the save controls follow
    // (usable for the upper pane, grayed for the lower).
    void hitTest(int x, int y, bool upper, bool lower, int effects);
    void clearSelections();
    void refill(int pane);
    // Copies lower program `from` into the selected upper slot through the
    // editor's SysEx input, as if the instrument had sent it. False when there
    // is no such program to copy.
    bool feedBack(int from);
    void graySaveLayer(bool gray);

    IRECT mSlotRects[2][kSlots];
};
