// Panel controls: the IControl base with its value, dirty and redraw flags,
// hiding and graying out, and the built-in control classes.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "framework/IGraphicsStructs.h"

class IUnitBase;
class IGraphics;
class IParam;

class IControl {
public:
    IControl(IUnitBase* plug, IRECT rect, int paramIdx = -1, IChannelBlend blend = IChannelBlend());
    virtual ~IControl();
    IControl(const IControl&) = delete;
    IControl& operator=(const IControl&) = delete;

    virtual void OnMouseDown(int x, int y, IMouseMod* mod);
    virtual void OnMouseUp(int x, int y, IMouseMod* mod) {}
    virtual void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) {}
    // Back to the default value when there is one and the control is shown.
    virtual void OnMouseDblClick(int x, int y, IMouseMod* mod);
    virtual void OnMouseWheel(int x, int y, IMouseMod* mod, int d) {}
    // True when the key was used.
    virtual bool OnKeyDown(int x, int y, int key) { return false; }
    virtual void OnMouseOver(int x, int y, IMouseMod* mod) {}
    virtual void OnMouseOut() {}

    virtual bool Draw(IGraphics* graphics) { return true; }

    // A value from the plug-in: shown, not sent back.
    virtual void SetValueFromPlug(double value);
    // A value from the instrument: shown and, when it changed, handed on
    // through SetDirty2.
    virtual void SetValueFromHardware(double value);
    // The text the user typed into this control's prompt.
    virtual void TextFromTextEntry(const char* text);

    virtual void Hide(bool hide);
    virtual void GrayOut(bool gray);
    virtual bool IsHit(int x, int y) { return mRECT.Contains(x, y); }

    // Flags a redraw; with push and a parameter, sends the value to the plug-in
    // as a change from the panel (OnParamChange).
    virtual void SetDirty(bool pushParamToPlug = true);
    // The same, as a change that leads to OnParamChange2.
    virtual void SetDirty2();
    // dirty := redraw, redraw := false: a redraw-flagged control stays dirty
    // for one more frame.
    virtual void SetClean();
    virtual bool IsDirty() { return mDirty; }
    virtual void OnGUIIdle() {}
    virtual void SetAuxParamValueFromPlug(int auxParamIdx, double value);

    // The normalised value after the wheel turned by notches: one of the
    // parameter's own steps per notch.
    double WheelMove(double value, const IMouseMod* mod, int notches) const;

    // Opens the value prompt through the graphics unless prompting is off.
    void PromptUserInput();
    void DisablePrompt(bool disable) { mDisablePrompt = disable; }
    bool IsPromptDisabled() const { return mDisablePrompt; }
    void SetTextEntryLength(int len) { mTextEntryLength = len; }
    // A text shown in place of an entry (such as "search..."): the text
    // entry starts empty over it, and an empty entry changes nothing.
    void SetPlaceholder(const std::string& text) { mPlaceholder = text; }
    const std::string& GetPlaceholder() const { return mPlaceholder; }
    int GetTextEntryLength() const { return mTextEntryLength; }
    // What the text entry takes of each character typed (none: all).
    void SetTextEntryFilter(ITextEntryFilter filter) { mTextEntryFilter = std::move(filter); }
    const ITextEntryFilter& GetTextEntryFilter() const { return mTextEntryFilter; }

    int ParamIdx() const { return mParamIdx; }
    IParam* GetParam() const;
    IUnitBase* GetPlug() const { return mPlug; }
    IGraphics* GetGUI() const;
    IRECT* GetRECT() { return &mRECT; }
    const IRECT& GetRECTRef() const { return mRECT; }
    void SetRECT(const IRECT& r) { mRECT = r; }
    double GetValue() const { return mValue; }
    void SetValue(double v) { mValue = v; }
    double GetDefaultValue() const { return mDefaultValue; }
    void SetDefaultValue(double v) { mDefaultValue = v; }
    void Clamp(double lo, double hi) {
        mClampLo = lo;
        mClampHi = hi;
    }
    bool IsHidden() const { return mHide; }
    bool IsGrayed() const { return mGrayed; }
    void SetRedraw(bool r = true) { mRedraw = r; }
    bool GetRedraw() const { return mRedraw; }
    void SetIgnoreHidden(bool f) { mIgnoreHidden = f; }
    bool GetIgnoreHidden() const { return mIgnoreHidden; }
    IText* GetText() { return &mText; }
    void SetText(const IText* t) {
        if (t) mText = *t;
    }
    IChannelBlend* GetBlend() { return &mBlend; }
    // The blend a draw uses: the control's own, faded while grayed out.
    IChannelBlend DrawBlend() const;

    // Further parameters that this control shows (besides its own).
    struct AuxParam {
        double mValue = 0.0;
        int mParamIdx = -1;
    };
    void AddAuxParam(int paramIdx) { mAuxParams.push_back({0.0, paramIdx}); }
    int NAuxParams() const { return static_cast<int>(mAuxParams.size()); }
    AuxParam* GetAuxParam(int i) { return i >= 0 && i < NAuxParams() ? &mAuxParams[i] : nullptr; }
    int AuxParamIdx(int paramIdx) const;

protected:
    IUnitBase* mPlug;
    IRECT mRECT;
    int mParamIdx;
    // Values and flags are also set from the MIDI and job threads while the
    // panel draws on the main thread.
    std::atomic<double> mValue{0.0};
    double mDefaultValue = -1.0;
    double mClampLo = 0.0, mClampHi = 1.0;
    std::atomic<bool> mDirty{true};
    std::atomic<bool> mRedraw{false};
    std::atomic<bool> mHide{false};
    std::atomic<bool> mGrayed{false};
    bool mIgnoreHidden = false;
    bool mDisablePrompt = true;
    int mTextEntryLength = 0;
    ITextEntryFilter mTextEntryFilter;
    std::string mPlaceholder;
    IChannelBlend mBlend;
    IText mText;
    std::vector<AuxParam> mAuxParams;
};

// Draws one text in its rectangle.
class ITextControl : public IControl {
public:
    ITextControl(IUnitBase* plug, IRECT rect, IText* text, const char* str = "");
    // Changes only a different text, then flags the control dirty.
    void SetTextFromPlug(const char* str);
    std::string GetTextString() const;
    void ClearTextFromPlug() { SetTextFromPlug(""); }
    bool Draw(IGraphics* graphics) override;
    // Two texts on one line of the same rectangle, one aligned near and one
    // far: each keeps clear of the other, and both shrink alike when together
    // they do not fit; where they cannot fit at all, the near one shows
    // alone. Set while the panel is built, on both.
    void ShareRowWith(ITextControl* other) { mRowPartner = other; }

protected:
    // Draws str in this control's place on the row it shares.
    void DrawShared(IGraphics* graphics, const std::string& str);
    ITextControl* mRowPartner = nullptr;
    // Status texts are written by the job threads while the panel draws them.
    mutable std::mutex mStrLock;
    std::string mStr;
};

// Shows its parameter's display text (and label); a click opens the prompt.
class ICaptionControl : public ITextControl {
public:
    ICaptionControl(IUnitBase* plug, IRECT rect, int paramIdx, IText* text, bool showParamLabel = true);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* graphics) override;

protected:
    bool mShowParamLabel;
};

// Draws the frame of its value from a multi-frame bitmap.
class IBitmapControl : public IControl {
public:
    IBitmapControl(IUnitBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                   IChannelBlend::EBlendMethod blend = IChannelBlend::kBlendNone);
    IBitmapControl(IUnitBase* plug, int x, int y, IBitmap* bitmap,
                   IChannelBlend::EBlendMethod blend = IChannelBlend::kBlendNone)
        : IBitmapControl(plug, x, y, -1, bitmap, blend) {}
    bool Draw(IGraphics* graphics) override;
    // The frame shown for the value: 1 + round(value x (N - 1)).
    int FrameForValue() const;
    IBitmap* GetIBitmap() { return &mBitmap; }

protected:
    IBitmap mBitmap;
};

// Steps one frame per click, wrapping to the first after the last.
class ISwitchControl : public IBitmapControl {
public:
    ISwitchControl(IUnitBase* plug, int x, int y, int paramIdx, IBitmap* bitmap,
                   IChannelBlend::EBlendMethod blend = IChannelBlend::kBlendNone)
        : IBitmapControl(plug, x, y, paramIdx, bitmap, blend) {}
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
};

// A momentary button: back to 0 when released.
class IContactControl : public ISwitchControl {
public:
    using ISwitchControl::ISwitchControl;
    void OnMouseUp(int x, int y, IMouseMod* mod) override;
};

// A switch drawn over the panel; its click toggles it shown (the base of
// controls that cover part of the panel).
class IBitmapOverlayControl : public ISwitchControl {
public:
    IBitmapOverlayControl(IUnitBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, IRECT targetArea)
        : ISwitchControl(plug, x, y, paramIdx, bitmap), mTargetArea(targetArea) {}
    IBitmapOverlayControl(IUnitBase* plug, int x, int y, IBitmap* bitmap, IRECT targetArea)
        : IBitmapOverlayControl(plug, x, y, -1, bitmap, targetArea) {}
    bool Draw(IGraphics* graphics) override;
    bool IsHit(int x, int y) override;
    IRECT* GetTargetArea() { return &mTargetArea; }

protected:
    IRECT mTargetArea;
};

// A row or column of buttons for one enum parameter.
class IRadioButtonsControl : public IControl {
public:
    IRadioButtonsControl(IUnitBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* bitmap,
                         EDirection direction = kVertical, bool reverse = false);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* graphics) override;
    // The selected button: trunc(value x (n - 1) + 0.5), clamped.
    int SelectedButton() const;
    int NButtons() const { return static_cast<int>(mRECTs.size()); }
    const IRECT& ButtonRECT(int i) const { return mRECTs[i]; }

protected:
    std::vector<IRECT> mRECTs;
    IBitmap mBitmap;
};

// A knob drawn from a strip of frames, dragged vertically or horizontally.
class IKnobMultiControl : public IControl {
public:
    IKnobMultiControl(IUnitBase* plug, int x, int y, int paramIdx, IBitmap* bitmap, EDirection direction = kVertical,
                      double gearing = 4.0);
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
    void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
    bool Draw(IGraphics* graphics) override;
    void SetGearing(double g) { mGearing = g; }
    double GetGearing() const { return mGearing; }

protected:
    EDirection mDirection;
    double mGearing;
    IBitmap mBitmap;
};

// A fader: a handle bitmap travelling `length` pixels from (x, y).
class IFaderControl : public IControl {
public:
    IFaderControl(IUnitBase* plug, int x, int y, int length, int paramIdx, IBitmap* handle,
                  EDirection direction = kVertical, bool onlyHandle = false);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* mod) override;
    void OnMouseWheel(int x, int y, IMouseMod* mod, int d) override;
    bool Draw(IGraphics* graphics) override;
    bool IsHit(int x, int y) override;
    // Where the handle stands for a value.
    IRECT GetHandleRECT(double value) const;
    int GetLength() const { return mLen; }

protected:
    void SnapToMouse(int x, int y);
    int mLen;
    int mHandleHeadroom;
    EDirection mDirection;
    bool mOnlyHandle;
    IBitmap mBitmap;
};
