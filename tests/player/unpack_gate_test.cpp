// The player's side of the unpack gate on real pipes: names as a package writes them, in
// parts, in numbers, from another thread, and what a broken gate variable leaves.
#include "player/unpack_gate.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryFile>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "gate_pipe.h"
#include "packer/unpack_gate.h"

namespace mw {
namespace {

using namespace std::chrono_literals;

const std::string kNul(1, '\0');

class UnpackGateTest : public ::testing::Test {
 protected:
  UnpackGate Gate() { return UnpackGate(package.TakeReadEnd()); }
  test::GatePipe package;
};

TEST_F(UnpackGateTest, NamesSplitAcrossWritesAndAcrossTheNulArriveWhole) {
  UnpackGate gate = Gate();
  EXPECT_FALSE(gate.AllInPlace());
  ASSERT_TRUE(package.Write("hal"));
  gate.TakeAvailable();  // returns with the pipe empty: no waiting
  ASSERT_TRUE(package.Write("l.jpg"));
  gate.TakeAvailable();
  EXPECT_FALSE(gate.InPlace("hall.jpg"));  // no NUL yet
  EXPECT_FALSE(gate.InPlace("hal"));
  ASSERT_TRUE(package.Write(kNul + "kit"));
  gate.TakeAvailable();
  EXPECT_TRUE(gate.InPlace("hall.jpg"));
  EXPECT_FALSE(gate.InPlace("kit"));
  ASSERT_TRUE(package.Write("chen.jpg" + kNul + "mwRun" + kNul));
  gate.TakeAvailable();
  EXPECT_TRUE(gate.InPlace("kitchen.jpg"));
  EXPECT_TRUE(gate.InPlace("mwRun"));
  EXPECT_FALSE(gate.InPlace("hall.jp"));
  EXPECT_FALSE(gate.InPlace("rgb.mpg"));
  EXPECT_FALSE(gate.AllInPlace());
}

TEST_F(UnpackGateTest, ManyNamesThenTheEndWithAndWithoutAPartialName) {
  for (const bool partialAtTheEnd : {false, true}) {
    test::GatePipe pipe;
    UnpackGate gate(pipe.TakeReadEnd());
    const int descriptor = gate.Descriptor();
    // More than a pipe holds: the package writes while the player reads.
    std::thread writer([&pipe, partialAtTheEnd] {
      for (int k = 0; k < 5000; ++k) pipe.Name("clip" + std::to_string(k) + ".jpg");
      if (partialAtTheEnd) pipe.Write("half");
    });
    gate.WaitFor("clip4999.jpg");
    for (int k = 0; k < 5000; k += 499)
      EXPECT_TRUE(gate.InPlace("clip" + std::to_string(k) + ".jpg"));
    writer.join();
    gate.TakeAvailable();
    EXPECT_FALSE(gate.InPlace("half"));  // not ended by a NUL: no name yet
    EXPECT_FALSE(gate.AllInPlace());
    pipe.End();
    gate.WaitFor("never.jpg");
    EXPECT_TRUE(gate.AllInPlace());
    EXPECT_TRUE(gate.InPlace("never.jpg"));
    // The descriptor is closed at the end.
    EXPECT_EQ(fcntl(descriptor, F_GETFD), -1);
  }
}

TEST_F(UnpackGateTest, AWaitEndsWhenTheNameComesFromAnotherThreadOrTheEndDoes) {
  UnpackGate gate = Gate();
  std::thread writer([this] {
    std::this_thread::sleep_for(100ms);
    package.Name("kitchen.jpg");
    std::this_thread::sleep_for(100ms);
    package.Name("rgb.mpg");
    package.End();
  });
  const auto before = std::chrono::steady_clock::now();
  gate.WaitFor("kitchen.jpg");
  EXPECT_GE(std::chrono::steady_clock::now() - before, 90ms);
  EXPECT_TRUE(gate.InPlace("kitchen.jpg"));
  EXPECT_FALSE(gate.AllInPlace());
  // A name that never comes: the wait ends with the pipe's end.
  gate.WaitFor("cellar.jpg");
  EXPECT_TRUE(gate.AllInPlace());
  writer.join();
}

TEST_F(UnpackGateTest, OverlongNamesAndGarbageArePassedOverWithoutGrowing) {
  UnpackGate gate = Gate();
  const std::string longest(UnpackGate::kLongestName, 'l');
  std::atomic<bool> written = false;
  std::thread writer([this, &longest, &written] {
    package.Write(std::string(1 << 20, 'a') + kNul);  // a megabyte without a NUL
    package.Name(longest + "x");
    package.Name(longest);
    package.Write(kNul + "." + kNul + ".." + kNul + "a/b" + kNul);
    // More names than are kept; only the first ones count before the end.
    for (std::size_t k = 0; k < UnpackGate::kMostNames + 10; ++k) package.Name(std::to_string(k));
    package.Name("after.jpg");
    written = true;
  });
  // Read on while the package writes more than the pipe holds.
  while (!written) gate.TakeAvailable();
  writer.join();
  gate.TakeAvailable();
  EXPECT_TRUE(gate.InPlace(longest));
  EXPECT_FALSE(gate.InPlace(std::string(UnpackGate::kLongestName, 'a')));
  EXPECT_FALSE(gate.InPlace(longest + "x"));
  EXPECT_FALSE(gate.InPlace(longest.substr(1) + "x"));
  for (const char* garbage : {"", ".", "..", "a/b", "b"}) EXPECT_FALSE(gate.InPlace(garbage));
  EXPECT_TRUE(gate.InPlace("0"));
  EXPECT_TRUE(gate.InPlace(std::to_string(UnpackGate::kMostNames - 3)));
  EXPECT_FALSE(gate.InPlace(std::to_string(UnpackGate::kMostNames + 2)));
  EXPECT_FALSE(gate.InPlace("after.jpg"));
  package.End();
  gate.TakeAvailable();
  EXPECT_TRUE(gate.InPlace("after.jpg"));
}

// The variable as a package sets it, and values that name no gate.
class UnpackGateVariableTest : public ::testing::Test {
 protected:
  ~UnpackGateVariableTest() override { unsetenv(packer::kUnpackGateVariable); }
  UnpackGate FromValue(const std::string& value) {
    setenv(packer::kUnpackGateVariable, value.c_str(), 1);
    UnpackGate gate = UnpackGate::FromEnvironment();
    EXPECT_EQ(std::getenv(packer::kUnpackGateVariable), nullptr) << value;
    return gate;
  }
};

TEST_F(UnpackGateVariableTest, APipesReadEndIsTheGateAndIsKeptFromChildren) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  UnpackGate gate = FromValue(std::to_string(ends[0]));
  EXPECT_FALSE(gate.AllInPlace());
  EXPECT_EQ(gate.Descriptor(), ends[0]);
  EXPECT_TRUE(fcntl(ends[0], F_GETFD) & FD_CLOEXEC);
  ASSERT_EQ(write(ends[1], "hall.jpg", 9), 9);
  close(ends[1]);
  gate.WaitFor("hall.jpg");
  EXPECT_TRUE(gate.InPlace("hall.jpg"));
  gate.WaitFor("kitchen.jpg");
  EXPECT_TRUE(gate.AllInPlace());
}

TEST_F(UnpackGateVariableTest, ValuesThatNameNoReadablePipeAreNoGate) {
  EXPECT_TRUE(UnpackGate::FromEnvironment().AllInPlace());  // no variable at all
  QTemporaryFile plain;
  ASSERT_TRUE(plain.open());
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const int closed = dup(ends[0]);
  close(closed);
  for (const std::string& value : std::vector<std::string>{
           "", "abc", "12abc", " 5", "+5", "-1", "0", "1", "2", "99999999999999999999",
           std::to_string(closed), std::to_string(plain.handle()), std::to_string(ends[1])}) {
    EXPECT_TRUE(FromValue(value).AllInPlace()) << "'" << value << "'";
  }
  // What is no gate stays open for its owner.
  EXPECT_NE(fcntl(plain.handle(), F_GETFD), -1);
  EXPECT_NE(fcntl(ends[1], F_GETFD), -1);
  close(ends[0]);
  close(ends[1]);
}

}  // namespace
}  // namespace mw
