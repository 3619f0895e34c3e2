#pragma once
// Text fields, drawn flat: an edit field (white, outlined) or a label (no
// border, no background). While the user edits a field it holds a field
// editor: a one-line text view in a clip view in the field, which is the
// window's first responder until editing ends. A secure field shows bullets. A combo box is a field with a
// button that opens its list as a pop-up menu.

#include <memory>
#include <string>
#include <vector>

#include "platform/appkit/Controls.h"
#include "platform/controls/TextView.h"

namespace platform::controls {

class TextField : public appkit::TextField, public FieldEditorClient {
public:
    explicit TextField(appkit::Rect frame = {});
    ~TextField() override;

    bool isSelectable() const { return selectable_; }
    void setSelectable(bool s) { selectable_ = s; }
    bool isBezeled() const { return bezeled_; }
    void setBezeled(bool b);
    // The cell wraps its text onto more lines; otherwise one line scrolls.
    bool wraps() const { return wraps_; }
    void setWraps(bool w);
    bool isScrollable() const { return scrollable_; }
    void setScrollable(bool s) { scrollable_ = s; }
    bool showsFocusRing() const { return focusRing_; }
    void setShowsFocusRing(bool f) { focusRing_ = f; }
    appkit::Responder* delegate() const { return delegate_; }
    void setDelegate(appkit::Responder* d) { delegate_ = d; }

    // While editing: the editor's text.
    std::string stringValue() const override;
    void setStringValue(const std::string& s) override;
    void setFont(const appkit::Font& f) override;
    void setAlignment(TextAlignment a) override;
    void setEnabled(bool e) override;

    bool isEditing() const { return editor_ && container_->superview() == this; }
    // The field editor while editing, else null.
    TextView* currentEditor() const { return isEditing() ? editor_ : nullptr; }
    // Ends editing, keeping the text (the window's first responder moves on).
    void endEditing();

    void sizeToFit() override;
    bool acceptsFirstResponder() const override { return isEnabled() && (isEditable() || selectable_); }
    bool becomeFirstResponder() override;
    void mouseDown(const appkit::Event& e) override;
    void mouseUp(const appkit::Event& e) override;
    void drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) override;
    void frameDidChange(const FRect& old) override;
    bool isOpaque() const override { return drawsBackground(); }

    // FieldEditorClient
    void editorTextDidChange(TextView* editor) override;
    void editorDidResign(TextView* editor) override;
    bool editorReturn(TextView* editor) override;
    bool editorTab(TextView* editor, bool backwards) override;

protected:
    virtual bool isSecure() const { return false; }
    // Where the text stands (and the editor goes).
    virtual FRect textArea() const;
    // The user changed the text.
    virtual void textDidChangeByUser();
    Color shownTextColor() const;

private:
    bool selectable_ = true;
    bool bezeled_ = true;
    bool wraps_ = false;
    bool scrollable_ = false;
    bool focusRing_ = true;
    bool ending_ = false;
    appkit::Responder* delegate_ = nullptr;
    appkit::ClipView* container_ = nullptr;  // owned; a subview only while editing
    TextView* editor_ = nullptr;             // inside container_
};

class SecureTextField : public TextField {
public:
    using TextField::TextField;

protected:
    bool isSecure() const override { return true; }
};

// The next view after v (backwards: before) among its superview's subviews,
// round the end, that takes the first responder status; a scroll view is
// asked through its document.
appkit::View* nextKeyView(appkit::View* v, bool backwards);

}  // namespace platform::controls
