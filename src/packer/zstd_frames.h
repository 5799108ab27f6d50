#pragma once
// Telling apart the zstd frames of a compressed runtime part, so that each can be read on a
// thread of its own.

#include <vector>

#include "packer/safe_extract.h"

namespace mw::packer {

// The zstd frames that span is made of, in order, found from their headers and block
// headers without decoding; together they cover the span. A span whose frames cannot all be
// told apart (it is damaged, holds a frame without content such as a skippable one, holds
// very many frames, or cannot be mapped) comes back whole, to be read as one stream, which
// names any damage as it goes. The spans carry no hash of their own.
std::vector<ArchiveSpan> ZstdFramesOf(const ArchiveSpan& span);

}  // namespace mw::packer
