#include "harvest/harvest.h"

#include <memory>
#include <utility>

#include "common/win_handle.h"
#include "harvest/title_extraction.h"
#include "regex/regex_matcher.h"
#include "store/headline_queue.h"
#include "web/fetch_page.h"

namespace velmora {
namespace {

// What a worker thread is handed; the thread owns it.
struct WorkerOrder {
    Text host;
    TitleSink addTitle;
};

DWORD WINAPI runHarvestWorker(LPVOID parameter) {
    const std::unique_ptr<WorkerOrder> order(static_cast<WorkerOrder*>(parameter));
    try {
        harvestCycle(order->host, order->addTitle);
    } catch (...) {
        // Nothing may leave the thread; a cycle that could not finish is simply lost.
    }
    return 0;
}

}  // namespace

Text requestAddress(const Text& host, const Text& keyword) {
    return "http://" + host + "/s?tn=baidurt&rtt=4&wd=" + keyword + "&pnw=1&pbl=0&pbs=0&bsst=1&ie=utf-8";
}

void harvestCycle(const Text& host, const TitleSink& addTitle) {
    RegexMatcher matcher;  // one per cycle; COM lives as long as it does
    for (const Text& keyword : harvestKeywords) {
        extractTitles(matcher, fetchPage(requestAddress(host, keyword), 0), addTitle);
    }
}

void harvestCycle(const Text& host, HeadlineQueue& queue) {
    harvestCycle(host, [&queue](const Text& title) { queue.addText(title, true); });
}

void startHarvestWorker(const Text& host, TitleSink addTitle) {
    try {
        auto order = std::make_unique<WorkerOrder>(WorkerOrder{host, std::move(addTitle)});
        const UniqueHandle thread(CreateThread(nullptr, 0, runHarvestWorker, order.get(), 0, nullptr));
        if (thread) order.release();  // the thread owns it now; nothing waits for the thread
    } catch (...) {
        // Out of memory: this harvest is lost, the next tick starts another.
    }
}

}  // namespace velmora
