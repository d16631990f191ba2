#pragma once
// The harvest: one cycle searches the news service for eight keywords, picks
// the result titles out of each page and hands every title to a sink that
// queues it with refusal of duplicates.
#include <functional>

#include "common/text.h"

namespace velmora {

class HeadlineQueue;

// Receives one title; the program's sink is addText(title, true) on its queue.
using TitleSink = std::function<void(const Text& title)>;

// One complete harvest on the calling thread against `host` ("name" or "name:port").
void harvestCycle(const Text& host, const TitleSink& addTitle);
void harvestCycle(const Text& host, HeadlineQueue& queue);

// Starts a detached worker thread that runs one harvestCycle; returns at once.
// A thread that cannot be started is ignored.
void startHarvestWorker(const Text& host, TitleSink addTitle);

}  // namespace velmora
