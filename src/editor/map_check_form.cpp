#include "editor/map_check_form.h"

#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace mw {

namespace {

constexpr const char* kNoProblems = "The map check found no problems.";

QString FromLocal(const std::string& text) {
  return QString::fromLocal8Bit(text);
}

}  // namespace

TMapCheckForm::TMapCheckForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("MapCheckForm");
  setWindowTitle("Check Map");
  resize(760, 360);
  auto* layout = new QVBoxLayout(this);
  summary_ = new QLabel(this);
  summary_->setObjectName("CheckSummary");
  list_ = new QTreeWidget(this);
  list_->setObjectName("ProblemList");
  list_->setRootIsDecorated(false);
  list_->setAlternatingRowColors(true);
  list_->setHeaderLabels({"Problem", "Clip", "Message", "File"});
  list_->header()->setStretchLastSection(true);
  bringInside_ = new QPushButton("&Bring Inside", this);
  bringInside_->setObjectName("BringInsideButton");
  bringInside_->setToolTip("Moves the mark to the nearest place inside its clip.");
  bringInside_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(bringInside_);
  layout->addWidget(summary_);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item, int) { RowDoubleClicked(item); });
  connect(list_, &QTreeWidget::currentItemChanged, this, &TMapCheckForm::UpdateBringInside);
  connect(bringInside_, &QPushButton::clicked, this, [this] {
    if (const auto index = CurrentOutsideRow()) emit bringInsideChosen(*index);
  });
}

void TMapCheckForm::ShowProblems(std::vector<MapProblem> problems) {
  problems_ = std::move(problems);
  list_->clear();
  QList<QTreeWidgetItem*> rows;
  for (std::size_t k = 0; k < problems_.size(); ++k) {
    const MapProblem& p = problems_[k];
    QString file = FromLocal(p.file);
    if (!p.relinkFile.empty()) file += " (found beside the map: " + FromLocal(p.relinkFile) + ")";
    auto* row = new QTreeWidgetItem({QString(ProblemKindText(p.kind)), FromLocal(p.clip),
                                     FromLocal(p.message), file});
    row->setData(0, Qt::UserRole, static_cast<int>(k));
    if (!p.detail.empty()) row->setToolTip(3, FromLocal(p.detail));
    rows.append(row);
  }
  list_->addTopLevelItems(rows);
  for (int column = 0; column < 3; ++column) list_->resizeColumnToContents(column);
  list_->setVisible(!problems_.empty());
  // Bring Inside shows only where a mark lies outside its clip.
  bringInside_->setVisible(std::any_of(problems_.begin(), problems_.end(), [](const MapProblem& p) {
    return p.kind == ProblemKind::OutsideClip;
  }));
  UpdateBringInside();
  summary_->setText(problems_.empty()
                        ? QString(kNoProblems)
                        : QString("The map check found %1 problem%2. A double click shows one.")
                              .arg(problems_.size())
                              .arg(problems_.size() == 1 ? "" : "s"));
}

QString TMapCheckForm::Summary() const {
  return summary_->text();
}

std::optional<int> TMapCheckForm::CurrentOutsideRow() const {
  const QTreeWidgetItem* row = list_->currentItem();
  if (!row) return std::nullopt;
  const int index = row->data(0, Qt::UserRole).toInt();
  if (index < 0 || static_cast<std::size_t>(index) >= problems_.size() ||
      problems_[static_cast<std::size_t>(index)].kind != ProblemKind::OutsideClip)
    return std::nullopt;
  return index;
}

void TMapCheckForm::UpdateBringInside() {
  bringInside_->setEnabled(CurrentOutsideRow().has_value());
}

void TMapCheckForm::RowDoubleClicked(QTreeWidgetItem* item) {
  if (item) emit problemChosen(item->data(0, Qt::UserRole).toInt());
}

}  // namespace mw
