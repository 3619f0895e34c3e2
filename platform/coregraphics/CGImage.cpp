#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/coregraphics/CGInternal.h"

namespace platform {
namespace cg {

PixelFormat FormatFor(size_t bitsPerComponent, size_t bitsPerPixel, CGBitmapInfo info, bool gray, bool forContext) {
    PixelFormat f;
    if (bitsPerComponent != 8) return f;
    uint32_t alpha = info & kCGBitmapAlphaInfoMask;
    uint32_t order = info & kCGBitmapByteOrderMask;
    if (order != kCGBitmapByteOrderDefault && order != kCGBitmapByteOrder32Big && order != kCGBitmapByteOrder32Little)
        return f;
    if (bitsPerPixel == 8) {
        if (alpha == kCGImageAlphaOnly) {
            f.bytes = 1;
            f.a = 0;
            f.alpha = PixelFormat::kOnly;
        } else if (gray && alpha == kCGImageAlphaNone && !forContext) {
            f.bytes = 1;
            f.alpha = PixelFormat::kGray;
        }
        return f;
    }
    if (bitsPerPixel != 32 || gray) return f;
    bool first;
    switch (alpha) {
        case kCGImageAlphaPremultipliedFirst:
        case kCGImageAlphaNoneSkipFirst:
        case kCGImageAlphaFirst:
            first = true;
            break;
        case kCGImageAlphaPremultipliedLast:
        case kCGImageAlphaNoneSkipLast:
        case kCGImageAlphaLast:
            first = false;
            break;
        default:
            return f;
    }
    if (forContext && (alpha == kCGImageAlphaFirst || alpha == kCGImageAlphaLast)) return f;
    int pos[4];  // alpha, red, green, blue in big-endian order
    if (first) {
        pos[0] = 0, pos[1] = 1, pos[2] = 2, pos[3] = 3;
    } else {
        pos[1] = 0, pos[2] = 1, pos[3] = 2, pos[0] = 3;
    }
    if (order == kCGBitmapByteOrder32Little)
        for (int& p : pos) p = 3 - p;
    f.bytes = 4;
    f.r = pos[1], f.g = pos[2], f.b = pos[3];
    if (alpha == kCGImageAlphaNoneSkipFirst || alpha == kCGImageAlphaNoneSkipLast) {
        f.a = -1;
        f.alpha = PixelFormat::kNone;
    } else {
        f.a = pos[0];
        f.alpha = (alpha == kCGImageAlphaFirst || alpha == kCGImageAlphaLast) ? PixelFormat::kStraight
                                                                              : PixelFormat::kPremultiplied;
    }
    return f;
}

Premul ReadPixel(const uint8_t* p, const PixelFormat& f) {
    switch (f.alpha) {
        case PixelFormat::kNone:
            return Premul{p[f.r], p[f.g], p[f.b], 255};
        case PixelFormat::kPremultiplied: {
            int a = p[f.a];
            return Premul{std::min<int>(p[f.r], a), std::min<int>(p[f.g], a), std::min<int>(p[f.b], a), a};
        }
        case PixelFormat::kStraight: {
            int a = p[f.a];
            return Premul{Div255(p[f.r] * a), Div255(p[f.g] * a), Div255(p[f.b] * a), a};
        }
        case PixelFormat::kOnly:
            return Premul{0, 0, 0, p[0]};
        case PixelFormat::kGray:
            return Premul{p[0], p[0], p[0], 255};
    }
    return Premul{0, 0, 0, 0};
}

}  // namespace cg

CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback release) {
    CGDataProvider* p = new CGDataProvider;
    p->info = info;
    p->data = data;
    p->size = size;
    p->release = release;
    return p;
}

CGDataProviderRef CGDataProviderRetain(CGDataProviderRef p) {
    if (p) p->refs.fetch_add(1);
    return p;
}

void CGDataProviderRelease(CGDataProviderRef p) {
    if (p && p->refs.fetch_sub(1) == 1) {
        if (p->release) p->release(p->info, p->data, p->size);
        delete p;
    }
}

CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel, size_t bytesPerRow,
                         CGColorSpaceRef space, CGBitmapInfo bitmapInfo, CGDataProviderRef provider,
                         const CGFloat* decode, bool shouldInterpolate, CGColorRenderingIntent intent) {
    if (!provider || !provider->data || width == 0 || height == 0) return nullptr;
    bool gray = space && space->components == 1;
    if (!space && (bitmapInfo & kCGBitmapAlphaInfoMask) != kCGImageAlphaOnly) return nullptr;
    cg::PixelFormat f = cg::FormatFor(bitsPerComponent, bitsPerPixel, bitmapInfo, gray, false);
    if (!f.valid()) return nullptr;
    if (width > 1u << 24 || height > 1u << 24 || bytesPerRow < width * f.bytes) return nullptr;
    if ((height - 1) * bytesPerRow + width * f.bytes > provider->size) return nullptr;
    CGImage* i = new CGImage;
    i->width = width;
    i->height = height;
    i->bytesPerRow = bytesPerRow;
    i->bitsPerPixel = bitsPerPixel;
    i->info = bitmapInfo;
    i->format = f;
    i->provider = CGDataProviderRetain(provider);
    i->bytes = static_cast<const uint8_t*>(provider->data);
    i->interpolate = shouldInterpolate;
    return i;
}

CGImageRef CGImageCreateWithImageInRect(CGImageRef image, CGRect rect) {
    if (!image) return nullptr;
    CGRect r =
        CGRectIntersection(CGRectStandardize(rect), CGRectMake(0, 0, (CGFloat)image->width, (CGFloat)image->height));
    if (CGRectIsNull(r)) return nullptr;
    size_t x0 = (size_t)std::floor(r.origin.x), y0 = (size_t)std::floor(r.origin.y);
    size_t x1 = (size_t)std::ceil(r.origin.x + r.size.width), y1 = (size_t)std::ceil(r.origin.y + r.size.height);
    if (x1 <= x0 || y1 <= y0) return nullptr;
    CGImage* i = new CGImage;
    i->width = x1 - x0;
    i->height = y1 - y0;
    i->bytesPerRow = image->bytesPerRow;
    i->bitsPerPixel = image->bitsPerPixel;
    i->info = image->info;
    i->format = image->format;
    i->provider = CGDataProviderRetain(image->provider);
    i->bytes = image->bytes + y0 * image->bytesPerRow + x0 * image->format.bytes;
    i->interpolate = image->interpolate;
    return i;
}

CGImageRef CGImageRetain(CGImageRef i) {
    if (i) i->refs.fetch_add(1);
    return i;
}

void CGImageRelease(CGImageRef i) {
    if (i && i->refs.fetch_sub(1) == 1) {
        CGDataProviderRelease(i->provider);
        delete i;
    }
}

size_t CGImageGetWidth(CGImageRef i) { return i ? i->width : 0; }
size_t CGImageGetHeight(CGImageRef i) { return i ? i->height : 0; }
size_t CGImageGetBytesPerRow(CGImageRef i) { return i ? i->bytesPerRow : 0; }
size_t CGImageGetBitsPerPixel(CGImageRef i) { return i ? i->bitsPerPixel : 0; }
CGBitmapInfo CGImageGetBitmapInfo(CGImageRef i) { return i ? i->info : 0; }
CGImageAlphaInfo CGImageGetAlphaInfo(CGImageRef i) {
    return i ? (CGImageAlphaInfo)(i->info & kCGBitmapAlphaInfoMask) : kCGImageAlphaNone;
}

static void FreeCopy(void*, const void* data, size_t) { free(const_cast<void*>(data)); }

CGImageRef CGBitmapContextCreateImage(CGContextRef c) {
    if (!c || !c->data) return nullptr;
    size_t size = c->bytesPerRow * c->height;
    void* copy = malloc(size);
    if (!copy) return nullptr;
    memcpy(copy, c->data, size);
    CGDataProviderRef p = CGDataProviderCreateWithData(nullptr, copy, size, FreeCopy);
    CGColorSpaceRef space = c->format.alpha == cg::PixelFormat::kOnly ? nullptr : CGColorSpaceCreateDeviceRGB();
    CGImageRef i = CGImageCreate(c->width, c->height, 8, c->format.bytes * 8, c->bytesPerRow, space, c->info, p,
                                 nullptr, true, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(p);
    return i;
}

}  // namespace platform
