#include "media/start_picture.h"

#include <QImage>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "media/jpeg_decoder.h"

namespace mw {

namespace {

// The picture is seen for a moment before the photo replaces it: good, not lossless.
constexpr int kQuality = 88;
// Window sizes beyond this are no editor window of today; such a map gets no start picture.
constexpr int kLargestSide = 8192;
// The tie is the first text in the file, so a short read finds it.
constexpr std::size_t kHeadBytes = 8192;
constexpr unsigned char kCommentMarker = 0xFE;
constexpr unsigned char kScanMarker = 0xDA;

// What the picture's comment says it stands in for.
std::string TieText(const std::string& clip_name, std::uintmax_t photo_bytes) {
  return "MarkWeaver start picture\n" + clip_name + "\n" + std::to_string(photo_bytes);
}

struct ErrorJump {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void JumpBack(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->jump, 1);
}

// Writes `image` (Format_RGB888) as a baseline JPEG carrying `comment`. False on any error.
bool EncodeJpeg(const QImage& image, const std::string& comment, std::FILE* file) {
  jpeg_compress_struct cinfo{};
  ErrorJump errors{};
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = JumpBack;
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(image.width());
  cinfo.image_height = static_cast<JDIMENSION>(image.height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, kQuality, TRUE);
  cinfo.optimize_coding = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  jpeg_write_marker(&cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment.data()),
                    static_cast<unsigned int>(comment.size()));
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

// The photo upright, stretched to `size`, as three bytes a pixel; null when it does not
// decode.
QImage StretchedPhoto(const std::string& photo_path, QSize size, std::string& error) {
  PixelBuffer pixels;
  const JpegResult decoded = DecodeJpeg(photo_path, size.width(), size.height(), {}, pixels);
  if (!decoded.ok) {
    error = "the photo does not decode: " + decoded.error;
    return {};
  }
  const QImage view(pixels.Data(), decoded.width, decoded.height, decoded.width * 4,
                    QImage::Format_RGB32);
  return view.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
      .convertToFormat(QImage::Format_RGB888);
}

// The first comment of the JPEG data in `head`, read up to its first scan; none when the
// data is no JPEG or has no comment before its picture data.
std::optional<std::string> FirstComment(const std::string& head) {
  auto byte = [&head](std::size_t at) { return static_cast<unsigned char>(head[at]); };
  if (head.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) return std::nullopt;
  std::size_t at = 2;
  while (at + 4 <= head.size()) {
    if (byte(at) != 0xFF) return std::nullopt;
    const unsigned char marker = byte(at + 1);
    if (marker == 0xFF) {  // a fill byte before the marker
      ++at;
      continue;
    }
    const std::size_t length = (std::size_t{byte(at + 2)} << 8) | byte(at + 3);
    if (marker == kScanMarker || length < 2) return std::nullopt;
    if (marker == kCommentMarker) {
      if (at + 2 + length > head.size()) return std::nullopt;
      return head.substr(at + 4, length - 2);
    }
    at += 2 + length;
  }
  return std::nullopt;
}

}  // namespace

std::string StartPictureName(std::string_view data_file_name) {
  return std::string(data_file_name) + ".start.jpg";
}

bool WorthAStartPicture(const std::string& photo_path, QSize size) {
  const JpegHeader header = ReadJpegHeader(photo_path);
  const auto pixels = [](long long width, long long height) { return width * height; };
  return header.ok &&
         pixels(header.width, header.height) > 2 * pixels(size.width(), size.height());
}

std::string WriteStartPicture(const std::string& photo_path, const std::string& clip_name,
                              QSize size, const std::string& picture_path) {
  if (size.width() < 1 || size.height() < 1 || size.width() > kLargestSide ||
      size.height() > kLargestSide)
    return "the window size does not suit a start picture";
  std::error_code failed;
  const std::uintmax_t photo_bytes = std::filesystem::file_size(photo_path, failed);
  if (failed) return "the photo cannot be read";
  std::string error;
  const QImage picture = StretchedPhoto(photo_path, size, error);
  if (picture.isNull()) return error.empty() ? "the photo cannot be scaled" : error;
  std::FILE* file = std::fopen(picture_path.c_str(), "wb");
  if (!file) return "the start picture cannot be written";
  bool written = EncodeJpeg(picture, TieText(clip_name, photo_bytes), file);
  written = std::fclose(file) == 0 && written;
  if (written) return {};
  std::filesystem::remove(picture_path, failed);
  return "the start picture cannot be written";
}

CachedPhoto DecodeStartPicture(const std::string& picture_path) {
  CachedPhoto picture;
  picture.path = picture_path;
  auto pixels = std::make_shared<PixelBuffer>();
  // A start picture is at most the largest window size, and decodes whole: no scale covers
  // it with less. A larger one is no start picture of ours.
  JpegLimits limits;
  limits.max_pixels = std::uint64_t{kLargestSide} * kLargestSide;
  picture.result = DecodeJpeg(picture_path, kLargestSide, kLargestSide, limits, *pixels);
  picture.decode_size = QSize(picture.result.width, picture.result.height);
  if (picture.result.ok) picture.pixels = std::move(pixels);
  return picture;
}

std::shared_future<CachedPhoto> DecodeStartPictureAhead(const std::string& picture_path) {
  std::error_code failed;
  if (!std::filesystem::is_regular_file(picture_path, failed)) return {};
  return std::async(std::launch::async, DecodeStartPicture, picture_path).share();
}

bool IsStartPictureOf(const std::string& picture_path, const std::string& photo_path,
                      const std::string& clip_name) {
  std::error_code failed;
  const std::uintmax_t photo_bytes = std::filesystem::file_size(photo_path, failed);
  if (failed || !std::filesystem::is_regular_file(picture_path, failed)) return false;
  std::ifstream in(picture_path, std::ios::binary);
  std::string head(kHeadBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  const std::optional<std::string> comment = FirstComment(head);
  return comment && *comment == TieText(clip_name, photo_bytes);
}

}  // namespace mw
