#pragma once
// The editing every text editor of ours shares, the toolkit's text views and
// the window system's text entry alike: a text of characters (code points),
// a selection with the end the caret stands at, and what the keys do to
// them. Arrows, Home and End move the caret (with Shift they extend the
// selection), Backspace and Delete delete, and with Control (or Command) A
// selects all while C, X and V copy, cut and paste through the general
// pasteboard. The editors keep their own layout, drawing and mouse; a click
// places the caret through moveCaret, a double click selects wordAt.

#include <functional>
#include <string>
#include <utility>

#include "platform/appkit/Event.h"

namespace platform::appkit {

struct TextRange {
    int location = 0;
    int length = 0;
    int end() const { return location + length; }
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

// What a field takes of one character typed, pasted or composed: the
// character, others in its place, or nothing to refuse it.
using CharacterFilter = std::function<std::u32string(char32_t)>;

class TextEditing {
public:
    const std::u32string& text() const { return text_; }
    int length() const { return static_cast<int>(text_.size()); }
    // Replaces the text (cut to the length limit); the caret goes to its end.
    void setText(std::u32string text);

    TextRange selection() const { return sel_; }
    // Clamped to the text; the caret at its end.
    void select(TextRange r);
    void selectAll() { select({0, length()}); }
    // The end of the selection that moves.
    int caret() const;
    // With extend, the selection runs from where it was begun to the caret.
    void moveCaret(int to, bool extend);
    // The word around a position (letters, digits, '_' and anything beyond
    // ASCII): a double click's selection.
    TextRange wordAt(int index) const;

    bool isEditable() const { return editable_; }
    void setEditable(bool e) { editable_ = e; }
    // Secure text is shown as bullets and never copied out.
    void setSecure(bool s) { secure_ = s; }
    // One line: a paste's line breaks become blanks.
    void setSingleLine(bool s) { singleLine_ = s; }
    // At most this many characters (0: no limit); typing and pasting stop there.
    void setMaxLength(int n);
    // Every text that comes in passes the filter first, so that the limit
    // counts what the field shows. Set it before the text.
    void setFilter(CharacterFilter f) { filter_ = std::move(f); }

    // Each false when the text did not change.
    bool insert(const std::u32string& s);  // in place of the selection
    bool deleteBackward();
    bool deleteForward();
    bool cut();
    bool paste();
    // False when nothing was copied (no selection, or secure text).
    bool copy() const;

    enum class KeyResult {
        Ignored,  // not an editing key here: the caller's (Return, Tab, Escape...)
        Taken,    // the text and the selection stand as they were
        Moved,    // the selection changed
        Changed,  // the text changed
    };
    // The keys of one line of text; an editor of several lines handles its
    // own Home, End, Up and Down first.
    KeyResult key(const Event& e);

private:
    std::u32string text_;
    TextRange sel_;
    int anchor_ = 0;  // where a Shift selection began
    bool editable_ = true;
    bool secure_ = false;
    bool singleLine_ = false;
    int maxLength_ = 0;
    CharacterFilter filter_;

    std::u32string filtered(const std::u32string& s) const;
};

}  // namespace platform::appkit
