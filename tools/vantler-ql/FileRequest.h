#pragma once
// The command line shared by the commands that read one document: COMMAND FILE [options], each
// option a flag or followed by its value; and loading the document as `info` reports it.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "NSData.h"
#include "VTPrototype.h"

// A document read from standard input is held in memory whole: as much as the thumbnailer reads of
// a file by default.
inline constexpr size_t kMaxStandardInputBytes = 256 << 20;

// An option a command accepts.
struct FileOption {
    std::string name;  // "--json", "-d"
    bool takesValue = false;
};

struct FileRequest {
    std::string path;                            // "-": standard input
    std::map<std::string, std::string> options;  // those given, with their values ("" for flags)
    std::shared_ptr<const NSData> data;          // the file's bytes (mapped when safe)

    bool has(const std::string& option) const { return options.contains(option); }
    bool readsStandardInput() const { return path == "-"; }
    // What messages call the document: its path, or "standard input".
    std::string name() const { return readsStandardInput() ? "standard input" : path; }
    // The option's value, "" when it was not given.
    std::string value(const std::string& option) const;
};

// What is wrong with the options given together ("" when nothing is), asked before FILE is read.
using FileRequestCheck = std::function<std::string(const FileRequest&)>;

// The request, or the exit status already reported on standard error: 2 for wrong usage, 1 for a
// file that cannot be read. FILE "-" reads standard input, up to kMaxStandardInputBytes.
std::variant<FileRequest, int> readFileRequest(const std::string& command,
                                               const std::vector<std::string>& args,
                                               const std::vector<FileOption>& accepted,
                                               const FileRequestCheck& check = nullptr);

// The document, or none once the loader's reason and suggestion are on standard error.
std::shared_ptr<VTPrototype> loadDocument(const FileRequest& request);
