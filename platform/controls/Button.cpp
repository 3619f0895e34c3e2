#include "platform/controls/Button.h"

#include <algorithm>
#include <cmath>

#include "platform/appkit/Window.h"

namespace platform::controls {

namespace {
constexpr double kCheckSide = 12;
constexpr double kCheckGap = 4;
}  // namespace

Button::Button(appkit::Rect frame) : appkit::Button(frame) {}

Button::~Button() {
    if (imageRef_) CGImageRelease(imageRef_);
}

void Button::setBezelStyle(int b) {
    bezel_ = b;
    setNeedsDisplay();
}

void Button::setImagePosition(int p) {
    imagePosition_ = p;
    setNeedsDisplay();
}

void Button::setImageRef(CGImageRef image) {
    if (image) CGImageRetain(image);
    if (imageRef_) CGImageRelease(imageRef_);
    imageRef_ = image;
    setImage(image);
}

void Button::setCell(std::unique_ptr<ButtonCell> cell) {
    cell_ = std::move(cell);
    setNeedsDisplay();
}

int Button::nextState() const {
    switch (buttonType()) {
        case kSwitch:
            if (state() == kOff) return kOn;
            if (state() == kOn && allowsMixedState()) return kMixed;
            return kOff;
        case kRadio:
            return kOn;
        default:
            return state();
    }
}

void Button::performClick() {
    if (!isEnabled()) return;
    setState(nextState());
    sendAction();
}

bool Button::inside(const appkit::Event& e) const {
    appkit::Point p = convertFromWindow(e.location);
    return bounds().contains(p);
}

void Button::mouseDown(const appkit::Event& e) {
    if (!isEnabled() || e.button != appkit::MouseButton::Left) return;
    tracking_ = true;
    highlighted_ = true;
    setNeedsDisplay();
}

void Button::mouseDragged(const appkit::Event& e) {
    if (!tracking_) return;
    bool in = inside(e);
    if (in != highlighted_) {
        highlighted_ = in;
        setNeedsDisplay();
    }
}

void Button::mouseUp(const appkit::Event& e) {
    if (!tracking_) return;
    tracking_ = false;
    bool in = inside(e);
    highlighted_ = false;
    setNeedsDisplay();
    if (in) performClick();
}

bool Button::performKeyEquivalent(const appkit::Event& e) {
    if (e.key != appkit::Key::Return || !isEnabled() || isHiddenOrHasHiddenAncestor()) return false;
    performClick();
    return true;
}

void Button::sizeToFit() {
    Font f = font();
    double w = std::ceil(textWidth(f, title()));
    if (buttonType() == kPush) {
        w += 24;
        if (imageRef_ && imagePosition_ != kNoImage)
            w += static_cast<double>(CGImageGetWidth(imageRef_)) + (title().empty() ? 0 : 4);
    } else {
        w += kCheckSide + kCheckGap + 2;
    }
    appkit::FRect fr = frameF();
    setFrameF({fr.x, fr.y, w, fr.height});
}

Color Button::titleColour() const {
    if (!isEnabled()) return rgb(look::kTextDisabled);
    return titleColor() ? *titleColor() : rgb(look::kText);
}

void Button::drawRect(appkit::Canvas& canvas, const appkit::Rect&) {
    Painter p(canvas);
    if (!p.ok()) return;
    FRect r = boundsF();
    if (cell_) {
        cell_->drawWithFrame(p, r, this);
        return;
    }
    if (buttonType() == kPush)
        drawFace(p, r);
    else
        drawCheck(p, r);
}

void Button::drawFace(Painter& p, const FRect& r) {
    bool isDefault = window() && window()->defaultButton() == this;
    p.fill(r, highlighted_ ? look::kFacePressed : look::kFace);
    p.frame(r, isDefault ? look::kAccent : look::kEdge, isDefault ? 2 : 1);
    FRect content = r.insetBy(4, 2);
    const std::string& t = title();
    bool showImage = imageRef_ && imagePosition_ != kNoImage;
    if (showImage) {
        double iw = static_cast<double>(CGImageGetWidth(imageRef_));
        double ih = static_cast<double>(CGImageGetHeight(imageRef_));
        double tw = (imagePosition_ == kImageOnly || t.empty()) ? 0 : textWidth(font(), t) + 4;
        double x = std::floor(r.x + (r.width - iw - tw) / 2);
        double y = std::floor(r.y + (r.height - ih) / 2);
        if (imagePosition_ == kImageRight) {
            p.drawImage({x + tw, y, iw, ih}, imageRef_);
            if (tw > 0) p.text(t, {x, content.y, tw, content.height}, font(), titleColour(), TextAlignment::Left);
        } else {
            p.drawImage({x, y, iw, ih}, imageRef_);
            if (tw > 0)
                p.text(t, {x + iw + 4, content.y, tw, content.height}, font(), titleColour(), TextAlignment::Left);
        }
        return;
    }
    p.text(t, content, font(), titleColour(), TextAlignment::Center);
}

void Button::drawCheck(Painter& p, const FRect& r) {
    bool right = imagePosition_ == kImageRight;
    double y = std::floor(r.y + (r.height - kCheckSide) / 2);
    double x = right ? r.right() - kCheckSide - 1 : r.x + 1;
    FRect box{x, y, kCheckSide, kCheckSide};
    uint32_t mark = isEnabled() ? look::kText : look::kTextDisabled;
    if (buttonType() == kRadio) {
        p.fillEllipse(box, highlighted_ ? look::kFacePressed : look::kField);
        p.strokeEllipse(box, look::kEdge);
        if (state() != kOff) p.fillEllipse(box.insetBy(3.5, 3.5), mark);
    } else {
        p.fill(box, highlighted_ ? look::kFacePressed : look::kField);
        p.frame(box, look::kEdge);
        if (state() == kOn)
            p.strokePolyline({{x + 2.5, y + 6}, {x + 5, y + 9}, {x + 9.5, y + 3}}, mark, 2);
        else if (state() == kMixed)
            p.fill({x + 3, y + 5, kCheckSide - 6, 2}, mark);
    }
    FRect text = right ? FRect{r.x, r.y, r.width - kCheckSide - kCheckGap - 1, r.height}
                       : FRect{r.x + kCheckSide + kCheckGap + 1, r.y, r.width - kCheckSide - kCheckGap - 1, r.height};
    p.text(title(), text, font(), titleColour(), right ? TextAlignment::Right : TextAlignment::Left);
}

}  // namespace platform::controls
