#pragma once
// One HTTP exchange through the platform's HTTP request object.
// (Being written; the plain form below must stay valid: fetchPage(url, 0).)
#include <cstdint>

#include "common/text.h"

namespace velmora {

ByteBuffer fetchPage(const Text& url, std::int32_t method = 0);

}  // namespace velmora
