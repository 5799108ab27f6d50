#pragma once
// Movies for the browser: what a movie file holds, converting one that browsers do not
// play to H.264 and AAC in MP4, and its poster frame. Uses the programs ffprobe and
// ffmpeg of the Debian package ffmpeg.

#include <functional>
#include <optional>
#include <string>

namespace mw {

// What a movie file holds, as far as the export needs to know.
struct MovieFacts {
  bool read = false;             // false: it is no movie the converter can read
  bool playsInBrowsers = false;  // H.264 (4:2:0, 8 bits) with AAC or no sound, in MP4
  bool hasPicture = false;       // it has a video stream (a poster can be taken)
  int width = 0;                 // the picture's size as shown upright; 0 when unknown
  int height = 0;
  double seconds = 0;  // its length; 0 when unknown
  std::string reason;  // why it could not be read, in the converter's words
};

// How a conversion went.
struct ConversionOutcome {
  bool ok = false;
  bool cancelled = false;
  std::string reason;  // why it failed, in a few words
};

// Reports the share done of one conversion, 0 to 1, and asks whether to stop.
struct ConversionHooks {
  std::function<void(double)> progress = {};
  std::function<bool()> cancelled = {};
};

// Finds the converter's programs once and runs them.
class MovieConverter {
 public:
  MovieConverter();

  // Why movies cannot be looked at or converted here (the programs are missing);
  // empty when they can.
  std::string MissingProgram() const;
  // Why movies cannot be converted (no H.264 or AAC encoder); empty when they can.
  // Asks the converter once.
  std::string MissingEncoder();

  // Looks at the movie at `path` without decoding it.
  MovieFacts Examine(const std::string& path) const;
  // Converts `path` to `target` (which must not exist) as H.264 High, yuv420p, even
  // sizes, AAC stereo, the index at the front. `seconds` is the movie's length, for
  // the share done. A failed or cancelled conversion leaves no `target`.
  ConversionOutcome Convert(const std::string& path, const std::string& target, double seconds,
                            const ConversionHooks& hooks) const;
  // Writes the first frame of the movie at `path` as the JPEG `target`.
  ConversionOutcome TakePoster(const std::string& path, const std::string& target,
                               const ConversionHooks& hooks) const;

 private:
  std::optional<std::string> ffmpeg_;
  std::optional<std::string> ffprobe_;
  std::optional<std::string> encoderProblem_;
};

}  // namespace mw
