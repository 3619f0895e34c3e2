#include "shim/shim-gdi-image.h"

#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "base/BASE_PtrList.h"
#include "base/BASE_RegularFile.h"
#include "platform/appkit/IconDecoder.h"
#include "platform/corefoundation/Bundle.h"
#include "platform/coretext/CTLine.h"

using namespace platform;

struct SHIM_ImageList {
    BASE_PtrList<HGDIOBJ__> objects{4096};
};

namespace platform {

NSImage* NSImageRetain(NSImage* image) {
    if (image) image->refs.fetch_add(1, std::memory_order_relaxed);
    return image;
}

void NSImageRelease(NSImage* image) {
    if (image && image->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        CGImageRelease(image->image);
        delete image;
    }
}

}  // namespace platform

namespace {

// The theme's dialog background.
constexpr int kDialogBackground = 0xECECEC;

const int kSysColors[10] = {0x606060, 0xE0E0E0, 0xC0C0C0, 0x000000, 0xC0C0C0,
                            0x202020, 0x303030, 0xC0C0C0, 0xFFF0C8, 0x000000};

// An image over its own copy of w x h premultiplied ARGB pixels (or zeros).
NSImage* makeImage(int w, int h, const unsigned char* argb) {
    if (w < 1 || h < 1 || (int64_t)w * h > (int64_t)INT32_MAX / 4) return nullptr;
    auto* img = new NSImage;
    const size_t bytes = (size_t)w * h * 4;
    img->pixels.assign(bytes, 0);
    if (argb) memcpy(img->pixels.data(), argb, bytes);
    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, img->pixels.data(), bytes, nullptr);
    img->image = CGImageCreate((size_t)w, (size_t)h, 8, 32, (size_t)w * 4, rgb, kCGImageAlphaPremultipliedFirst,
                               provider, nullptr, true, kCGRenderingIntentDefault);
    CGDataProviderRelease(provider);
    CGColorSpaceRelease(rgb);
    if (!img->image) {
        delete img;
        return nullptr;
    }
    img->width = w;
    img->height = h;
    return img;
}

HGDIOBJ bitmapObject(NSImage* image) {
    if (!image) return nullptr;
    HGDIOBJ__* obj = GDP_OBJECT_NEW();
    if (!obj) {
        NSImageRelease(image);
        return nullptr;
    }
    SHIM_ReleaseBitmapImage = NSImageRelease;
    obj->type = SHIM_GDIOBJ_BITMAP;
    obj->wid = 1;  // the record holds one reference to its image
    obj->bitmapptr = image;
    return obj;
}

NSImage* imageOf(HGDIOBJ obj) { return SHIM_IsValidObject(obj, SHIM_GDIOBJ_BITMAP) ? obj->bitmapptr : nullptr; }

// A PNG file decoded to premultiplied ARGB; null when it cannot be read or
// its header declares a size beyond the limit.
NSImage* loadPNG(const std::string& path) {
    png_image png;
    memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    // libpng reads the stream as it goes: it stays open until the last row.
    std::unique_ptr<FILE, int (*)(FILE*)> file(BASE_OpenRegularFileStream(path.c_str()), fclose);
    if (!file || !png_image_begin_read_from_stdio(&png, file.get())) return nullptr;
    png.format = PNG_FORMAT_ARGB;
    if (png.width < 1 || png.height < 1 || png.width > SHIM_MAX_IMAGE_SIDE || png.height > SHIM_MAX_IMAGE_SIDE) {
        png_image_free(&png);
        return nullptr;
    }
    std::vector<unsigned char> argb(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, argb.data(), 0, nullptr)) {
        png_image_free(&png);
        return nullptr;
    }
    for (size_t i = 0; i < argb.size(); i += 4)
        for (int c = 1; c < 4; c++) argb[i + c] = (unsigned char)((argb[i + c] * argb[i] + 127) / 255);
    return makeImage((int)png.width, (int)png.height, argb.data());
}

bool liveContext(HDC hdc) { return SHIM_IsValidContext(hdc) && hdc->ctx; }

}  // namespace

NSImage* SHIM_NewImage(int w, int h, const unsigned char* argb) { return makeImage(w, h, argb); }

NSImage* SHIM_ImageFromIconData(const uint8_t* data, size_t size) {
    auto icon = platform::appkit::decodeIconFile(data, size);
    if (!icon) return nullptr;
    std::vector<unsigned char> argb(icon->argb.size() * 4);
    for (size_t i = 0; i < icon->argb.size(); ++i) {
        const uint32_t p = icon->argb[i], a = p >> 24;
        argb[i * 4] = (unsigned char)a;
        for (int c = 0; c < 3; c++)
            argb[i * 4 + 1 + c] = (unsigned char)((((p >> (16 - 8 * c)) & 0xFF) * a + 127) / 255);
    }
    return makeImage(icon->width, icon->height, argb.data());
}

NSImage* SHIM_LoadImageFile(const char* path) {
    if (!path || !*path) return nullptr;
    if (NSImage* png = loadPNG(path)) return png;
    std::vector<uint8_t> bytes;
    if (!BASE_ReadRegularFile(path, SHIM_MAX_IMAGE_FILE, bytes)) return nullptr;
    return SHIM_ImageFromIconData(bytes.data(), bytes.size());
}

HGDIOBJ CreateBitmap(int w, int h, int planes, int bitsPerPixel, const unsigned char* bits) {
    if (bitsPerPixel != 32 || planes >= 2) return nullptr;
    return bitmapObject(makeImage(w, h, bits));
}

HGDIOBJ CreateIconIndirect(const ICONINFO* info) {
    if (!info || !info->fIcon) return nullptr;
    NSImage* image = imageOf(info->hbmColor);
    return image ? bitmapObject(NSImageRetain(image)) : nullptr;
}

HGDIOBJ LoadNamedImage(const char* name, bool magentaTransparent) {
    std::string n = name ? name : "";
    if (!CTDecodeUTF8(n.data(), n.size(), nullptr)) return nullptr;
    NSImage* image = n.find('/') != std::string::npos ? loadPNG(n) : nullptr;
    if (!image && !n.empty()) {
        // The bundle's image of that name, with or without its extension.
        const cf::Bundle bundle = cf::Bundle::containing(reinterpret_cast<const void*>(&LoadNamedImage));
        std::string path = bundle.findResource(n);
        if (path.empty()) path = bundle.findResource(n + ".png");
        if (!path.empty()) image = loadPNG(path);
    }
    if (!image) return nullptr;
    image->flipped = true;
    if (magentaTransparent && (int)image->width >= 1 && (int)image->height >= 1) {
        // Seen over black, a magenta pixel is opaque magenta.
        std::vector<uint8_t> copy = image->pixels;
        bool cleared = false;
        for (size_t i = 0; i < copy.size(); i += 4)
            if (copy[i + 1] == 255 && copy[i + 2] == 0 && copy[i + 3] == 255) {
                memset(&copy[i], 0, 4);
                cleared = true;
            }
        if (cleared) {
            NSImage* clear = makeImage((int)image->width, (int)image->height, copy.data());
            if (clear) {
                clear->flipped = true;
                NSImageRelease(image);
                image = clear;
            }
        }
    }
    return bitmapObject(image);
}

int GetObject(HGDIOBJ obj, int size, void* out) {
    if (out && size > 0) memset(out, 0, (size_t)size);
    NSImage* image = imageOf(obj);
    if (!image || size != 8 || !out) return 0;
    const int32_t wh[2] = {(int32_t)(image->width + 0.5), (int32_t)(image->height + 0.5)};
    memcpy(out, wh, sizeof wh);
    return 1;
}

NSImage* GetNSImageFromHICON(HGDIOBJ obj) { return imageOf(obj); }

void DrawImageInRect(HDC hdc, HGDIOBJ bitmap, const RECT* r) {
    NSImage* image = imageOf(bitmap);
    if (!liveContext(hdc) || !image || !r) return;
    CGContextRef ctx = hdc->ctx;
    CGContextSaveGState(ctx);
    // A flipped image stands upright in the toolkit's flipped user space:
    // its first row at the rectangle's top.
    CGContextTranslateCTM(ctx, 0, (double)r->top + r->bottom);
    CGContextScaleCTM(ctx, 1, -1);
    CGContextSetBlendMode(ctx, kCGBlendModeNormal);
    CGContextSetAlpha(ctx, 1);
    CGContextDrawImage(ctx, CGRectMake(r->left, r->top, (double)r->right - r->left, (double)r->bottom - r->top),
                       image->image);
    CGContextRestoreGState(ctx);
}

void BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int mode) {
    StretchBlt(dest, x, y, w, h, src, sx, sy, w, h, mode);
}

void StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, int mode) {
    if (!liveContext(dest) || !liveContext(src) || !src->ownedmem || sw <= 0 || sh <= 0) return;
    const int64_t bw = (int64_t)CGBitmapContextGetWidth(src->ctx), bh = (int64_t)CGBitmapContextGetHeight(src->ctx);
    unsigned char* pixels = (unsigned char*)SHIM_GetCtxFrameBuffer(src);
    if (!pixels || bw < 1 || bh < 1) return;

    // A negative source origin is cut off, the destination moving with it.
    int64_t X = x, Y = y, SX = sx, SY = sy, ww = sw, wh = sh;
    if (SX < 0) {
        X -= (SX * w) / sw;
        ww = sw + SX;
        SX = 0;
    }
    if (SY < 0) {
        Y -= (SY * h) / sh;
        wh = sh + SY;
        SY = 0;
    }
    ww = std::min(ww, bw - SX);
    wh = std::min(wh, bh - SY);
    if (ww <= 0 || wh <= 0) return;
    const int64_t dw = w == sw ? ww : ww == sw ? w : (int64_t)w * ww / sw;
    const int64_t dh = h == sh ? wh : wh == sh ? h : (int64_t)h * wh / sh;

    CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
    const size_t rowBytes = (size_t)bw * 4;
    const unsigned char* first = pixels + (size_t)SY * rowBytes + (size_t)SX * 4;
    CGDataProviderRef provider =
        CGDataProviderCreateWithData(nullptr, first, (size_t)(wh - 1) * rowBytes + (size_t)ww * 4, nullptr);
    CGImageRef image = CGImageCreate((size_t)ww, (size_t)wh, 8, 32, rowBytes, rgb,
                                     mode == SHIM_BLIT_SOURCE_ALPHA ? kCGImageAlphaFirst : kCGImageAlphaNoneSkipFirst,
                                     provider, nullptr, true, kCGRenderingIntentDefault);
    CGDataProviderRelease(provider);
    CGColorSpaceRelease(rgb);
    if (!image) return;
    CGContextRef ctx = dest->ctx;
    CGContextSaveGState(ctx);
    CGContextScaleCTM(ctx, 1, -1);
    CGContextDrawImage(ctx, CGRectMake((double)X, -(double)(Y + dh), (double)dw, (double)dh), image);
    CGContextRestoreGState(ctx);
    CGImageRelease(image);
}

void SHIM_PushClipRegion(HDC hdc) {
    if (liveContext(hdc)) CGContextSaveGState(hdc->ctx);
}

void SHIM_SetClipRegion(HDC hdc, const RECT* r) {
    if (liveContext(hdc) && r)
        CGContextClipToRect(hdc->ctx,
                            CGRectMake(r->left, r->top, (double)r->right - r->left, (double)r->bottom - r->top));
}

void SHIM_PopClipRegion(HDC hdc) {
    if (liveContext(hdc)) CGContextRestoreGState(hdc->ctx);
}

void SHIM_FillDialogBackground(HDC hdc, const RECT* r, int) {
    if (!liveContext(hdc) || !r) return;
    CGContextSaveGState(hdc->ctx);
    CGContextSetRGBFillColor(hdc->ctx, ((kDialogBackground >> 16) & 255) / 255.0,
                             ((kDialogBackground >> 8) & 255) / 255.0, (kDialogBackground & 255) / 255.0, 1);
    CGContextFillRect(hdc->ctx, CGRectMake(r->left, r->top, (double)r->right - r->left, (double)r->bottom - r->top));
    CGContextRestoreGState(hdc->ctx);
}

int GetSysColor(int index) { return index >= 0 && index < 10 ? kSysColors[index] : 0; }

HIMAGELIST ImageList_CreateEx() { return new SHIM_ImageList; }

int ImageList_ReplaceIcon(HIMAGELIST list, int index, HGDIOBJ icon) {
    NSImage* image = imageOf(icon);
    if (!list || !image) return -1;
    HGDIOBJ copy = bitmapObject(NSImageRetain(image));
    if (!copy) return -1;
    const int count = list->objects.GetSize();
    if (index >= 0 && index < count) {
        if (HGDIOBJ old = list->objects.Get(index)) DeleteObject(old);
        list->objects.Set(index, copy);
        return index;
    }
    if (!list->objects.Add(copy)) {
        DeleteObject(copy);
        return -1;
    }
    return count;
}

int ImageList_Remove(HIMAGELIST list, int index) {
    if (!list || index >= list->objects.GetSize()) return 0;
    if (index < 0) {
        for (int i = 0; i < list->objects.GetSize(); i++)
            if (HGDIOBJ o = list->objects.Get(i)) DeleteObject(o);
        while (list->objects.GetSize()) list->objects.Delete(list->objects.GetSize() - 1);
        return 1;
    }
    if (HGDIOBJ o = list->objects.Get(index)) DeleteObject(o);
    list->objects.Set(index, nullptr);
    return 1;
}

void ImageList_Destroy(HIMAGELIST list) {
    if (!list) return;
    ImageList_Remove(list, -1);
    delete list;
}

int ImageList_GetImageCount(HIMAGELIST list) { return list ? list->objects.GetSize() : 0; }

HGDIOBJ SHIM_ImageListGet(HIMAGELIST list, int index) { return list ? list->objects.Get(index) : nullptr; }
