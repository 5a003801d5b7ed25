#pragma once
// What the programs tell the QuickLook host: which generator plug-in to load and what their
// documents are. The host itself knows neither.

#include <string>

// The content type the programs name for a Vantler document (the generator ignores it).
inline constexpr const char* kVantlerDocumentType = "com.orlenwade.vantler.document";

// Where the generator plug-in is: `option` when not empty, else $VANTLER_GENERATOR when set and not
// empty, else VantlerQuickLook.so in the installed library folder, found from the running program's
// own folder (so an installed tree works wherever it is unpacked: DESTDIR, a sandbox's /usr).
std::string generatorPlugInPath(const std::string& option);
