#include "window/ladder/flow_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include <QScreen>

#include "util/text_utilities.h"
#include "window/calls/call_headline.h"
#include "window/ladder/call_ladder.h"
#include "window/ladder/ladder_view.h"
#include "window/ladder/lane_names_store.h"
#include "window/picture_title.h"
#include "window/table_text.h"

namespace sigrune {

namespace {

// The calls named in the title and above the ladder: a few, then how many more.
constexpr std::size_t kHeadlines = 5;

QString MoreText(std::size_t more) {
  return FlowWindow::tr("+ %1 more").arg(QString::fromStdString(GroupedDigits(more)));
}

}  // namespace

FlowWindow::FlowWindow(const TraceDocument& document, std::vector<CallNumber> calls,
                       LaneNamesStore& names, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window),
      document_(document),
      calls_(std::move(calls)),
      names_(names),
      dialogs_(dialogs) {
  setObjectName(QStringLiteral("flowWindow"));
  QStringList numbers;
  for (std::size_t k = 0; k < calls_.size() && k < kHeadlines; ++k) {
    numbers << QString::number(calls_[k].value);
  }
  QString title = numbers.join(QLatin1String(", "));
  if (calls_.size() > kHeadlines) {
    title += QLatin1Char(' ') + MoreText(calls_.size() - kHeadlines);
  }
  setWindowTitle((calls_.size() == 1 ? tr("Flow of call %1") : tr("Flow of calls %1")).arg(title));

  heading_ = new QLabel;
  heading_->setObjectName(QStringLiteral("flowCalls"));
  heading_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // The numbers of a call with much overlap sending run long: they must not widen the window.
  heading_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  withRelated_ = new QCheckBox(tr("With &related legs"));
  withRelated_->setObjectName(QStringLiteral("withRelated"));
  const bool anyRelated = std::any_of(calls_.begin(), calls_.end(), [&](CallNumber call) {
    return static_cast<bool>(document_.Calls().Record(call).related);
  });
  withRelated_->setChecked(anyRelated);
  withRelated_->setEnabled(anyRelated);
  if (!anyRelated) {
    withRelated_->setToolTip(calls_.size() == 1 ? tr("This call has no related leg.")
                                                : tr("No call here has one."));
  }
  time_ = new QComboBox;
  time_->setObjectName(QStringLiteral("flowTime"));
  time_->addItem(tr("Absolute time"), static_cast<int>(LadderTime::Absolute));
  time_->addItem(tr("Relative time"), static_cast<int>(LadderTime::Relative));

  auto* controls = new QHBoxLayout;
  controls->addWidget(withRelated_);
  controls->addWidget(time_);
  controls->addStretch(1);
  controls->addWidget(new QLabel(tr("Export:")));
  for (const PictureFormatEntry& entry : kPictureFormats) {
    auto* button = new QPushButton(PictureExportText(entry.button));
    button->setObjectName(QLatin1String(entry.objectName));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, format = entry.format] { Export(format); });
    controls->addWidget(button);
  }

  view_ = new LadderView;
  view_->setObjectName(QStringLiteral("ladder"));
  status_ = new QLabel;
  status_->setObjectName(QStringLiteral("flowStatus"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading_);
  layout->addLayout(controls);
  layout->addWidget(view_, 1);
  layout->addWidget(status_);
  setFocusProxy(view_);
  // Up and Down move between the arrows from the start.
  view_->setFocus();

  connect(withRelated_, &QCheckBox::toggled, this, &FlowWindow::Rebuild);
  connect(time_, &QComboBox::currentIndexChanged, this, [this] {
    picture_->SetTime(static_cast<LadderTime>(time_->currentData().toInt()));
    view_->ShowPicture(picture_.get());
  });
  connect(view_, &LadderView::RowChosen, this, [this](std::size_t row) {
    selected_ = picture_->Flow().arrows[row].message;
    emit MessageChosen(selected_);
  });
  connect(view_, &LadderView::LaneDoubleClicked, this, &FlowWindow::EditLaneName);
  connect(view_, &LadderView::LaneRenamed, this, &FlowWindow::RenameLane);
  connect(&names_, &LaneNamesStore::NamesChanged, this, [this] {
    picture_->SetTitles(LaneTitles(picture_->Flow(), names_));
    view_->ShowPicture(picture_.get());
  });
  Rebuild();
  // A ladder of many lanes is scrolled across rather than wider than the screen.
  QSize size = sizeHint();
  if (const QScreen* shown = screen()) {
    size = size.boundedTo(shown->availableGeometry().size() * 9 / 10);
  }
  resize(size);
}

FlowWindow::~FlowWindow() = default;

void FlowWindow::Rebuild() {
  const bool related = withRelated_->isChecked();
  auto picture = MakeCallLadder(document_, calls_, related, names_, view_->font());
  std::swap(picture_, picture);
  picture_->SetTime(static_cast<LadderTime>(time_->currentData().toInt()));
  view_->ShowPicture(picture_.get());
  ShowSelectedMessage(selected_);

  std::vector<CallNumber> shown = calls_;
  for (const CallNumber call : calls_) {
    if (const CallNumber other = document_.Calls().Record(call).related; related && other) {
      shown.push_back(other);
    }
  }
  std::sort(shown.begin(), shown.end());
  shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
  QStringList lines;
  for (std::size_t k = 0; k < shown.size() && k < kHeadlines; ++k) {
    lines << CallHeadline(document_.Calls(), shown[k]);
  }
  if (shown.size() > kHeadlines) {
    lines << MoreText(shown.size() - kHeadlines);
  }
  heading_->setText(lines.join(QLatin1Char('\n')));
  status_->setText(QString::fromStdString(CountOf(picture_->Rows(), "message", "messages")) +
                   tr(", %1").arg(QString::fromStdString(
                       CountOf(picture_->Flow().lanes.size(), "lane", "lanes"))));
}

void FlowWindow::ShowSelectedMessage(MessageNumber message) {
  selected_ = message;
  view_->SelectRow(ArrowOfMessage(picture_->Flow(), message));
}

void FlowWindow::EditLaneName(std::size_t lane) {
  const FlowLane& party = picture_->Flow().lanes[lane];
  if (party.server || party.address.empty()) {
    status_->setText(tr("Lanes are named by their address; this one has none."));
    return;
  }
  view_->EditLaneName(lane, names_.Name(FromLatin1(party.address)));
}

void FlowWindow::RenameLane(std::size_t lane, const QString& name) {
  names_.SetName(FromLatin1(picture_->Flow().lanes[lane].address), name);
}

void FlowWindow::Export(LadderFormat format) {
  if (format == LadderFormat::Png && picture_->Height() > kMostPngHeight) {
    const std::optional<int> choice = dialogs_.Choose(
        this, MessageIcon::Exclamation, tr("Export Flow"),
        tr("This ladder is %1 pixels high, and a PNG image holds at most %2. Export it as SVG or "
           "PDF instead?")
            .arg(
                QString::fromStdString(GroupedDigits(static_cast<std::size_t>(picture_->Height()))),
                QString::fromStdString(GroupedDigits(kMostPngHeight))),
        {PictureExportText(PictureFormatOf(LadderFormat::Svg).button),
         PictureExportText(PictureFormatOf(LadderFormat::Pdf).button)});
    if (!choice) {
      return;
    }
    format = *choice == 0 ? LadderFormat::Svg : LadderFormat::Pdf;
  }
  QString error;
  const std::optional<QString> path =
      ChoosePictureTarget(dialogs_, this, tr("Export Flow"), format, document_.Path(), error);
  if (!path) {
    return;
  }
  if (error.isEmpty()) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    error = ExportLadder(*picture_, format, *path,
                         LadderTitle(document_, picture_->Flow(), windowTitle()));
    QApplication::restoreOverrideCursor();
  }
  if (!error.isEmpty()) {
    dialogs_.ShowMessage(this, MessageIcon::Critical, tr("Export Flow"), error);
    return;
  }
  status_->setText(tr("Written to %1.").arg(*path));
}

}  // namespace sigrune
