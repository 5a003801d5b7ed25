#pragma once
// Uniform type identifiers of media files, which decide whether an image asset takes a file as a
// movie or a sound: what the platform's NSURLTypeIdentifierKey resource value and its
// type-conformance test give on a Mac for the movie and audio types an asset supports, decided
// here by the file's content (FFmpeg's probe) and its name's extension.

#include <optional>
#include <string>

#include "NSURL.h"

#pragma GCC visibility push(default)  // exported from libVantler

// The type identifier of the file at a file URL ("public.mpeg-4", "com.apple.quicktime-movie",
// "public.mp3", ..., "public.png" and the other types of ImageIO's reader, "public.data" for
// other or empty content), or none when the URL is not a file URL or names no readable regular
// file. The content decides the family (a PNG named x.mp4 is "public.png"); within a container
// several types share (MPEG-4/QuickTime, AIFF, MPEG audio), the name's extension decides when it
// names one of them, as on a Mac, else the content's brand, form type or layer. Reads at most
// AVFoundationLimits::kTypeProbeBytes from the start, and as many after an ID3 tag; an MPEG-4
// file with a generic brand and no telling extension is opened to see whether it has video.
// Media content is recognised by FFmpeg, in the media module (MediaModule.h): when that cannot be
// loaded, content that is no still is "public.data".
std::optional<std::string> NSURLTypeIdentifierForURL(const NSURL& url);
// Whether `type` conforms to `conformsTo` ("public.mpeg-4" conforms to "public.movie",
// "public.audiovisual-content", "public.content", "public.data", "public.item" and itself), by
// macOS's declarations of the media and image types (UTType.cpp); an undeclared type conforms to
// itself only.
bool UTTypeConformsToType(const std::string& type, const std::string& conformsTo);

#pragma GCC visibility pop
