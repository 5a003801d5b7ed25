// CoreMedia's time values (AVFoundation.h): enough to compare an asset's duration with kCMTimeZero
// and convert it to seconds.

#include <limits>

#include "AVFoundation.h"

const CMTime kCMTimeZero{0, 1, kCMTimeFlags_Valid, 0};
const CMTime kCMTimeInvalid{};

CMTime CMTimeMake(int64_t value, int32_t timescale) {
    if (timescale <= 0) return kCMTimeInvalid;
    return {value, timescale, kCMTimeFlags_Valid, 0};
}

bool CMTIME_IS_VALID(CMTime time) {
    return (time.flags & kCMTimeFlags_Valid) != 0;
}

namespace {

// CoreMedia's sort order (CMTimeCompare's documentation):
// −infinity < all finite values < indefinite < +infinity < invalid.
enum class TimeKind { negativeInfinity, numeric, indefinite, positiveInfinity, invalid };

TimeKind kindOf(const CMTime& time) {
    if (!CMTIME_IS_VALID(time)) return TimeKind::invalid;
    if (time.flags & kCMTimeFlags_Indefinite) return TimeKind::indefinite;
    if (time.flags & kCMTimeFlags_PositiveInfinity) return TimeKind::positiveInfinity;
    if (time.flags & kCMTimeFlags_NegativeInfinity) return TimeKind::negativeInfinity;
    // A valid time without a positive timescale names no instant (the fields are public).
    if (time.timescale <= 0) return TimeKind::invalid;
    return TimeKind::numeric;
}

}  // namespace

int32_t CMTimeCompare(CMTime time1, CMTime time2) {
    const TimeKind kind1 = kindOf(time1), kind2 = kindOf(time2);
    if (kind1 != kind2) return kind1 < kind2 ? -1 : 1;
    if (kind1 != TimeKind::numeric) return 0;
    // Times with larger epochs are greater; within an epoch, value1/timescale1 against
    // value2/timescale2 exactly, cross-multiplied in 128 bits (timescales are positive).
    if (time1.epoch != time2.epoch) return time1.epoch < time2.epoch ? -1 : 1;
    const __int128 left = static_cast<__int128>(time1.value) * time2.timescale;
    const __int128 right = static_cast<__int128>(time2.value) * time1.timescale;
    return left < right ? -1 : left > right ? 1 : 0;
}

double CMTimeGetSeconds(CMTime time) {
    switch (kindOf(time)) {
        case TimeKind::numeric:
            return static_cast<double>(time.value) / static_cast<double>(time.timescale);
        case TimeKind::positiveInfinity:
            return std::numeric_limits<double>::infinity();
        case TimeKind::negativeInfinity:
            return -std::numeric_limits<double>::infinity();
        case TimeKind::indefinite:
        case TimeKind::invalid:
            break;
    }
    return std::numeric_limits<double>::quiet_NaN();
}
