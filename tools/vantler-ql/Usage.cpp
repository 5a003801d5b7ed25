#include "Usage.h"

#include <cstdio>

const char* const kUsage =
    "usage: vantler-ql info FILE [--json]\n"
    "       vantler-ql dump FILE [--json]\n"
    "       vantler-ql thumbnail FILE -o OUT.png [--size N] [--scale S] [--generator PATH]\n"
    "       vantler-ql preview FILE -o OUT.png|OUT.pdf|OUT.svg [--size N] [--scale S]\n"
    "                  [--generator PATH]\n"
    "       vantler-ql thumbnail|preview -d OUTDIR [options] FILE...\n"
    "       vantler-ql [COMMAND] --help\n"
    "\n"
    "  info         summarise a document: its screens with their sizes and layer counts,\n"
    "               links, transitions by name, components and the thumbnail it carries;\n"
    "               with --json, every screen's layer tree with each layer's values (colours\n"
    "               as sRGB \"#RRGGBBAA\", null where a layer has none)\n"
    "  dump         print a keyed archive's top-level entries and object graph: each object\n"
    "               once, with its class, keys and values, referred to as @UID afterwards\n"
    "  thumbnail    ask the generator for FILE's thumbnail (the entry screen, or the picture the\n"
    "               document carries) and write it as PNG\n"
    "  preview      ask the generator for FILE's preview (every screen side by side, or the\n"
    "               picture the document carries) and write it as PNG, PDF or SVG, chosen by\n"
    "               OUT's extension\n"
    "\n"
    "  -o OUT             the file to write (replaced whole, or left alone on failure)\n"
    "  --size N           fit into N x N points, keeping the aspect ratio: a drawn picture is\n"
    "                     rendered at that size (a PNG of at most N*S pixels a side, a page of\n"
    "                     at most N points), a picture the document carries is shrunk to fit\n"
    "                     (never enlarged). Without it: the natural size, and a carried PNG is\n"
    "                     written unchanged. A thumbnail's generator is given N x N\n"
    "  --scale S          pixels per point of PNG output (default 1; PNG only)\n"
    "  --generator PATH   the generator plug-in; default $VANTLER_GENERATOR, else\n"
    "                     <program's folder>/../lib/vantler/VantlerQuickLook.so\n"
    "  --json             info, dump: print as JSON\n"
    "\n"
    "Batch (-d OUTDIR, one or more FILEs): each FILE is written to OUTDIR/NAME.png (NAME is\n"
    "FILE's name without its extension; a NAME met again gets -2, -3, ...). Each FILE runs in a\n"
    "process of its own, so a FILE that crashes or hangs the generator fails alone.\n"
    "  --format png|pdf|svg   preview: the format written (default png)\n"
    "  --timeout SECONDS      stop a FILE that takes longer (default 10)\n"
    "  --jobs N               FILEs in progress at once (default: the processors, at most 8)\n"
    "Failures are reported one line each; progress is shown when standard error is a terminal.\n"
    "\n"
    "A picture larger than 8192 x 8192 pixels (or 32767 a side), or a page over 1048576 points a\n"
    "side, is drawn scaled down to fit.\n"
    "\n"
    "Exit status: 0 success; 1 a FILE was refused, could not be read, drew nothing or could not\n"
    "be written (in a batch: any FILE failed); 2 wrong usage.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "vantler-ql: %s\n%s", message.c_str(), kUsage);
    return 2;
}
