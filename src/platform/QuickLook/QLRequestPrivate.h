#pragma once
// The request objects behind QLThumbnailRequestRef and QLPreviewRequestRef: what the host records
// of a handler's calls (QLGeneratorHost.h, QLRequestResult). For the host's own sources.

#include <memory>
#include <vector>

#include "QLGeneratorHost.h"
#include "QLSurface.h"

class QLRequest {
  public:
    explicit QLRequest(const QLRequestOptions& options) : options_(options) {}

    // QL...SetImageWithData / SetDataRepresentation: keeps a copy of the bytes.
    void setData(CFDataRef data, CFStringRef contentType, CFDictionaryRef properties);
    // QL...CreateContext.
    CGContextRef createContext(CGSize size, Boolean isBitmap, CFDictionaryRef properties);
    // QL...SetRefusalReason.
    void setRefusalReason(CFStringRef reason);
    // QL...FlushContext: takes the picture of a context this request made; others are ignored.
    void flushContext(const CGContextRef& context);

    // What the handler did; `status` is the handler's answer.
    QLRequestResult finish(OSStatus status);

  private:
    const QLRequestOptions options_;
    QLRequestResult result_;
    // Every surface made for the handler, kept until the request ends: the handler may still hold
    // and draw into an earlier context.
    std::vector<std::unique_ptr<QLSurface>> surfaces_;
};

struct __QLThumbnailRequest : QLRequest {
    using QLRequest::QLRequest;
};
struct __QLPreviewRequest : QLRequest {
    using QLRequest::QLRequest;
};
