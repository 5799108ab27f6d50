// Where the tool windows open: over the editor, within the screen.
#include "editor/window_placement.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

const QRect kScreen(0, 0, 1280, 1024);
const QSize kFrame(2, 25);

TEST(WindowPlacement, OpensCentredOverTheEditor) {
  const QRect editor(300, 200, 612, 570);
  const QRect placed = PlacedOver({400, 300}, editor, kScreen, kFrame);
  EXPECT_EQ(placed.size(), QSize(400, 300));
  const QRect outer(placed.topLeft(), placed.size() + kFrame);
  EXPECT_LE(std::abs(outer.center().x() - editor.center().x()), 1);
  EXPECT_LE(std::abs(outer.center().y() - editor.center().y()), 1);
}

TEST(WindowPlacement, StaysWithinTheScreenWhateverTheEditorsPlace) {
  for (const QRect editor : {QRect(-400, -300, 612, 570), QRect(1100, 900, 612, 570),
                             QRect(0, 0, 1280, 1024)}) {
    for (const QSize wanted : {QSize(900, 640), QSize(760, 360), QSize(2000, 1500)}) {
      const QRect placed = PlacedOver(wanted, editor, kScreen, kFrame);
      const QRect outer(placed.topLeft(), placed.size() + kFrame);
      EXPECT_TRUE(kScreen.contains(outer)) << outer.x() << "," << outer.y() << " "
                                           << outer.width() << "x" << outer.height();
      EXPECT_EQ(placed.size(), wanted.boundedTo(kScreen.size() - kFrame));
    }
  }
  // A screen with a panel at its top: its free area starts lower.
  const QRect free(0, 30, 1024, 738);
  const QRect placed = PlacedOver({900, 640}, QRect(0, 0, 300, 200), free, kFrame);
  EXPECT_TRUE(free.contains(QRect(placed.topLeft(), placed.size() + kFrame)));
}

}  // namespace
}  // namespace mw
