#pragma once
// Movie clips that are really lists of other sources: an edit list, a playlist and a
// streaming playlist naming web addresses, and an edit list naming a pipe. A movie
// back-end that follows them reaches the network or waits for the pipe.

#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

namespace mw::test {

// Writes the hostile clips into `folder` (which must exist), each naming `url` followed
// by its own name; gives their paths. The pipe is made in `folder` too.
inline std::vector<std::string> WriteHostileClips(const std::string& folder,
                                                  const std::string& url) {
  const std::string edl = folder + "/evil.mp4";
  const std::string playlist = folder + "/list.mpg";
  const std::string stream = folder + "/stream.ts";
  const std::string pipeList = folder + "/pipe.avi";
  const std::string pipe = folder + "/pipe.fifo";
  const auto write = [](const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  };
  write(edl, "# mpv EDL v0\n" + url + "edl.mp4\n");
  write(playlist, "#EXTM3U\n" + url + "list.mp4\n");
  write(stream,
        "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:10\n#EXTINF:10.0,\n" + url +
            "segment.ts\n#EXT-X-ENDLIST\n");
  ::mkfifo(pipe.c_str(), 0600);
  write(pipeList, "# mpv EDL v0\n" + pipe + "\n");
  return {edl, playlist, stream, pipeList};
}

}  // namespace mw::test
