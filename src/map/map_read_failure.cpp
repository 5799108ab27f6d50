#include "map/map_read_failure.h"

namespace mw {

std::string MapReadFailureText(const std::string& mapPath, const MapFileContent& content) {
  switch (content.status) {
    case MapReadStatus::OpenFailed:
      return "cannot open the map " + mapPath;
    case MapReadStatus::InvalidHeader:
      return "the map " + mapPath + " is not a valid map file";
    case MapReadStatus::BadSizeLine:
      return "the map " + mapPath + ": '" + content.badLine + "' is not a valid integer value";
    case MapReadStatus::Loaded:
      break;
  }
  return {};
}

}  // namespace mw
