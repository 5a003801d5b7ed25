#pragma once
// The fonts CoreText can use (private to the text module, TextModule.h): the project's own
// fontconfig configuration, built in code from the font files the project installs, and pango's
// font map over it.
//
// Thumbnailers run sandboxed (bubblewrap: only /usr visible, no $HOME, no /etc/fonts, nothing
// writable), so nothing here reads the system's fontconfig configuration, its aliases or caches,
// or writes a cache: the configuration holds exactly the files under kFontDirectories, scanned
// into memory once per process. Which names resolve therefore depends on those files alone.
//
// Pango's font maps and fonts are not thread-safe. Every use of pango or fontconfig after start-up
// (layout, metrics, drawing, and releasing pango objects, whose finalisers reach into the font map)
// holds lock(); it is recursive because releasing objects can happen inside such a section.

#include <fontconfig/fontconfig.h>
#include <pango/pango.h>

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "CTFontSubstitution.h"
#include "TextModule.h"

namespace CoreTextPrivate {

// The folders of the Debian packages fonts-liberation2 and fonts-inter (dpkg -L), the only fonts
// the stand-in uses: every .ttf and .otf file directly inside them.
inline constexpr std::string_view kFontDirectories[] = {
    "/usr/share/fonts/truetype/liberation2",
    "/usr/share/fonts/opentype/inter",
};

class FontCatalog {
  public:
    // The process's catalog, made on first use (thread-safe) and kept until the process ends.
    static FontCatalog& shared();

    // The request for a name of an installed face: a PostScript name ("LiberationSerif-Italic"),
    // a full name ("Inter Medium") or a family name ("Liberation Mono", its regular face), compared
    // without regard to ASCII case; none when no installed face has that name.
    std::optional<FontRequest> installedFontRequest(std::string_view name) const;
    // The installed face fontconfig matches for `request` (the family, then the nearest weight and
    // the slant), as pango will draw it; none when no face matches (no font files installed).
    const FontFace* faceFor(const FontRequest& request);

    // Where every layout is made: text is measured in points, unhinted, at fractional positions,
    // for language "en" whatever the process's locale. Use under lock().
    PangoContext* context() const { return context_; }
    std::recursive_mutex& lock() { return lock_; }

  private:
    FontCatalog();
    void addFace(FontFace face);

    std::recursive_mutex lock_;
    FcConfig* config_ = nullptr;
    PangoContext* context_ = nullptr;
    std::vector<FontFace> faces_;                          // never changes after construction
    std::unordered_map<std::string, size_t> facesByFile_;  // "path:index" -> faces_ index
    // Lower-case names -> requests.
    std::unordered_map<std::string, FontRequest> byPostScriptName_, byFullName_, byFamily_;
};

}  // namespace CoreTextPrivate
