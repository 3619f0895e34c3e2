#pragma once
// The editor's radio group: one enum parameter shown as a row or column of
// buttons, all drawn from one two-frame bitmap in which each frame shows the
// whole group (frame 1 every button off, frame 2 every button on). Each
// button draws its own slice of a frame.
#include "framework/IControl.h"

class ICustomRadioButtonsControl : public IRadioButtonsControl {
public:
    // direction kHorizontal lays the buttons out in a row, kVertical in a
    // column. A group of no buttons is kept as one button.
    ICustomRadioButtonsControl(IUnitBase* plug, IRECT rect, int paramIdx, int nButtons, IBitmap* bitmap,
                               EDirection direction);

    // A right click selects nothing but still pushes the value again.
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    // Selects the first button under (x, y) and pushes the value.
    void OnMouseDownCustom(int x, int y, IMouseMod* mod);
    // A double click never resets the group.
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override {}
    void OnMouseOver(int x, int y, IMouseMod* mod) override {}
    void OnMouseOut() override { SetDirty(false); }
    bool Draw(IGraphics* graphics) override;

    int ButtonWidth() const { return mButtonWidth; }
    int ButtonHeight() const { return mButtonHeight; }

private:
    bool mRightClickSelects = false;
    bool mShowSelection = true;
    int mButtonWidth = 0;
    int mButtonHeight = 0;
    int mSelectableLimit = -1;  // -1: every button can be selected
};
