#pragma once
// The QuickLook host's part on Linux: it loads a generator plug-in as the QuickLook daemon does,
// hands it thumbnail and preview requests, and turns what the handler hands over or draws into an
// output file. `vantler-ql` and `vantler-thumbnailer` are built on it.
//
//     std::string error;
//     auto host = QLGeneratorHost::hostWithPath_error("/usr/lib/x/Generator.so", &error);
//     if (!host) fail(error);
//     QLRequestOptions options;                      // PNG, 1 pixel per point
//     options.fitSize = 256;                         // fit into 256 × 256
//     QLRequestResult result = host->generateThumbnail("/tmp/a.vantler", options);
//     if (result.status != 0) fail(...);             // the document was refused
//     auto png = QLCreateOutputData(result, options, &error);   // null: error says why
//     if (!png || !QLWriteOutputFile("/tmp/a.png", *png, &error)) fail(error);
//
// Threads: a host may serve requests on several threads at once (each request is its own object,
// used by the one thread that runs it); loading and destroying the host are not concurrent with
// requests.

#include <memory>
#include <optional>
#include <string>

#include "CGContext.h"
#include "CGGeometry.h"
#include "CGImage.h"
#include "NSData.h"
#include "NSDictionary.h"
#include "QuickLook.h"

#pragma GCC visibility push(default)  // exported from libVantler

// The surface behind the contexts the host makes, chosen for the file it will write.
enum class QLOutputFormat {
    PNG,  // a bitmap context (sRGB, premultiplied, transparent at first)
    PDF,  // a one-page PDF of the context's size in points
    SVG,  // an SVG document of the context's size in points
};

// The host's budget for one surface. A picture larger than it (a preview of hundreds of screens, a
// screen of 10^6 points) is drawn scaled down until it fits, not refused: a PNG surface holds at
// most kQLMaxSurfacePixels pixels and kCGImageMaxDimension a side (8192 × 8192 at 4 bytes a pixel
// is 256 MiB, half of what a request may use, leaving room for the opacity groups drawn into it
// and for encoding), a PDF/SVG page at most kCGVectorContextMaxDimension points a side. A picture
// that would need fewer than kQLMinSurfaceScale units per point is refused: it would show nothing
// but a few pixels, and its transform would come close to singular.
inline constexpr double kQLMaxSurfacePixels = 1 << 26;
inline constexpr double kQLMinSurfaceScale = 1e-6;

// What the host tells the handler and how it makes contexts.
struct QLRequestOptions {
    // The content type the host names for the document; the program that runs the host knows it.
    std::string contentType = "public.data";
    QLOutputFormat format = QLOutputFormat::PNG;
    // Pixels per point of a PNG surface: a context of w × h points is backed by ceil(w·scale) ×
    // ceil(h·scale) pixels with the CTM scaled by `scale`, unless that is over the budget
    // (kQLMaxSurfacePixels). Finite and > 0 (anything else: 1).
    CGFloat scale = 1;
    // > 0: fit the picture into fitSize × fitSize points, keeping its aspect ratio. A drawn picture
    // is rendered directly at scale × min(fitSize / w, fitSize / h) pixels per point of a PNG
    // (sharp at every size, enlarged too), or onto a page of that many points per point; handed-
    // over image bytes are shrunk by QLCreateOutputData to fit fitSize·scale pixels (a page:
    // fitSize points, one per pixel), never enlarged. 0 (or anything not finite and > 0): natural
    // size.
    CGFloat fitSize = 0;
    // Thumbnails: the maximum size handed to the handler (which ignores it).
    CGSize maxSize = {0, 0};
    // The host answers null to every context request, as a host short of memory may.
    bool refuseContexts = false;
};

// A handler's request for a context.
struct QLContextRecord {
    CGSize size;  // as asked, in points
    bool isBitmap = false;
    std::shared_ptr<const NSDictionary>
        properties;  // as given (a copy when not shared); none: none
    // Whether the host answered with a context: false for refuseContexts and for absurd sizes
    // (not finite, <= 0, or beyond the budget even at kQLMinSurfaceScale).
    bool created = false;
    // Units of the surface made per point: pixels of a PNG surface, points of a PDF/SVG page (1
    // unless the page was scaled down to the budget); 0 when no context was made.
    CGFloat unitsPerPoint = 0;
};

// Everything a request's handler did, as the host saw it.
struct QLRequestResult {
    OSStatus status = 1;  // what the handler answered; 1 also when the document path is empty
    // Why the handler answered a failure status, as it said (QuickLook.h); empty when it gave none.
    std::string refusalReason;
    // Ready-made bytes handed over (a copy of what the handler passed), or none.
    std::shared_ptr<const NSData> data;
    std::string contentType;  // previews: the type given with the bytes; thumbnails: empty
    std::shared_ptr<const NSDictionary> dataProperties;  // given with the bytes; none: none
    // The handler's last context request, when it made one.
    std::optional<QLContextRecord> context;
    bool flushed = false;  // the context the host made was flushed at least once
    // PNG surface: the pixels as last flushed, w × h pixels as in QLContextRecord, sRGB,
    // kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Host; first row at the top.
    CGImageRef image;
    // PDF/SVG surface: the document as flushed (complete: the flush closes it).
    std::shared_ptr<const NSData> vectorData;
};

class QLGeneratorHost {
  public:
    // Loads the generator plug-in at `path` (dlopen), calls its factory
    // QuickLookGeneratorPluginFactory with kQLGeneratorTypeID, queries the generator callbacks
    // interface through slot 1 of the instance's table and releases the factory's own reference
    // through slot 3. Null on failure, with `error` (may be null) set to one of: dlopen's
    // message; "PATH has no QuickLookGeneratorPluginFactory"; "the factory of PATH refused the
    // generator type"; "PATH does not offer the generator callbacks interface".
    static std::shared_ptr<QLGeneratorHost> hostWithPath_error(const std::string& path,
                                                               std::string* error);
    // Releases the interface (slot 3), then dlclose()s the plug-in unless
    // CFPlugInGetInstanceCountForFactory says that an instance is left beyond those of the other
    // hosts of the same plug-in (which keep it loaded themselves): a plug-in that leaks an instance
    // stays loaded.
    ~QLGeneratorHost();
    QLGeneratorHost(const QLGeneratorHost&) = delete;
    QLGeneratorHost& operator=(const QLGeneratorHost&) = delete;

    // Runs GenerateThumbnailForURL (slot 4) / GeneratePreviewForURL (slot 6) on the calling thread
    // for `document`: a path (made absolute) or a "file:" URL. Content type options.contentType,
    // no options.
    QLRequestResult generateThumbnail(const std::string& document,
                                      const QLRequestOptions& options) const;
    QLRequestResult generatePreview(const std::string& document,
                                    const QLRequestOptions& options) const;

    const std::string& path() const { return path_; }
    // The factory under which the instance registered (AllocQuickLookGeneratorPluginType),
    // borrowed; null when it registered under none.
    CFUUIDRef factoryID() const { return factoryID_; }

  private:
    QLGeneratorHost(std::string path, void* library, void* interface, CFUUIDRef factoryID);

    std::string path_;
    void* library_ = nullptr;    // dlopen handle
    void* interface_ = nullptr;  // the instance: points to its QLGeneratorInterfaceStruct pointer
    CFUUIDRef factoryID_ = nullptr;  // retained
};

// The output file for a result in options.format, or null with `reason` (may be null) set:
// - status other than 0: "the generator refused the document";
// - handed-over bytes: PNG output gets them unchanged unless they are in another image format
//   (then re-encoded as PNG) or options.fitSize asks to shrink them (decoded and shrunk to fit
//   fitSize·scale pixels, never enlarged); PDF/SVG output gets the decoded image on one page of its
//   size in pixels as points, shrunk to fit fitSize points. Bytes that are needed decoded and
//   don't decode: "the handed-over image could not be decoded (...)";
// - a flushed context: its PNG (sRGB), PDF or SVG;
// - nothing handed over and nothing flushed: "nothing was drawn".
std::shared_ptr<const NSData> QLCreateOutputData(const QLRequestResult& result,
                                                 const QLRequestOptions& options,
                                                 std::string* reason);
// Writes `data` to `path` whole or not at all (a temporary file beside it, then renamed). A
// symbolic link is written through: the file it points to is replaced. False with `reason` (may be
// null) set to the system's message.
bool QLWriteOutputFile(const std::string& path, const NSData& data, std::string* reason);

#pragma GCC visibility pop
