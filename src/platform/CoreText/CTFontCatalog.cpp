#include "CTFontCatalog.h"

#include <hb-ot.h>
#include <hb.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <filesystem>

namespace CoreTextPrivate {

namespace {

std::string lowercase(std::string_view s) {
    std::string result(s);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

std::string fileKey(std::string_view path, int index) {
    return std::string(path) + ":" + std::to_string(index);
}

std::string patternString(FcPattern* pattern, const char* object) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || !value) return {};
    return reinterpret_cast<const char*>(value);
}

// The face's hhea metrics in ems (CoreText's ascent, descent and leading); false when the file
// cannot be read or has no units per em.
bool readMetrics(const std::string& path, int index, FontFace& face) {
    hb_blob_t* blob = hb_blob_create_from_file_or_fail(path.c_str());
    if (!blob) return false;
    hb_face_t* hbFace = hb_face_create(blob, static_cast<unsigned>(index));
    hb_blob_destroy(blob);
    hb_font_t* font = hb_font_create(hbFace);  // scaled in font units
    const unsigned unitsPerEm = hb_face_get_upem(hbFace);
    hb_position_t ascender = 0, descender = 0, lineGap = 0;
    const bool ok =
        unitsPerEm > 0 &&
        hb_ot_metrics_get_position(font, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &ascender) &&
        hb_ot_metrics_get_position(font, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &descender);
    hb_ot_metrics_get_position(font, HB_OT_METRICS_TAG_HORIZONTAL_LINE_GAP, &lineGap);
    hb_font_destroy(font);
    hb_face_destroy(hbFace);
    if (!ok) return false;
    face.ascent = double(ascender) / unitsPerEm;
    face.descent = -double(descender) / unitsPerEm;
    face.leading = std::max(0.0, double(lineGap) / unitsPerEm);
    return true;
}

// Fontconfig's pattern for a request, substituted as pango substitutes its own (our configuration
// has no rules; the defaults fill in the rest), with the language pango's context uses.
FcPattern* patternFor(FcConfig* config, const FontRequest& request) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(request.family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(request.weight));
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("en"));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

}  // namespace

FontCatalog& FontCatalog::shared() {
    // Leaked: process-wide objects live until exit, and pango's font
    // map must outlive every frame that other static objects might still hold.
    static FontCatalog* catalog = new FontCatalog();
    return *catalog;
}

FontCatalog::FontCatalog() {
    config_ = FcConfigCreate();
    FcConfigSetRescanInterval(config_, 0);
    for (std::string_view directory : kFontDirectories) {
        std::error_code error;
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
            const std::string extension = lowercase(entry.path().extension().string());
            if (extension == ".ttf" || extension == ".otf") files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());  // the same faces in the same order everywhere
        for (const auto& file : files)
            FcConfigAppFontAddFile(config_, reinterpret_cast<const FcChar8*>(file.c_str()));
    }
    // Pango's first font map initialises fontconfig on a thread of its own (FcInit), which loads
    // the system configuration (/etc/fonts, or complaints when the sandbox hides it) and scans and
    // caches every system font. With this configuration current, FcInit has nothing to do; it is
    // also what anything else in the process that asks fontconfig then sees.
    FcConfigSetCurrent(config_);

    FcPattern* all = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, FC_POSTSCRIPT_NAME,
                                            FC_FULLNAME, FC_WEIGHT, FC_SLANT, nullptr);
    FcFontSet* set = FcFontList(config_, all, objects);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(all);
    if (set) {
        for (int i = 0; i < set->nfont; ++i) {
            FcPattern* pattern = set->fonts[i];
            FontFace face;
            const std::string file = patternString(pattern, FC_FILE);
            int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
            FcPatternGetInteger(pattern, FC_INDEX, 0, &index);
            FcPatternGetInteger(pattern, FC_WEIGHT, 0, &weight);
            FcPatternGetInteger(pattern, FC_SLANT, 0, &slant);
            face.family = patternString(pattern, FC_FAMILY);
            face.postScriptName = patternString(pattern, FC_POSTSCRIPT_NAME);
            face.fullName = patternString(pattern, FC_FULLNAME);
            face.weight = FcWeightToOpenType(weight);
            face.italic = slant != FC_SLANT_ROMAN;
            if (file.empty() || face.family.empty() || !readMetrics(file, index, face)) continue;
            facesByFile_.emplace(fileKey(file, index), faces_.size());
            const FontRequest exact{face.family, face.weight, face.italic};
            byPostScriptName_.emplace(lowercase(face.postScriptName), exact);
            byFullName_.emplace(lowercase(face.fullName), exact);
            FcChar8* family = nullptr;
            for (int n = 0; FcPatternGetString(pattern, FC_FAMILY, n, &family) == FcResultMatch;
                 ++n)
                byFamily_.emplace(lowercase(reinterpret_cast<const char*>(family)),
                                  FontRequest{reinterpret_cast<const char*>(family)});
            faces_.push_back(std::move(face));
        }
        FcFontSetDestroy(set);
    }

    PangoFontMap* fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    if (fontMap) {
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(fontMap), config_);
        context_ = pango_font_map_create_context(fontMap);
        g_object_unref(fontMap);  // the context keeps it
    }
    if (context_) {
        // CoreText's geometry: outlines at their exact size and advances (no hinting, which would
        // round advances to the pixel grid of whatever context the text first met), glyphs at
        // fractional positions, greyscale anti-aliasing.
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        pango_cairo_context_set_font_options(context_, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(context_, FALSE);
        pango_context_set_language(context_, pango_language_from_string("en"));
    }
}

std::optional<FontRequest> FontCatalog::installedFontRequest(std::string_view name) const {
    const std::string key = lowercase(name);
    for (const auto* names : {&byPostScriptName_, &byFullName_, &byFamily_})
        if (auto found = names->find(key); found != names->end()) return found->second;
    return std::nullopt;
}

const FontFace* FontCatalog::faceFor(const FontRequest& request) {
    std::lock_guard guard(lock_);
    FcPattern* pattern = patternFor(config_, request);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config_, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return nullptr;
    int index = 0;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    const auto found = facesByFile_.find(fileKey(patternString(match, FC_FILE), index));
    FcPatternDestroy(match);
    return found == facesByFile_.end() ? nullptr : &faces_[found->second];
}

}  // namespace CoreTextPrivate
