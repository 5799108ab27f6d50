#pragma once
// Copying a file's bytes into another open file, as cp copies: inside the kernel where it
// can, with read() and write() where it cannot (into a pipe, say).

#include <sys/types.h>

#include <string>
#include <string_view>

#include "packer/runtime_parts.h"

namespace mw::packer {

// Writes all of bytes to fd at its offset; throws "cannot write <what>: ..." (NoRoomError
// when the disk or quota is full).
void WriteAllBytes(int fd, std::string_view bytes, const std::string& what);

// Copies size bytes from the offset of `from` (the file at from_path) to the offset of
// `to` (named `to_what` in messages), moving both offsets on. Throws PackerError when
// reading or writing fails, or when the file ends before size bytes ("changed while it was
// packed").
void CopyFileBytes(int from, int to, off_t size, const std::string& from_path,
                   const std::string& to_what);

// Adds the first size bytes of the open file fd (the file at path) to hash, read through a
// mapping (or read() where it cannot be mapped). Throws PackerError when the file is
// shorter ("changed while the package was built") or cannot be read.
void HashFileBytes(int fd, std::uint64_t size, const std::string& path, ContentHash& hash);

}  // namespace mw::packer
