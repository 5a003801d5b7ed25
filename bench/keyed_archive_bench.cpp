// Benchmarks of the keyed archive (Google Benchmark). bench/run builds them in Release and runs
// them beside Python's plistlib; see that script for the figures it reports.
//
//  a. OpenReadThumbnail/<size>: what the thumbnailer does for every file: map it, open the keyed
//     archive, read the thumbnail bytes under "kVantlerThumbnailKey" and copy them out. Documents
//     of about 10 KiB, 1 MiB and 100 MiB are written with our NSKeyedArchiver into a temporary
//     folder; the time must not grow with the size. MapOnly/<size> is the floor: map the file and
//     touch its first and last page, nothing else.
//  b. DecodeProcessList/<decoder>: one archive of 20 000 NSMutableDictionary (a process list:
//  strings,
//     integers, a double, a bool, an NSDate per entry), decoded from bytes in memory by our
//     NSKeyedUnarchiver::unarchiveObjectWithData and by libplist's plist_from_bin (+ plist_free).
//     Both include freeing what they built. plistlib's figure comes from bench/plistlib_bench.py.
//     OpenArchive/process_list: map the same archive and open it (initForReadingWithData, one key
//     read), decoding nothing: what opening costs for a document of 120 000 objects.
//
// Flags of our own (the rest go to Google Benchmark):
//   --vantler_workdir=DIR       write the generated documents there and keep them (default: a fresh
//                               temporary folder, removed at exit)
//   --vantler_archive_out=PATH  write the process-list archive to PATH (for plistlib_bench.py)
//   --vantler_processes=N       processes in the process list (default 20000)
//   --vantler_generate_only     write the documents and the archive, run nothing
//   --vantler_once=MODE FILE    no benchmark: do one operation on FILE and print the process's
//   memory
//                               (for /usr/bin/time -v); MODE is baseline (nothing), decode (read
//                               FILE into memory, unarchiveObjectWithData), libplist (read FILE
//                               into memory, plist_from_bin) or thumbnail (map FILE, read the
//                               thumbnail).
//   --vantler_repeat=N          with --vantler_once: do the operation N times (for a profiler)

#include <benchmark/benchmark.h>
#include <plist/plist.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "KeyedArchive.h"
#include "NSArray.h"
#include "NSData.h"
#include "NSDate.h"
#include "NSDictionary.h"
#include "NSException.h"
#include "NSKeyedArchiver.h"
#include "NSKeyedUnarchiver.h"
#include "NSNumber.h"
#include "NSString.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kThumbnailKey = "kVantlerThumbnailKey";
constexpr const char* kFormatVersionKey = "vantlerDocumentFormatVersion";
constexpr int64_t kFormatVersion = 15;
constexpr size_t kThumbnailBytes = 4096;
constexpr size_t kMaxBlobBytes = 1u << 20;

struct Options {
    fs::path workdir;
    bool ownWorkdir = false;
    std::string archiveOut;
    size_t processes = 20000;
    bool generateOnly = false;
    std::string onceMode;
    std::string onceFile;
    size_t repeat = 1;
};
Options gOptions;

// --- deterministic filler
// -------------------------------------------------------------------------

struct XorShift {
    uint64_t state;
    uint64_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    double unit() { return static_cast<double>(next() >> 11) / static_cast<double>(1ull << 53); }
};

void fillPseudoRandom(uint8_t* out, size_t n, uint64_t seed) {
    XorShift rng{seed | 1};
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint64_t word = rng.next();
        std::memcpy(out + i, &word, 8);
    }
    for (; i < n; ++i) out[i] = static_cast<uint8_t>(rng.next());
}

void writeFile(const fs::path& path, std::span<const uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string sizeLabel(size_t bytes) {
    if (bytes >= (1u << 20)) return std::to_string(bytes >> 20) + "MiB";
    return std::to_string(bytes >> 10) + "KiB";
}

// --- a. documents with a thumbnail --------------------------------------------------------------

// A PNG-looking 4 KiB: signature, an IHDR of 128x128 RGBA, an IDAT of noise, IEND (CRCs are not
// real).
std::vector<uint8_t> fakePNG() {
    std::vector<uint8_t> png(kThumbnailBytes);
    fillPseudoRandom(png.data(), png.size(), 0x504E47);
    const uint8_t head[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',  // signature
                            0,    0,   0,   13,  'I',  'H',  'D',  'R',  0,
                            0,    0,   128,                                   // IHDR, width
                            0,    0,   0,   128, 8,    6,    0,    0,    0};  // height, RGBA8
    std::memcpy(png.data(), head, sizeof head);
    const uint8_t tail[] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    std::memcpy(png.data() + png.size() - sizeof tail, tail, sizeof tail);
    return png;
}

// A document as the design tool writes one: $top holds the root object, the format version and the
// thumbnail; the root (a small dictionary) carries the bulk as an array of data blobs of <= 1 MiB.
std::shared_ptr<NSData> makeDocument(size_t blobBytes) {
    std::vector<std::shared_ptr<NSObject>> blobs;
    for (size_t offset = 0, index = 0; offset < blobBytes; offset += kMaxBlobBytes, ++index) {
        std::vector<uint8_t> bytes(std::min(kMaxBlobBytes, blobBytes - offset));
        fillPseudoRandom(bytes.data(), bytes.size(), 0xB10B + index);
        blobs.push_back(NSData::dataWithVector(std::move(bytes)));
    }
    auto root = NSDictionary::dictionaryWithEntries({
        {NSString::stringWithUTF8String("title"),
         NSString::stringWithUTF8String("Benchmark document")},
        {NSString::stringWithUTF8String("assets"), NSArray::arrayWithObjects(std::move(blobs))},
    });
    const auto png = fakePNG();
    auto data = NSMutableData::data();
    auto archiver = NSKeyedArchiver::initForWritingWithMutableData(data);
    archiver->encodeObject_forKey(root, NSKeyedArchiveRootObjectKey);
    archiver->encodeInt64_forKey(kFormatVersion, kFormatVersionKey);
    archiver->encodeBytes_length_forKey(png.data(), png.size(), kThumbnailKey);
    archiver->finishEncoding();
    return data;
}

// The path of a document of about `targetBytes`, written on first use.
const std::string& thumbnailDocument(size_t targetBytes) {
    static std::map<size_t, std::string> paths;
    if (auto it = paths.find(targetBytes); it != paths.end()) return it->second;
    // Two passes: measure what the archive adds around the blobs, then size the blobs to fit.
    const size_t guess =
        targetBytes > kThumbnailBytes + 1024 ? targetBytes - kThumbnailBytes - 1024 : 0;
    const size_t first = makeDocument(guess)->length();
    const size_t blobBytes = first > targetBytes ? guess - std::min(guess, first - targetBytes)
                                                 : guess + (targetBytes - first);
    const auto data = makeDocument(blobBytes);
    const fs::path path = gOptions.workdir / ("document-" + sizeLabel(targetBytes) + ".vantler");
    writeFile(path, data->span());
    return paths.emplace(targetBytes, path.string()).first->second;
}

// Map, open, read the thumbnail, copy it out: the thumbnailer's whole read path.
std::vector<uint8_t> readThumbnail(const std::string& path) {
    auto data = NSData::dataWithContentsOfFile_options(path, NSDataReadingMappedIfSafe);
    auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(data);
    size_t length = 0;
    const uint8_t* bytes = unarchiver->decodeBytesForKey_returnedLength(kThumbnailKey, &length);
    return std::vector<uint8_t>(bytes, bytes + length);
}

void BM_OpenReadThumbnail(benchmark::State& state, size_t targetBytes) {
    const std::string& path = thumbnailDocument(targetBytes);
    // Check once, outside the timing, that the document reads as written.
    {
        const auto thumbnail = readThumbnail(path);
        auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(
            NSData::dataWithContentsOfFile_options(path, NSDataReadingMappedIfSafe));
        if (thumbnail != fakePNG() ||
            unarchiver->decodeInt64ForKey(kFormatVersionKey) != kFormatVersion) {
            state.SkipWithError("the document does not read back as written");
            return;
        }
    }
    for (auto _ : state) {
        auto data = NSData::dataWithContentsOfFile_options(path, NSDataReadingMappedIfSafe);
        auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(data);
        size_t length = 0;
        const uint8_t* bytes = unarchiver->decodeBytesForKey_returnedLength(kThumbnailKey, &length);
        std::vector<uint8_t> copy(bytes, bytes + length);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.counters["file_bytes"] =
        benchmark::Counter(static_cast<double>(fs::file_size(path)), benchmark::Counter::kDefaults,
                           benchmark::Counter::kIs1024);
}

// The floor under OpenReadThumbnail: the mapping alone, with one read of the first and last page.
void BM_MapOnly(benchmark::State& state, size_t targetBytes) {
    const std::string& path = thumbnailDocument(targetBytes);
    for (auto _ : state) {
        auto data = NSData::dataWithContentsOfFile_options(path, NSDataReadingMappedIfSafe);
        uint8_t sum = static_cast<uint8_t>(data->bytes()[0] + data->bytes()[data->length() - 1]);
        benchmark::DoNotOptimize(sum);
    }
}

// --- b. a large archive with many objects --------------------------------------------------------

// A process list as Apple's tools archive one: an array of dictionaries with the same few keys.
std::shared_ptr<NSMutableArray> makeProcessList(size_t count) {
    static const char* const names[] = {"WindowServer",
                                        "kernel_task",
                                        "launchd",
                                        "Finder",
                                        "Dock",
                                        "SystemUIServer",
                                        "Safari",
                                        "com.apple.WebKit.WebContent",
                                        "com.apple.WebKit.Networking",
                                        "mds_stores",
                                        "mdworker_shared",
                                        "Spotlight",
                                        "loginwindow",
                                        "cfprefsd",
                                        "distnoted",
                                        "trustd",
                                        "Vantler",
                                        "Vantler Helper",
                                        "Café Helper",
                                        "Übersicht",
                                        "日本語入力",
                                        "Xcode",
                                        "SourceKitService",
                                        "clang",
                                        "swift-frontend",
                                        "Terminal",
                                        "zsh",
                                        "ssh-agent",
                                        "coreaudiod",
                                        "bluetoothd",
                                        "airportd",
                                        "UserEventAgent"};
    constexpr size_t nameCount = sizeof names / sizeof names[0];
    // One key object per key, as constant strings are in Objective-C; two shared booleans, as
    // kCFBooleanTrue/False are.
    auto keyName = NSString::stringWithUTF8String("name");
    auto keyBundle = NSString::stringWithUTF8String("bundleIdentifier");
    auto keyPid = NSString::stringWithUTF8String("pid");
    auto keyCPU = NSString::stringWithUTF8String("cpuUsage");
    auto keyActive = NSString::stringWithUTF8String("isActive");
    auto keyLaunch = NSString::stringWithUTF8String("launchDate");
    auto yes = NSNumber::numberWithBool(true);
    auto no = NSNumber::numberWithBool(false);

    XorShift rng{0x9E3779B97F4A7C15ull};
    auto list = NSMutableArray::array();
    for (size_t i = 0; i < count; ++i) {
        const std::string name = names[i % nameCount];
        auto process = NSMutableDictionary::dictionary();
        process->setObject_forKey(NSString::stringWithUTF8String(name), keyName);
        process->setObject_forKey(
            NSString::stringWithUTF8String("com.example.process" + std::to_string(i)), keyBundle);
        process->setObject_forKey(NSNumber::numberWithInteger(static_cast<int64_t>(100 + 3 * i)),
                                  keyPid);
        process->setObject_forKey(NSNumber::numberWithDouble(100.0 * rng.unit()), keyCPU);
        process->setObject_forKey(rng.next() % 4 == 0 ? yes : no, keyActive);
        process->setObject_forKey(
            NSDate::dateWithTimeIntervalSinceReferenceDate(7.0e8 + 37.25 * static_cast<double>(i)),
            keyLaunch);
        list->addObject(process);
    }
    return list;
}

const std::string& processListArchive() {
    static const std::string path = [] {
        const fs::path out = gOptions.archiveOut.empty() ? gOptions.workdir / "process-list.archive"
                                                         : fs::path(gOptions.archiveOut);
        const auto data =
            NSKeyedArchiver::archivedDataWithRootObject(makeProcessList(gOptions.processes));
        writeFile(out, data->span());
        return out.string();
    }();
    return path;
}

// The archive's bytes in memory (read, not mapped), shared by the decode benchmarks.
std::shared_ptr<NSData> processListBytes() {
    static const std::shared_ptr<NSData> data = [] {
        auto bytes = NSData::dataWithContentsOfFile_options(processListArchive(), 0);
        if (!bytes) throw std::runtime_error("cannot read " + processListArchive());
        return bytes;
    }();
    return data;
}

void setArchiveCounters(benchmark::State& state, const NSData& data) {
    const KeyedArchive archive(data);
    state.counters["objects"] = static_cast<double>(archive.objectCount());
    state.counters["file_bytes"] =
        benchmark::Counter(static_cast<double>(data.length()), benchmark::Counter::kDefaults,
                           benchmark::Counter::kIs1024);
}

void setBytesProcessed(benchmark::State& state, const NSData& data) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(data.length()));
}

void BM_DecodeProcessList_Ours(benchmark::State& state) {
    const auto data = processListBytes();
    {
        const auto root =
            std::dynamic_pointer_cast<NSArray>(NSKeyedUnarchiver::unarchiveObjectWithData(data));
        if (!root || root->count() != gOptions.processes) {
            state.SkipWithError("the process list does not decode as written");
            return;
        }
    }
    for (auto _ : state) {
        auto root = NSKeyedUnarchiver::unarchiveObjectWithData(data);
        benchmark::DoNotOptimize(root.get());
        // `root` and its 100 000-odd objects are freed here, inside the timing, as plist_free is.
    }
    setArchiveCounters(state, *data);
    setBytesProcessed(state, *data);
}

void BM_DecodeProcessList_Libplist(benchmark::State& state) {
    const auto data = processListBytes();
    const auto* bytes = reinterpret_cast<const char*>(data->bytes());
    const auto length = static_cast<uint32_t>(data->length());
    {
        plist_t root = nullptr;
        plist_from_bin(bytes, length, &root);
        const bool ok = root && plist_get_node_type(root) == PLIST_DICT;
        if (root) plist_free(root);
        if (!ok) {
            state.SkipWithError("libplist does not read the process list");
            return;
        }
    }
    for (auto _ : state) {
        plist_t root = nullptr;
        plist_from_bin(bytes, length, &root);
        benchmark::DoNotOptimize(root);
        plist_free(root);
    }
    setArchiveCounters(state, *data);
    setBytesProcessed(state, *data);
}

void BM_OpenArchive(benchmark::State& state) {
    const std::string& path = processListArchive();
    for (auto _ : state) {
        auto data = NSData::dataWithContentsOfFile_options(path, NSDataReadingMappedIfSafe);
        auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(data);
        benchmark::DoNotOptimize(unarchiver->containsValueForKey(NSKeyedArchiveRootObjectKey));
    }
    setArchiveCounters(state, *processListBytes());
}

// --- --vantler_once: one operation, for peak-memory measurement ----------------------------------

// A field of /proc/self/status in KiB (VmRSS, VmHWM).
long statusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, n, field) == 0 && line.size() > n && line[n] == ':')
            return std::stol(line.substr(n + 1));
    return -1;
}

int runOnce(const std::string& mode, const std::string& file) {
    const long rssBefore = statusKiB("VmRSS");
    long rssLoaded = rssBefore;
    std::string detail;
    if (mode == "baseline") {
    } else if (mode == "decode") {
        const auto data = NSData::dataWithContentsOfFile_options(file, 0);
        if (!data) throw std::runtime_error("cannot read " + file);
        rssLoaded = statusKiB("VmRSS");
        for (size_t i = 0; i < gOptions.repeat; ++i) {
            const auto root = NSKeyedUnarchiver::unarchiveObjectWithData(data);
            const auto* array = dynamic_cast<const NSArray*>(root.get());
            detail = "root count " + std::to_string(array ? array->count() : 0);
        }
    } else if (mode == "libplist") {
        const auto data = NSData::dataWithContentsOfFile_options(file, 0);
        if (!data) throw std::runtime_error("cannot read " + file);
        rssLoaded = statusKiB("VmRSS");
        for (size_t i = 0; i < gOptions.repeat; ++i) {
            plist_t root = nullptr;
            plist_from_bin(reinterpret_cast<const char*>(data->bytes()),
                           static_cast<uint32_t>(data->length()), &root);
            detail = root ? "parsed" : "failed";
            if (root) plist_free(root);
        }
    } else if (mode == "thumbnail") {
        rssLoaded = statusKiB("VmRSS");
        std::vector<uint8_t> thumbnail;
        long anon = 0, fileBacked = 0;
        for (size_t i = 0; i < gOptions.repeat; ++i) {
            // readThumbnail's steps, with the resident memory read while the mapping is alive.
            auto data = NSData::dataWithContentsOfFile_options(file, NSDataReadingMappedIfSafe);
            auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(data);
            size_t length = 0;
            const uint8_t* bytes =
                unarchiver->decodeBytesForKey_returnedLength(kThumbnailKey, &length);
            thumbnail.assign(bytes, bytes + length);
            anon = statusKiB("RssAnon");
            fileBacked = statusKiB("RssFile");
        }
        detail = "thumbnail " + std::to_string(thumbnail.size()) + " bytes of a " +
                 std::to_string(fs::file_size(file)) + "-byte file; while mapped: RssAnon " +
                 std::to_string(anon) + " KiB, RssFile " + std::to_string(fileBacked) +
                 " KiB (page cache, shared)";
    } else {
        std::fprintf(stderr, "keyed_archive_bench: unknown --vantler_once mode %s\n", mode.c_str());
        return 2;
    }
    std::printf(
        "%s: %s; VmRSS at start %ld KiB, after reading the input %ld KiB, peak (VmHWM) %ld KiB\n",
        mode.c_str(), detail.c_str(), rssBefore, rssLoaded, statusKiB("VmHWM"));
    return 0;
}

// --- flags
// -----------------------------------------------------------------------------------------

bool takeFlag(std::string_view arg, std::string_view name, std::string* value) {
    if (!arg.starts_with(name)) return false;
    arg.remove_prefix(name.size());
    if (arg.empty() && !value) return true;
    if (!arg.starts_with('=') || !value) return false;
    *value = std::string(arg.substr(1));
    return true;
}

// Removes our flags from argv, leaving Google Benchmark's. Returns false on a usage error.
bool parseOptions(int& argc, char** argv) {
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string value;
        if (takeFlag(arg, "--vantler_workdir", &value)) {
            gOptions.workdir = value;
        } else if (takeFlag(arg, "--vantler_archive_out", &value)) {
            gOptions.archiveOut = value;
        } else if (takeFlag(arg, "--vantler_processes", &value)) {
            gOptions.processes = std::stoul(value);
        } else if (takeFlag(arg, "--vantler_repeat", &value)) {
            gOptions.repeat = std::stoul(value);
        } else if (takeFlag(arg, "--vantler_generate_only", nullptr)) {
            gOptions.generateOnly = true;
        } else if (takeFlag(arg, "--vantler_once", &value)) {
            if (i + 1 >= argc && value != "baseline") return false;
            gOptions.onceMode = value;
            if (i + 1 < argc) gOptions.onceFile = argv[++i];
        } else {
            if (arg == "--help" || arg == "-h")
                std::printf(
                    "keyed_archive_bench [--vantler_workdir=DIR] [--vantler_archive_out=PATH] "
                    "[--vantler_processes=N] [--vantler_generate_only]\n"
                    "keyed_archive_bench --vantler_once=baseline|decode|libplist|thumbnail FILE "
                    "[--vantler_repeat=N]\n"
                    "(see the top of bench/keyed_archive_bench.cpp; Google Benchmark's flags "
                    "follow)\n\n");
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    argv[argc] = nullptr;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!parseOptions(argc, argv)) {
        std::fprintf(stderr, "keyed_archive_bench: --vantler_once=MODE needs a FILE\n");
        return 2;
    }
    try {
        if (!gOptions.onceMode.empty()) return runOnce(gOptions.onceMode, gOptions.onceFile);

        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;

        if (gOptions.workdir.empty()) {
            std::string pattern = (fs::temp_directory_path() / "vantler-bench.XXXXXX").string();
            if (!mkdtemp(pattern.data()))
                throw std::runtime_error("cannot make a temporary folder");
            gOptions.workdir = pattern;
            gOptions.ownWorkdir = true;
        } else {
            fs::create_directories(gOptions.workdir);
        }

        const size_t sizes[] = {10u << 10, 1u << 20, 100u << 20};
        if (gOptions.generateOnly || !gOptions.archiveOut.empty()) processListArchive();
        if (gOptions.generateOnly) {
            for (size_t size : sizes) std::printf("%s\n", thumbnailDocument(size).c_str());
            std::printf("%s\n", processListArchive().c_str());
        } else {
            for (size_t size : sizes)
                benchmark::RegisterBenchmark(("OpenReadThumbnail/" + sizeLabel(size)).c_str(),
                                             BM_OpenReadThumbnail, size)
                    ->Unit(benchmark::kMicrosecond);
            for (size_t size : sizes)
                benchmark::RegisterBenchmark(("MapOnly/" + sizeLabel(size)).c_str(), BM_MapOnly,
                                             size)
                    ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark("OpenArchive/process_list", BM_OpenArchive)
                ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark("DecodeProcessList/ours", BM_DecodeProcessList_Ours)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark("DecodeProcessList/libplist",
                                         BM_DecodeProcessList_Libplist)
                ->Unit(benchmark::kMillisecond);
            benchmark::RunSpecifiedBenchmarks();
            benchmark::Shutdown();
        }
        if (gOptions.ownWorkdir) fs::remove_all(gOptions.workdir);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "keyed_archive_bench: %s\n", e.what());
        if (gOptions.ownWorkdir) fs::remove_all(gOptions.workdir);
        return 1;
    }
    return 0;
}
