#include "src/ICustomRadioButtonsControl.h"

#include "framework/IGraphics.h"

#include <algorithm>

ICustomRadioButtonsControl::ICustomRadioButtonsControl(IUnitBase* plug, IRECT rect, int paramIdx, int nButtons,
                                                       IBitmap* bitmap, EDirection direction)
    : IRadioButtonsControl(plug, rect, paramIdx, nButtons, bitmap, direction, false) {
    const int n = std::max(nButtons, 1);
    // Each frame shows the whole group; a button is one slice of it.
    if (mBitmap.mFramesAreHorizontal) {
        mButtonWidth = mBitmap.W / 2;
        mButtonHeight = mBitmap.H / n;
    } else {
        mButtonWidth = mBitmap.W / n;
        mButtonHeight = mBitmap.H / 2;
    }
    const int frameHeight = static_cast<int>(static_cast<double>(mBitmap.H) / std::max(mBitmap.N, 1));
    mRECTs.clear();
    for (int i = 0; i < n; ++i) {
        if (direction == kHorizontal)
            mRECTs.emplace_back(rect.L + i * mButtonWidth, rect.T, rect.L + (i + 1) * mButtonWidth,
                                rect.T + frameHeight);
        else
            mRECTs.emplace_back(rect.L, rect.T + i * mButtonHeight, rect.L + mButtonWidth,
                                rect.T + (i + 1) * mButtonHeight);
    }
}

void ICustomRadioButtonsControl::OnMouseDown(int x, int y, IMouseMod* mod) {
    IMouseMod plain(true, false, mod ? mod->S : false, mod ? mod->C : false, mod ? mod->A : false);
    if (!(mod && mod->R))
        OnMouseDownCustom(x, y, mod);
    else if (mRightClickSelects)
        OnMouseDownCustom(x, y, &plain);
    SetDirty(true);
}

void ICustomRadioButtonsControl::OnMouseDownCustom(int x, int y, IMouseMod* mod) {
    if (mod && mod->R) return;
    const int n = NButtons();
    if (n == 0) {
        SetDirty(true);
        return;
    }
    for (int i = 0; i < n; ++i) {
        if (mSelectableLimit >= 0 && i > mSelectableLimit) continue;
        if (!mRECTs[i].Contains(x, y)) continue;
        // A group of one button has nothing to choose between.
        mValue = n > 1 ? static_cast<double>(i) / static_cast<double>(n - 1) : 0.0;
        break;
    }
    SetDirty(true);
}

bool ICustomRadioButtonsControl::Draw(IGraphics* graphics) {
    const int selected = SelectedButton();
    // This group is drawn at full strength even while grayed out.
    IChannelBlend blend = mBlend;
    blend.mWeight = 1.0f;
    for (int i = 0; i < NButtons(); ++i) {
        const int srcX = mBitmap.mFramesAreHorizontal ? 0 : i * mButtonWidth;
        const int srcY = mBitmap.mFramesAreHorizontal ? i * mButtonHeight : 0;
        const int frame = i == selected && mShowSelection ? 2 : 1;
        graphics->DrawBitmap(&mBitmap, &mRECTs[i], frame, srcX, srcY, &blend);
    }
    return true;
}
