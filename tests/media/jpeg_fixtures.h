#pragma once
// Real JPEG files for the media tests, encoded with libjpeg into a temporary folder.

#include <cstdint>
#include <functional>
#include <string>

namespace mw::test {

// The colour of the photo pattern at (x, y) of a width x height photo: four flat quadrants,
// red top-left, green top-right, blue bottom-left, white bottom-right.
std::uint32_t PatternColour(int x, int y, int width, int height);

// Encodes a width x height RGB photo at `quality`; `fill_row(y, row)` writes the width * 3
// bytes of row y. Throws std::runtime_error when the file cannot be written.
void WriteRgbJpeg(const std::string& path, int width, int height, int quality,
                  const std::function<void(int y, std::uint8_t* row)>& fill_row);
// Encodes the quadrant pattern as a JPEG file. `progressive` makes a multi-scan file.
void WriteJpeg(const std::string& path, int width, int height, bool progressive = false);
// Whether the one-pixel line pattern is white at (x, y) of a photo `height` rows high:
// vertical lines in the top half, horizontal lines in the bottom half.
bool LinePatternWhite(int x, int y, int height);
// Encodes the one-pixel line pattern as a grey JPEG of the highest quality, so that every
// line survives the encoding.
void WriteLineJpeg(const std::string& path, int width, int height);
// Encodes a flat grey progressive JPEG of 570 scans (each
// AC coefficient in its own scans, refined bit by bit): a photo that costs a decoder
// one pass per scan.
void WriteManyScanJpeg(const std::string& path, int width, int height);
// Encodes a grayscale JPEG, dark on its left half and light on its right.
void WriteGrayJpeg(const std::string& path, int width, int height);
// Encodes the quadrant pattern with arithmetic coding instead of Huffman tables.
void WriteArithmeticJpeg(const std::string& path, int width, int height);
// Encodes the quadrant pattern as a CMYK JPEG with inverted inks, as Adobe's programs do.
void WriteCmykJpeg(const std::string& path, int width, int height);
// Cuts the file to `keep` of its bytes.
void TruncateFile(const std::string& path, double keep);
// Replaces the width and height stored in the file's frame header.
void PatchFrameSize(const std::string& path, int width, int height);
// Makes the frame header invalid (a sample precision libjpeg does not accept).
void DamageFrameHeader(const std::string& path);

}  // namespace mw::test
