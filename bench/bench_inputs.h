#pragma once

#include <cstddef>
#include <string>

#include "core/text.h"

namespace vq::bench {

// A reply of the raffle service padded to `size` bytes with a GBK message before the two values,
// as the service sends when it has something to say.
std::string raffleReply(std::size_t size);

// `size` bytes of page entries (ASCII markup and GBK text) with a raffle reply at the very end:
// every search has to cross the whole text.
std::string largeTextEndingInAReply(std::size_t size);

// A page of `entries` entries, as the fetch cycle builds it.
Text pageOf(int entries);

}  // namespace vq::bench
