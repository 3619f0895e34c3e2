#pragma once
// The group box, drawn flat: a thin outline with its title set into the top
// edge, at the left or centred.

#include "platform/appkit/Controls.h"
#include "platform/controls/Painter.h"

namespace platform::controls {

class Box : public appkit::Box {
public:
    // Title positions, as the Mac numbers them.
    enum { kNoTitle = 0, kAtTop = 2 };

    explicit Box(appkit::Rect frame = {});
    const appkit::Font& titleFont() const { return font_; }
    void setTitleFont(const appkit::Font& f);
    bool titleCentered() const { return centred_; }
    void setTitleCentered(bool c);
    int titlePosition() const { return position_; }
    void setTitlePosition(int p);

    void drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) override;

private:
    appkit::Font font_ = appkit::Font::system(11);
    bool centred_ = false;
    int position_ = kAtTop;
};

}  // namespace platform::controls
