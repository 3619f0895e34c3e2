#include "platform/appkit/Menu.h"

#include <algorithm>
#include <mutex>
#include <unordered_set>

#include "platform/appkit/Application.h"
#include "platform/appkit/Backend.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Responder.h"

namespace platform::appkit {

namespace {

std::mutex& registryLock() {
    static auto* m = new std::mutex;
    return *m;
}

std::unordered_set<const void*>& registry() {
    static auto* live = new std::unordered_set<const void*>;
    return *live;
}

template <class T>
T* liveAs(Responder* r) {
    return Responder::isLive(r) ? dynamic_cast<T*>(r) : nullptr;
}

bool isLetter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char32_t lower(char32_t c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }

// The character a key event types with no modifier but Shift, as the
// platform numbers keys without text of their own.
char32_t keyCharacterOf(const Event& e) {
    if (!e.charactersIgnoringModifiers.empty()) return e.charactersIgnoringModifiers[0];
    switch (e.key) {
        case Key::Up:
            return 0xF700;
        case Key::Down:
            return 0xF701;
        case Key::Left:
            return 0xF702;
        case Key::Right:
            return 0xF703;
        case Key::Home:
            return 0xF729;
        case Key::End:
            return 0xF72B;
        case Key::Delete:
            return 0xF728;
        case Key::Backspace:
            return 0x7F;
        case Key::Return:
            return 13;
        case Key::Tab:
            return 9;
        case Key::Escape:
            return 27;
        case Key::Space:
            return ' ';
        case Key::Character:
            return e.character;
        default:
            return 0;
    }
}

}  // namespace

Menu::Menu() {
    std::lock_guard<std::mutex> g(registryLock());
    registry().insert(this);
}

Menu::Menu(std::string title) : Menu() { title_ = std::move(title); }

Menu::~Menu() {
    {
        std::lock_guard<std::mutex> g(registryLock());
        registry().erase(this);
    }
    for (Menu* m : held_) m->release();
}

Menu* Menu::create(const std::string& title) {
    auto* m = new Menu(title);
    m->holdOnce();
    return m;
}

void Menu::retain() { ++holds_; }

void Menu::release() {
    if (--holds_ <= 0 && counted_) delete this;
}

bool Menu::isLive(const void* p) {
    std::lock_guard<std::mutex> g(registryLock());
    return p && registry().count(p) != 0;
}

MenuItem* Menu::itemAt(int index) {
    return index >= 0 && index < numberOfItems() ? &items[static_cast<size_t>(index)] : nullptr;
}

int Menu::insertItem(MenuItem item, int index) {
    if (index < 0 || index > numberOfItems()) index = numberOfItems();
    items.insert(items.begin() + index, std::move(item));
    return index;
}

bool Menu::removeItemAt(int index) {
    if (!itemAt(index)) return false;
    Menu* sub = items[static_cast<size_t>(index)].submenu;
    items.erase(items.begin() + index);
    if (auto it = std::find(held_.begin(), held_.end(), sub); sub && it != held_.end()) {
        held_.erase(it);
        sub->release();
    }
    return true;
}

void Menu::setSubmenu(int index, Menu* submenu) {
    MenuItem* item = itemAt(index);
    if (!item || item->submenu == submenu) return;
    Menu* old = item->submenu;
    if (submenu) {
        submenu->retain();
        held_.push_back(submenu);
    }
    item->submenu = submenu;
    if (auto it = std::find(held_.begin(), held_.end(), old); old && it != held_.end()) {
        held_.erase(it);
        old->release();
    }
}

int Menu::indexOfItemWithTag(int tag) const {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].tag == tag) return static_cast<int>(i);
    return -1;
}

Menu* Menu::copy() const {
    Menu* out = create(title_);
    out->autoenables_ = autoenables_;
    out->delegate_ = delegate_;
    for (const MenuItem& it : items) {
        MenuItem c = it;
        c.submenu = nullptr;
        int at = out->addItem(std::move(c));
        if (it.submenu) {
            Menu* sub = it.submenu->copy();
            out->setSubmenu(at, sub);
            sub->release();
        }
    }
    return out;
}

bool Menu::update() {
    std::weak_ptr<char> alive = life_;
    if (auto* d = liveAs<MenuDelegate>(delegate_)) d->menuNeedsUpdate(*this);
    if (alive.expired()) return false;
    if (!autoenables_) return true;
    for (MenuItem& it : items) {
        if (it.action.empty() || it.separator) continue;
        auto* t = liveAs<MenuActionTarget>(it.target);
        it.enabled = t && t->respondsToMenuAction(it.action);
    }
    return true;
}

bool Menu::performActionForItemAt(int index) {
    MenuItem* it = itemAt(index);
    if (!it || it->action.empty()) return false;
    auto* t = liveAs<MenuActionTarget>(it->target);
    if (!t || !t->respondsToMenuAction(it->action)) return false;
    std::string action = it->action;  // the target may change the menu
    t->performMenuAction(action, *this, index);
    return true;
}

bool Menu::performKeyEquivalent(const Event& e) {
    if (e.type != EventType::KeyDown) return false;
    std::weak_ptr<char> alive = life_;
    if (!update()) return false;
    for (int i = 0; i < numberOfItems(); ++i) {
        MenuItem& it = items[static_cast<size_t>(i)];
        if (it.submenu) {
            // The submenu's update may change this menu too.
            if (it.enabled && it.submenu->performKeyEquivalent(e)) return true;
            if (alive.expired()) return false;
            continue;
        }
        if (it.separator || !it.enabled || !keyEquivalentMatches(it, e)) continue;
        return performActionForItemAt(i);
    }
    return false;
}

bool Menu::popUpContextMenu(Window* w, Point at) {
    if (!update()) return false;
    MenuChoice choice = Application::backend().popUpMenu(w, *this, at);
    if (!choice || !isLive(choice.menu)) return false;
    return const_cast<Menu*>(choice.menu)->performActionForItemAt(choice.index);
}

bool menuWillOpen(const Menu& m) {
    // Menus are never made const; the window system only shows them as such.
    return Menu::isLive(&m) && const_cast<Menu&>(m).update();
}

const Menu* openSubmenu(const Menu& menu, int index) {
    auto& m = const_cast<Menu&>(menu);
    if (!Menu::isLive(&m)) return nullptr;
    const MenuItem* it = m.itemAt(index);
    if (!it || !it->submenu || !it->enabled) return nullptr;
    menuWillOpen(*it->submenu);
    // Read again: the update may have moved or freed what `it` pointed at.
    if (!Menu::isLive(&m) || !(it = m.itemAt(index)) || !it->enabled || !Menu::isLive(it->submenu)) return nullptr;
    return it->submenu;
}

bool keyEquivalentMatches(const MenuItem& item, const Event& e) {
    if (!item.keyEquivalent || e.type != EventType::KeyDown) return false;
    char32_t typed = keyCharacterOf(e);
    if (!typed) return false;
    uint32_t want =
        item.keyEquivalentModifierMask & (kShiftKeyMask | kControlKeyMask | kAlternateKeyMask | kCommandKeyMask);
    uint32_t have = e.modifierFlags();
    if (isLetter(item.keyEquivalent)) {
        if (lower(typed) != lower(item.keyEquivalent)) return false;
        // An upper-case letter stands for Shift.
        if (item.keyEquivalent <= 'Z') want |= kShiftKeyMask;
    } else {
        if (typed != item.keyEquivalent) return false;
        // Keys that need Shift to type their character carry it unasked.
        if (!(want & kShiftKeyMask)) have &= ~kShiftKeyMask;
    }
    if (have == want) return true;
    // Control typed for Command.
    if ((want & kCommandKeyMask) && !(want & kControlKeyMask) && (have & kControlKeyMask) && !(have & kCommandKeyMask))
        return (have & ~kControlKeyMask) == (want & ~kCommandKeyMask);
    return false;
}

std::string keyEquivalentText(const MenuItem& item) {
    char32_t c = item.keyEquivalent;
    if (!c) return std::string();
    uint32_t m = item.keyEquivalentModifierMask;
    std::string out;
    if (m & kControlKeyMask) out += "Ctrl+";
    if (m & kCommandKeyMask) out += (m & kControlKeyMask) ? "Super+" : "Ctrl+";
    if (m & kAlternateKeyMask) out += "Alt+";
    if ((m & kShiftKeyMask) || (c >= 'A' && c <= 'Z')) out += "Shift+";
    static const struct {
        char32_t c;
        const char* name;
    } kNamed[] = {{0xF700, "Up"},     {0xF701, "Down"},   {0xF702, "Left"},    {0xF703, "Right"},
                  {0xF727, "Insert"}, {0xF728, "Delete"}, {0xF729, "Home"},    {0xF72B, "End"},
                  {0xF72C, "PgUp"},   {0xF72D, "PgDn"},   {0x7F, "Backspace"}, {8, "Backspace"},
                  {13, "Return"},     {9, "Tab"},         {27, "Esc"},         {' ', "Space"}};
    for (const auto& n : kNamed)
        if (n.c == c) return out + n.name;
    if (c >= 0xF704 && c <= 0xF726) return out + "F" + std::to_string(static_cast<int>(c - 0xF704 + 1));
    if (isLetter(c)) return out + static_cast<char>(c >= 'a' ? c - 32 : c);
    if (c < 0x80) return out + static_cast<char>(c);
    // Other characters as UTF-8.
    if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
    } else {
        if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        }
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    return out + static_cast<char>(0x80 | (c & 0x3F));
}

}  // namespace platform::appkit
