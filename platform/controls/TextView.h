#pragma once
// Editable text, drawn flat: a multi-line text view that wraps at its width,
// and the field editor that a text field puts inside itself while the user
// edits it. The keys edit as every editor of ours does (TextEditing); the
// mouse places the caret and selects, a double click a word. Positions
// count characters (code points).

#include <string>
#include <vector>

#include "platform/appkit/Controls.h"
#include "platform/appkit/TextEditing.h"
#include "platform/controls/Painter.h"

namespace platform::controls {

class TextView;

// The text field that owns a field editor.
class FieldEditorClient {
public:
    virtual ~FieldEditorClient() = default;
    virtual void editorTextDidChange(TextView* editor) = 0;
    // The editor lost the first responder status.
    virtual void editorDidResign(TextView* editor) = 0;
    // Return or Tab (with Shift for backwards); true when it was taken.
    virtual bool editorReturn(TextView* editor) = 0;
    virtual bool editorTab(TextView* editor, bool backwards) = 0;
};

using TextRange = appkit::TextRange;

class TextView : public appkit::TextView {
public:
    explicit TextView(appkit::Rect frame = {});

    // The text as UTF-8; setting it puts the caret at the end.
    void setString(const std::string& utf8) override;
    const std::u32string& characters() const { return edit_.text(); }
    int length() const { return edit_.length(); }

    bool isEditable() const { return edit_.isEditable(); }
    void setEditable(bool e) { edit_.setEditable(e); }
    bool isSelectable() const { return selectable_ || isEditable(); }
    void setSelectable(bool s) { selectable_ = s; }
    const appkit::Font& font() const { return font_; }
    void setFont(const appkit::Font& f);
    TextAlignment alignment() const { return alignment_; }
    void setAlignment(TextAlignment a);
    const Color& textColor() const { return textColor_; }
    void setTextColor(const Color& c);
    bool drawsBackground() const { return drawsBackground_; }
    void setDrawsBackground(bool d);
    // Shown as bullets (a secure field's editor).
    bool isSecure() const { return secure_; }
    void setSecure(bool s);
    // Grows to hold its text: down in a wrapping view, across in a one-line editor.
    bool isVerticallyResizable() const { return vResizable_; }
    void setVerticallyResizable(bool v);
    bool isHorizontallyResizable() const { return hResizable_; }
    void setHorizontallyResizable(bool h);
    // One line: no wrapping, Return and Tab go to the client.
    bool isFieldEditor() const { return client_ != nullptr; }
    void setFieldEditorClient(FieldEditorClient* c) {
        client_ = c;
        edit_.setSingleLine(c != nullptr);
    }
    void setDelegate(appkit::Responder* d) { delegate_ = d; }
    appkit::Responder* delegate() const { return delegate_; }

    TextRange selectedRange() const { return edit_.selection(); }
    // Clamped to the text.
    void setSelectedRange(TextRange r);
    void selectAll() { setSelectedRange({0, length()}); }
    // Editing as typing does it (undoable in nothing, notified as a change).
    void insertText(const std::u32string& s);
    void deleteBackward();
    void deleteForward();
    // Scrolls the enclosing scroll view so that the range shows.
    void scrollRangeToVisible(TextRange r);

    // The character position nearest to a point of the view.
    int characterIndexAt(appkit::FPoint p) const;
    // The caret's rectangle before a position.
    FRect caretRect(int index) const;
    // Lines as laid out: [start, end) of each.
    struct Line {
        int start, end;
    };
    const std::vector<Line>& lines() const { return lines_; }
    double contentHeight() const;

    bool acceptsFirstResponder() const override { return isSelectable(); }
    bool resignFirstResponder() override;
    bool keyDown(const appkit::Event& e) override;
    void mouseDown(const appkit::Event& e) override;
    void mouseDragged(const appkit::Event& e) override;
    void drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) override;
    bool isOpaque() const override { return drawsBackground_; }
    void frameDidChange(const FRect& old) override;

private:
    std::u32string shown() const;
    void layout();
    void changed();
    void moveCaret(int to, bool extend);
    int lineOf(int index) const;
    double xOf(int index) const;
    bool isFirstResponder() const;

    appkit::TextEditing edit_;
    bool selectable_ = true;
    appkit::Font font_;
    TextAlignment alignment_ = TextAlignment::Natural;
    Color textColor_ = Color::controlText();
    bool drawsBackground_ = true;
    bool secure_ = false;
    bool vResizable_ = false;
    bool hResizable_ = false;
    FieldEditorClient* client_ = nullptr;
    appkit::Responder* delegate_ = nullptr;
    std::vector<Line> lines_;
    bool laying_ = false;
};

}  // namespace platform::controls
