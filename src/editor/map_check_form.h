#pragma once
// The "Check Map" window: every problem of the map, one row each.

#include <QWidget>
#include <optional>
#include <vector>

#include "check/map_check.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace mw {

// Lists the problems it is given: the kind, the clip, the mark's message and the file at
// fault. A double click on a row asks for the place of the problem in the editor; for a
// row of a mark outside its clip, Bring Inside asks for the mark to be moved inside.
class TMapCheckForm : public QWidget {
  Q_OBJECT

 public:
  explicit TMapCheckForm(QWidget* parent = nullptr);

  // Shows `problems`, or that there are none.
  void ShowProblems(std::vector<MapProblem> problems);
  const std::vector<MapProblem>& Problems() const { return problems_; }
  QTreeWidget* ProblemList() const { return list_; }
  QPushButton* BringInsideButton() const { return bringInside_; }
  // The text shown above the list.
  QString Summary() const;

 signals:
  // The row of `problems_[index]` was double-clicked.
  void problemChosen(int index);
  // Bring Inside was chosen for the row of `problems_[index]`, a mark outside its clip.
  void bringInsideChosen(int index);

 private:
  void RowDoubleClicked(QTreeWidgetItem* item);
  // The index of the current row's problem when it is a mark outside its clip.
  std::optional<int> CurrentOutsideRow() const;
  void UpdateBringInside();

  std::vector<MapProblem> problems_;
  QLabel* summary_ = nullptr;
  QTreeWidget* list_ = nullptr;
  QPushButton* bringInside_ = nullptr;
};

}  // namespace mw
