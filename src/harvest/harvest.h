#pragma once
// The harvest: one cycle searches the news service for eight keywords, picks
// the result titles out of each page and hands every title to a sink that
// queues it with refusal of duplicates.
#include <array>
#include <functional>

#include "common/text.h"

namespace velmora {

class HeadlineQueue;

// Receives one title; the program's sink is addText(title, true) on its queue.
using TitleSink = std::function<void(const Text& title)>;

// The keywords searched by every cycle, in this order, in code page 936:
// "死亡", "发明", "科学家", "天文", "发现", "中国", "女子", "男子".
inline const std::array<Text, 8> harvestKeywords = {
    "\xCB\xC0\xCD\xF6", "\xB7\xA2\xC3\xF7", "\xBF\xC6\xD1\xA7\xBC\xD2", "\xCC\xEC\xCE\xC4",
    "\xB7\xA2\xCF\xD6", "\xD6\xD0\xB9\xFA", "\xC5\xAE\xD7\xD3", "\xC4\xD0\xD7\xD3",
};

// The search address for one keyword on `host`. The keyword stands in it as
// its code page 936 characters: escaping them for the wire is the HTTP layer's.
Text requestAddress(const Text& host, const Text& keyword);

// One complete harvest on the calling thread against `host` ("name" or "name:port").
void harvestCycle(const Text& host, const TitleSink& addTitle);
void harvestCycle(const Text& host, HeadlineQueue& queue);

// Starts a detached worker thread that runs one harvestCycle; returns at once.
// A thread that cannot be started is ignored.
void startHarvestWorker(const Text& host, TitleSink addTitle);

}  // namespace velmora
