#include "framework/IGraphics.h"

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <set>
#include <system_error>
#include <thread>

#include "base/BASE_Mutex.h"
#include "base/BASE_RegularFile.h"
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IGraphicsRaster.h"
#include "framework/IParam.h"
#include "framework/IPopupMenu.h"
#include "framework/IUnitBase.h"
#include "framework/Log.h"
#include "raster/RAST_Bitmap.h"

// ---- The bitmap cache ---------------------------------------------------------

namespace {

struct CacheEntry {
    int id;
    RAST_IBitmap* bitmap;
    std::set<const IGraphics*> owners;  // the panels that loaded it
};

BASE_Mutex& cacheLock() {
    static BASE_Mutex lock;
    return lock;
}

std::vector<CacheEntry>& cache() {
    static std::vector<CacheEntry> entries;
    return entries;
}

CacheEntry* findEntry(int id) {
    for (auto& e : cache())
        if (e.id == id) return &e;
    return nullptr;
}

// Drops one panel's hold; the bitmap goes when no panel holds it.
void release(std::vector<CacheEntry>::iterator it, const IGraphics* owner) {
    it->owners.erase(owner);
    if (!it->owners.empty()) return;
    delete it->bitmap;
    cache().erase(it);
}

}  // namespace

IGraphics::IGraphics(IUnitBase* plug, int width, int height, int fps, double scale)
    : mPlug(plug),
      mWidth(std::max(width, 1)),
      mHeight(std::max(height, 1)),
      mFPS(fps > 0 ? fps : 25),
      mScale(scale),
      mDrawBitmap(hvraster::NewSurface(mWidth, mHeight)) {}

IGraphics::~IGraphics() {
    StopDrawing();
    mMouseCapture = mMouseOver = nullptr;
    for (IControl* c : mControls) delete c;
    for (ControlLayer* l : mLayers) delete l;
    hvraster::ForgetFonts(this);
    BASE_MutexLock lock(cacheLock());
    auto& entries = cache();
    for (size_t i = 0; i < entries.size();) {
        size_t before = entries.size();
        if (entries[i].owners.count(this)) release(entries.begin() + i, this);
        if (entries.size() == before) ++i;
    }
}

IControl* IGraphics::GetControl(int i) const { return i >= 0 && i < NControls() ? mControls[i] : nullptr; }

ControlLayer* IGraphics::GetLayer(int i) const { return i >= 0 && i < NLayers() ? mLayers[i] : nullptr; }

void IGraphics::AttachControl(IControl* control) {
    if (control) mControls.push_back(control);
}

int IGraphics::AttachLayer(ControlLayer* layer) {
    if (!layer) return -1;
    mLayers.push_back(layer);
    return NLayers() - 1;
}

void IGraphics::AttachBackground(int id, const char* name, double scale) {
    IBitmap bg = LoadIBitmap(id, name, scale);
    mControls.insert(mControls.begin(), new IBitmapControl(mPlug, 0, 0, -1, &bg, IChannelBlend::kBlendClobber));
}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized) {
    if (!normalized) {
        IParam* p = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
        if (!p) return;
        p->Set(value);
        value = p->GetNormalized();
    }
    for (IControl* c : mControls) {
        if (c->ParamIdx() == paramIdx) c->SetValueFromPlug(value);
        int aux = c->AuxParamIdx(paramIdx);
        if (aux >= 0) c->SetAuxParamValueFromPlug(aux, value);
    }
    for (ControlLayer* l : mLayers) l->SetValueFromPlug(paramIdx, value);
}

void IGraphics::SetAllControlsDirty() {
    for (IControl* c : mControls) c->SetDirty(false);
    for (ControlLayer* l : mLayers) l->setControlsDirty();
}

// ---- Resources ----------------------------------------------------------------------

uint8_t* IGraphics::LoadFile(int id, const char* path) {
    std::string found = hvraster::FindResource(this, path);
    if (found.empty()) return nullptr;
    FILE* f = BASE_OpenRegularFileStream(found.c_str());
    if (!f) {
        LogLine("failed to open file");
        return nullptr;
    }
    auto* buf = new uint8_t[kMaxFileBytes]();
    size_t n = std::fread(buf, 1, kMaxFileBytes, f);
    std::fclose(f);
    mLoadedFileLength = static_cast<int>(n);
    return buf;
}

IBitmap IGraphics::LoadIBitmap(int id, const char* name, double scale, int frames, bool framesAreHorizontal) {
    BASE_MutexLock lock(cacheLock());
    CacheEntry* e = findEntry(id);
    if (!e) {
        // A missing or undecodable image leaves a hole in the panel, never a crash,
        // and is not cached, so a later call may find it.
        std::string path = hvraster::FindResource(this, name);
        RAST_IBitmap* scaled = path.empty() ? nullptr : hvraster::LoadScaledPNG(path.c_str(), scale);
        if (!scaled) {
            LogLine("failed to load image %s", name ? name : "(null)");
            return IBitmap();
        }
        cache().push_back({id, scaled, {}});
        e = &cache().back();
    }
    e->owners.insert(this);
    return IBitmap(e->bitmap, e->bitmap->getWidth(), e->bitmap->getHeight(), std::max(frames, 1), framesAreHorizontal);
}

void IGraphics::PreloadBitmaps(const std::vector<BitmapRequest>& requests, double scale) {
    std::vector<BitmapRequest> todo;
    {
        BASE_MutexLock lock(cacheLock());
        for (const BitmapRequest& r : requests)
            if (!findEntry(r.id) &&
                std::none_of(todo.begin(), todo.end(), [&](const BitmapRequest& t) { return t.id == r.id; }))
                todo.push_back(r);
    }
    // Decoding the images is most of a panel's start: it is spread over a
    // few threads, each taking the next image not yet taken.
    std::vector<RAST_IBitmap*> decoded(todo.size(), nullptr);
    std::atomic<size_t> next{0};
    auto decode = [&] {
        for (size_t i; (i = next++) < todo.size();) {
            const std::string path = hvraster::FindResource(this, todo[i].name);
            if (!path.empty()) decoded[i] = hvraster::LoadScaledPNG(path.c_str(), scale);
        }
    };
    const size_t threads = std::min<size_t>(
        {kMaxDecodeThreads, std::max(1u, std::thread::hardware_concurrency()), std::max<size_t>(todo.size(), 1)});
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t) {
        try {
            helpers.emplace_back(decode);
        } catch (const std::system_error&) {
            break;  // fewer helpers, the same work
        }
    }
    decode();
    for (std::thread& h : helpers) h.join();

    BASE_MutexLock lock(cacheLock());
    for (size_t i = 0; i < todo.size(); ++i) {
        if (!decoded[i]) continue;
        if (findEntry(todo[i].id)) {
            delete decoded[i];  // another panel loaded it meanwhile
            continue;
        }
        cache().push_back({todo[i].id, decoded[i], {this}});
    }
}

IBitmap IGraphics::getImageById(int id, int frames, bool framesAreHorizontal) {
    BASE_MutexLock lock(cacheLock());
    CacheEntry* e = findEntry(id);
    if (!e) return IBitmap();
    return IBitmap(e->bitmap, e->bitmap->getWidth(), e->bitmap->getHeight(), std::max(frames, 1), framesAreHorizontal);
}

void IGraphics::ReleaseBitmap(IBitmap* bitmap) {
    if (!bitmap || !bitmap->mData) return;
    // Nothing of this panel may draw from here on: a release means teardown.
    StopDrawing();
    BASE_MutexLock lock(cacheLock());
    auto& entries = cache();
    auto it =
        std::find_if(entries.begin(), entries.end(), [&](const CacheEntry& e) { return e.bitmap == bitmap->mData; });
    if (it == entries.end() || !it->owners.count(this)) return;
    release(it, this);
}

bool IGraphics::IsBitmapCached(int id) {
    BASE_MutexLock lock(cacheLock());
    return findEntry(id) != nullptr;
}

int IGraphics::NCachedBitmaps() {
    BASE_MutexLock lock(cacheLock());
    return static_cast<int>(cache().size());
}

// ---- Drawing --------------------------------------------------------------------------

bool IGraphics::DrawBitmap(IBitmap* bitmap, IRECT* rect, int frame, int srcX, int srcY, const IChannelBlend* blend) {
    if (!bitmap || !bitmap->mData || !rect) return true;
    int n = std::max(bitmap->N, 1);
    frame = std::clamp(frame, 1, n);  // a frame past the last shows the last
    if (frame >= 2 && n >= 2) {
        if (bitmap->mFramesAreHorizontal)
            srcX = static_cast<int>(double(frame - 1) * bitmap->W / n + 0.5);
        else
            srcY = static_cast<int>(double(frame - 1) * bitmap->H / n + 0.5);
    }
    IRECT r = rect->Intersect(&mDrawRECT);
    if (r.IsVoid()) return true;
    srcX += r.L - rect->L;
    srcY += r.T - rect->T;
    hvraster::Blit(mDrawBitmap.get(), bitmap->mData, r.L, r.T, srcX, srcY, r.W(), r.H(), BlendWeight(blend),
                   BlendToMode(blend));
    return true;
}

bool IGraphics::FillIRect(const IColor* color, IRECT* rect, const IChannelBlend* blend) {
    if (!color || !rect) return true;
    IRECT r = rect->Intersect(&mDrawRECT);
    if (r.IsVoid()) return true;
    hvraster::Fill(mDrawBitmap.get(), r.L, r.T, r.W(), r.H(), color->ToWord(), BlendWeight(blend), BlendToMode(blend));
    return true;
}

bool IGraphics::DrawIText(IText* text, const char* str, IRECT* rect) {
    if (!text || !str || !*str || !rect) return true;
    return hvraster::DrawText(this, mDrawBitmap.get(), text, str, rect);
}

int IGraphics::FitText(const IText* text, const char* str, int width, int height, int* textWidth) {
    const hvraster::FittedText fit = hvraster::FitText(this, text, str ? str : "", width, height);
    if (textWidth) *textWidth = fit.width;
    return fit.size;
}

bool IGraphics::IsDirty(IRECT* rect) {
    IRECT r;
    bool dirty = false;
    for (IControl* c : mControls) {
        if (!c->IsDirty() || (c->IsHidden() && !c->GetIgnoreHidden())) continue;
        r = r.Union(c->GetRECT());
        dirty = true;
    }
    for (ControlLayer* l : mLayers) dirty |= l->isDirty(&r);
    IRECT whole(0, 0, mWidth, mHeight);
    IRECT clipped = r.Intersect(&whole);
    if (rect) *rect = clipped;
    return dirty && !clipped.IsVoid();
}

void IGraphics::DrawControl(IControl* control, const IRECT* rect) {
    if (!control || control->IsHidden() || !rect || !control->GetRECTRef().Intersects(rect)) return;
    control->Draw(this);
    ++mLastDrawCount;
}

void IGraphics::Draw(const IRECT* rect) {
    std::lock_guard<std::recursive_mutex> g(mDrawLock);
    mLastDrawCount = 0;
    if (mDrawingStopped || !rect) return;
    IRECT whole(0, 0, mWidth, mHeight);
    mDrawRECT = rect->Intersect(&whole);
    for (IControl* c : mControls) DrawControl(c, &mDrawRECT);
    for (ControlLayer* l : mLayers) l->Draw(this, &mDrawRECT);
    for (IControl* c : mControls) c->SetClean();
    for (ControlLayer* l : mLayers) l->SetClean();
    mDrawRECT = IRECT();
}

void IGraphics::StopDrawing() {
    std::lock_guard<std::recursive_mutex> g(mDrawLock);
    mDrawingStopped = true;
}

// ---- Events -----------------------------------------------------------------------------

IControl* IGraphics::GetMouseControl(int x, int y) {
    if (mMouseCapture) return mMouseCapture;
    for (auto it = mLayers.rbegin(); it != mLayers.rend(); ++it)
        if (IControl* c = (*it)->GetMouseControl(x, y)) return c;
    return TopControlAt(mControls, x, y);
}

// A press captures the control under it (or nothing) for the drags and the
// release that follow.
IControl* IGraphics::CaptureAt(int x, int y) {
    mMouseX = x;
    mMouseY = y;
    mMouseCapture = nullptr;  // else the hit test answers with the old capture
    mMouseCapture = GetMouseControl(x, y);
    return mMouseCapture;
}

void IGraphics::OnMouseDown(int x, int y, IMouseMod* mod) {
    if (IControl* c = CaptureAt(x, y)) c->OnMouseDown(x, y, mod);
}

void IGraphics::OnMouseUp(int x, int y, IMouseMod* mod) {
    IControl* c = mMouseCapture ? mMouseCapture : GetMouseControl(x, y);
    mMouseCapture = nullptr;
    if (c) c->OnMouseUp(x, y, mod);
}

void IGraphics::OnMouseDrag(int x, int y, IMouseMod* mod) {
    int dX = x - mMouseX, dY = y - mMouseY;
    if (!mMouseCapture || (dX == 0 && dY == 0)) return;
    mMouseX = x;
    mMouseY = y;
    mMouseCapture->OnMouseDrag(x, y, dX, dY, mod);
}

void IGraphics::OnMouseDblClick(int x, int y, IMouseMod* mod) {
    if (IControl* c = CaptureAt(x, y)) c->OnMouseDblClick(x, y, mod);
}

void IGraphics::OnMouseWheel(int x, int y, IMouseMod* mod, int d) {
    if (IControl* c = GetMouseControl(x, y)) c->OnMouseWheel(x, y, mod, d);
}

void IGraphics::OnMouseOver(int x, int y, IMouseMod* mod) {
    mMouseX = x;
    mMouseY = y;
    IControl* c = GetMouseControl(x, y);
    if (mMouseOver && mMouseOver != c) mMouseOver->OnMouseOut();
    mMouseOver = c;
    if (c) c->OnMouseOver(x, y, mod);
}

void IGraphics::OnMouseOut() {
    if (mMouseOver) mMouseOver->OnMouseOut();
    mMouseOver = nullptr;
}

bool IGraphics::OnKeyDown(int x, int y, int key) {
    IControl* c = GetMouseControl(x, y);
    return c && c->OnKeyDown(x, y, key);
}

void IGraphics::OnGUIIdle() {
    for (IControl* c : mControls) c->OnGUIIdle();
}

// ---- The value prompt ------------------------------------------------------------------

void IGraphics::PromptUserInput(IControl* control, const std::vector<std::string>& notes) {
    if (!control) return;
    IParam* p = control->GetParam();
    if (!p) return;
    IRECT r = control->GetRECTRef();
    bool listed = (p->Type() == IParam::kTypeEnum || p->Type() == IParam::kTypeBool) && p->GetNDisplayTexts() > 0;
    if (listed) {
        IPopupMenu menu;
        int n = p->GetNDisplayTexts();
        for (int i = 0; i < n; ++i) {
            int v = 0;
            const char* t = nullptr;
            p->GetDisplayTextAtIdx(i, &v, &t);
            menu.AddItem(t ? t : "");
            if (v == p->Int()) menu.CheckItem(i, true);
        }
        for (const std::string& note : notes) menu.AddItem(note.c_str(), -1, IPopupMenuItem::kDisabled);
        IPopupMenu* chosen = CreateIPopupMenu(&menu, &r);
        if (!chosen || chosen->GetChosenItemIdx() >= n) return;
        int i = chosen->GetChosenItemIdx();
        control->SetValue(n > 1 ? double(i) / double(n - 1) : 0.0);
        control->SetDirty(true);
        return;
    }
    std::string current = p->Type() == IParam::kTypeText ? p->GetDisplayText(0) : p->GetDisplayForHost();
    // A text's trailing blanks are padding (a program name fills its twelve
    // places with them): the entry must not open full of them.
    if (p->Type() == IParam::kTypeText) current.erase(current.find_last_not_of(' ') + 1);
    const std::string& placeholder = control->GetPlaceholder();
    const bool placeheld = !placeholder.empty() && current == placeholder;
    if (placeheld) current.clear();
    std::string typed;
    if (!PromptForText(r, current, control->GetTextEntryLength(), control->GetTextEntryFilter(), typed)) return;
    if (placeheld && typed.empty()) return;  // nothing was typed over the placeholder
    control->TextFromTextEntry(typed.c_str());
}
