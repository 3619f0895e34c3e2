#include "platform/controls/TextField.h"

#include <algorithm>
#include <cmath>

#include "platform/appkit/Window.h"
#include "platform/controls/Delegates.h"

namespace platform::controls {

namespace {
constexpr double kBorderInsetX = 3;
constexpr double kBorderInsetY = 2;
constexpr double kPlainInsetX = 2;
}  // namespace

TextField::TextField(appkit::Rect frame) : appkit::TextField(frame) { setAlignment(TextAlignment::Left); }

TextField::~TextField() {
    if (container_) {
        container_->removeFromSuperviewWithoutNeedingDisplay();
        delete container_;
    }
}

void TextField::setBezeled(bool b) {
    bezeled_ = b;
    setNeedsDisplay();
}

void TextField::setWraps(bool w) {
    wraps_ = w;
    setNeedsDisplay();
}

std::string TextField::stringValue() const {
    return isEditing() ? editor_->string() : appkit::TextField::stringValue();
}

void TextField::setStringValue(const std::string& s) {
    appkit::TextField::setStringValue(s);
    if (isEditing()) {
        editor_->setString(s);
        editor_->selectAll();
    }
}

void TextField::setFont(const appkit::Font& f) {
    appkit::TextField::setFont(f);
    if (editor_) editor_->setFont(f);
}

void TextField::setAlignment(TextAlignment a) {
    appkit::TextField::setAlignment(a);
    if (editor_) editor_->setAlignment(a);
}

void TextField::setEnabled(bool e) {
    if (!e && isEditing()) endEditing();
    appkit::TextField::setEnabled(e);
}

FRect TextField::textArea() const {
    FRect b = boundsF();
    bool framed = bezeled_ || isBordered();
    return framed ? b.insetBy(kBorderInsetX, kBorderInsetY) : b.insetBy(kPlainInsetX, 0);
}

Color TextField::shownTextColor() const {
    Color c = textColor();
    if (!isEnabled() && isEditable()) return rgb(look::kTextDisabled);
    return c;
}

void TextField::sizeToFit() {
    FRect f = frameF();
    double inset = (bezeled_ || isBordered()) ? 2 * kBorderInsetX : 2 * kPlainInsetX;
    setFrameF({f.x, f.y, std::ceil(textWidth(font(), stringValue()) + inset + 2), f.height});
}

bool TextField::becomeFirstResponder() {
    if (!acceptsFirstResponder() || !window()) return false;
    if (isEditing()) return true;
    if (!container_) {
        container_ = new appkit::ClipView();
        container_->setDrawsBackground(false);
        editor_ = new TextView();
        editor_->setFieldEditorClient(this);
        container_->addSubview(editor_);
    }
    FRect area = textArea();
    container_->setFrameF(area);
    editor_->setFrameF({0, 0, area.width, area.height});
    editor_->setDrawsBackground(false);
    editor_->setFont(font());
    editor_->setAlignment(alignment());
    editor_->setTextColor(textColor());
    editor_->setSecure(isSecure());
    editor_->setEditable(isEditable());
    editor_->setSelectable(true);
    editor_->setHorizontallyResizable(true);
    editor_->setString(appkit::TextField::stringValue());
    editor_->selectAll();
    addSubview(container_);
    container_->scrollToPoint({0, 0});
    setNeedsDisplay();
    // The field editor takes the status over from the field.
    window()->makeFirstResponder(editor_);
    return true;
}

void TextField::endEditing() {
    if (!isEditing() || ending_) return;
    ending_ = true;
    std::string text = editor_->string();
    container_->removeFromSuperview();
    appkit::TextField::setStringValue(text);
    ending_ = false;
    setNeedsDisplay();
}

void TextField::editorTextDidChange(TextView*) { textDidChangeByUser(); }

void TextField::textDidChangeByUser() {
    if (auto* d = delegateOf<TextDelegate>(delegate_)) d->controlTextDidChange(this);
}

void TextField::editorDidResign(TextView*) { endEditing(); }

bool TextField::editorReturn(TextView*) {
    sendAction();
    if (isEditing()) editor_->selectAll();
    // Not taken: the window's default button gets the Return too.
    return false;
}

bool TextField::editorTab(TextView*, bool backwards) {
    View* next = nextKeyView(this, backwards);
    if (next && next != this && window()) window()->makeFirstResponder(next);
    return true;
}

void TextField::frameDidChange(const FRect& old) {
    if (isEditing()) {
        FRect area = textArea();
        container_->setFrameF(area);
        editor_->setFrameF({0, 0, std::max(editor_->frameF().width, area.width), area.height});
    }
}

void TextField::mouseDown(const appkit::Event& e) {
    // The press came before the editor existed (or fell on the border).
    if (isEditing()) editor_->mouseDown(e);
}

void TextField::mouseUp(const appkit::Event& e) {
    // A label that has an action sends it when clicked.
    if (isEditable() || selectable_ || !isEnabled() || action().empty()) return;
    if (bounds().contains(convertFromWindow(e.location))) sendAction();
}

void TextField::drawRect(appkit::Canvas& canvas, const appkit::Rect&) {
    Painter p(canvas);
    if (!p.ok()) return;
    FRect b = boundsF();
    if (drawsBackground()) p.fill(b, look::kField);
    if (bezeled_ || isBordered()) {
        bool ring = focusRing_ && isEditing();
        p.frame(b, ring ? look::kAccent : look::kEdge, ring ? 2 : 1);
    }
    if (isEditing()) return;
    std::u32string text = toU32(appkit::TextField::stringValue());
    if (isSecure()) text.assign(text.size(), U'\u2022');
    FRect area = textArea();
    Color colour = shownTextColor();
    TextAlignment align = alignment() == TextAlignment::Natural ? TextAlignment::Left : alignment();
    if (!wraps_) {
        p.text(text, area, font(), colour, align);
        return;
    }
    double lh = lineHeight(font()), asc = ascentOf(font());
    p.save();
    p.clip(area);
    double top = area.y;
    for (const TextLine& l : breakLines(font(), text, area.width)) {
        std::u32string part = text.substr(static_cast<size_t>(l.start), static_cast<size_t>(l.end - l.start));
        double w = textWidth(font(), part), x = area.x;
        if (align == TextAlignment::Center)
            x += std::floor((area.width - w) / 2);
        else if (align == TextAlignment::Right)
            x += area.width - w;
        p.textAt(part, x, std::round(top + asc), font(), colour);
        top += lh;
        if (top >= area.bottom()) break;
    }
    p.restore();
}

appkit::View* nextKeyView(appkit::View* v, bool backwards) {
    appkit::View* parent = v ? v->superview() : nullptr;
    if (!parent) return nullptr;
    const auto& subs = parent->subviews();
    auto at = std::find(subs.begin(), subs.end(), v);
    if (at == subs.end()) return nullptr;
    size_t n = subs.size(), i = static_cast<size_t>(at - subs.begin());
    for (size_t step = 1; step < n; ++step) {
        size_t j = backwards ? (i + n - step) % n : (i + step) % n;
        appkit::View* c = subs[j];
        if (auto* sv = dynamic_cast<appkit::ScrollView*>(c); sv && sv->documentView()) c = sv->documentView();
        if (!c->isHiddenOrHasHiddenAncestor() && c->acceptsFirstResponder()) return c;
    }
    return nullptr;
}

}  // namespace platform::controls
