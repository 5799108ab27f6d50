#include "media/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <new>
#include <utility>

#include "map/safe_file.h"
#include "media/photo_turn.h"

namespace mw {

std::uint8_t* PixelBuffer::Reserve(std::size_t bytes) {
  if (bytes > capacity_) {
    data_.reset();
    capacity_ = 0;
    data_.reset(new std::uint8_t[bytes]);
    capacity_ = bytes;
  }
  return data_.get();
}

namespace {

// libjpeg error manager that jumps back to the step that was running instead of exiting.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX] = "";
};

void JumpOnError(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->message);
  std::longjmp(errors->jump, 1);
}

void KeepQuiet(j_common_ptr) {}

// A progressive photo costs one pass over its coefficients per scan; ordinary photos
// have at most a few dozen, so a photo of hundreds is refused before it stalls the window.
constexpr int kMaxScans = 500;

void LimitScans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number <= kMaxScans) return;
  auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::snprintf(errors->message, sizeof errors->message, "too many scans");
  std::longjmp(errors->jump, 1);
}

// A progressive photo keeps every coefficient of the photo while it decodes: two bytes for
// each of the 64 of every block of every component.
std::uint64_t CoefficientBytes(const jpeg_decompress_struct& cinfo) {
  std::uint64_t bytes = 0;
  for (int i = 0; i < cinfo.num_components; ++i) {
    const jpeg_component_info& component = cinfo.comp_info[i];
    const std::uint64_t across_blocks = static_cast<std::uint64_t>(cinfo.max_h_samp_factor) * 8;
    const std::uint64_t down_blocks = static_cast<std::uint64_t>(cinfo.max_v_samp_factor) * 8;
    const std::uint64_t across =
        (std::uint64_t{cinfo.image_width} * component.h_samp_factor + across_blocks - 1) /
        across_blocks;
    const std::uint64_t down =
        (std::uint64_t{cinfo.image_height} * component.v_samp_factor + down_blocks - 1) /
        down_blocks;
    bytes += across * down * 64 * 2;
  }
  return bytes;
}

// Coefficient memory a progressive photo may claim for each byte of its file: real photos
// stay far below; a tiny file that claims a huge size is refused. Every photo may have the
// floor, so that flat photos, which compress very well, still decode.
constexpr std::uint64_t kCoefficientBytesPerFileByte = 1000;
constexpr std::uint64_t kCoefficientFloorBytes = std::uint64_t{64} << 20;

bool ClaimsMoreThanItsFileHolds(const jpeg_decompress_struct& cinfo, std::FILE* file) {
  if (!cinfo.progressive_mode) return false;
  struct stat info {};
  if (fstat(fileno(file), &info) != 0) return true;
  const std::uint64_t allowed =
      std::max(kCoefficientFloorBytes,
               static_cast<std::uint64_t>(info.st_size) * kCoefficientBytesPerFileByte);
  return CoefficientBytes(cinfo) > allowed;
}

// Everything one decode needs, plain C data only, so that a longjmp out of libjpeg skips
// no destructor. The steps below each set their own jump point.
struct Session {
  jpeg_decompress_struct cinfo;
  ErrorManager errors;
  jpeg_progress_mgr progress;
  std::FILE* file = nullptr;
  bool created = false;
};

constexpr int kScaleDenominators[] = {8, 4, 2, 1};

// Reads the header alone. False on any libjpeg error.
bool ReadHeaderOnly(Session& s) {
  if (setjmp(s.errors.jump)) return false;
  jpeg_create_decompress(&s.cinfo);
  s.created = true;
  jpeg_stdio_src(&s.cinfo, s.file);
  // APP1 segments are kept for the orientation tag; one segment holds at most 64 KB.
  jpeg_save_markers(&s.cinfo, JPEG_APP0 + 1, 0xffff);
  jpeg_read_header(&s.cinfo, TRUE);
  return true;
}

// The orientation of the first EXIF block that names one; upright when none does.
Orientation OrientationOf(const jpeg_decompress_struct& cinfo) {
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
    if (m->marker != JPEG_APP0 + 1) continue;
    const Orientation found = OrientationFromExif(m->data, m->data_length);
    if (found != Orientation::Upright) return found;
  }
  return Orientation::Upright;
}

// Chooses the output scale of a photo whose header was read. False on any libjpeg error.
bool ChooseScale(Session& s, int cover_width, int cover_height) {
  if (setjmp(s.errors.jump)) return false;
  // libjpeg turns CMYK into nothing but CMYK; those photos are converted row by row.
  const bool cmyk = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
  s.cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRX;
  for (int denominator : kScaleDenominators) {
    s.cinfo.scale_num = 1;
    s.cinfo.scale_denom = static_cast<unsigned>(denominator);
    jpeg_calc_output_dimensions(&s.cinfo);
    if (static_cast<int>(s.cinfo.output_width) >= cover_width &&
        static_cast<int>(s.cinfo.output_height) >= cover_height)
      break;
  }
  return true;
}

// Turns decoded CMYK pixels into BGRX in place (both are 4 bytes a pixel). Photos with an
// Adobe marker store their inks inverted, as Adobe's programs write them.
void CmykToBgrx(std::uint8_t* pixel, JDIMENSION count, bool inverted) {
  for (JDIMENSION i = 0; i < count; ++i, pixel += 4) {
    unsigned c = pixel[0], m = pixel[1], y = pixel[2], k = pixel[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    pixel[0] = static_cast<std::uint8_t>(y * k / 255);
    pixel[1] = static_cast<std::uint8_t>(m * k / 255);
    pixel[2] = static_cast<std::uint8_t>(c * k / 255);
    pixel[3] = 255;
  }
}

// Decodes every row into `pixels` (rows of output_width * 4 bytes). False on any error.
bool DecodeRows(Session& s, std::uint8_t* pixels) {
  if (setjmp(s.errors.jump)) return false;
  jpeg_start_decompress(&s.cinfo);
  const std::size_t stride = static_cast<std::size_t>(s.cinfo.output_width) * 4;
  JSAMPROW rows[16];
  while (s.cinfo.output_scanline < s.cinfo.output_height) {
    const JDIMENSION first = s.cinfo.output_scanline;
    const JDIMENSION count = std::min<JDIMENSION>(16, s.cinfo.output_height - first);
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = pixels + (first + i) * stride;
    const JDIMENSION read = jpeg_read_scanlines(&s.cinfo, rows, count);
    if (s.cinfo.out_color_space == JCS_CMYK)
      CmykToBgrx(rows[0], read * s.cinfo.output_width, s.cinfo.saw_Adobe_marker);
  }
  jpeg_finish_decompress(&s.cinfo);
  return true;
}

// Rows decoded in one go before they are turned into place: enough that each upright row
// gets a run of a whole cache line when the sides swap.
constexpr JDIMENSION kStripRows = PixelTurn::kFullStrip;

// Decodes the next rows (up to kStripRows) into `strip`; gives how many it decoded.
JDIMENSION ReadStrip(Session& s, std::uint8_t* strip) {
  const std::size_t stride = static_cast<std::size_t>(s.cinfo.output_width) * 4;
  const JDIMENSION first = s.cinfo.output_scanline;
  const JDIMENSION count = std::min(kStripRows, s.cinfo.output_height - first);
  JSAMPROW rows[kStripRows];
  for (JDIMENSION i = 0; i < count; ++i) rows[i] = strip + i * stride;
  while (s.cinfo.output_scanline < first + count) {
    const JDIMENSION done = s.cinfo.output_scanline - first;
    const JDIMENSION read = jpeg_read_scanlines(&s.cinfo, rows + done, count - done);
    if (s.cinfo.out_color_space == JCS_CMYK)
      CmykToBgrx(rows[done], read * s.cinfo.output_width, s.cinfo.saw_Adobe_marker);
  }
  return count;
}

// Decodes every row a strip at a time into `strip` (kStripRows rows of output_width * 4
// bytes) and turns each into its place in `pixels`. False on any error.
bool DecodeTurnedRows(Session& s, const PixelTurn& turn, std::uint8_t* strip,
                      std::uint8_t* pixels) {
  if (setjmp(s.errors.jump)) return false;
  jpeg_start_decompress(&s.cinfo);
  while (s.cinfo.output_scanline < s.cinfo.output_height) {
    const int first = static_cast<int>(s.cinfo.output_scanline);
    const int count = static_cast<int>(ReadStrip(s, strip));
    turn.Place(strip, first, count, pixels);
  }
  jpeg_finish_decompress(&s.cinfo);
  return true;
}

// Closes the file and frees libjpeg's memory whatever way the decode ends.
class SessionGuard {
 public:
  explicit SessionGuard(Session& s) : s_(s) {}
  ~SessionGuard() {
    if (s_.created) jpeg_destroy_decompress(&s_.cinfo);
    if (s_.file) std::fclose(s_.file);
  }
  SessionGuard(const SessionGuard&) = delete;
  SessionGuard& operator=(const SessionGuard&) = delete;

 private:
  Session& s_;
};

JpegResult Failure(std::string error) {
  JpegResult result;
  result.error = std::move(error);
  return result;
}

}  // namespace

namespace {

// Sets up the error manager and opens the file; false when it does not open.
bool OpenSession(Session& s, const std::string& path) {
  s.cinfo.err = jpeg_std_error(&s.errors.pub);
  s.errors.pub.error_exit = JumpOnError;
  s.errors.pub.output_message = KeepQuiet;
  // Only a regular file is read: a pipe or device could block or never end.
  const int fd = OpenRegularFile(path);
  if (fd >= 0) s.file = fdopen(fd, "rb");
  if (!s.file && fd >= 0) close(fd);
  return s.file != nullptr;
}

// The sizes and scale of a decode about to run, as the upright picture will have them.
JpegResult Described(const jpeg_decompress_struct& cinfo, Orientation orientation) {
  JpegResult result;
  result.orientation = orientation;
  result.source_width = static_cast<int>(cinfo.image_width);
  result.source_height = static_cast<int>(cinfo.image_height);
  result.width = static_cast<int>(cinfo.output_width);
  result.height = static_cast<int>(cinfo.output_height);
  if (SwapsSides(orientation)) {
    std::swap(result.source_width, result.source_height);
    std::swap(result.width, result.height);
  }
  result.scale_denominator = static_cast<int>(cinfo.scale_denom);
  return result;
}

bool WithinLimits(const jpeg_decompress_struct& cinfo, const JpegLimits& limits) {
  const std::uint64_t pixels = static_cast<std::uint64_t>(cinfo.image_width) * cinfo.image_height;
  return pixels != 0 && pixels <= limits.max_pixels;
}

}  // namespace

JpegHeader ReadJpegHeader(const std::string& path, const JpegLimits& limits) {
  Session s;
  SessionGuard guard(s);
  JpegHeader header;
  if (!OpenSession(s, path)) {
    header.error = "cannot open the file";
  } else if (!ReadHeaderOnly(s)) {
    header.error = s.errors.message;
  } else if (!WithinLimits(s.cinfo, limits)) {
    header.error = "photo too large";
  } else {
    header.ok = true;
    header.orientation = OrientationOf(s.cinfo);
    header.width = static_cast<int>(s.cinfo.image_width);
    header.height = static_cast<int>(s.cinfo.image_height);
    if (SwapsSides(header.orientation)) std::swap(header.width, header.height);
  }
  return header;
}

JpegResult DecodeJpeg(const std::string& path, int cover_width, int cover_height,
                      const JpegLimits& limits, PixelBuffer& out) {
  Session s;
  SessionGuard guard(s);
  if (!OpenSession(s, path)) return Failure("cannot open the file");
  if (!ReadHeaderOnly(s)) return Failure(s.errors.message);
  const Orientation orientation = OrientationOf(s.cinfo);
  // The area is covered by the upright picture: a photo whose sides swap covers it with
  // its stored height across.
  if (SwapsSides(orientation)) std::swap(cover_width, cover_height);
  if (!ChooseScale(s, cover_width, cover_height)) return Failure(s.errors.message);
  if (!WithinLimits(s.cinfo, limits)) return Failure("photo too large");
  if (ClaimsMoreThanItsFileHolds(s.cinfo, s.file))
    return Failure("photo claims a size far beyond what its file holds");
  s.cinfo.mem->max_memory_to_use = limits.max_decoder_memory;
  s.progress.progress_monitor = LimitScans;
  s.cinfo.progress = &s.progress;

  const PixelTurn turn(orientation, static_cast<int>(s.cinfo.output_width),
                       static_cast<int>(s.cinfo.output_height));
  JpegResult result = Described(s.cinfo, orientation);
  std::uint8_t* target = nullptr;
  std::unique_ptr<std::uint8_t[]> strip;
  try {
    target = out.Reserve(static_cast<std::size_t>(result.width) * result.height * 4);
    if (turn.Moves())
      strip.reset(new std::uint8_t[std::size_t{s.cinfo.output_width} * 4 * kStripRows]);
  } catch (const std::bad_alloc&) {
    return Failure("out of memory");
  }
  const bool decoded =
      turn.Moves() ? DecodeTurnedRows(s, turn, strip.get(), target) : DecodeRows(s, target);
  if (!decoded) return Failure(s.errors.message);
  result.incomplete = s.errors.pub.num_warnings > 0;
  result.ok = true;
  return result;
}

}  // namespace mw
