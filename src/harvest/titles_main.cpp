// velmora-titles PAGE: prints the titles the ticker would queue for a saved
// search-result page (UTF-8), in queue order, one per line, in UTF-8.
// It runs the harvest's own extraction, duplicate refusal included.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "common/wide.h"
#include "harvest/title_extraction.h"
#include "regex/regex_matcher.h"
#include "store/headline_queue.h"

namespace {

using velmora::ByteBuffer;
using velmora::Text;

std::optional<ByteBuffer> readPage(const wchar_t* path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) return std::nullopt;
    return ByteBuffer(std::move(bytes));
}

void printLine(const Text& title) {
    const Text line = velmora::fromWide(velmora::toWide(title), CP_UTF8) + "\n";
    std::fwrite(line.c_str(), 1, static_cast<std::size_t>(line.length()), stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fputs("usage: velmora-titles PAGE\n"
                   "Prints the titles the ticker would queue for a saved UTF-8 result page.\n",
                   stderr);
        return 2;
    }
    const std::optional<ByteBuffer> page = readPage(argv[1]);
    if (!page) {
        std::fputs("velmora-titles: cannot read the page\n", stderr);
        return 1;
    }
    _setmode(_fileno(stdout), _O_BINARY);  // line feeds as they are

    velmora::HeadlineQueue queue;
    {
        velmora::RegexMatcher matcher;
        velmora::extractTitles(matcher, *page, [&queue](const Text& title) { queue.addText(title, true); });
    }
    for (Text title; queue.takeText(title);) printLine(title);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
