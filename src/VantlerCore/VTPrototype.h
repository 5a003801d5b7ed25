#pragma once
// The document root (Part 2.3), so far what loading needs: its own "version" check, the screens
// with their back references, the component set and the mouse-cursor setting; and the document
// gate of Part 2.2 (reading). Transitions (Part 2.5) and the editing operations join with their
// Parts.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NSData.h"
#include "NSError.h"
#include "NSObject.h"
#include "NSURL.h"
#include "VTScreen.h"

// Part 2.2 "Error value".
inline constexpr const char* VTDocumentErrorDomain = "com.orlenwade.vantler.error";
inline constexpr int64_t VTDocumentReadErrorCode = -1;
// Part 2.2 "Data model": top-level keys and versions.
inline constexpr const char* kVantlerDocumentFormatVersionKey = "vantlerDocumentFormatVersion";
inline constexpr const char* kVantlerThumbnailKey = "kVantlerThumbnailKey";
inline constexpr int64_t kVantlerDocumentFormatVersion = 15;
inline constexpr int64_t kVantlerFirstUnreadableFormatVersion = 16;

class VTPrototype : public NSObject {
public:
    NS_CLASS_RECORD("VTPrototype", NSObject::objcClass())

    // Empty screens, no component set, prefersMouseCursor false.
    static std::shared_ptr<VTPrototype> init();

    // ---- Part 2.2 reading (class-level). Each returns none on failure and then, when `error` is
    // not null, stores there the one error value of Part 2.2's table (domain VTDocumentErrorDomain,
    // code -1, failure reason and recovery suggestion); nothing else is stored.
    static std::shared_ptr<VTPrototype> prototypeFromData_error(const std::shared_ptr<const NSData>& data,
                                                                std::shared_ptr<NSError>* error);
    // Reads the whole file at a file URL (mapped if safe); an unreadable file counts as no data.
    static std::shared_ptr<VTPrototype> prototypeFromURL_error(const std::shared_ptr<const NSURL>& url,
                                                               std::shared_ptr<NSError>* error);
    static std::shared_ptr<VTPrototype> prototypeFromPath_error(const std::string& path,
                                                                std::shared_ptr<NSError>* error);

    // ---- Part 2.3
    // The first screen, or none.
    std::shared_ptr<VTScreen> entryScreen() const;
    // An immutable snapshot copy.
    std::vector<std::shared_ptr<VTScreen>> screens() const { return screens_; }
    int64_t countOfScreens() const { return static_cast<int64_t>(screens_.size()); }
    // The component set as an array (empty when there is none).
    std::vector<std::shared_ptr<VTPrototype>> masterComponents() const { return symbols_; }
    bool prefersMouseCursor() const { return prefersMouseCursor_; }
    void setPrefersMouseCursor(bool prefers) { prefersMouseCursor_ = prefers; }

    // Part 2.3 "initWithCoder:": false ("yields none") for a "version" of 16 or more.
    bool initWithCoder(NSCoder& coder) override;

private:
    std::vector<std::shared_ptr<VTScreen>> screens_;
    std::vector<std::shared_ptr<VTPrototype>> symbols_;  // an ordered set: each component once
    bool prefersMouseCursor_ = false;
};
