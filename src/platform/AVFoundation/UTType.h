#pragma once
// Uniform type identifiers of media files (Part 3.1's supported media test): what the platform's
// NSURLTypeIdentifierKey resource value and its type-conformance test give on a Mac, for the
// movie and audio types Part 3.1 lists, decided here by the file's content (FFmpeg's probe) and
// its name's extension.

#include <optional>
#include <string>

#include "NSURL.h"

// The type identifier of the file at a file URL ("public.mpeg-4", "com.apple.quicktime-movie",
// "public.mp3", ..., "public.png", "public.data" for unknown content), or none when the file
// cannot be read.
std::optional<std::string> NSURLTypeIdentifierForURL(const NSURL& url);
// Whether `type` conforms to `conformsTo` ("public.mpeg-4" conforms to "public.movie",
// "public.audiovisual-content", "public.data" and itself).
bool UTTypeConformsToType(const std::string& type, const std::string& conformsTo);
