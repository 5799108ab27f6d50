// Photos decoded ahead of the click: the cache's bounds, and the prefetch through the real
// clip display with real photos, offscreen.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>

#include "clip_area_fixture.h"
#include "jpeg_fixtures.h"
#include "media/clip_display.h"
#include "media/photo_cache.h"
#include "media/photo_prefetcher.h"

namespace mw {
namespace {

using namespace std::chrono_literals;

// --- the cache alone: entries of width x 1 pixels cost width * 4 bytes ---

CachedPhoto Entry(const std::string& path, int width, QSize size = {320, 240}) {
  CachedPhoto photo;
  photo.path = path;
  photo.decode_size = size;
  photo.stamp = {1, 1};
  photo.result.ok = true;
  photo.result.width = width;
  photo.result.height = 1;
  return photo;
}

bool Has(PhotoCache& cache, const std::string& path, QSize size = {320, 240}) {
  return cache.Find(path, size, {1, 1}) != nullptr;
}

TEST(PhotoCacheTest, StaysWithinItsBoundLeastRecentlyUsedOutFirst) {
  PhotoCache cache(400);  // room for four entries of 100 bytes
  for (const char* path : {"a", "b", "c", "d"}) ASSERT_TRUE(cache.Insert(Entry(path, 25), {}));
  EXPECT_EQ(cache.Bytes(), 400u);
  ASSERT_TRUE(Has(cache, "a"));  // "a" used again: "b" is now the least recently used
  ASSERT_TRUE(cache.Insert(Entry("e", 50), {}));
  EXPECT_EQ(cache.Bytes(), 400u);
  EXPECT_FALSE(Has(cache, "b"));
  EXPECT_FALSE(Has(cache, "c"));
  EXPECT_TRUE(Has(cache, "a"));
  EXPECT_TRUE(Has(cache, "d"));
  EXPECT_TRUE(Has(cache, "e"));
  // A photo bigger than the whole bound is refused and evicts nothing.
  EXPECT_FALSE(cache.Insert(Entry("huge", 101), {}));
  EXPECT_EQ(cache.Count(), 3u);
  // Replacing an entry counts its old bytes as free.
  ASSERT_TRUE(cache.Insert(Entry("e", 75), {}));
  EXPECT_EQ(cache.Bytes(), 500u - 100u);
  EXPECT_EQ(cache.Count(), 2u);
}

TEST(PhotoCacheTest, NeverEvictsTheClipOnScreenNorTheTargetsStillWanted) {
  PhotoCache cache(300);
  ASSERT_TRUE(cache.Insert(Entry("on screen", 25), {}));
  ASSERT_TRUE(cache.Insert(Entry("wanted", 25), {}));
  ASSERT_TRUE(cache.Insert(Entry("old", 25), {}));
  cache.Pin("on screen");
  // The least recently used are "on screen" and "wanted", yet only "old" may go.
  ASSERT_TRUE(cache.Insert(Entry("new", 25), {"wanted", "new"}));
  EXPECT_FALSE(Has(cache, "old"));
  EXPECT_TRUE(Has(cache, "on screen"));
  EXPECT_TRUE(Has(cache, "wanted"));
  // No room left without them: refused, and nothing else goes either.
  EXPECT_FALSE(cache.Insert(Entry("more", 50), {"wanted", "new", "more"}));
  EXPECT_EQ(cache.Count(), 3u);
  EXPECT_EQ(cache.Bytes(), 300u);
}

TEST(PhotoCacheTest, ChangedFilesAndOtherSizesAreDropped) {
  PhotoCache cache(1000);
  ASSERT_TRUE(cache.Insert(Entry("a", 10), {}));
  ASSERT_TRUE(cache.Insert(Entry("b", 10, {640, 480}), {}));
  ASSERT_TRUE(cache.Insert(Entry("pinned", 10, {640, 480}), {}));
  EXPECT_EQ(cache.Find("a", {320, 240}, {2, 1}), nullptr);  // the file grew
  EXPECT_EQ(cache.Count(), 2u);
  EXPECT_EQ(cache.Bytes(), 80u);
  EXPECT_FALSE(Has(cache, "b"));  // another size: not a hit, but kept until dropped
  cache.Pin("pinned");
  cache.DropOtherSizes({320, 240});
  EXPECT_EQ(cache.Count(), 1u);
  EXPECT_TRUE(Has(cache, "pinned", {640, 480}));
}

// --- the prefetch through the clip display ---

class PhotoPrefetchTest : public test::ClipAreaTest {
 protected:
  std::string Photo(const std::string& name, int width = 1280, int height = 960) {
    const std::string path = Path(name);
    test::WriteJpeg(path, width, height);
    return path;
  }
  std::vector<std::string> Photos(const std::string& prefix, int count, int width = 1280,
                                  int height = 960) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i)
      paths.push_back(Photo(prefix + std::to_string(i) + ".jpg", width, height));
    return paths;
  }
  PhotoPrefetcher& Prefetcher() { return display->Prefetcher(); }
  bool Idle() { return Prefetcher().WaitUntilIdle(20s); }
  bool Cached(const std::string& path) {
    return Prefetcher().Take(path, display->PhotoDecodeSize()).has_value();
  }
  // The photo a decode on the click would give now, with nothing cached.
  static QImage UncachedDecode(const std::string& path, QSize size) {
    PhotoImage fresh;
    if (!fresh.Load(path, size)) return {};
    return fresh.Image().copy();
  }
  static bool SameBytes(const QImage& a, const QImage& b) {
    return !a.isNull() && a.size() == b.size() && a.bytesPerLine() == b.bytesPerLine() &&
           std::memcmp(a.constBits(), b.constBits(), a.sizeInBytes()) == 0;
  }
  const QImage& Shown() const { return panel1->Image1()->Photo(); }
};

TEST_F(PhotoPrefetchTest, AClickOnAPrefetchedTargetShowsTheSamePictureWithoutDecoding) {
  const std::string start = Photo("start.jpg", 64, 48);
  const std::string target = Photo("target.jpg", 2560, 1920);
  ASSERT_EQ(display->ShowClip(start), ClipKind::PhotoClip);
  display->PrefetchTargets({target, Path("movie.mpg"), target});
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Prefetcher().DecodesDone(), 1u);  // the movie and the repeated photo are skipped
  EXPECT_EQ(Prefetcher().CachedCount(), 1u);

  ASSERT_EQ(display->ShowClip(target), ClipKind::PhotoClip);
  EXPECT_TRUE(display->ClipShown());
  // The shown picture is the cached one itself, and equal byte for byte to a fresh decode.
  std::optional<CachedPhoto> cached = Prefetcher().Take(target, display->PhotoDecodeSize());
  ASSERT_TRUE(cached);
  EXPECT_EQ(Shown().constBits(), cached->pixels->Data());
  EXPECT_TRUE(SameBytes(Shown(), UncachedDecode(target, QSize(320, 240))));
  EXPECT_EQ(display->Photo().ScaleDenominator(), 8);
  EXPECT_EQ(display->Photo().SourceSize(), QSize(2560, 1920));
}

TEST_F(PhotoPrefetchTest, ThirtyMarksStayWithinTheBoundEarlierTargetsFirst) {
  PhotoPrefetcher::Options options;
  options.byte_bound = 5 * 320 * 240 * 4;  // five decoded photos
  display.reset();
  auto small = std::make_unique<PhotoPrefetcher>(options);
  const std::vector<std::string> targets = Photos("t", 30);
  small->Prefetch(targets, {320, 240}, "");
  ASSERT_TRUE(small->WaitUntilIdle(20s));
  EXPECT_EQ(small->CachedCount(), 5u);
  EXPECT_LE(small->CachedBytes(), options.byte_bound);
  // Once full of wanted targets, the rest is not decoded only to be thrown away.
  EXPECT_EQ(small->DecodesDone(), 6u);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(small->Take(targets[i], {320, 240})) << i;
  EXPECT_FALSE(small->Take(targets[5], {320, 240}));
  // The next clip's targets push out the last clip's, but never the photo on screen.
  const std::vector<std::string> next = Photos("n", 5);
  small->Prefetch(next, {320, 240}, targets[0]);
  ASSERT_TRUE(small->WaitUntilIdle(20s));
  EXPECT_TRUE(small->Take(targets[0], {320, 240}));
  EXPECT_EQ(small->CachedCount(), 5u);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(small->Take(next[i], {320, 240})) << i;
}

// A target too big for the cache on its own is passed over: the ordinary photos after it
// still fit, and are decoded ahead.
TEST_F(PhotoPrefetchTest, ATargetTooBigForTheWholeCacheLeavesTheLaterTargetsPrefetched) {
  PhotoPrefetcher::Options options;
  options.byte_bound = 2 * 320 * 240 * 4;  // two decoded photos
  display.reset();
  auto small = std::make_unique<PhotoPrefetcher>(options);
  // A panorama so wide that only its full size covers 320 x 240: 8000 x 240 x 4 bytes.
  const std::string panorama = Photo("panorama.jpg", 8000, 240);
  const std::vector<std::string> ordinary = Photos("t", 2);
  small->Prefetch({panorama, ordinary[0], ordinary[1]}, {320, 240}, "");
  ASSERT_TRUE(small->WaitUntilIdle(20s));
  EXPECT_FALSE(small->Take(panorama, {320, 240}));
  for (const std::string& path : ordinary) EXPECT_TRUE(small->Take(path, {320, 240})) << path;
}

TEST_F(PhotoPrefetchTest, QuickClicksCancelTheWorkOfTheClipsLeftBehind) {
  const int kClips = 10, kTargets = 16;
  std::vector<std::string> clips = Photos("clip", kClips, 64, 48);
  std::vector<std::vector<std::string>> targets;
  for (int c = 0; c < kClips; ++c)
    targets.push_back(Photos("c" + std::to_string(c) + "t", kTargets, 640, 480));
  for (int c = 0; c < kClips; ++c) {
    ASSERT_EQ(display->ShowClip(clips[c]), ClipKind::PhotoClip);
    display->PrefetchTargets(targets[c]);
  }
  ASSERT_TRUE(Idle());
  // Every target of the clip on screen is ready; of the others at most a few were decoded
  // before each click, far from all of them.
  for (const std::string& target : targets.back()) EXPECT_TRUE(Cached(target)) << target;
  EXPECT_LT(Prefetcher().DecodesDone(), static_cast<std::size_t>(kTargets + 3 * kClips));
  // A click in the middle of the work still shows the right photo.
  ASSERT_EQ(display->ShowClip(targets.back()[3]), ClipKind::PhotoClip);
  EXPECT_TRUE(SameBytes(Shown(), UncachedDecode(targets.back()[3], QSize(320, 240))));
  EXPECT_EQ(display->Photo().ScaleDenominator(), 2);
}

TEST_F(PhotoPrefetchTest, APhotoChangedUnderTheCacheIsDecodedAgain) {
  const std::string start = Photo("start.jpg", 64, 48);
  const std::string target = Photo("target.jpg", 640, 480);
  ASSERT_EQ(display->ShowClip(start), ClipKind::PhotoClip);
  display->PrefetchTargets({target});
  ASSERT_TRUE(Idle());
  ASSERT_EQ(Prefetcher().CachedCount(), 1u);

  test::WriteJpeg(target, 960, 720);  // another photo under the same name
  ASSERT_EQ(display->ShowClip(target), ClipKind::PhotoClip);
  EXPECT_EQ(display->Photo().SourceSize(), QSize(960, 720));
  EXPECT_TRUE(SameBytes(Shown(), UncachedDecode(target, QSize(320, 240))));

  // Ahead of the click too: a new prefetch replaces the stale entry.
  ASSERT_EQ(display->ShowClip(start), ClipKind::PhotoClip);
  display->PrefetchTargets({target});
  ASSERT_TRUE(Idle());
  test::WriteJpeg(target, 640, 480);
  display->PrefetchTargets({target});
  ASSERT_TRUE(Idle());
  std::optional<CachedPhoto> cached = Prefetcher().Take(target, {320, 240});
  ASSERT_TRUE(cached);
  EXPECT_EQ(cached->result.source_width, 640);
  // A target that is gone is no hit and stays a failure on the click.
  std::filesystem::remove(target);
  EXPECT_FALSE(Cached(target));
  EXPECT_EQ(display->ShowClip(target), ClipKind::NoClip);
}

TEST_F(PhotoPrefetchTest, ADamagedTargetFailsOnTheClickAsItAlwaysDid) {
  const std::string start = Photo("start.jpg", 640, 480);
  const std::string damaged = Photo("damaged.jpg");
  test::DamageFrameHeader(damaged);
  const std::string cut = Photo("cut.jpg");
  test::TruncateFile(cut, 0.5);
  ASSERT_EQ(display->ShowClip(start), ClipKind::PhotoClip);
  const QImage before = Shown().copy();
  display->PrefetchTargets({damaged, cut});
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Prefetcher().DecodesDone(), 2u);
  EXPECT_EQ(Prefetcher().CachedCount(), 1u);  // only the photo that decoded, if in part

  EXPECT_EQ(display->ShowClip(damaged), ClipKind::NoClip);
  EXPECT_FALSE(display->ClipShown());
  EXPECT_TRUE(SameBytes(Shown(), before));
  EXPECT_FALSE(display->Photo().LastError().empty());

  ASSERT_EQ(display->ShowClip(cut), ClipKind::PhotoClip);
  EXPECT_TRUE(display->Photo().Incomplete());
  EXPECT_TRUE(SameBytes(Shown(), UncachedDecode(cut, QSize(320, 240))));
}

TEST_F(PhotoPrefetchTest, AResizeDropsWhatNoLongerFitsAndPrefetchesAtTheNewSize) {
  const std::string start = Photo("start.jpg", 64, 48);
  const std::vector<std::string> targets = Photos("t", 3);  // 1280 x 960
  ASSERT_EQ(display->ShowClip(start), ClipKind::PhotoClip);
  display->PrefetchTargets(targets);
  ASSERT_TRUE(Idle());
  ASSERT_EQ(Prefetcher().CachedBytes(), 3u * 320 * 240 * 4);  // 1/4 scale

  panel1->resize(640, 480);
  ASSERT_EQ(display->PhotoDecodeSize(), QSize(640, 480));
  ASSERT_TRUE(Idle());
  EXPECT_EQ(Prefetcher().CachedBytes(), 3u * 640 * 480 * 4);  // 1/2 scale
  ASSERT_EQ(display->ShowClip(targets[1]), ClipKind::PhotoClip);
  EXPECT_EQ(display->Photo().ScaleDenominator(), 2);
  EXPECT_TRUE(SameBytes(Shown(), UncachedDecode(targets[1], QSize(640, 480))));
}

}  // namespace
}  // namespace mw
