#include "window/find_all_panel.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include "trace/summary_line.h"
#include "util/text_utilities.h"
#include "window/count_text.h"
#include "window/table_text.h"

namespace sigrune {

class FindAllModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;
  enum Column { Message, Summary, MatchingLine, Columns };

  void Show(const TraceDocument* document, std::shared_ptr<const FindAllResult> result) {
    beginResetModel();
    document_ = document;
    result_ = std::move(result);
    endResetModel();
  }
  MessageNumber MessageOfRow(int row) const {
    return result_ && row >= 0 && static_cast<std::size_t>(row) < result_->found.size()
               ? result_->found[static_cast<std::size_t>(row)].message
               : MessageNumber{};
  }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() || !result_ ? 0 : static_cast<int>(result_->found.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : Columns;
  }
  QVariant data(const QModelIndex& index, int role) const override {
    const MessageNumber message = MessageOfRow(index.row());
    if (!message || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) {
      return {};
    }
    const FoundMessage& found = result_->found[static_cast<std::size_t>(index.row())];
    switch (index.column()) {
      case Message:
        return QString::number(message.value);
      case Summary:
        return SummaryText(message);
      case MatchingLine:
        return FromLatin1(found.firstLine);
      default:
        return {};
    }
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const char* const kHeadings[Columns] = {"Message", "Summary Line", "Matching Line"};
    return ColumnHeading(kHeadings, section, orientation, role);
  }

 private:
  // The summary line's fields apart by two blanks: its tabs line up only in the message list.
  QString SummaryText(MessageNumber message) const {
    if (message.value > document_->Store().MessageCount()) {
      return {};
    }
    const SummaryFields fields = BuildSummaryFields(document_->Store(), IndexOf(message));
    QStringList parts;
    for (const std::string_view part : {fields.timestamp, fields.gatewayIp, fields.direction,
                                        fields.protocol, TrimBlanks(fields.messageType)}) {
      if (!part.empty()) {
        parts << FromLatin1(part);
      }
    }
    if (fields.hasCallReference) {
      parts << QLatin1String("0x") + FromLatin1(fields.callReferenceDigits);
    }
    return parts.join(QLatin1String("  "));
  }

  const TraceDocument* document_ = nullptr;
  std::shared_ptr<const FindAllResult> result_;
};

FindAllPanel::FindAllPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("findAllPanel"));
  model_ = new FindAllModel(this);
  view_ = new QTreeView;
  view_->setObjectName(QStringLiteral("findAllResults"));
  view_->setModel(model_);
  view_->setUniformRowHeights(true);
  view_->setRootIsDecorated(false);
  view_->setItemsExpandable(false);
  view_->setAllColumnsShowFocus(true);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->header()->setStretchLastSection(true);
  const QFontMetrics metrics(view_->font());
  view_->header()->resizeSection(FindAllModel::Message,
                                 metrics.horizontalAdvance(QStringLiteral("Message 99999")));
  view_->header()->resizeSection(
      FindAllModel::Summary,
      metrics.horizontalAdvance(QStringLiteral(
          "01/15/2004 10:23:45.678  192.168.100.200  Out  H225  RELEASE_COMP  0x8000  ")));

  auto* close = new QPushButton(style()->standardIcon(QStyle::SP_TitleBarCloseButton), QString());
  close->setObjectName(QStringLiteral("findAllClose"));
  close->setToolTip(tr("Close the results"));
  close->setFlat(true);
  title_ = new QLabel;
  title_->setObjectName(QStringLiteral("findAllTitle"));
  QFont bold = title_->font();
  bold.setBold(true);
  title_->setFont(bold);
  // The title and the close button on one line, so that the results keep the height.
  auto* top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->addWidget(title_);
  top->addStretch();
  top->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  layout->setSpacing(2);
  layout->addLayout(top);
  layout->addWidget(view_);

  connect(close, &QPushButton::clicked, this, &FindAllPanel::Clear);
  connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (const MessageNumber message = model_->MessageOfRow(current.row())) {
              emit MessageChosen(message);
            }
          });
  hide();
}

void FindAllPanel::ShowResult(const TraceDocument& document,
                              std::shared_ptr<const FindAllResult> result, const QString& text) {
  text_ = text;
  QString title = CountText(result->matches, tr("message matches"), tr("messages match"));
  if (result->found.size() < result->matches) {
    title += tr("; the first %1 are listed").arg(GroupedNumber(result->found.size()));
  }
  title_->setText(title);
  model_->Show(&document, std::move(result));
  show();
}

QString FindAllPanel::Title() const {
  return title_->text();
}

void FindAllPanel::Clear() {
  model_->Show(nullptr, nullptr);
  text_.clear();
  hide();
}

}  // namespace sigrune
