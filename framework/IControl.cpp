#include "framework/IControl.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "framework/IUnitBase.h"

IControl::IControl(IUnitBase* plug, IRECT rect, int paramIdx, IChannelBlend blend)
    : mPlug(plug), mRECT(rect), mParamIdx(paramIdx), mBlend(blend) {}

IControl::~IControl() = default;

IParam* IControl::GetParam() const { return mPlug && mParamIdx >= 0 ? mPlug->GetParam(mParamIdx) : nullptr; }

IGraphics* IControl::GetGUI() const { return mPlug ? mPlug->GetGUI() : nullptr; }

int IControl::AuxParamIdx(int paramIdx) const {
    for (int i = 0; i < NAuxParams(); ++i)
        if (mAuxParams[i].mParamIdx == paramIdx) return i;
    return -1;
}

void IControl::OnMouseDown(int x, int y, IMouseMod* mod) {
    if (mod && mod->R) PromptUserInput();
}

void IControl::OnMouseDblClick(int x, int y, IMouseMod* mod) {
    if (mDefaultValue >= 0.0 && !mHide) mValue = mDefaultValue;
    SetDirty(true);
}

double IControl::WheelMove(double value, const IMouseMod* mod, int notches) const {
    const IParam* p = GetParam();
    const double range = p ? p->GetMax() - p->GetMin() : 0.0;
    // A parameter without a step of its own that shows whole numbers steps
    // by one.
    const double step = !p ? 0.0 : p->GetStep() > 0.0 ? p->GetStep() : p->GetDecimals() == 0 ? 1.0 : 0.0;
    if (!(step > 0.0) || !(range > 0.0)) {
        // A parameter without steps moves a hundredth of its range, or a
        // tenth of that when fine.
        const bool fine = mod && (mod->S || mod->C);
        return value + (fine ? 0.001 : 0.01) * notches;
    }
    // One notch, fine or not, is one of the parameter's own steps: from the
    // step the value shows (whole values are read truncated), counted so that
    // the plain value lands exactly on it.
    const double steps = range / step;
    double k = std::floor(std::clamp(value, 0.0, 1.0) * steps + 1e-9) + notches;
    k = std::clamp(k, 0.0, std::ceil(steps));
    return std::min(1.0, k / steps);
}

void IControl::SetValueFromPlug(double value) {
    if (mDefaultValue < 0.0) {
        mValue = mDefaultValue = value;
        return;
    }
    if (value == mValue) return;
    mValue = value;
    SetDirty(false);
    mRedraw = true;
}

void IControl::SetValueFromHardware(double value) {
    if (value == mValue) return;
    mValue = value;
    SetDirty2();
}

void IControl::SetAuxParamValueFromPlug(int auxParamIdx, double value) {
    AuxParam* aux = GetAuxParam(auxParamIdx);
    if (!aux) return;
    aux->mValue = value;
    SetDirty(false);
    mRedraw = true;
}

void IControl::TextFromTextEntry(const char* text) {
    IParam* p = GetParam();
    if (!p || !text) return;
    if (p->Type() == IParam::kTypeText) {
        p->SetDisplayText(0, text);
        SetDirty(true);
        return;
    }
    // An entry that names one of the display texts chooses that value;
    // otherwise a number is taken as a plain value.
    for (int i = 0; i < p->GetNDisplayTexts(); ++i) {
        int v = 0;
        const char* t = nullptr;
        if (p->GetDisplayTextAtIdx(i, &v, &t) && t && std::strcmp(t, text) == 0) {
            mValue = p->ToNormalized(v);
            SetDirty(true);
            return;
        }
    }
    char* end = nullptr;
    double plain = std::strtod(text, &end);
    if (end == text || !std::isfinite(plain)) return;
    mValue = p->ToNormalized(std::clamp(plain, p->GetMin(), p->GetMax()));
    SetDirty(true);
}

void IControl::Hide(bool hide) {
    mHide = hide;
    mRedraw = true;
    SetDirty(false);
}

void IControl::GrayOut(bool gray) {
    mGrayed = gray;
    SetDirty(false);
}

IChannelBlend IControl::DrawBlend() const {
    IChannelBlend blend = mBlend;
    if (mGrayed) blend.mWeight = 0.25f;
    return blend;
}

void IControl::SetDirty(bool pushParamToPlug) {
    mValue = std::clamp(mValue.load(), mClampLo, mClampHi);
    mDirty = true;
    if (pushParamToPlug && mPlug && mParamIdx >= 0) mPlug->SetParameterFromGUI(mParamIdx, mValue);
}

void IControl::SetDirty2() {
    mValue = std::clamp(mValue.load(), mClampLo, mClampHi);
    mDirty = true;
    if (mPlug && mParamIdx >= 0) mPlug->SetParameterFromGUI2(mParamIdx, mValue);
}

void IControl::SetClean() {
    mDirty = mRedraw.load();
    mRedraw = false;
}

void IControl::PromptUserInput() {
    if (mDisablePrompt) return;
    if (IGraphics* g = GetGUI()) g->PromptUserInput(this);
}

// --- ITextControl, ICaptionControl --------------------------------------------

ITextControl::ITextControl(IUnitBase* plug, IRECT rect, IText* text, const char* str)
    : IControl(plug, rect), mStr(str ? str : "") {
    if (text) mText = *text;
}

void ITextControl::SetTextFromPlug(const char* str) {
    {
        std::lock_guard<std::mutex> lock(mStrLock);
        std::string s = str ? str : "";
        if (s == mStr) return;
        mStr = std::move(s);
    }
    SetDirty(false);
    // The partner's room changed with this text.
    if (mRowPartner) mRowPartner->SetDirty(false);
}

std::string ITextControl::GetTextString() const {
    std::lock_guard<std::mutex> lock(mStrLock);
    return mStr;
}

bool ITextControl::Draw(IGraphics* graphics) {
    const std::string s = GetTextString();
    if (!s.empty()) DrawShared(graphics, s);
    return true;
}

void ITextControl::DrawShared(IGraphics* graphics, const std::string& str) {
    const std::string other = mRowPartner ? mRowPartner->GetTextString() : std::string();
    if (other.empty()) {
        graphics->DrawIText(&mText, str.c_str(), &mRECT);
        return;
    }
    // Both texts at the one size at which they fit the row together, with a
    // gap of two blanks between them.
    const bool near = mText.mAlign != IText::kAlignFar;
    const std::string row = near ? str + "  " + other : other + "  " + str;
    IText style = mText;
    int rowWidth = 0;
    style.mSize = graphics->FitText(&mText, row.c_str(), mRECT.W(), mRECT.H(), &rowWidth);
    if (rowWidth > mRECT.W() || style.mSize * 3 < mText.mSize * 2) {
        // Both fit only at a size too small to read: the near text (the
        // message) keeps the row to itself rather than both shrinking out of
        // sight; the far one shows again once there is room.
        if (near) graphics->DrawIText(&mText, str.c_str(), &mRECT);
        return;
    }
    int ownWidth = 0;
    graphics->FitText(&style, str.c_str(), mRECT.W(), mRECT.H(), &ownWidth);
    IRECT r = mRECT;
    if (near)
        r.R = std::min(r.R, r.L + std::max(ownWidth, mRECT.W() - (rowWidth - ownWidth)));
    else
        r.L = std::max(r.L, r.R - std::max(ownWidth, mRECT.W() - (rowWidth - ownWidth)));
    graphics->DrawIText(&style, str.c_str(), &r);
}

ICaptionControl::ICaptionControl(IUnitBase* plug, IRECT rect, int paramIdx, IText* text, bool showParamLabel)
    : ITextControl(plug, rect, text), mShowParamLabel(showParamLabel) {
    mParamIdx = paramIdx;
}

void ICaptionControl::OnMouseDown(int x, int y, IMouseMod* mod) {
    PromptUserInput();
    mRedraw = true;
}

void ICaptionControl::OnMouseDblClick(int x, int y, IMouseMod* mod) { PromptUserInput(); }

bool ICaptionControl::Draw(IGraphics* graphics) {
    if (IParam* p = GetParam()) {
        std::string s = p->GetDisplayForHost();
        const char* label = p->GetLabelForHost();
        if (mShowParamLabel && label && *label) s += std::string(" ") + label;
        std::lock_guard<std::mutex> lock(mStrLock);
        mStr = std::move(s);
    }
    return ITextControl::Draw(graphics);
}

// --- bitmap controls ------------------------------------------------------------

namespace {
// Frame 1 shows value 0, frame N value 1.
int frameForValue(double value, int frames) {
    int n = std::max(frames, 1);
    return 1 + static_cast<int>(0.5 + std::clamp(value, 0.0, 1.0) * (n - 1));
}

IRECT frameRect(int x, int y, const IBitmap* b) {
    if (!b) return IRECT(x, y, x, y);
    return IRECT(x, y, x + b->frameWidth(), y + b->frameHeight());
}
}  // namespace

IBitmapControl::IBitmapControl(IUnitBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                               IChannelBlend::EBlendMethod blend)
    : IControl(plug, frameRect(x, y, bitmap), paramIdx, IChannelBlend(blend)) {
    if (bitmap) mBitmap = *bitmap;
}

int IBitmapControl::FrameForValue() const { return frameForValue(mValue, mBitmap.N); }

bool IBitmapControl::Draw(IGraphics* graphics) {
    const IChannelBlend blend = DrawBlend();
    return graphics->DrawBitmap(&mBitmap, &mRECT, FrameForValue(), &blend);
}

void ISwitchControl::OnMouseDown(int x, int y, IMouseMod* mod) {
    if (mHide) return;
    if (mBitmap.N > 1)
        mValue += 1.0 / static_cast<double>(mBitmap.N - 1);
    else
        mValue += 1.0;
    if (mValue > 1.001) mValue = 0.0;
    SetDirty(true);
}

void IContactControl::OnMouseUp(int x, int y, IMouseMod* mod) {
    mValue = 0.0;
    SetDirty(true);
}

bool IBitmapOverlayControl::Draw(IGraphics* graphics) {
    if (mValue < 0.5) return true;
    return IBitmapControl::Draw(graphics);
}

bool IBitmapOverlayControl::IsHit(int x, int y) {
    return mValue >= 0.5 ? mTargetArea.Contains(x, y) || mRECT.Contains(x, y) : mRECT.Contains(x, y);
}

// --- IRadioButtonsControl -------------------------------------------------------

IRadioButtonsControl::IRadioButtonsControl(IUnitBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* bitmap,
                                           EDirection direction, bool reverse)
    : IControl(plug, rect, paramIdx) {
    if (bitmap) mBitmap = *bitmap;
    // A group needs at least one button; with one there is no gap to share.
    int n = std::max(nButtons, 1);
    int w = mBitmap.frameWidth(), h = mBitmap.frameHeight();
    int gapX = 0, gapY = 0;
    if (n > 1) {
        if (direction == kHorizontal)
            gapX = static_cast<int>(double(rect.W() - n * w) / double(n - 1));
        else
            gapY = static_cast<int>(double(rect.H() - n * h) / double(n - 1));
    }
    int x = rect.L, y = rect.T;
    for (int i = 0; i < n; ++i) {
        mRECTs.emplace_back(x, y, x + w, y + h);
        if (direction == kHorizontal)
            x += w + gapX;
        else
            y += h + gapY;
    }
    if (reverse) std::reverse(mRECTs.begin(), mRECTs.end());
}

int IRadioButtonsControl::SelectedButton() const {
    int n = NButtons();
    if (n < 2) return 0;
    int i = static_cast<int>(mValue * (n - 1) + 0.5);
    return std::clamp(i, 0, n - 1);
}

void IRadioButtonsControl::OnMouseDown(int x, int y, IMouseMod* mod) {
    if (mHide) return;
    if (mod && mod->R) {
        PromptUserInput();
        return;
    }
    int n = NButtons();
    for (int i = 0; i < n; ++i) {
        if (mRECTs[i].Contains(x, y)) {
            mValue = n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0.0;
            break;
        }
    }
    SetDirty(true);
}

bool IRadioButtonsControl::Draw(IGraphics* graphics) {
    int selected = SelectedButton();
    const IChannelBlend blend = DrawBlend();
    for (int i = 0; i < NButtons(); ++i) graphics->DrawBitmap(&mBitmap, &mRECTs[i], i == selected ? 2 : 1, &blend);
    return true;
}

// --- IKnobMultiControl -----------------------------------------------------------

IKnobMultiControl::IKnobMultiControl(IUnitBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, EDirection direction,
                                     double gearing)
    : IControl(plug, frameRect(x, y, bitmap), paramIdx), mDirection(direction), mGearing(gearing) {
    if (bitmap) mBitmap = *bitmap;
}

void IKnobMultiControl::OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) {
    // One sweep of the whole range takes the control's size times the gearing;
    // shift or control make it ten times finer.
    double gearing = mGearing * ((mod && (mod->S || mod->C)) ? 10.0 : 1.0);
    double extent = mDirection == kVertical ? mRECT.H() : mRECT.W();
    if (extent <= 0.0 || gearing <= 0.0) return;
    double delta = mDirection == kVertical ? -dY : dX;
    mValue += delta / (extent * gearing);
    SetDirty(true);
}

void IKnobMultiControl::OnMouseWheel(int x, int y, IMouseMod* mod, int d) {
    mValue = WheelMove(mValue, mod, d);
    SetDirty(true);
}

bool IKnobMultiControl::Draw(IGraphics* graphics) {
    const IChannelBlend blend = DrawBlend();
    return graphics->DrawBitmap(&mBitmap, &mRECT, frameForValue(mValue, mBitmap.N), &blend);
}

// --- IFaderControl ----------------------------------------------------------------

IFaderControl::IFaderControl(IUnitBase* plug, int x, int y, int length, int paramIdx, IBitmap* handle,
                             EDirection direction, bool onlyHandle)
    : IControl(plug, IRECT(), paramIdx), mLen(length), mDirection(direction), mOnlyHandle(onlyHandle) {
    if (handle) mBitmap = *handle;
    int w = mBitmap.frameWidth(), h = mBitmap.frameHeight();
    if (direction == kVertical) {
        mHandleHeadroom = h;
        mRECT = IRECT(x, y, x + w, y + length);
    } else {
        mHandleHeadroom = w;
        mRECT = IRECT(x, y, x + length, y + h);
    }
}

IRECT IFaderControl::GetHandleRECT(double value) const {
    value = std::clamp(value, 0.0, 1.0);
    IRECT r(mRECT.L, mRECT.T, mRECT.L + mBitmap.frameWidth(), mRECT.T + mBitmap.frameHeight());
    int travel = std::max(mLen - mHandleHeadroom, 0);
    if (mDirection == kVertical) {
        int offs = static_cast<int>((1.0 - value) * travel);
        r.T += offs;
        r.B += offs;
    } else {
        int offs = static_cast<int>(value * travel);
        r.L += offs;
        r.R += offs;
    }
    return r;
}

bool IFaderControl::IsHit(int x, int y) {
    if (mOnlyHandle) return GetHandleRECT(mValue).Contains(x, y);
    return mRECT.Contains(x, y);
}

void IFaderControl::SnapToMouse(int x, int y) {
    int travel = mLen - mHandleHeadroom;
    if (travel <= 0) return;
    if (mDirection == kVertical)
        mValue = 1.0 - double(y - mRECT.T - mHandleHeadroom / 2) / double(travel);
    else
        mValue = double(x - mRECT.L - mHandleHeadroom / 2) / double(travel);
    SetDirty(true);
}

void IFaderControl::OnMouseDown(int x, int y, IMouseMod* mod) {
    if (mod && mod->R) {
        PromptUserInput();
        return;
    }
    SnapToMouse(x, y);
}

void IFaderControl::OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) { SnapToMouse(x, y); }

void IFaderControl::OnMouseWheel(int x, int y, IMouseMod* mod, int d) {
    mValue = WheelMove(mValue, mod, d);
    SetDirty(true);
}

bool IFaderControl::Draw(IGraphics* graphics) {
    IRECT r = GetHandleRECT(mValue);
    const IChannelBlend blend = DrawBlend();
    return graphics->DrawBitmap(&mBitmap, &r, 1, &blend);
}
