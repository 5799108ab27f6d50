#pragma once
// The start picture: a small copy of a package's start photo, made when the package is
// built, at the size the player's window shows it. The player paints it at once and then
// decodes the photo itself in its place, so a person sees the start photo without waiting
// for a camera photo of many megapixels to decode.

#include <QSize>
#include <future>
#include <string>
#include <string_view>

#include "media/photo_cache.h"

namespace mw {

// The file name of the start picture beside the data file named `data_file_name`:
// "mwRun" has "mwRun.start.jpg".
std::string StartPictureName(std::string_view data_file_name);

// True when the photo at `photo_path` is worth a start picture of `size`: it has more than
// twice the pixels, so that it takes clearly longer to decode than its copy. A photo that
// does not read is worth none.
bool WorthAStartPicture(const std::string& photo_path, QSize size);

// Makes the start picture of the photo at `photo_path` into `picture_path`: the photo
// upright, stretched to `size` as the clip area stretches it, tied to the clip the map
// names `clip_name` and to the photo's size in bytes. Returns why it could not be made, or
// the empty text; a picture begun and not finished is removed.
std::string WriteStartPicture(const std::string& photo_path, const std::string& clip_name,
                              QSize size, const std::string& picture_path);

// True when the file at `picture_path` is a start picture made for the clip the map names
// `clip_name` from the photo now at `photo_path`: a photo replaced since, or a picture made
// for another clip, is no stand-in for it.
bool IsStartPictureOf(const std::string& picture_path, const std::string& photo_path,
                      const std::string& clip_name);

// The start picture at `picture_path` decoded whole, upright: it was made at the window's
// size. Its result is not ok when it does not decode.
CachedPhoto DecodeStartPicture(const std::string& picture_path);

// The start picture at `picture_path` decoded on a thread of its own, begun before the
// player's window is made so that the decode and the toolkit's start share the machine.
// Not valid when there is no such file.
std::shared_future<CachedPhoto> DecodeStartPictureAhead(const std::string& picture_path);

}  // namespace mw
