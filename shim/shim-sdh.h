// A small object that carries one pointer-sized value: a menu item's data,
// or the tree item a tree view's row stands for.
#pragma once

#include <cstdint>

class Shim_vHalvoran_sdh {
public:
    // initWithVal:
    explicit Shim_vHalvoran_sdh(intptr_t v) : m_data(v) {}
    intptr_t getValue() const { return m_data; }

    intptr_t m_data;
};
