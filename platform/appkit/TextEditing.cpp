#include "platform/appkit/TextEditing.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/appkit/Pasteboard.h"
#include "platform/coretext/CTLine.h"

namespace platform::appkit {

namespace {

bool isWordChar(char32_t c) { return c == U'_' || c >= 0x80 || std::isalnum(static_cast<int>(c)); }

}  // namespace

std::u32string TextEditing::filtered(const std::u32string& s) const {
    if (!filter_) return s;
    std::u32string out;
    for (char32_t c : s) out += filter_(c);
    return out;
}

void TextEditing::setText(std::u32string text) {
    text = filtered(text);
    if (maxLength_ > 0 && static_cast<int>(text.size()) > maxLength_) text.resize(static_cast<size_t>(maxLength_));
    text_ = std::move(text);
    sel_ = {length(), 0};
    anchor_ = length();
}

void TextEditing::setMaxLength(int n) { maxLength_ = std::max(n, 0); }

void TextEditing::select(TextRange r) {
    int n = length();
    int loc = std::clamp(r.location, 0, n);
    int len = std::clamp(r.length, 0, n - loc);
    sel_ = {loc, len};
    anchor_ = loc;
}

int TextEditing::caret() const { return sel_.length && anchor_ == sel_.location ? sel_.end() : sel_.location; }

void TextEditing::moveCaret(int to, bool extend) {
    to = std::clamp(to, 0, length());
    if (extend) {
        sel_ = {std::min(anchor_, to), std::abs(to - anchor_)};
        return;
    }
    sel_ = {to, 0};
    anchor_ = to;
}

TextRange TextEditing::wordAt(int index) const {
    int a = std::clamp(index, 0, length()), b = a;
    if (secure_) return {0, length()};
    while (a > 0 && isWordChar(text_[static_cast<size_t>(a - 1)])) --a;
    while (b < length() && isWordChar(text_[static_cast<size_t>(b)])) ++b;
    return {a, b - a};
}

bool TextEditing::insert(const std::u32string& s) {
    if (!editable_) return false;
    std::u32string put = filtered(s);
    // Refused characters leave the selection as it was.
    if (put.empty() && !s.empty()) return false;
    if (maxLength_ > 0) {
        const int room = maxLength_ - (length() - sel_.length);
        put.resize(static_cast<size_t>(std::clamp(room, 0, static_cast<int>(put.size()))));
    }
    if (put.empty() && sel_.length == 0) return false;
    text_.replace(static_cast<size_t>(sel_.location), static_cast<size_t>(sel_.length), put);
    moveCaret(sel_.location + static_cast<int>(put.size()), false);
    return true;
}

bool TextEditing::deleteBackward() {
    if (!editable_) return false;
    if (sel_.length == 0) {
        if (sel_.location == 0) return false;
        sel_ = {sel_.location - 1, 1};
    }
    return insert(std::u32string());
}

bool TextEditing::deleteForward() {
    if (!editable_) return false;
    if (sel_.length == 0) {
        if (sel_.location >= length()) return false;
        sel_ = {sel_.location, 1};
    }
    return insert(std::u32string());
}

bool TextEditing::copy() const {
    if (secure_ || sel_.length == 0) return false;
    Pasteboard board = Pasteboard::general();
    board.declareTypes({kPasteboardTypeString});
    return board.setString(
        CTEncodeUTF8(text_.substr(static_cast<size_t>(sel_.location), static_cast<size_t>(sel_.length))));
}

bool TextEditing::cut() { return editable_ && copy() && insert(std::u32string()); }

bool TextEditing::paste() {
    if (!editable_) return false;
    std::optional<std::string> got = Pasteboard::general().stringForType();
    if (!got) return false;
    // Control characters are no text. One line leaves off the line breaks
    // at the end, and takes the others and tabs as blanks.
    std::u32string pasted = CTDecodeUTF8Lenient(*got), text;
    if (singleLine_)
        while (!pasted.empty() && (pasted.back() == U'\n' || pasted.back() == U'\r')) pasted.pop_back();
    for (char32_t c : pasted) {
        if (singleLine_ && (c == U'\r' || c == U'\n' || c == U'\t'))
            text += U' ';
        else if (c == U'\n' || c == U'\t' || (c >= 0x20 && c != 0x7F))
            text += c;
    }
    return insert(text);
}

TextEditing::KeyResult TextEditing::key(const Event& e) {
    const Modifiers& m = e.modifiers;
    const int at = caret();
    auto moved = [&](int to) {
        moveCaret(to, m.shift);
        return KeyResult::Moved;
    };
    auto edited = [&](bool changed) { return changed ? KeyResult::Changed : KeyResult::Taken; };
    switch (e.key) {
        case Key::Left:
            return moved(sel_.length && !m.shift ? sel_.location : at - 1);
        case Key::Right:
            return moved(sel_.length && !m.shift ? sel_.end() : at + 1);
        case Key::Home:
        case Key::Up:
            return moved(0);
        case Key::End:
        case Key::Down:
            return moved(length());
        case Key::Backspace:
            return editable_ ? edited(deleteBackward()) : KeyResult::Ignored;
        case Key::Delete:
            return editable_ ? edited(deleteForward()) : KeyResult::Ignored;
        case Key::Space:
        case Key::Character: {
            const char32_t c = e.key == Key::Space ? U' ' : e.character;
            if (m.command || m.control) {
                switch (c) {
                    case U'a':
                    case U'A':
                        selectAll();
                        return KeyResult::Moved;
                    case U'c':
                    case U'C':
                        return secure_ ? KeyResult::Ignored : (copy(), KeyResult::Taken);
                    case U'x':
                    case U'X':
                        return editable_ && !secure_ ? edited(cut()) : KeyResult::Ignored;
                    case U'v':
                    case U'V':
                        return editable_ ? edited(paste()) : KeyResult::Ignored;
                    default:
                        return KeyResult::Ignored;
                }
            }
            if (!editable_ || c < 0x20 || c == 0x7F) return KeyResult::Ignored;
            return edited(insert(std::u32string(1, c)));
        }
        default:
            return KeyResult::Ignored;
    }
}

}  // namespace platform::appkit
