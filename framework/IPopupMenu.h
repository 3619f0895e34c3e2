// A popup menu model: an ordered list of items, each with its own copy of its
// text, check and separator flags and an optional submenu. A menu owns its
// items but never the submenus they open.
#pragma once

#include <memory>
#include <vector>

class IPopupMenu;

class IPopupMenuItem {
public:
    enum Flags { kNoFlags = 0, kDisabled = 1 << 0, kTitle = 1 << 1, kChecked = 1 << 2, kSeparator = 1 << 3 };

    IPopupMenuItem(const char* text, int flags = kNoFlags);
    IPopupMenuItem(const char* text, IPopupMenu* submenu);
    ~IPopupMenuItem();
    IPopupMenuItem(const IPopupMenuItem&) = delete;
    IPopupMenuItem& operator=(const IPopupMenuItem&) = delete;

    // Null when the item has no text (a separator).
    const char* GetText() const { return mText; }
    void SetText(const char* text);
    int GetFlags() const { return mFlags; }
    bool GetEnabled() const { return !(mFlags & kDisabled); }
    bool GetChecked() const { return mFlags & kChecked; }
    bool GetIsTitle() const { return mFlags & kTitle; }
    bool GetIsSeparator() const { return mFlags & kSeparator; }
    IPopupMenu* GetSubmenu() const { return mSubmenu; }
    void SetChecked(bool on) { mFlags = on ? (mFlags | kChecked) : (mFlags & ~kChecked); }
    void SetEnabled(bool on) { mFlags = on ? (mFlags & ~kDisabled) : (mFlags | kDisabled); }

private:
    char* mText = nullptr;
    IPopupMenu* mSubmenu = nullptr;
    int mFlags = kNoFlags;
};

class IPopupMenu {
public:
    IPopupMenu() = default;
    virtual ~IPopupMenu();
    IPopupMenu(const IPopupMenu&) = delete;
    IPopupMenu& operator=(const IPopupMenu&) = delete;

    // Numbering prefix: 0 none, 1 "1 ", 2 "1. ", 3 "1- " before each item text.
    int GetPrefix() const { return mPrefix; }
    void SetPrefix(int p) { mPrefix = p; }
    int GetChosenItemIdx() const { return mChosenItemIdx; }
    void SetChosenItemIdx(int i) { mChosenItemIdx = i; }

    int GetNItems() const { return static_cast<int>(mItems.size()); }
    // Null for an index outside the menu.
    IPopupMenuItem* GetItem(int index) const;
    // The item's text, or "" when it has none.
    const char* GetItemText(int index) const;

    // Takes the item; index -1 appends, others are clamped to 0..count.
    IPopupMenuItem* AddItem(IPopupMenuItem* item, int index = -1);
    IPopupMenuItem* AddItem(const char* text, int index = -1, int flags = IPopupMenuItem::kNoFlags);
    // Appends an item that opens submenu (not taken over).
    IPopupMenuItem* AddItem(const char* text, IPopupMenu* submenu);
    IPopupMenuItem* AddSeparator(int index = -1);
    void RemoveItems();

    void CheckItem(int index, bool checked);
    // Checks one item and clears the others of this menu; -1 clears all.
    void CheckItemAlone(int index);
    bool IsItemChecked(int index) const;

private:
    std::vector<std::unique_ptr<IPopupMenuItem>> mItems;
    int mPrefix = 0;
    int mChosenItemIdx = -1;
};
