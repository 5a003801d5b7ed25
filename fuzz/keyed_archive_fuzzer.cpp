// libFuzzer target for the keyed archive reader, which must never crash, hang or exhaust memory on
// a hostile document: open the bytes as a keyed archive, decode the root object and every other key
// of $top, and dump the archive as text and JSON. NSException is the documented failure and is the
// only exception caught; anything else escaping, a crash, a hang or a leak is a bug.
//
// Built with -fsanitize=fuzzer when VANTLER_FUZZ is on; otherwise built with
// keyed_archive_replay.cpp as a plain program that runs this function over files (the seed corpus
// in CTest).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ArchiveDump.h"
#include "KeyedArchive.h"
#include "NSData.h"
#include "NSException.h"
#include "NSKeyedUnarchiver.h"

namespace {

template <class F>
void attempt(F&& f) {
    try {
        f();
    } catch (const NSException&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::shared_ptr<const NSData> data = NSData::dataWithBytes_length(bytes, size);
    attempt([&] {
        const auto unarchiver = NSKeyedUnarchiver::initForReadingWithData(data);
        attempt([&] { unarchiver->decodeObjectForKey(NSKeyedArchiveRootObjectKey); });
        // Every key of $top, through each decode call that can read a value stored there.
        KeyedArchive archive(*data);
        const auto& list = archive.plist();
        std::vector<std::string> keys;
        for (uint64_t i = 0; i < archive.top().count; ++i) {
            attempt([&] {
                const auto key = list.object(list.keyRef(archive.top(), i));
                if (key.kind == plist::Kind::String)
                    keys.emplace_back(KeyedArchive::unescapedKey(list.stringValue(key)));
            });
        }
        for (const auto& key : keys) {
            attempt([&] { unarchiver->decodeObjectForKey(key); });
            attempt([&] { unarchiver->decodeInt64ForKey(key); });
            attempt([&] { unarchiver->decodeIntForKey(key); });
            attempt([&] { unarchiver->decodeBoolForKey(key); });
            attempt([&] { unarchiver->decodeDoubleForKey(key); });
            attempt([&] { unarchiver->decodeFloatForKey(key); });
            attempt([&] { unarchiver->decodeStringForKey(key); });
            attempt([&] { unarchiver->decodeArrayOfObjectsForKey(key); });
            attempt([&] {
                size_t length = 0;
                unarchiver->decodeBytesForKey_returnedLength(key, &length);
            });
        }
        unarchiver->finishDecoding();
    });
    attempt([&] { dumpKeyedArchive(data, DumpFormat::Text); });
    attempt([&] { dumpKeyedArchive(data, DumpFormat::JSON); });
    return 0;
}
