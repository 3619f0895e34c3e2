// The CoreGraphics stand-in: pixel layout, coverage, clipping, strokes and
// image drawing, checked on small bitmaps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/coregraphics/CoreGraphics.h"
#include "support/TestCanvas.h"

using namespace platform;

namespace {

// A w x h context of the toolkit's layout: x, red, green, blue per pixel.
struct XrgbCanvas : hvtest::TestCanvas {
    XrgbCanvas(int w, int h, bool flipped = false) : TestCanvas(w, h) {
        CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
        ctx = CGBitmapContextCreate(pixels.data(), w, h, 8, w * 4, space, kCGImageAlphaNoneSkipFirst);
        CGColorSpaceRelease(space);
        if (flipped) {
            CGContextTranslateCTM(ctx, 0, h);
            CGContextScaleCTM(ctx, 1, -1);
        }
    }
    ~XrgbCanvas() { CGContextRelease(ctx); }
    CGContextRef ctx;
};

CGImageRef MakeImage(std::vector<uint8_t>& bytes, int w, int h, int bpp, CGBitmapInfo info, bool alphaOnly = false) {
    CGDataProviderRef p = CGDataProviderCreateWithData(nullptr, bytes.data(), bytes.size(), nullptr);
    CGColorSpaceRef space = alphaOnly ? nullptr : CGColorSpaceCreateDeviceRGB();
    CGImageRef img = CGImageCreate(w, h, 8, bpp, w * bpp / 8, space, info, p, nullptr, true, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(p);
    return img;
}

}  // namespace

TEST(CoreGraphicsContext, DeviceSpaceHasItsOriginAtTheBottomRowAndFirstByteSkipped) {
    XrgbCanvas c(4, 3);
    memset(c.pixels.data(), 0x11, c.pixels.size());
    CGContextSetRGBFillColor(c.ctx, 1, 0.5, 0, 1);
    CGContextFillRect(c.ctx, CGRectMake(1, 0, 2, 1));
    // Device y 0..1 is the last memory row.
    for (int x = 0; x < 4; ++x) {
        bool in = x == 1 || x == 2;
        EXPECT_EQ(c.red(x, 2), in ? 255 : 0x11) << x;
        EXPECT_EQ(c.green(x, 2), in ? 128 : 0x11) << x;
        EXPECT_EQ(c.blue(x, 2), in ? 0 : 0x11) << x;
        EXPECT_EQ(c.pixels[(2 * 4 + x) * 4], 0x11) << "the skipped byte is left alone";
        EXPECT_EQ(c.red(x, 0), 0x11);
    }
}

TEST(CoreGraphicsContext, FlippedTransformPutsUserRowZeroFirstInMemory) {
    XrgbCanvas c(3, 3, true);
    CGContextSetRGBFillColor(c.ctx, 0, 0, 1, 1);
    CGContextFillRect(c.ctx, CGRectMake(0, 0, 1, 1));
    EXPECT_EQ(c.blue(0, 0), 255);
    EXPECT_EQ(c.blue(0, 2), 0);
}

TEST(CoreGraphicsContext, PartialCoverageBlendsAndAntialiasOffSnaps) {
    XrgbCanvas c(4, 1);
    CGContextSetRGBFillColor(c.ctx, 1, 1, 1, 1);
    CGContextFillRect(c.ctx, CGRectMake(0.5, 0, 2, 1));
    EXPECT_EQ(c.red(0, 0), 128);
    EXPECT_EQ(c.red(1, 0), 255);
    EXPECT_EQ(c.red(2, 0), 128);
    EXPECT_EQ(c.red(3, 0), 0);

    XrgbCanvas d(4, 1);
    CGContextSetShouldAntialias(d.ctx, false);
    CGContextSetRGBFillColor(d.ctx, 1, 1, 1, 1);
    CGContextFillRect(d.ctx, CGRectMake(0.25, 0, 1.5, 1));
    EXPECT_EQ(d.red(0, 0), 255);  // 0.75 covered
    EXPECT_EQ(d.red(1, 0), 255);
    EXPECT_EQ(d.red(2, 0), 0);
}

TEST(CoreGraphicsContext, TranslucentColourAndStateAlphaCompositeSourceOver) {
    XrgbCanvas c(2, 1);
    CGContextSetRGBFillColor(c.ctx, 0, 0, 1, 1);
    CGContextFillRect(c.ctx, CGRectMake(0, 0, 2, 1));
    CGContextSetRGBFillColor(c.ctx, 1, 0, 0, 0.5);
    CGContextFillRect(c.ctx, CGRectMake(0, 0, 1, 1));
    CGContextSetRGBFillColor(c.ctx, 1, 0, 0, 1);
    CGContextSetAlpha(c.ctx, 0.25);
    CGContextFillRect(c.ctx, CGRectMake(1, 0, 1, 1));
    EXPECT_EQ(c.red(0, 0), 128);
    EXPECT_EQ(c.blue(0, 0), 127);
    EXPECT_EQ(c.red(1, 0), 64);
    EXPECT_EQ(c.blue(1, 0), 191);
}

TEST(CoreGraphicsContext, PremultipliedContextStoresAlpha) {
    std::vector<uint8_t> px(4, 0);
    CGColorSpaceRef s = CGColorSpaceCreateDeviceRGB();
    CGContextRef ctx = CGBitmapContextCreate(px.data(), 1, 1, 8, 4, s, kCGImageAlphaPremultipliedFirst);
    CGColorSpaceRelease(s);
    ASSERT_NE(ctx, nullptr);
    CGContextSetRGBFillColor(ctx, 1, 0, 0, 0.5);
    CGContextFillRect(ctx, CGRectMake(0, 0, 1, 1));
    EXPECT_EQ(px[0], 128);  // alpha
    EXPECT_EQ(px[1], 128);  // premultiplied red
    CGContextClearRect(ctx, CGRectMake(0, 0, 1, 1));
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[1], 0);
    CGContextRelease(ctx);
}

TEST(CoreGraphicsContext, UnsupportedLayoutsAndSizesGiveNoContext) {
    CGColorSpaceRef s = CGColorSpaceCreateDeviceRGB();
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 16, 0, s, kCGImageAlphaNoneSkipFirst), nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, 0, s, kCGImageAlphaFirst), nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 0, 4, 8, 0, s, kCGImageAlphaNoneSkipFirst), nullptr);
    EXPECT_EQ(CGBitmapContextCreate(nullptr, 4, 4, 8, 8, s, kCGImageAlphaNoneSkipFirst), nullptr);  // short rows
    CGContextRef own = CGBitmapContextCreate(nullptr, 5, 2, 8, 0, s, kCGImageAlphaPremultipliedLast);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(CGBitmapContextGetBytesPerRow(own), 20u);
    const uint8_t* d = static_cast<const uint8_t*>(CGBitmapContextGetData(own));
    for (int i = 0; i < 40; ++i) ASSERT_EQ(d[i], 0);
    CGContextRelease(own);
    CGColorSpaceRelease(s);
}

TEST(CoreGraphicsContext, ClipStackNarrowsAndRestores) {
    XrgbCanvas c(4, 4, true);
    CGContextSaveGState(c.ctx);
    CGContextClipToRect(c.ctx, CGRectMake(1, 1, 2, 2));
    CGContextClipToRect(c.ctx, CGRectMake(2, 0, 4, 4));
    CGContextSetRGBFillColor(c.ctx, 1, 0, 0, 1);
    CGContextFillRect(c.ctx, CGRectMake(0, 0, 4, 4));
    CGRect box = CGContextGetClipBoundingBox(c.ctx);
    EXPECT_EQ(box.origin.x, 2);
    EXPECT_EQ(box.origin.y, 1);
    EXPECT_EQ(box.size.width, 1);
    EXPECT_EQ(box.size.height, 2);
    CGContextRestoreGState(c.ctx);
    // Restoring also brings back the fill colour.
    CGContextFillRect(c.ctx, CGRectMake(0, 3, 1, 1));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(c.red(x, y), (x == 2 && (y == 1 || y == 2)) ? 255 : 0) << x << "," << y;
    EXPECT_EQ(c.green(0, 3), 0);
    // A restore without a save changes nothing.
    CGContextRestoreGState(c.ctx);
    EXPECT_EQ(CGContextGetGStateDepth(c.ctx), 0);
}

TEST(CoreGraphicsContext, PathClipWithHoleAndEmptyClip) {
    XrgbCanvas c(6, 6, true);
    CGContextAddRect(c.ctx, CGRectMake(0, 0, 6, 6));
    CGContextAddRect(c.ctx, CGRectMake(2, 2, 2, 2));
    CGContextEOClip(c.ctx);
    EXPECT_TRUE(CGContextIsPathEmpty(c.ctx));
    CGContextSetRGBFillColor(c.ctx, 0, 1, 0, 1);
    CGContextFillRect(c.ctx, CGRectMake(0, 0, 6, 6));
    EXPECT_EQ(c.green(0, 0), 255);
    EXPECT_EQ(c.green(2, 2), 0);
    EXPECT_EQ(c.green(3, 3), 0);
    EXPECT_EQ(c.green(4, 4), 255);
    CGContextClipToRect(c.ctx, CGRectMake(10, 10, 2, 2));
    EXPECT_TRUE(CGRectIsNull(CGContextGetClipBoundingBox(c.ctx)));
    CGContextSetRGBFillColor(c.ctx, 1, 0, 0, 1);
    CGContextFillRect(c.ctx, CGRectMake(0, 0, 6, 6));
    EXPECT_EQ(c.red(0, 0), 0);
}

TEST(CoreGraphicsPaths, WindingRulesDifferOnNestedSubpaths) {
    XrgbCanvas nz(6, 6, true), eo(6, 6, true);
    for (XrgbCanvas* c : {&nz, &eo}) {
        CGContextSetRGBFillColor(c->ctx, 1, 1, 1, 1);
        CGContextAddRect(c->ctx, CGRectMake(0, 0, 6, 6));
        CGContextAddRect(c->ctx, CGRectMake(2, 2, 2, 2));
    }
    CGContextFillPath(nz.ctx);
    CGContextEOFillPath(eo.ctx);
    EXPECT_EQ(nz.red(2, 2), 255);
    EXPECT_EQ(eo.red(2, 2), 0);
    EXPECT_EQ(eo.red(1, 1), 255);
}

TEST(CoreGraphicsPaths, EllipseCoversItsAreaSymmetrically) {
    XrgbCanvas c(40, 40, true);
    CGContextSetRGBFillColor(c.ctx, 1, 1, 1, 1);
    CGContextFillEllipseInRect(c.ctx, CGRectMake(0, 0, 40, 40));
    double area = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            area += c.red(x, y) / 255.0;
            EXPECT_NEAR(c.red(x, y), c.red(39 - x, y), 1);
            EXPECT_NEAR(c.red(x, y), c.red(x, 39 - y), 1);
        }
    EXPECT_NEAR(area, M_PI * 400, 4);
    EXPECT_EQ(c.red(0, 0), 0);
    EXPECT_EQ(c.red(20, 20), 255);
}

TEST(CoreGraphicsPaths, CubicCurveFillMatchesItsArea) {
    // A cubic arch from (0,0) to (30,0) with both controls at height 40.
    XrgbCanvas c(30, 40);
    CGContextSetRGBFillColor(c.ctx, 1, 1, 1, 1);
    CGContextMoveToPoint(c.ctx, 0, 0);
    CGContextAddCurveToPoint(c.ctx, 0, 40, 30, 40, 30, 0);
    CGContextClosePath(c.ctx);
    CGContextFillPath(c.ctx);
    double area = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 30; ++x) area += c.red(x, y) / 255.0;
    // y(t) = 120 t (1-t), x(t) = 90 t^2 - 60 t^3: the integral of y dx is 720.
    EXPECT_NEAR(area, 720, 3);
}

TEST(CoreGraphicsStroke, HalfPixelShiftedLineFillsOneRow) {
    XrgbCanvas c(6, 3, true);
    CGContextSetRGBStrokeColor(c.ctx, 1, 0, 0, 1);
    CGContextSetLineWidth(c.ctx, 1);
    CGContextMoveToPoint(c.ctx, 1, 1.5);
    CGContextAddLineToPoint(c.ctx, 5, 1.5);
    CGContextStrokePath(c.ctx);
    for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(c.red(x, 1), (x >= 1 && x < 5) ? 255 : 0) << x;
        EXPECT_EQ(c.red(x, 0), 0);
        EXPECT_EQ(c.red(x, 2), 0);
    }
}

TEST(CoreGraphicsStroke, CapsAndJoins) {
    // Square caps reach half a width past the ends; butt caps do not.
    XrgbCanvas sq(8, 3, true);
    CGContextSetLineCap(sq.ctx, kCGLineCapSquare);
    CGContextSetRGBStrokeColor(sq.ctx, 1, 1, 1, 1);
    CGContextSetLineWidth(sq.ctx, 2);
    CGContextMoveToPoint(sq.ctx, 2, 1);
    CGContextAddLineToPoint(sq.ctx, 6, 1);
    CGContextStrokePath(sq.ctx);
    EXPECT_EQ(sq.red(1, 0), 255);
    EXPECT_EQ(sq.red(6, 1), 255);
    EXPECT_EQ(sq.red(0, 0), 0);
    EXPECT_EQ(sq.red(7, 0), 0);

    // A right-angle corner: the miter fills the outer corner pixel, a bevel
    // only half of it.
    for (CGLineJoin join : {kCGLineJoinMiter, kCGLineJoinBevel}) {
        XrgbCanvas c(8, 8, true);
        CGContextSetLineJoin(c.ctx, join);
        CGContextSetRGBStrokeColor(c.ctx, 1, 1, 1, 1);
        CGContextSetLineWidth(c.ctx, 2);
        CGContextMoveToPoint(c.ctx, 2, 6);
        CGContextAddLineToPoint(c.ctx, 2, 2);
        CGContextAddLineToPoint(c.ctx, 6, 2);
        CGContextStrokePath(c.ctx);
        EXPECT_EQ(c.red(1, 1), join == kCGLineJoinMiter ? 255 : 128) << join;
        EXPECT_EQ(c.red(2, 2), 255);
        EXPECT_EQ(c.red(3, 3), 0);
    }
}

TEST(CoreGraphicsStroke, LineWidthFollowsTheTransform) {
    XrgbCanvas c(10, 10, true);
    CGContextScaleCTM(c.ctx, 2, 2);
    CGContextSetRGBStrokeColor(c.ctx, 1, 1, 1, 1);
    CGContextSetLineWidth(c.ctx, 1);
    CGContextMoveToPoint(c.ctx, 0, 2);
    CGContextAddLineToPoint(c.ctx, 5, 2);
    CGContextStrokePath(c.ctx);
    // User y 1.5..2.5 is device rows 3 and 4.
    EXPECT_EQ(c.red(5, 2), 0);
    EXPECT_EQ(c.red(5, 3), 255);
    EXPECT_EQ(c.red(5, 4), 255);
    EXPECT_EQ(c.red(5, 5), 0);
}

TEST(CoreGraphicsImage, FirstImageRowLandsAtTheRectanglesTopInUserSpace) {
    // 2 x 2 image, opaque: rows red, then blue.
    std::vector<uint8_t> px = {0, 255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 0, 0, 0, 255};
    CGImageRef img = MakeImage(px, 2, 2, 32, kCGImageAlphaNoneSkipFirst);
    ASSERT_NE(img, nullptr);
    XrgbCanvas up(2, 2), flipped(2, 2, true);
    CGContextDrawImage(up.ctx, CGRectMake(0, 0, 2, 2), img);
    CGContextDrawImage(flipped.ctx, CGRectMake(0, 0, 2, 2), img);
    EXPECT_EQ(up.red(0, 0), 255);
    EXPECT_EQ(up.blue(0, 1), 255);
    // In a flipped user space the image stands on its head, as on the Mac.
    EXPECT_EQ(flipped.red(0, 1), 255);
    EXPECT_EQ(flipped.blue(0, 0), 255);
    CGImageRelease(img);
}

TEST(CoreGraphicsImage, ScalingNearestAndBilinear) {
    std::vector<uint8_t> px = {0, 0, 0, 0, 0, 200, 0, 0};  // black, then red 200
    CGImageRef img = MakeImage(px, 2, 1, 32, kCGImageAlphaNoneSkipFirst);
    XrgbCanvas n(4, 1), b(4, 1);
    CGContextSetInterpolationQuality(n.ctx, kCGInterpolationNone);
    CGContextDrawImage(n.ctx, CGRectMake(0, 0, 4, 1), img);
    CGContextDrawImage(b.ctx, CGRectMake(0, 0, 4, 1), img);
    EXPECT_EQ(n.red(0, 0), 0);
    EXPECT_EQ(n.red(1, 0), 0);
    EXPECT_EQ(n.red(2, 0), 200);
    EXPECT_EQ(n.red(3, 0), 200);
    EXPECT_EQ(b.red(0, 0), 0);
    EXPECT_EQ(b.red(1, 0), 50);
    EXPECT_EQ(b.red(2, 0), 150);
    EXPECT_EQ(b.red(3, 0), 200);
    CGImageRelease(img);
}

TEST(CoreGraphicsImage, StraightAlphaImageBlendsAndSubimagesShareData) {
    // Straight alpha first: half-transparent red, then opaque green.
    std::vector<uint8_t> px = {128, 255, 0, 0, 255, 0, 255, 0};
    CGImageRef img = MakeImage(px, 2, 1, 32, kCGImageAlphaFirst);
    XrgbCanvas c(2, 1);
    CGContextSetRGBFillColor(c.ctx, 0, 0, 1, 1);
    CGContextFillRect(c.ctx, CGRectMake(0, 0, 2, 1));
    CGContextDrawImage(c.ctx, CGRectMake(0, 0, 2, 1), img);
    EXPECT_EQ(c.red(0, 0), 128);
    EXPECT_EQ(c.blue(0, 0), 127);
    EXPECT_EQ(c.green(1, 0), 255);
    EXPECT_EQ(c.blue(1, 0), 0);

    CGImageRef right = CGImageCreateWithImageInRect(img, CGRectMake(1, 0, 5, 5));
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(CGImageGetWidth(right), 1u);
    CGImageRelease(img);  // the subimage keeps the data alive
    XrgbCanvas d(1, 1);
    CGContextDrawImage(d.ctx, CGRectMake(0, 0, 1, 1), right);
    EXPECT_EQ(d.green(0, 0), 255);
    CGImageRelease(right);
    EXPECT_EQ(CGImageCreateWithImageInRect(nullptr, CGRectMake(0, 0, 1, 1)), nullptr);
}

TEST(CoreGraphicsImage, AlphaOnlyImagePaintsTheFillColourAndClipsAsMask) {
    std::vector<uint8_t> mask = {255, 0, 128, 255};
    CGImageRef m = MakeImage(mask, 2, 2, 8, kCGImageAlphaOnly, true);
    ASSERT_NE(m, nullptr);
    XrgbCanvas c(2, 2);
    CGContextSetRGBFillColor(c.ctx, 0, 1, 0, 1);
    CGContextDrawImage(c.ctx, CGRectMake(0, 0, 2, 2), m);
    EXPECT_EQ(c.green(0, 0), 255);
    EXPECT_EQ(c.green(1, 0), 0);
    EXPECT_EQ(c.green(0, 1), 128);
    EXPECT_EQ(c.red(0, 0), 0);

    XrgbCanvas d(2, 2);
    CGContextClipToMask(d.ctx, CGRectMake(0, 0, 2, 2), m);
    CGContextSetRGBFillColor(d.ctx, 1, 0, 0, 1);
    CGContextFillRect(d.ctx, CGRectMake(0, 0, 2, 2));
    EXPECT_EQ(d.red(0, 0), 255);
    EXPECT_EQ(d.red(1, 0), 0);
    EXPECT_EQ(d.red(0, 1), 128);
    CGImageRelease(m);
}

TEST(CoreGraphicsImage, ContextSnapshotIsACopy) {
    XrgbCanvas c(2, 2);
    CGContextSetRGBFillColor(c.ctx, 1, 0, 0, 1);
    CGContextFillRect(c.ctx, CGRectMake(0, 0, 2, 2));
    CGImageRef snap = CGBitmapContextCreateImage(c.ctx);
    ASSERT_NE(snap, nullptr);
    CGContextSetRGBFillColor(c.ctx, 0, 0, 1, 1);
    CGContextFillRect(c.ctx, CGRectMake(0, 0, 2, 2));
    XrgbCanvas d(2, 2);
    CGContextDrawImage(d.ctx, CGRectMake(0, 0, 2, 2), snap);
    EXPECT_EQ(d.red(1, 1), 255);
    EXPECT_EQ(d.blue(1, 1), 0);
    CGImageRelease(snap);
}

TEST(CoreGraphicsImage, ShortProvidersAndOddLayoutsAreRefused) {
    std::vector<uint8_t> px(7, 0);
    EXPECT_EQ(MakeImage(px, 2, 1, 32, kCGImageAlphaNoneSkipFirst), nullptr);
    std::vector<uint8_t> ok(8, 0);
    EXPECT_EQ(MakeImage(ok, 2, 1, 32, kCGImageAlphaNone), nullptr);
}

TEST(CoreGraphicsContext, WildCoordinatesDrawNothingOutsideAndDoNotCrash) {
    XrgbCanvas c(4, 4, true);
    CGContextSetRGBFillColor(c.ctx, 1, 1, 1, 1);
    CGContextFillRect(c.ctx, CGRectMake(-1e30, -1e30, 2e30, 2e30));
    EXPECT_EQ(c.red(2, 2), 255);
    XrgbCanvas d(4, 4, true);
    CGContextSetRGBFillColor(d.ctx, 1, 1, 1, 1);
    CGContextFillRect(d.ctx, CGRectMake(NAN, 0, 2, 2));
    CGContextMoveToPoint(d.ctx, 1e300, 0);
    CGContextAddLineToPoint(d.ctx, -1e300, INFINITY);
    CGContextStrokePath(d.ctx);
    CGContextFillRect(d.ctx, CGRectMake(100, 100, 2, 2));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_GE(d.red(x, y), 0);
    // Painting calls on a null context do nothing.
    CGContextFillRect(nullptr, CGRectMake(0, 0, 1, 1));
    CGContextDrawImage(nullptr, CGRectMake(0, 0, 1, 1), nullptr);
}
