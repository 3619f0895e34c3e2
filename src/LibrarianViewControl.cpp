#include "src/LibrarianViewControl.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "framework/ControlLayer.h"
#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "framework/IUnitStructs.h"
#include "src/Halvoran.h"
#include "src/PanelLayers.h"
#include "src/PatchLibrarian.h"

namespace {

const IColor kSlotText(255, 255, 255, 255);
const IColor kHighlight(255, 225, 225, 225);
constexpr int kRows = 16;

// The top of each pane's first row; the odd scales keep the rounding of the
// painted panes.
int upperTop(int y, double s) {
    if (s < 1.0) return y + static_cast<int>(s) + 1;
    if (s == 1.0) return y + static_cast<int>(s);
    return static_cast<int>(y + s);
}

int lowerTop(int y, double s) {
    const int offset = static_cast<int>(303 * s);
    if (s < 1.0) return y + offset + 2;
    if (s == 1.0) return y + offset;
    return y + offset + 1;
}

template <typename T>
bool inList(const std::vector<T*>& list, int index) {
    return index >= 0 && index < static_cast<int>(list.size()) && list[index];
}

}  // namespace

LibrarianViewControl::LibrarianViewControl(Halvoran* plug, int x, int y, int paramIdx, IBitmap* background, IRECT area,
                                           PatchLibrarian* librarian, double scale)
    : CustomOverlayControl(plug, x, y, paramIdx, background, area),
      dragWidth(static_cast<int>(97 * scale)),
      rowHeight(static_cast<int>(16 * scale)),
      plug(plug),
      librarian(librarian),
      scale(scale) {
    const double s = scale;
    const int w = s == 1.0 ? static_cast<int>(97 * s) : static_cast<int>(98 * s);
    const int h = rowHeight;
    const int gap = static_cast<int>(30 * s);
    const int tops[2] = {upperTop(y, s), lowerTop(y, s)};
    IText style(static_cast<int>(13 * s), &kSlotText, "NK57 Monospace", IText::kStyleNormal, IText::kAlignNear, 0,
                IText::kQualityDefault);
    for (int pane = 0; pane < 2; ++pane) {
        for (int i = 0; i < kSlots; ++i) {
            const int left = x + gap + (i / kRows) * (w + gap);
            const int top = tops[pane] + (i % kRows) * h;
            mSlotRects[pane][i] = IRECT(left, top, left + w, top + h);
            // The name keeps clear of the slot number printed to its left.
            const IRECT name(left + std::max(2, static_cast<int>(4 * s)), top, left + w, top + h);
            (pane == kUpperPane ? upperSlots : lowerSlots)[i] = new ITextControl(plug, name, &style, "");
        }
    }
    patchSelectionUpperChanged();
    patchSelectionLowerChanged();
}

LibrarianViewControl::~LibrarianViewControl() {
    for (int i = 0; i < kSlots; ++i) {
        delete upperSlots[i];
        delete lowerSlots[i];
    }
}

const IRECT& LibrarianViewControl::slotRect(int pane, int slot) const { return mSlotRects[pane != kUpperPane][slot]; }

int LibrarianViewControl::slotAt(int pane, int x, int y) const {
    int hit = -1;
    for (int i = 0; i < kSlots; ++i)
        if (mSlotRects[pane != kUpperPane][i].Contains(x, y)) hit = i;
    return hit;
}

// ---- Banks and refills

PatchFile* LibrarianViewControl::upperBank() const {
    if (!librarian || !inList(librarian->bankFiles, librarian->selectedBankUpper)) return nullptr;
    return librarian->bankFiles[librarian->selectedBankUpper];
}

PatchFile* LibrarianViewControl::lowerBank() const {
    if (!librarian) return nullptr;
    const std::vector<PatchFile*>& banks =
        plug && plug->searchResultsShown ? librarian->searchBankFiles : librarian->bankFiles;
    return inList(banks, librarian->selectedBankLower) ? banks[librarian->selectedBankLower] : nullptr;
}

void LibrarianViewControl::patchSelectionUpperChanged() { refill(kUpperPane); }
void LibrarianViewControl::patchSelectionLowerChanged() { refill(kLowerPane); }

void LibrarianViewControl::refill(int pane) {
    SetDirty(true);
    PatchFile* bank = pane == kUpperPane ? upperBank() : lowerBank();
    if (!bank) return;
    // The names must not change under a drawing.
    IGraphics* gui = GetGUI();
    std::unique_lock<std::recursive_mutex> lock;
    if (gui) lock = std::unique_lock<std::recursive_mutex>(gui->DrawLock());
    for (int i = 0; i < kSlots; ++i)
        slot(pane, i)->SetTextFromPlug(i < static_cast<int>(bank->patches.size()) ? bank->patches[i].name.c_str() : "");
}

// ---- Drawing

bool LibrarianViewControl::Draw(IGraphics* graphics) {
    IBitmapControl::Draw(graphics);
    for (int pane = 0; pane < 2; ++pane) {
        const int selected = pane == kUpperPane ? selectedUpper.load() : selectedLower.load();
        const bool shown = selected >= 0 && selected < kSlots;
        if (shown) graphics->FillIRect(&kHighlight, &mSlotRects[pane][selected]);
        for (int i = 0; i < kSlots; ++i) {
            ITextControl* text = slot(pane, i);
            if (shown && i == selected) {
                IColor& c = text->GetText()->mColor;
                c.R = c.G = c.B = 0;
                text->Draw(graphics);
                c.R = c.G = c.B = 255;
            } else {
                text->Draw(graphics);
            }
        }
    }
    if (dragging) graphics->FillIRect(&kHighlight, &dragRect);
    return true;
}

// ---- Selection

void LibrarianViewControl::clearSelections() {
    selectedUpper = -1;
    selectedLower = -1;
}

void LibrarianViewControl::graySaveLayer(bool gray) {
    if (ControlLayer* layer = plug ? plug->getLayer("saveChangesLayer") : nullptr) layer->GrayOut(gray);
}

void LibrarianViewControl::hitTest(int x, int y, bool upper, bool lower, int effects) {
    if (upper) {
        if (int hit = slotAt(kUpperPane, x, y); hit >= 0) {
            selectedUpper = hit;
            if (effects & kSetPane) activePane = kUpperPane;
            if (effects & kGraySaveLayer) graySaveLayer(false);
        }
    }
    if (lower) {
        if (int hit = slotAt(kLowerPane, x, y); hit >= 0) {
            selectedLower = hit;
            if (effects & kSetPane) activePane = kLowerPane;
            if (effects & kGraySaveLayer) graySaveLayer(true);
        }
    }
}

// ---- Mouse and keys

void LibrarianViewControl::OnMouseDown(int x, int y, IMouseMod* mod) {
    if (!mod || (!mod->L && !mod->R)) return;
    SetDirty(true);
    clearSelections();
    hitTest(x, y, true, true, kSetPane | kGraySaveLayer);
    if (librarian) {
        librarian->selectedSlotUpper = selectedUpper.load();
        librarian->selectedSlotLower = selectedLower.load();
    }
    if (mod->R) {
        // An upper slot is edited; anything else offers the copy.
        if (selectedUpper >= 0)
            plug->showFileEditMenu(x, y);
        else
            plug->showFileCopyMenu(x, y);
        return;
    }
    plug->renameIdle = true;
    plug->hideLayer(PanelLayers::kPatchRename, true);
    keyCursor = selectedUpper.load();
}

void LibrarianViewControl::OnMouseDblClick(int x, int y, IMouseMod* mod) {
    plug->renameIdle = true;
    SetDirty(true);
    IParam* out = plug->GetParam(kDeviceOutSelection);
    if (!out || out->Value() == 0.0) return;
    clearSelections();
    hitTest(x, y, true, true, kSetPane | kGraySaveLayer);
    const int slot = selectedUpper >= 0 ? selectedUpper.load() : selectedLower.load();
    keyCursor = slot;
    if (slot < 0) return;
    plug->sendPatchToDeviceFromLibrarian(slot, activePane);
}

bool LibrarianViewControl::OnKeyDown(int x, int y, int key) {
    plug->renameIdle = true;
    const int k = keyCursor;
    int n;
    switch (key) {
        case KEY_UPARROW:
            n = k > 0 ? k - 1 : kSlots - 1;
            break;
        case KEY_DOWNARROW:
            n = k > kSlots - 2 ? 0 : k + 1;
            break;
        case KEY_LEFTARROW:
            n = k < kRows ? k + kSlots - kRows : k - kRows;
            break;
        case KEY_RIGHTARROW:
            n = k + kRows <= kSlots - 1 ? k + kRows : k - (kSlots - kRows);
            break;
        default:
            return false;
    }
    // A cursor set from outside the slots' range restarts from the first.
    if (n < 0 || n >= kSlots) n = 0;
    keyCursor = n;
    (activePane == kLowerPane ? selectedLower : selectedUpper) = n;
    SetDirty(true);
    plug->sendPatchToDeviceFromLibrarian(n, activePane);
    return true;
}

void LibrarianViewControl::OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) {
    SetDirty(true);
    if (!dragEnabled) return;
    dragRect =
        IRECT(x - dragWidth / 2, y - rowHeight / 2, x - dragWidth / 2 + dragWidth, y - rowHeight / 2 + rowHeight);
    if (dragging) return;
    clearSelections();
    hitTest(x, y, true, true, kSelectionOnly);
    // Only a lower slot starts a drag; until then the highlight follows.
    if (selectedLower < 0) return;
    dragging = true;
    sourceSlot = selectedLower;
}

void LibrarianViewControl::OnMouseUp(int x, int y, IMouseMod* mod) {
    SetDirty(true);
    if (!dragging) return;
    dragging = false;
    clearSelections();
    hitTest(x, y, true, true, kSetPane);
    if (librarian) librarian->selectedSlotUpper = selectedUpper.load();
    if (selectedUpper < 0) return;
    feedBack(sourceSlot);
    plug->SetLibrarianStatusUnsaved(true);
    graySaveLayer(false);
}

// ---- The slot menus' actions

bool LibrarianViewControl::feedBack(int from) {
    PatchFile* source = lowerBank();
    if (!source || from < 0 || from >= static_cast<int>(source->patches.size())) return false;
    // A copy first: the source may be the upper bank that this fills.
    const LibrarianPatch program = source->patches[from];
    plug->SetLibrarianRequestActive(true);
    for (const PatchSysexMessage& message : program.sysexMessages) {
        const std::vector<uint8_t> bytes = message.data;
        ISysEx sysex(0, bytes.data(), static_cast<int>(bytes.size()));
        plug->ProcessSysEx(&sysex, true);
    }
    return true;
}

void LibrarianViewControl::CopySlotData(int x, int y) {
    selectedLower = -1;
    hitTest(x, y, false, true, kSetPane);
    sourceSlot = selectedLower;
    clipboard = librarian ? librarian->selectedBankLower : -1;
}

void LibrarianViewControl::PasteSlotData(int x, int y) {
    SetDirty(true);
    selectedUpper = -1;
    hitTest(x, y, true, false, kSetPane);
    if (librarian) librarian->selectedSlotUpper = selectedUpper.load();
    if (clipboard == -1) return;
    // A Copy made beside every slot recorded nothing to paste.
    if (!feedBack(sourceSlot)) return;
    plug->SetLibrarianStatusUnsaved(true);
}

void LibrarianViewControl::renameSlot(int x, int y) {
    plug->renameIdle = false;
    const int selected = selectedUpper;
    if (selected < 0 || selected >= kSlots) return;
    activePane = kUpperPane;
    PatchFile* bank = upperBank();
    if (!bank) return;
    resizeToBankSlots(bank->patches);
    const LibrarianPatch& program = bank->patches[selected];
    if (program.sysexMessages.empty()) return;
    if (IParam* rename = plug->GetParam(kPatchRename)) rename->SetDisplayText(0, program.name.c_str());
    plug->hideLayer(PanelLayers::kPatchRename, false);
}
