#pragma once
// The state of the platform's standard controls, as the toolkit asks and
// sets it: tags, enabled flags and string values of controls, button titles
// and states, text fields, text views, boxes, and the scroll and clip views
// that carry a scrolled document view. Drawing and input of these classes
// live with the code that draws them; here is only what they hold.

#include <optional>
#include <string>

#include "platform/appkit/View.h"

namespace platform::appkit {

// A colour with components from 0 to 1.
struct Color {
    double red = 0, green = 0, blue = 0, alpha = 1;
    friend bool operator==(const Color&, const Color&) = default;
    // The standard colour of control text.
    static Color controlText() { return {0, 0, 0, 1}; }
};

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

private:
    int tag_ = 0;
    bool enabled_ = true;
    std::string stringValue_;
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
    void setString(const std::string& s);
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

// The visible part of a scrolled document: its one subview is the document.
class ClipView : public View {
public:
    using View::View;
    View* documentView() const { return subviews().empty() ? nullptr : subviews().front(); }
};

// A clip view with optional scroll bars; the document lives in the clip view.
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
    // The clip view's size: the frame less the scroll bars.
    Size contentSize() const;
    static constexpr int kScrollerWidth = 16;

protected:
    void frameDidChange(const FRect& old) override;

private:
    void layoutClip();
    ClipView* clip_ = nullptr;
    bool vertical_ = false;
    bool horizontal_ = false;
};

}  // namespace platform::appkit
