#pragma once
// What the photo benchmarks share: a large textured test photo and the bare libjpeg decode
// that they are measured against.

#include <string>
#include <vector>

namespace mw::bench {

constexpr int kPhotoWidth = 6000, kPhotoHeight = 4000;  // 24 megapixels

// Writes a baseline JPEG of kPhotoWidth x kPhotoHeight with gradients and fine detail and
// sensor-like grain of `noise_mask` (a bit mask): 3 gives a smooth photo of about 3 MB, 15 a
// grainy one of about 5.4 MB. Entropy decoding, which every decoder must do in full, grows
// with the grain.
void WriteTexturedJpeg(const std::string& path, unsigned noise_mask);

// libjpeg alone: decodes `path` at 1 / `denominator` into `pixels` as BGRX, with no checks
// and no widget. Gives the decoded width and height through the last two arguments.
void BareLibjpegDecode(const std::string& path, int denominator,
                       std::vector<unsigned char>& pixels, int* width = nullptr,
                       int* height = nullptr);

}  // namespace mw::bench
