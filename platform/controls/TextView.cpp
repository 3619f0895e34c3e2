#include "platform/controls/TextView.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/appkit/Window.h"
#include "platform/controls/Delegates.h"

namespace platform::controls {

namespace {
constexpr double kInsetX = 2;
constexpr double kInsetY = 1;
constexpr char32_t kBullet = U'\u2022';

bool isWordChar(char32_t c) { return c == U'_' || c >= 0x80 || std::isalnum(static_cast<int>(c)); }
}  // namespace

TextView::TextView(appkit::Rect frame) : appkit::TextView(frame) { layout(); }

void TextView::setString(const std::string& utf8) {
    chars_ = toU32(utf8);
    appkit::TextView::setString(toUtf8(chars_));
    sel_ = {length(), 0};
    anchor_ = length();
    layout();
    setNeedsDisplay();
}

void TextView::setFont(const appkit::Font& f) {
    font_ = f;
    layout();
    setNeedsDisplay();
}

void TextView::setAlignment(TextAlignment a) {
    alignment_ = a;
    setNeedsDisplay();
}

void TextView::setTextColor(const Color& c) {
    textColor_ = c;
    setNeedsDisplay();
}

void TextView::setDrawsBackground(bool d) {
    drawsBackground_ = d;
    setNeedsDisplay();
}

void TextView::setSecure(bool s) {
    secure_ = s;
    layout();
    setNeedsDisplay();
}

void TextView::setVerticallyResizable(bool v) {
    vResizable_ = v;
    layout();
}

void TextView::setHorizontallyResizable(bool h) {
    hResizable_ = h;
    layout();
}

std::u32string TextView::shown() const { return secure_ ? std::u32string(chars_.size(), kBullet) : chars_; }

void TextView::setSelectedRange(TextRange r) {
    int n = length();
    int loc = std::clamp(r.location, 0, n);
    int len = std::clamp(r.length, 0, n - loc);
    sel_ = {loc, len};
    anchor_ = loc;
    setNeedsDisplay();
}

bool TextView::isFirstResponder() const { return window() && window()->firstResponder() == this; }

// --- layout -----------------------------------------------------------------

double TextView::contentHeight() const { return static_cast<double>(lines_.size()) * lineHeight(font_) + 2 * kInsetY; }

void TextView::layout() {
    if (laying_) return;
    laying_ = true;
    lines_.clear();
    std::u32string s = shown();
    int n = static_cast<int>(s.size());
    if (isFieldEditor()) {
        lines_.push_back({0, n});
    } else {
        for (const TextLine& l : breakLines(font_, s, frameF().width - 2 * kInsetX)) lines_.push_back({l.start, l.end});
    }
    if (lines_.empty()) lines_.push_back({0, 0});
    FRect f = frameF();
    double w = f.width, h = f.height;
    if (hResizable_) {
        double need = textWidth(font_, s) + 2 * kInsetX + 2;
        double least = superview() ? superview()->frameF().width : 0;
        w = std::max(need, least);
    }
    if (vResizable_) {
        double least = superview() && dynamic_cast<appkit::ClipView*>(superview()) ? superview()->frameF().height : 0;
        h = std::max(contentHeight(), least);
    }
    if (w != f.width || h != f.height) {
        setFrameF({f.x, f.y, w, h});
        if (auto* sv = appkit::enclosingScrollView(this)) sv->tile();
    }
    laying_ = false;
}

void TextView::frameDidChange(const FRect& old) {
    if (old.width != frameF().width) layout();
}

int TextView::lineOf(int index) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        bool last = i + 1 == lines_.size();
        if (index < lines_[i].end || (index == lines_[i].end && (last || lines_[i + 1].start > index)))
            return static_cast<int>(i);
    }
    return static_cast<int>(lines_.size()) - 1;
}

double TextView::xOf(int index) const {
    const Line& l = lines_[static_cast<size_t>(lineOf(index))];
    std::u32string s = shown();
    auto part = [&](int a, int b) {
        return textWidth(font_, s.substr(static_cast<size_t>(a), static_cast<size_t>(std::max(b - a, 0))));
    };
    double x = kInsetX;
    double lineW = part(l.start, l.end);
    double avail = frameF().width - 2 * kInsetX;
    if (!hResizable_ || lineW < avail) {
        if (alignment_ == TextAlignment::Center)
            x += std::floor((avail - lineW) / 2);
        else if (alignment_ == TextAlignment::Right)
            x += avail - lineW;
    }
    return x + part(l.start, std::min(index, l.end));
}

namespace {
double lineTop(const TextView& v, int line) {
    double lh = lineHeight(v.font());
    if (v.isFieldEditor()) return std::floor((v.frameF().height - lh) / 2);
    return kInsetY + line * lh;
}
}  // namespace

FRect TextView::caretRect(int index) const {
    index = std::clamp(index, 0, length());
    int line = lineOf(index);
    return {std::floor(xOf(index)), lineTop(*this, line), 1, lineHeight(font_)};
}

int TextView::characterIndexAt(appkit::FPoint p) const {
    double lh = lineHeight(font_);
    int line = isFieldEditor() ? 0 : static_cast<int>(std::floor((p.y - kInsetY) / lh));
    line = std::clamp(line, 0, static_cast<int>(lines_.size()) - 1);
    const Line& l = lines_[static_cast<size_t>(line)];
    int best = l.start;
    double bestD = 1e300;
    for (int i = l.start; i <= l.end; ++i) {
        double d = std::fabs(xOf(i) - p.x);
        if (d < bestD) {
            bestD = d;
            best = i;
        }
    }
    return best;
}

// --- editing ------------------------------------------------------------------

void TextView::changed() {
    appkit::TextView::setString(toUtf8(chars_));
    layout();
    scrollRangeToVisible({sel_.end(), 0});
    setNeedsDisplay();
    if (client_)
        client_->editorTextDidChange(this);
    else if (auto* d = delegateOf<TextDelegate>(delegate_))
        d->textDidChange(this);
}

void TextView::insertText(const std::u32string& s) {
    if (!editable_) return;
    chars_.replace(static_cast<size_t>(sel_.location), static_cast<size_t>(sel_.length), s);
    int at = sel_.location + static_cast<int>(s.size());
    sel_ = {at, 0};
    anchor_ = at;
    changed();
}

void TextView::deleteBackward() {
    if (!editable_) return;
    if (sel_.length == 0) {
        if (sel_.location == 0) return;
        sel_ = {sel_.location - 1, 1};
    }
    insertText(std::u32string());
}

void TextView::deleteForward() {
    if (!editable_) return;
    if (sel_.length == 0) {
        if (sel_.location >= length()) return;
        sel_ = {sel_.location, 1};
    }
    insertText(std::u32string());
}

void TextView::moveCaret(int to, bool extend) {
    to = std::clamp(to, 0, length());
    if (extend)
        sel_ = {std::min(anchor_, to), std::abs(to - anchor_)};
    else {
        sel_ = {to, 0};
        anchor_ = to;
    }
    scrollRangeToVisible({to, 0});
    setNeedsDisplay();
}

void TextView::scrollRangeToVisible(TextRange r) {
    if (auto* clip = dynamic_cast<appkit::ClipView*>(superview())) {
        FRect want = caretRect(r.location).united(caretRect(r.end()));
        clip->scrollRectToVisible(
            {want.x - kInsetX, want.y - kInsetY, want.width + 2 * kInsetX, want.height + 2 * kInsetY});
    }
}

bool TextView::resignFirstResponder() {
    setNeedsDisplay();
    if (client_)
        client_->editorDidResign(this);
    else if (auto* d = delegateOf<TextDelegate>(delegate_); d && editable_)
        d->textDidEndEditing(this);
    return true;
}

bool TextView::keyDown(const appkit::Event& e) {
    if (!isSelectable()) return false;
    const auto& m = e.modifiers;
    bool shortcut = m.command || m.control;
    using appkit::Key;
    int caret = sel_.length ? (anchor_ == sel_.location ? sel_.end() : sel_.location) : sel_.location;
    switch (e.key) {
        case Key::Left:
            moveCaret(sel_.length && !m.shift ? sel_.location : caret - 1, m.shift);
            return true;
        case Key::Right:
            moveCaret(sel_.length && !m.shift ? sel_.end() : caret + 1, m.shift);
            return true;
        case Key::Home:
            moveCaret(isFieldEditor() ? 0 : lines_[static_cast<size_t>(lineOf(caret))].start, m.shift);
            return true;
        case Key::End:
            moveCaret(isFieldEditor() ? length() : lines_[static_cast<size_t>(lineOf(caret))].end, m.shift);
            return true;
        case Key::Up:
        case Key::Down: {
            if (isFieldEditor()) {
                moveCaret(e.key == Key::Up ? 0 : length(), m.shift);
                return true;
            }
            int line = lineOf(caret) + (e.key == Key::Up ? -1 : 1);
            if (line < 0)
                moveCaret(0, m.shift);
            else if (line >= static_cast<int>(lines_.size()))
                moveCaret(length(), m.shift);
            else
                moveCaret(characterIndexAt({xOf(caret), lineTop(*this, line) + 1}), m.shift);
            return true;
        }
        case Key::Backspace:
            deleteBackward();
            return editable_;
        case Key::Delete:
            deleteForward();
            return editable_;
        case Key::Return:
            if (client_) return client_->editorReturn(this);
            insertText(U"\n");
            return editable_;
        case Key::Tab:
            if (client_) return client_->editorTab(this, m.shift);
            insertText(U"\t");
            return editable_;
        case Key::Space:
        case Key::Character: {
            char32_t c = e.key == Key::Space ? U' ' : e.character;
            if (shortcut) {
                if (c == U'a' || c == U'A') {
                    selectAll();
                    return true;
                }
                return false;
            }
            if (!editable_ || c < 0x20 || c == 0x7F) return false;
            insertText(std::u32string(1, c));
            return true;
        }
        default:
            return false;
    }
}

void TextView::mouseDown(const appkit::Event& e) {
    if (!isSelectable()) return;
    appkit::Point p = convertFromWindow(e.location);
    int at = characterIndexAt({static_cast<double>(p.x), static_cast<double>(p.y)});
    if (e.clickCount >= 3) {
        selectAll();
        return;
    }
    if (e.clickCount == 2) {
        std::u32string s = shown();
        int a = at, b = at;
        while (a > 0 && isWordChar(s[static_cast<size_t>(a - 1)])) --a;
        while (b < length() && isWordChar(s[static_cast<size_t>(b)])) ++b;
        setSelectedRange({a, b - a});
        return;
    }
    moveCaret(at, e.modifiers.shift);
}

void TextView::mouseDragged(const appkit::Event& e) {
    if (!isSelectable()) return;
    appkit::Point p = convertFromWindow(e.location);
    moveCaret(characterIndexAt({static_cast<double>(p.x), static_cast<double>(p.y)}), true);
}

// --- drawing ------------------------------------------------------------------

void TextView::drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) {
    Painter p(canvas);
    if (!p.ok()) return;
    if (drawsBackground_) p.fill(FRect(dirty), look::kField);
    double lh = lineHeight(font_);
    double asc = ascentOf(font_);
    bool focused = isFirstResponder();
    std::u32string s = shown();
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& l = lines_[i];
        double top = lineTop(*this, static_cast<int>(i));
        if (top > dirty.bottom() || top + lh < dirty.y) continue;
        int a = std::max(sel_.location, l.start), b = std::min(sel_.end(), l.end);
        bool lineBreakSelected = sel_.location <= l.end && sel_.end() > l.end;
        if (sel_.length && (a < b || lineBreakSelected)) {
            double x0 = xOf(std::min(a, l.end)), x1 = xOf(b) + (lineBreakSelected ? 4 : 0);
            p.fill({x0, top, x1 - x0, lh}, focused ? look::kSelection : look::kSelectionDim);
        }
        std::u32string part = s.substr(static_cast<size_t>(l.start), static_cast<size_t>(l.end - l.start));
        if (!part.empty() && part.back() == U'\n') part.pop_back();
        p.textAt(part, xOf(l.start), std::round(top + asc), font_, textColor_);
    }
    if (focused && editable_ && sel_.length == 0) p.fill(caretRect(sel_.location), look::kText);
}

}  // namespace platform::controls
