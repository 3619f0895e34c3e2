#include <algorithm>

#include "platform/coregraphics/CGInternal.h"

namespace platform {

CGColorSpaceRef CGColorSpaceCreateDeviceRGB() {
    CGColorSpace* s = new CGColorSpace;
    s->components = 3;
    return s;
}

CGColorSpaceRef CGColorSpaceCreateDeviceGray() {
    CGColorSpace* s = new CGColorSpace;
    s->components = 1;
    return s;
}

CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef s) {
    if (s) s->refs.fetch_add(1);
    return s;
}

void CGColorSpaceRelease(CGColorSpaceRef s) {
    if (s && s->refs.fetch_sub(1) == 1) delete s;
}

size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef s) { return s ? (size_t)s->components : 0; }

static CGFloat Unit(CGFloat v) {
    if (!(v == v)) return 0;
    return std::clamp(v, (CGFloat)0, (CGFloat)1);
}

CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components) {
    if (!space || !components) return nullptr;
    CGColor* c = new CGColor;
    c->space = CGColorSpaceRetain(space);
    c->count = (size_t)space->components + 1;
    for (size_t i = 0; i < c->count; ++i) c->comps[i] = Unit(components[i]);
    if (space->components == 1) {
        c->rgba[0] = c->rgba[1] = c->rgba[2] = c->comps[0];
        c->rgba[3] = c->comps[1];
    } else {
        for (int i = 0; i < 4; ++i) c->rgba[i] = c->comps[i];
    }
    return c;
}

CGColorRef CGColorCreateGenericRGB(CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    CGColorSpaceRef s = CGColorSpaceCreateDeviceRGB();
    CGFloat comps[4] = {r, g, b, a};
    CGColorRef c = CGColorCreate(s, comps);
    CGColorSpaceRelease(s);
    return c;
}

CGColorRef CGColorRetain(CGColorRef c) {
    if (c) c->refs.fetch_add(1);
    return c;
}

void CGColorRelease(CGColorRef c) {
    if (c && c->refs.fetch_sub(1) == 1) {
        CGColorSpaceRelease(c->space);
        delete c;
    }
}

size_t CGColorGetNumberOfComponents(CGColorRef c) { return c ? c->count : 0; }
const CGFloat* CGColorGetComponents(CGColorRef c) { return c ? c->comps : nullptr; }
CGFloat CGColorGetAlpha(CGColorRef c) { return c ? c->rgba[3] : 0; }
CGColorSpaceRef CGColorGetColorSpace(CGColorRef c) { return c ? c->space : nullptr; }

bool CGColorEqualToColor(CGColorRef a, CGColorRef b) {
    if (a == b) return true;
    if (!a || !b || a->count != b->count || a->space->components != b->space->components) return false;
    return std::equal(a->comps, a->comps + a->count, b->comps);
}

}  // namespace platform
