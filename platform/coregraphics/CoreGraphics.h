// Our software stand-in for the CoreGraphics calls the toolkit makes: bitmap
// contexts over real pixel memory, a graphics state (transform, clip stack,
// colours, line attributes), paths, fill and stroke, and images.
//
// Device space is CoreGraphics' own: origin at the bottom-left of a bitmap,
// y upward, one unit per pixel; memory row 0 is the top row of the picture.
// Drawing is anti-aliased unless the state says otherwise, and composites
// source-over. An image drawn into a rectangle puts its first row at the
// rectangle's largest y, as on the Mac.
//
// Pixel formats: 8 bits per component; 32 bits per pixel with the alpha kinds
// NoneSkipFirst, NoneSkipLast, PremultipliedFirst, PremultipliedLast (and,
// for images only, First and Last, straight alpha), in big-endian (default)
// or 32-bit little-endian component order; or 8 bits per pixel alpha-only
// (kCGImageAlphaOnly, null colour space). Drawing an alpha-only image paints
// the fill colour through it, which is how glyph masks are painted.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

typedef double CGFloat;

struct CGPoint {
    CGFloat x, y;
};
struct CGSize {
    CGFloat width, height;
};
struct CGRect {
    CGPoint origin;
    CGSize size;
};
struct CGAffineTransform {
    CGFloat a, b, c, d, tx, ty;
};

extern const CGAffineTransform CGAffineTransformIdentity;
extern const CGRect CGRectNull;

inline CGPoint CGPointMake(CGFloat x, CGFloat y) { return CGPoint{x, y}; }
inline CGSize CGSizeMake(CGFloat w, CGFloat h) { return CGSize{w, h}; }
inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat w, CGFloat h) { return CGRect{{x, y}, {w, h}}; }

CGFloat CGRectGetMinX(CGRect r);
CGFloat CGRectGetMaxX(CGRect r);
CGFloat CGRectGetMinY(CGRect r);
CGFloat CGRectGetMaxY(CGRect r);
CGFloat CGRectGetWidth(CGRect r);
CGFloat CGRectGetHeight(CGRect r);
CGRect CGRectStandardize(CGRect r);
bool CGRectIsEmpty(CGRect r);
bool CGRectIsNull(CGRect r);
CGRect CGRectIntersection(CGRect a, CGRect b);

CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle);
// t1 then t2.
CGAffineTransform CGAffineTransformConcat(CGAffineTransform t1, CGAffineTransform t2);
CGAffineTransform CGAffineTransformTranslate(CGAffineTransform t, CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformScale(CGAffineTransform t, CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformRotate(CGAffineTransform t, CGFloat angle);
// A singular transform comes back unchanged.
CGAffineTransform CGAffineTransformInvert(CGAffineTransform t);
bool CGAffineTransformIsIdentity(CGAffineTransform t);
bool CGAffineTransformEqualToTransform(CGAffineTransform t1, CGAffineTransform t2);
CGPoint CGPointApplyAffineTransform(CGPoint p, CGAffineTransform t);
CGSize CGSizeApplyAffineTransform(CGSize s, CGAffineTransform t);
// The bounding box of the transformed rectangle.
CGRect CGRectApplyAffineTransform(CGRect r, CGAffineTransform t);

// Colour spaces and colours.
struct CGColorSpace;
typedef CGColorSpace* CGColorSpaceRef;
struct CGColor;
typedef CGColor* CGColorRef;

CGColorSpaceRef CGColorSpaceCreateDeviceRGB();
CGColorSpaceRef CGColorSpaceCreateDeviceGray();
CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef s);
void CGColorSpaceRelease(CGColorSpaceRef s);
// 3 for RGB, 1 for gray.
size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef s);

// components: the space's components then alpha. Null for a null space or
// null components.
CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components);
CGColorRef CGColorCreateGenericRGB(CGFloat r, CGFloat g, CGFloat b, CGFloat a);
CGColorRef CGColorRetain(CGColorRef c);
void CGColorRelease(CGColorRef c);
size_t CGColorGetNumberOfComponents(CGColorRef c);
const CGFloat* CGColorGetComponents(CGColorRef c);
CGFloat CGColorGetAlpha(CGColorRef c);
CGColorSpaceRef CGColorGetColorSpace(CGColorRef c);
bool CGColorEqualToColor(CGColorRef a, CGColorRef b);

// Bitmap layout.
enum CGImageAlphaInfo : uint32_t {
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6,
    kCGImageAlphaOnly = 7,
};
enum : uint32_t {
    kCGBitmapAlphaInfoMask = 0x1F,
    kCGBitmapByteOrderMask = 0x7000,
    kCGBitmapByteOrderDefault = 0,
    kCGBitmapByteOrder32Little = 2u << 12,
    kCGBitmapByteOrder32Big = 4u << 12,
};
typedef uint32_t CGBitmapInfo;

// Data providers: a block of bytes the image reads from; the release callback
// runs when the last reference goes.
struct CGDataProvider;
typedef CGDataProvider* CGDataProviderRef;
typedef void (*CGDataProviderReleaseDataCallback)(void* info, const void* data, size_t size);
CGDataProviderRef CGDataProviderCreateWithData(void* info, const void* data, size_t size,
                                               CGDataProviderReleaseDataCallback release);
CGDataProviderRef CGDataProviderRetain(CGDataProviderRef p);
void CGDataProviderRelease(CGDataProviderRef p);

// Images.
struct CGImage;
typedef CGImage* CGImageRef;
enum CGColorRenderingIntent { kCGRenderingIntentDefault = 0 };
// Null when the layout is not one of those above or the provider is too short.
CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel, size_t bytesPerRow,
                         CGColorSpaceRef space, CGBitmapInfo bitmapInfo, CGDataProviderRef provider,
                         const CGFloat* decode, bool shouldInterpolate, CGColorRenderingIntent intent);
// A view of part of an image (no copy); null when the rectangle misses it.
CGImageRef CGImageCreateWithImageInRect(CGImageRef image, CGRect rect);
CGImageRef CGImageRetain(CGImageRef i);
void CGImageRelease(CGImageRef i);
size_t CGImageGetWidth(CGImageRef i);
size_t CGImageGetHeight(CGImageRef i);
size_t CGImageGetBytesPerRow(CGImageRef i);
size_t CGImageGetBitsPerPixel(CGImageRef i);
CGBitmapInfo CGImageGetBitmapInfo(CGImageRef i);
CGImageAlphaInfo CGImageGetAlphaInfo(CGImageRef i);

// Paths held on their own.
struct CGPath;
typedef CGPath* CGMutablePathRef;
typedef const CGPath* CGPathRef;
CGMutablePathRef CGPathCreateMutable();
CGPathRef CGPathRetain(CGPathRef p);
void CGPathRelease(CGPathRef p);
void CGPathMoveToPoint(CGMutablePathRef p, const CGAffineTransform* m, CGFloat x, CGFloat y);
void CGPathAddLineToPoint(CGMutablePathRef p, const CGAffineTransform* m, CGFloat x, CGFloat y);
void CGPathAddCurveToPoint(CGMutablePathRef p, const CGAffineTransform* m, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x,
                           CGFloat cp2y, CGFloat x, CGFloat y);
void CGPathAddQuadCurveToPoint(CGMutablePathRef p, const CGAffineTransform* m, CGFloat cpx, CGFloat cpy, CGFloat x,
                               CGFloat y);
void CGPathAddRect(CGMutablePathRef p, const CGAffineTransform* m, CGRect r);
void CGPathAddEllipseInRect(CGMutablePathRef p, const CGAffineTransform* m, CGRect r);
void CGPathCloseSubpath(CGMutablePathRef p);
bool CGPathIsEmpty(CGPathRef p);
CGRect CGPathGetBoundingBox(CGPathRef p);

// Contexts.
struct CGContext;
typedef CGContext* CGContextRef;

// data null: the context allocates (zero-filled) and owns its memory.
// bytesPerRow 0: width x bytes per pixel. Null when the layout is not
// supported, a side is 0 or the rows do not fit.
CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent, size_t bytesPerRow,
                                   CGColorSpaceRef space, CGBitmapInfo bitmapInfo);
CGContextRef CGContextRetain(CGContextRef c);
void CGContextRelease(CGContextRef c);
void* CGBitmapContextGetData(CGContextRef c);
size_t CGBitmapContextGetWidth(CGContextRef c);
size_t CGBitmapContextGetHeight(CGContextRef c);
size_t CGBitmapContextGetBytesPerRow(CGContextRef c);
size_t CGBitmapContextGetBitsPerPixel(CGContextRef c);
CGBitmapInfo CGBitmapContextGetBitmapInfo(CGContextRef c);
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(CGContextRef c);
// A copy of the context's pixels as an image.
CGImageRef CGBitmapContextCreateImage(CGContextRef c);

// Graphics state.
void CGContextSaveGState(CGContextRef c);
// Without a saved state this does nothing.
void CGContextRestoreGState(CGContextRef c);
int CGContextGetGStateDepth(CGContextRef c);

void CGContextTranslateCTM(CGContextRef c, CGFloat tx, CGFloat ty);
void CGContextScaleCTM(CGContextRef c, CGFloat sx, CGFloat sy);
void CGContextRotateCTM(CGContextRef c, CGFloat angle);
void CGContextConcatCTM(CGContextRef c, CGAffineTransform t);
CGAffineTransform CGContextGetCTM(CGContextRef c);
CGAffineTransform CGContextGetUserSpaceToDeviceSpaceTransform(CGContextRef c);
CGPoint CGContextConvertPointToDeviceSpace(CGContextRef c, CGPoint p);
CGPoint CGContextConvertPointToUserSpace(CGContextRef c, CGPoint p);

void CGContextClipToRect(CGContextRef c, CGRect r);
void CGContextClipToRects(CGContextRef c, const CGRect* rects, size_t count);
// Clip to the current path (non-zero or even-odd); the path is used up.
void CGContextClip(CGContextRef c);
void CGContextEOClip(CGContextRef c);
// The mask image's alpha (alpha-only or alpha images) or gray value becomes
// the clip inside r; outside r nothing is drawn.
void CGContextClipToMask(CGContextRef c, CGRect r, CGImageRef mask);
// In user space; CGRectNull when nothing can be drawn.
CGRect CGContextGetClipBoundingBox(CGContextRef c);

void CGContextSetFillColorWithColor(CGContextRef c, CGColorRef color);
void CGContextSetStrokeColorWithColor(CGContextRef c, CGColorRef color);
void CGContextSetRGBFillColor(CGContextRef c, CGFloat r, CGFloat g, CGFloat b, CGFloat a);
void CGContextSetRGBStrokeColor(CGContextRef c, CGFloat r, CGFloat g, CGFloat b, CGFloat a);
void CGContextSetGrayFillColor(CGContextRef c, CGFloat gray, CGFloat a);
void CGContextSetGrayStrokeColor(CGContextRef c, CGFloat gray, CGFloat a);
// rgba receives red, green, blue, alpha of the current colour.
void CGContextGetFillColor(CGContextRef c, CGFloat rgba[4]);
void CGContextGetStrokeColor(CGContextRef c, CGFloat rgba[4]);
void CGContextSetAlpha(CGContextRef c, CGFloat a);

enum CGLineCap { kCGLineCapButt = 0, kCGLineCapRound = 1, kCGLineCapSquare = 2 };
enum CGLineJoin { kCGLineJoinMiter = 0, kCGLineJoinRound = 1, kCGLineJoinBevel = 2 };
void CGContextSetLineWidth(CGContextRef c, CGFloat w);
CGFloat CGContextGetLineWidth(CGContextRef c);
void CGContextSetLineCap(CGContextRef c, CGLineCap cap);
void CGContextSetLineJoin(CGContextRef c, CGLineJoin join);
void CGContextSetMiterLimit(CGContextRef c, CGFloat limit);

void CGContextSetShouldAntialias(CGContextRef c, bool on);
void CGContextSetAllowsAntialiasing(CGContextRef c, bool on);
// Anti-aliasing happens when it is both allowed and asked for.
bool CGContextGetShouldAntialias(CGContextRef c);
void CGContextSetShouldSmoothFonts(CGContextRef c, bool on);
bool CGContextGetShouldSmoothFonts(CGContextRef c);

enum CGInterpolationQuality {
    kCGInterpolationDefault = 0,
    kCGInterpolationNone = 1,
    kCGInterpolationLow = 2,
    kCGInterpolationHigh = 3,
    kCGInterpolationMedium = 4,
};
void CGContextSetInterpolationQuality(CGContextRef c, CGInterpolationQuality q);
CGInterpolationQuality CGContextGetInterpolationQuality(CGContextRef c);

enum CGBlendMode { kCGBlendModeNormal = 0, kCGBlendModeClear = 16, kCGBlendModeCopy = 17 };
void CGContextSetBlendMode(CGContextRef c, CGBlendMode mode);

// The text matrix and position are not part of the saved state (as on the
// Mac); the text drawing code reads them.
void CGContextSetTextMatrix(CGContextRef c, CGAffineTransform t);
CGAffineTransform CGContextGetTextMatrix(CGContextRef c);
void CGContextSetTextPosition(CGContextRef c, CGFloat x, CGFloat y);
CGPoint CGContextGetTextPosition(CGContextRef c);

// The current path, kept in device space as it is built.
void CGContextBeginPath(CGContextRef c);
void CGContextMoveToPoint(CGContextRef c, CGFloat x, CGFloat y);
void CGContextAddLineToPoint(CGContextRef c, CGFloat x, CGFloat y);
void CGContextAddCurveToPoint(CGContextRef c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x,
                              CGFloat y);
void CGContextAddQuadCurveToPoint(CGContextRef c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y);
void CGContextClosePath(CGContextRef c);
void CGContextAddRect(CGContextRef c, CGRect r);
void CGContextAddRects(CGContextRef c, const CGRect* rects, size_t count);
void CGContextAddEllipseInRect(CGContextRef c, CGRect r);
void CGContextAddLines(CGContextRef c, const CGPoint* points, size_t count);
void CGContextAddPath(CGContextRef c, CGPathRef path);
bool CGContextIsPathEmpty(CGContextRef c);
// In user space.
CGPoint CGContextGetPathCurrentPoint(CGContextRef c);
CGRect CGContextGetPathBoundingBox(CGContextRef c);

enum CGPathDrawingMode {
    kCGPathFill = 0,
    kCGPathEOFill = 1,
    kCGPathStroke = 2,
    kCGPathFillStroke = 3,
    kCGPathEOFillStroke = 4,
};
// Each painting call uses up the current path.
void CGContextDrawPath(CGContextRef c, CGPathDrawingMode mode);
void CGContextFillPath(CGContextRef c);
void CGContextEOFillPath(CGContextRef c);
void CGContextStrokePath(CGContextRef c);
void CGContextFillRect(CGContextRef c, CGRect r);
void CGContextFillRects(CGContextRef c, const CGRect* rects, size_t count);
void CGContextStrokeRect(CGContextRef c, CGRect r);
void CGContextStrokeRectWithWidth(CGContextRef c, CGRect r, CGFloat width);
void CGContextFillEllipseInRect(CGContextRef c, CGRect r);
void CGContextStrokeEllipseInRect(CGContextRef c, CGRect r);
// Pairs of points, each pair one segment.
void CGContextStrokeLineSegments(CGContextRef c, const CGPoint* points, size_t count);
// Sets the area to transparent black (black where the format has no alpha).
void CGContextClearRect(CGContextRef c, CGRect r);

void CGContextDrawImage(CGContextRef c, CGRect r, CGImageRef image);

}  // namespace platform
