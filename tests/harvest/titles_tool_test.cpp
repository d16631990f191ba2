// The titles tool, run as a separate program over saved pages.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "common/win_handle.h"

namespace velmora {
namespace {

// A build path as Windows programs see it under Wine: on drive Z:, which is
// the root of the host's file system.
std::wstring windowsPath(const std::string& path) {
    std::wstring wide = path.front() == '/' ? L"Z:" : L"";
    for (char c : path) wide += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return wide;
}

const std::wstring kTool = windowsPath(VELMORA_TITLES_TOOL);
const std::string kFixtures = VELMORA_HARVEST_FIXTURES;

struct ToolRun {
    DWORD exitCode = STILL_ACTIVE;
    std::string output;  // standard output, bytes as written
};

ToolRun runTool(const std::wstring& arguments) {
    ToolRun run;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return run;
    UniqueHandle reader(readEnd);
    UniqueHandle writer(writeEnd);
    SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring commandLine = L"\"" + kTool + L"\"" + arguments;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(kTool.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return run;
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    writer.reset();  // the child holds the only write end now, so reading ends when it exits

    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(reader.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
    WaitForSingleObject(processHandle.get(), 30000);
    GetExitCodeProcess(processHandle.get(), &run.exitCode);
    return run;
}

std::wstring quoted(const std::wstring& argument) { return L" \"" + argument + L"\""; }

std::string fileBytes(const std::string& path) {
    std::ifstream file(windowsPath(path).c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class TitlesTool : public ::testing::TestWithParam<const char*> {};

TEST_P(TitlesTool, PrintsTheTitlesTheTickerWouldQueue) {
    const std::string page = kFixtures + "/" + GetParam();
    const ToolRun run = runTool(quoted(windowsPath(page + ".html")));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.output, fileBytes(page + ".titles.txt"));
}

// results: a result page with highlight tags and one title twice (queued once);
// minified_crlf: CR LF line ends, two headings on one minified line, capitals,
// a long footer; no_results: headings without links, nothing to queue.
INSTANTIATE_TEST_SUITE_P(Fixtures, TitlesTool, ::testing::Values("results", "minified_crlf", "no_results"));

TEST(TitlesToolFailures, AMissingPageGivesAnErrorAndNoTitles) {
    const ToolRun run = runTool(quoted(windowsPath(kFixtures + "/no_such_page.html")));
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.output, "");
}

TEST(TitlesToolFailures, NoPageGivesTheUsage) {
    const ToolRun run = runTool(L"");
    EXPECT_EQ(run.exitCode, 2u);
    EXPECT_EQ(run.output, "");
}

}  // namespace
}  // namespace velmora
