#pragma once
// The document root, what loading needs: its own "version" check, the screens with their back
// references, the component set and the mouse-cursor setting; and the document gate that reads a
// document or says why it cannot. Transitions and the editing operations are the design tool's.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NSData.h"
#include "NSError.h"
#include "NSObject.h"
#include "NSURL.h"
#include "VTLayerWeakSet.h"
#include "VTScreen.h"

#pragma GCC visibility push(default)  // exported from libVantler

// The one error a document that cannot be read gives.
inline constexpr const char* VTDocumentErrorDomain = "com.orlenwade.vantler.error";
inline constexpr int64_t VTDocumentReadErrorCode = -1;
// Top-level archive keys and format versions.
inline constexpr const char* kVantlerDocumentFormatVersionKey = "vantlerDocumentFormatVersion";
inline constexpr const char* kVantlerThumbnailKey = "kVantlerThumbnailKey";
inline constexpr int64_t kVantlerDocumentFormatVersion = 15;
inline constexpr int64_t kVantlerFirstUnreadableFormatVersion = 16;

class VTPrototype : public NSObject {
  public:
    NS_CLASS_RECORD("VTPrototype", NSObject::objcClass())

    // Empty screens, no component set, prefersMouseCursor false.
    static std::shared_ptr<VTPrototype> init();

    // ---- Reading (class-level). Each returns none on failure and then, when `error` is not null,
    // stores there the error value that says why (domain VTDocumentErrorDomain,
    // code -1, failure reason and recovery suggestion); nothing else is stored.
    static std::shared_ptr<VTPrototype> prototypeFromData_error(
        const std::shared_ptr<const NSData>& data, std::shared_ptr<NSError>* error);
    // Reads the whole file at a file URL (mapped if safe); an unreadable file counts as no data.
    static std::shared_ptr<VTPrototype> prototypeFromURL_error(
        const std::shared_ptr<const NSURL>& url, std::shared_ptr<NSError>* error);
    static std::shared_ptr<VTPrototype> prototypeFromPath_error(const std::string& path,
                                                                std::shared_ptr<NSError>* error);

    // ---- The document
    // The first screen, or none.
    std::shared_ptr<VTScreen> entryScreen() const;
    // An immutable snapshot copy.
    std::vector<std::shared_ptr<VTScreen>> screens() const { return screens_; }
    int64_t countOfScreens() const { return static_cast<int64_t>(screens_.size()); }
    // The component set as an array (empty when there is none).
    std::vector<std::shared_ptr<VTPrototype>> masterComponents() const { return symbols_; }
    bool prefersMouseCursor() const { return prefersMouseCursor_; }
    void setPrefersMouseCursor(bool prefers) { prefersMouseCursor_ = prefers; }
    // The layers that are component instances of this prototype's screens, held weakly; layers
    // enter and leave it themselves as their component screen changes.
    VTLayerWeakSet& instances() { return instances_; }
    const VTLayerWeakSet& instances() const { return instances_; }

    // "<VTPrototype: 0x…>".
    std::string description() const;

    // False ("yields none") for a "version" of 16 or more.
    bool initWithCoder(NSCoder& coder) override;

  private:
    std::vector<std::shared_ptr<VTScreen>> screens_;
    std::vector<std::shared_ptr<VTPrototype>> symbols_;  // an ordered set: each component once
    bool prefersMouseCursor_ = false;
    VTLayerWeakSet instances_;
};

#pragma GCC visibility pop
