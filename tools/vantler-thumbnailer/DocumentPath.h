#pragma once
// Where INPUT is. File managers hand a thumbnailer the document as a plain path (%i) or as a URI
// (%u): GNOME, Nemo and Caja give "file:///dir/a%20b.vantler", others "file://localhost/..." or
// "file:/dir/..."; a document on a network share may come as an "smb:" or "sftp:" URI, which this
// program cannot read.

#include <optional>
#include <string>

// The local path of `input`, or none with `reason` set (one phrase, for "PROGRAM: INPUT: reason").
// - Text that starts with "/" or has no URI scheme (RFC 3986: a letter, then letters, digits, "+",
//   "-" or "."; then ":") is a path and stays as it is.
// - A "file:" URI (the scheme in any case) gives its percent-decoded path. Its host must be empty
//   or "localhost"; a query or fragment, a "%" not followed by two hex digits and an encoded NUL
//   are refused.
// - Any other scheme is refused.
std::optional<std::string> documentPath(const std::string& input, std::string* reason);
