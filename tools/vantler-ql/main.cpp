// vantler-ql: a qlmanage-like command line for Vantler documents.

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "Batch.h"
#include "DumpCommand.h"
#include "EmbedThumbnailCommand.h"
#include "ExportCommand.h"
#include "InfoCommand.h"
#include "ProgramCommandLine.h"
#include "RenderCommand.h"
#include "RenderCommandLine.h"
#include "Usage.h"

namespace {

int render(RequestKind kind, const std::vector<std::string>& args) {
    RenderCommandLine commandLine;
    std::string message;
    if (!parseRenderCommandLine(kind, args, &commandLine, &message)) return usageError(message);
    return commandLine.isBatch() ? runBatch(commandLine) : renderOneFile(commandLine);
}

// Whether one of the options `names` comes before the FILEs that "--" may introduce.
bool asksFor(const std::vector<std::string>& args, std::initializer_list<std::string_view> names) {
    for (const auto& arg : args) {
        if (arg == "--") return false;
        if (std::find(names.begin(), names.end(), arg) != names.end()) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return usageError("no command given");
    if (args[0] == "help" || asksFor(args, {"--help", "-h"})) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (asksFor(args, {"--version"})) return printVersion("vantler-ql");
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "dump") return dumpCommand(args);
    if (command == "info") return infoCommand(args);
    if (command == "export") return exportCommand(args);
    if (command == "embed-thumbnail") return embedThumbnailCommand(args);
    if (command == "thumbnail") return render(RequestKind::Thumbnail, args);
    if (command == "preview") return render(RequestKind::Preview, args);
    return usageError("unknown command " + command);
}
