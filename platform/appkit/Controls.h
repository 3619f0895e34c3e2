#pragma once
// The state of the platform's standard controls, as the toolkit asks and
// sets it: tags, enabled flags and string values of controls, button titles
// and states, text fields, text views, boxes, and the scroll and clip views
// that carry a scrolled document view. Drawing and input of these classes
// live with the code that draws them; here is only what they hold.

#include <optional>
#include <string>

#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"

namespace platform::appkit {

// A colour with components from 0 to 1.
struct Color {
    double red = 0, green = 0, blue = 0, alpha = 1;
    friend bool operator==(const Color&, const Color&) = default;
    // The standard colour of control text.
    static Color controlText() { return {0, 0, 0, 1}; }
};

// A font by name and size in points; an empty name is the system font.
struct Font {
    std::string name;
    double size = 13;
    static Font system(double size) { return {std::string(), size}; }
    friend bool operator==(const Font&, const Font&) = default;
};

// The Mac's numbering: 0 left, 1 right, 2 centre.
enum class TextAlignment { Left = 0, Right = 1, Center = 2, Justified = 3, Natural = 4 };

// What controls send their actions to, as target and action do on the Mac:
// a control asks whether its target answers the action (a selector name
// such as "onShimCommand:") before sending it.
class ActionTarget {
public:
    virtual ~ActionTarget() = default;
    virtual bool respondsToAction(const std::string& selector) const = 0;
    virtual void performAction(const std::string& selector, Responder* sender) = 0;
};

// Sizes of a control's cell.
enum class ControlSize { Regular = 0, Small = 1, Mini = 2 };

class Control : public View {
public:
    using View::View;
    int tag() const { return tag_; }
    void setTag(int t) { tag_ = t; }
    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool e);
    virtual std::string stringValue() const { return stringValue_; }
    virtual void setStringValue(const std::string& s);
    bool acceptsFirstResponder() const override { return enabled_; }

    // The target may be any responder; it is asked whether it is still live
    // and whether it answers the action before each send.
    Responder* target() const { return target_; }
    void setTarget(Responder* t) { target_ = t; }
    const std::string& action() const { return action_; }
    void setAction(const std::string& selector) { action_ = selector; }
    // Sends the action to the target; false when it could not be sent.
    bool sendAction() { return sendAction(action_, target_); }
    bool sendAction(const std::string& selector, Responder* target);

    const Font& font() const { return font_; }
    virtual void setFont(const Font& f);
    TextAlignment alignment() const { return alignment_; }
    virtual void setAlignment(TextAlignment a);
    ControlSize controlSize() const { return controlSize_; }
    void setControlSize(ControlSize s);
    // Resizes the frame to what the content needs; the kinds that can measure
    // their content implement it.
    virtual void sizeToFit() {}

private:
    int tag_ = 0;
    bool enabled_ = true;
    std::string stringValue_;
    Responder* target_ = nullptr;
    std::string action_;
    Font font_;
    TextAlignment alignment_ = TextAlignment::Natural;
    ControlSize controlSize_ = ControlSize::Regular;
};

class Button : public Control {
public:
    // States: the mixed state is -1.
    enum : int { kMixed = -1, kOff = 0, kOn = 1 };
    enum Type { kPush, kSwitch, kRadio };
    using Control::Control;
    Type buttonType() const { return type_; }
    void setButtonType(Type t) { type_ = t; }
    const std::string& title() const { return title_; }
    void setTitle(const std::string& t);
    int state() const { return state_; }
    void setState(int s);
    bool allowsMixedState() const { return allowsMixed_; }
    void setAllowsMixedState(bool m) { allowsMixed_ = m; }
    // The image it shows, owned elsewhere; null for none.
    const void* image() const { return image_; }
    void setImage(const void* image);
    const std::optional<Color>& titleColor() const { return titleColor_; }
    void setTitleColor(std::optional<Color> c);
    // A button's value is its title.
    std::string stringValue() const override { return title_; }
    void setStringValue(const std::string& s) override { setTitle(s); }

private:
    Type type_ = kPush;
    std::string title_;
    int state_ = kOff;
    bool allowsMixed_ = false;
    const void* image_ = nullptr;
    std::optional<Color> titleColor_;
};

class TextField : public Control {
public:
    using Control::Control;
    bool isEditable() const { return editable_; }
    void setEditable(bool e) { editable_ = e; }
    bool isBordered() const { return bordered_; }
    void setBordered(bool b) { bordered_ = b; }
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool d) { drawsBackground_ = d; }
    const Color& textColor() const { return textColor_; }
    void setTextColor(const Color& c);
    bool acceptsFirstResponder() const override { return editable_ && isEnabled(); }

private:
    bool editable_ = true;
    bool bordered_ = true;
    bool drawsBackground_ = true;
    Color textColor_ = Color::controlText();
};

// Editable text of any length; the text view is the kind that shows it.
class Text : public View {
public:
    using View::View;
    const std::string& string() const { return string_; }
    virtual void setString(const std::string& s);
    bool acceptsFirstResponder() const override { return true; }

private:
    std::string string_;
};

class TextView : public Text {
public:
    using Text::Text;
};

class Box : public View {
public:
    using View::View;
    const std::string& title() const { return title_; }
    void setTitle(const std::string& t);
    const std::optional<Color>& titleColor() const { return titleColor_; }
    void setTitleColor(std::optional<Color> c) { titleColor_ = std::move(c); }

private:
    std::string title_;
    std::optional<Color> titleColor_;
};

// The visible part of a scrolled document: its one subview is the document,
// whose frame origin is minus the scroll position.
class ClipView : public View {
public:
    using View::View;
    View* documentView() const { return subviews().empty() ? nullptr : subviews().front(); }
    // The part of the document that shows, in the document's coordinates.
    FRect documentVisibleRect() const;
    // Moves the document so that this document point is at the top left,
    // kept within the document.
    void scrollToPoint(FPoint p);
    // Scrolls as little as brings the document's rectangle into view (its
    // top left first when it does not fit).
    void scrollRectToVisible(const FRect& r);
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool d) { drawsBackground_ = d; }
    const Color& backgroundColor() const { return background_; }
    void setBackgroundColor(const Color& c);
    // Every pixel is painted: by its background, or by an opaque document
    // that covers it.
    bool isOpaque() const override;
    void drawRect(Canvas& canvas, const Rect& dirty) override;

private:
    bool drawsBackground_ = true;
    Color background_{1, 1, 1, 1};
};

// A clip view with optional scroll bars and an optional header above it
// (a table's column titles) that scrolls sideways with the document. The
// document lives in the clip view. Scrollers that hide themselves show only
// while there is something to scroll in their direction.
class ScrollView : public View {
public:
    explicit ScrollView(Rect frame = {});
    ClipView* contentView() const { return clip_; }
    View* documentView() const { return clip_ ? clip_->documentView() : nullptr; }
    // Takes ownership of the document, replacing (and deleting) the old one.
    void setDocumentView(View* v);
    bool hasVerticalScroller() const { return vertical_; }
    bool hasHorizontalScroller() const { return horizontal_; }
    void setHasVerticalScroller(bool v);
    void setHasHorizontalScroller(bool h);
    bool autohidesScrollers() const { return autohides_; }
    void setAutohidesScrollers(bool a);
    bool drawsBackground() const { return clip_->drawsBackground(); }
    void setDrawsBackground(bool d);
    // Takes ownership; null removes (and deletes) the header.
    void setHeaderView(View* header, int height);
    View* headerView() const { return header_; }
    int headerHeight() const { return header_ ? headerHeight_ : 0; }

    // Which scrollers show now.
    bool verticalScrollerShown() const { return showV_; }
    bool horizontalScrollerShown() const { return showH_; }
    Rect verticalScrollerRect() const;
    Rect horizontalScrollerRect() const;
    // The clip view's size: the frame less the header and the scrollers shown.
    Size contentSize() const;
    // The scroll position: the document point at the clip view's top left.
    FPoint scrollPosition() const;
    // Scrolls, kept within the document; the header follows sideways.
    void scrollToPoint(FPoint p) { clip_->scrollToPoint(p); }
    FRect documentVisibleRect() const { return clip_->documentVisibleRect(); }
    void scrollRectToVisible(const FRect& r) { clip_->scrollRectToVisible(r); }
    // Lays out the header, the clip view and the scrollers again; the
    // document calls it after its size changed.
    void tile();
    static constexpr int kScrollerWidth = 16;

protected:
    void frameDidChange(const FRect& old) override;

private:
    void layOut();

    ClipView* clip_ = nullptr;
    View* header_ = nullptr;
    int headerHeight_ = 0;
    bool vertical_ = false;
    bool horizontal_ = false;
    bool autohides_ = false;
    bool showV_ = false;
    bool showH_ = false;
    bool tiling_ = false;
    bool retile_ = false;
};

// The scroll view whose clip view holds v as its document, or null.
ScrollView* enclosingScrollView(const View* v);

}  // namespace platform::appkit
