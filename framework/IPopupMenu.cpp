#include "framework/IPopupMenu.h"

#include <algorithm>
#include <cstring>

namespace {
char* copyText(const char* text) {
    if (!text) return nullptr;
    size_t n = std::strlen(text) + 1;
    char* c = new char[n];
    std::memcpy(c, text, n);
    return c;
}
}  // namespace

IPopupMenuItem::IPopupMenuItem(const char* text, int flags) : mText(copyText(text)), mFlags(flags) {}

IPopupMenuItem::IPopupMenuItem(const char* text, IPopupMenu* submenu) : mText(copyText(text)), mSubmenu(submenu) {}

IPopupMenuItem::~IPopupMenuItem() { delete[] mText; }

void IPopupMenuItem::SetText(const char* text) {
    delete[] mText;
    mText = copyText(text);
}

IPopupMenu::~IPopupMenu() = default;

IPopupMenuItem* IPopupMenu::GetItem(int index) const {
    if (index < 0 || index >= GetNItems()) return nullptr;
    return mItems[index].get();
}

const char* IPopupMenu::GetItemText(int index) const {
    IPopupMenuItem* it = GetItem(index);
    return it && it->GetText() ? it->GetText() : "";
}

IPopupMenuItem* IPopupMenu::AddItem(IPopupMenuItem* item, int index) {
    if (!item) return nullptr;
    int n = GetNItems();
    int at = index < 0 ? n : std::min(index, n);
    mItems.insert(mItems.begin() + at, std::unique_ptr<IPopupMenuItem>(item));
    return item;
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, int flags) {
    return AddItem(new IPopupMenuItem(text, flags), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, IPopupMenu* submenu) {
    return AddItem(new IPopupMenuItem(text, submenu), -1);
}

IPopupMenuItem* IPopupMenu::AddSeparator(int index) {
    return AddItem(new IPopupMenuItem(nullptr, IPopupMenuItem::kSeparator), index);
}

void IPopupMenu::RemoveItems() { mItems.clear(); }

void IPopupMenu::CheckItem(int index, bool checked) {
    if (IPopupMenuItem* it = GetItem(index)) it->SetChecked(checked);
}

void IPopupMenu::CheckItemAlone(int index) {
    for (int i = 0; i < GetNItems(); ++i) mItems[i]->SetChecked(i == index);
}

bool IPopupMenu::IsItemChecked(int index) const {
    IPopupMenuItem* it = GetItem(index);
    return it && it->GetChecked();
}
