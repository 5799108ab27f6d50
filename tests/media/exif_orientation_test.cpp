// The orientation tag read from EXIF blocks as cameras write them, and from damaged,
// truncated and absurd ones, which must all read as upright without reading past the block.
#include "media/exif_orientation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "exif_fixtures.h"

namespace mw {
namespace {

using test::ExifEntry;
using test::ExifPayload;

// Reads `bytes` from a heap block of exactly their size, so that the address sanitizer
// sees any read past the end.
Orientation Read(const std::vector<std::uint8_t>& bytes) {
  auto exact = std::make_unique<std::uint8_t[]>(bytes.size());
  if (!bytes.empty()) std::memcpy(exact.get(), bytes.data(), bytes.size());
  return OrientationFromExif(exact.get(), bytes.size());
}

TEST(ExifOrientationTest, ReadsEachOfTheEightValuesInBothByteOrders) {
  for (bool big_endian : {false, true}) {
    for (int value = 1; value <= 8; ++value) {
      ExifEntry entry;
      entry.value = value;
      entry.big_endian = big_endian;
      EXPECT_EQ(static_cast<int>(Read(ExifPayload(entry))), value)
          << "value " << value << (big_endian ? " MM" : " II");
    }
  }
}

TEST(ExifOrientationTest, EntriesThatNoBrowserReadsCountAsUpright) {
  for (int value : {0, 9, 255, 0xffff}) EXPECT_EQ(Read(ExifPayload(value)), Orientation::Upright);
  ExifEntry as_long;
  as_long.value = 6;
  as_long.type = 4;
  EXPECT_EQ(Read(ExifPayload(as_long)), Orientation::Upright);
  ExifEntry two_values;
  two_values.value = 6;
  two_values.count = 2;
  EXPECT_EQ(Read(ExifPayload(two_values)), Orientation::Upright);
}

TEST(ExifOrientationTest, EveryTruncationReadsInsideTheBlock) {
  const std::vector<std::uint8_t> whole = ExifPayload(6);
  // The orientation's entry, the second of its directory, ends 6 + 8 + 2 + 2 * 12 bytes in.
  const std::size_t needed = 6 + 8 + 2 + 2 * 12;
  for (std::size_t size = 0; size < whole.size(); ++size) {
    const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + size);
    const Orientation want = size >= needed ? Orientation::QuarterClockwise : Orientation::Upright;
    EXPECT_EQ(Read(cut), want) << size << " bytes";
  }
  EXPECT_EQ(OrientationFromExif(nullptr, 40), Orientation::Upright);
}

// Patches the 16-bit or 32-bit number at `at` of the TIFF part (little-endian blocks).
void Patch(std::vector<std::uint8_t>& payload, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) payload[6 + at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

TEST(ExifOrientationTest, DamagedHeadersAndOffsetsReadAsUpright) {
  struct Damage {
    const char* what;
    std::size_t at;
    std::uint32_t value;
    int bytes;
  };
  const Damage damages[] = {
      {"unknown byte order", 0, 0x5849, 2},          // "IX"
      {"wrong magic number", 2, 43, 2},              //
      {"directory past the end", 4, 0xfffffff0, 4},  //
      {"directory at the last byte", 4, 43, 4},      //
      {"directory inside the header", 4, 0, 4},      // entries read from "II*\0"
      {"no entries", 8, 0, 2},                       //
  };
  for (const Damage& damage : damages) {
    std::vector<std::uint8_t> payload = ExifPayload(6);
    Patch(payload, damage.at, damage.value, damage.bytes);
    EXPECT_EQ(Read(payload), Orientation::Upright) << damage.what;
  }
  // A count far beyond the block: the two entries that are there still read, and the walk
  // stops at the end of the block.
  std::vector<std::uint8_t> countless = ExifPayload(6);
  Patch(countless, 8, 0xffff, 2);
  EXPECT_EQ(Read(countless), Orientation::QuarterClockwise);
}

TEST(ExifOrientationTest, BlocksThatAreNotExifReadAsUpright) {
  std::vector<std::uint8_t> xmp = ExifPayload(6);
  std::memcpy(xmp.data(), "http:/", 6);
  EXPECT_EQ(Read(xmp), Orientation::Upright);
  EXPECT_EQ(Read({}), Orientation::Upright);
  EXPECT_EQ(Read({'E', 'x', 'i', 'f', 0, 0}), Orientation::Upright);
}

TEST(ExifOrientationTest, ADirectoryPointingAtItselfIsWalkedOnce) {
  // The "next directory" offset pointing back at the first must not make the reader loop;
  // the tag comes after an unknown entry and is found in the one walk.
  std::vector<std::uint8_t> payload = ExifPayload(8);
  Patch(payload, 8 + 2 + 2 * 12, 8, 4);
  EXPECT_EQ(Read(payload), Orientation::QuarterAnticlockwise);
}

}  // namespace
}  // namespace mw
