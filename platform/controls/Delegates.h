#pragma once
// What the standard controls tell their delegates, and what a table asks its
// data source. A delegate is any responder; a control casts it to the
// interface it needs at each call and skips one that is not live or does
// not implement it, so plain views can be set as delegates too.

#include <string>

#include "platform/appkit/Responder.h"

namespace platform::controls {

class Cell;
class ComboBox;
class TableColumn;
class TableView;
class TextView;

// Text fields, combo boxes and text views.
class TextDelegate {
public:
    virtual ~TextDelegate() = default;
    // The text of a field changed by typing (sender: the field or combo box).
    virtual void controlTextDidChange(appkit::Responder* sender) {}
    virtual void controlTextDidEndEditing(appkit::Responder* sender) {}
    // The same for a text view that is not a field editor.
    virtual void textDidChange(TextView* sender) {}
    virtual void textDidEndEditing(TextView* sender) {}
};

class ComboBoxDelegate {
public:
    virtual ~ComboBoxDelegate() = default;
    virtual void comboBoxWillPopUp(ComboBox* sender) {}
    virtual void comboBoxSelectionDidChange(ComboBox* sender) {}
};

class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;
    virtual void tableViewSelectionDidChange(TableView* sender) {}
    virtual void tableViewDidClickTableColumn(TableView* sender, TableColumn* column) {}
    // Just before a cell is drawn: a chance to set its text colour.
    virtual void tableViewWillDisplayCell(TableView* sender, Cell* cell, TableColumn* column, int row) {}
};

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual int numberOfRowsInTableView(TableView* sender) = 0;
    virtual std::string tableViewObjectValue(TableView* sender, TableColumn* column, int row) = 0;
};

// The delegate behind a responder handle, when it is live and implements D.
template <class D>
D* delegateOf(appkit::Responder* r) {
    return appkit::Responder::isLive(r) ? dynamic_cast<D*>(r) : nullptr;
}

}  // namespace platform::controls
