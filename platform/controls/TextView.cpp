#include "platform/controls/TextView.h"

#include <algorithm>
#include <cmath>

#include "platform/appkit/Window.h"
#include "platform/controls/Delegates.h"

namespace platform::controls {

namespace {
constexpr double kInsetX = 2;
constexpr double kInsetY = 1;
constexpr char32_t kBullet = U'\u2022';
}  // namespace

TextView::TextView(appkit::Rect frame) : appkit::TextView(frame) { layout(); }

void TextView::setString(const std::string& utf8) {
    edit_.setText(toU32(utf8));
    appkit::TextView::setString(toUtf8(edit_.text()));
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
    edit_.setSecure(s);
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

std::u32string TextView::shown() const { return secure_ ? std::u32string(edit_.text().size(), kBullet) : edit_.text(); }

void TextView::setSelectedRange(TextRange r) {
    edit_.select(r);
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
    appkit::TextView::setString(toUtf8(edit_.text()));
    layout();
    scrollRangeToVisible({edit_.selection().end(), 0});
    setNeedsDisplay();
    if (client_)
        client_->editorTextDidChange(this);
    else if (auto* d = delegateOf<TextDelegate>(delegate_))
        d->textDidChange(this);
}

void TextView::insertText(const std::u32string& s) {
    if (edit_.insert(s)) changed();
}

void TextView::deleteBackward() {
    if (edit_.deleteBackward()) changed();
}

void TextView::deleteForward() {
    if (edit_.deleteForward()) changed();
}

void TextView::moveCaret(int to, bool extend) {
    edit_.moveCaret(to, extend);
    scrollRangeToVisible({edit_.caret(), 0});
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
    else if (auto* d = delegateOf<TextDelegate>(delegate_); d && isEditable())
        d->textDidEndEditing(this);
    return true;
}

bool TextView::keyDown(const appkit::Event& e) {
    if (!isSelectable()) return false;
    using appkit::Key;
    const bool shift = e.modifiers.shift;
    if (client_ && (e.key == Key::Return || e.key == Key::Tab))
        return e.key == Key::Return ? client_->editorReturn(this) : client_->editorTab(this, shift);
    if (!client_) {
        // Lines of their own: Home and End keep to the caret's line, the
        // vertical arrows go from line to line.
        const int caret = edit_.caret();
        switch (e.key) {
            case Key::Home:
                moveCaret(lines_[static_cast<size_t>(lineOf(caret))].start, shift);
                return true;
            case Key::End:
                moveCaret(lines_[static_cast<size_t>(lineOf(caret))].end, shift);
                return true;
            case Key::Up:
            case Key::Down: {
                int line = lineOf(caret) + (e.key == Key::Up ? -1 : 1);
                if (line < 0)
                    moveCaret(0, shift);
                else if (line >= static_cast<int>(lines_.size()))
                    moveCaret(length(), shift);
                else
                    moveCaret(characterIndexAt({xOf(caret), lineTop(*this, line) + 1}), shift);
                return true;
            }
            case Key::Return:
                insertText(U"\n");
                return isEditable();
            case Key::Tab:
                insertText(U"\t");
                return isEditable();
            default:
                break;
        }
    }
    switch (edit_.key(e)) {
        case appkit::TextEditing::KeyResult::Ignored:
            return false;
        case appkit::TextEditing::KeyResult::Taken:
            return true;
        case appkit::TextEditing::KeyResult::Moved:
            scrollRangeToVisible({edit_.caret(), 0});
            setNeedsDisplay();
            return true;
        case appkit::TextEditing::KeyResult::Changed:
            changed();
            return true;
    }
    return false;
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
        setSelectedRange(edit_.wordAt(at));
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
    const TextRange sel = edit_.selection();
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& l = lines_[i];
        double top = lineTop(*this, static_cast<int>(i));
        if (top > dirty.bottom() || top + lh < dirty.y) continue;
        int a = std::max(sel.location, l.start), b = std::min(sel.end(), l.end);
        bool lineBreakSelected = sel.location <= l.end && sel.end() > l.end;
        if (sel.length && (a < b || lineBreakSelected)) {
            double x0 = xOf(std::min(a, l.end)), x1 = xOf(b) + (lineBreakSelected ? 4 : 0);
            p.fill({x0, top, x1 - x0, lh}, focused ? look::kSelection : look::kSelectionDim);
        }
        std::u32string part = s.substr(static_cast<size_t>(l.start), static_cast<size_t>(l.end - l.start));
        if (!part.empty() && part.back() == U'\n') part.pop_back();
        p.textAt(part, xOf(l.start), std::round(top + asc), font_, textColor_);
    }
    if (focused && isEditable() && sel.length == 0) p.fill(caretRect(sel.location), look::kText);
}

}  // namespace platform::controls
