#include "window/where_bar.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>

#include "platform/user_settings.h"

namespace sigrune {

namespace {

constexpr int kQuietMilliseconds = 150;
constexpr int kRemembered = 20;

// An INI file of its own (~/.config/sigrune/filter-bar.ini), apart from any other setting.
std::unique_ptr<QSettings> Settings() {
  return SettingsFile(QStringLiteral("filter-bar"));
}

const QString kHistoryKey = QStringLiteral("history");

QStringList History() {
  const std::unique_ptr<QSettings> settings = Settings();
  return settings ? settings->value(kHistoryKey).toStringList().mid(0, kRemembered) : QStringList();
}

}  // namespace

WhereBar::WhereBar(QWidget* parent) : QComboBox(parent) {
  setObjectName(QStringLiteral("whereBar"));
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);  // Remember() keeps the order: the newest first
  setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  setMinimumContentsLength(40);
  lineEdit()->setPlaceholderText(
      tr("Filter: type:setup gw:10.1.1.5 from:10:40 -outcome:answered cause:17  (Ctrl+/)"));
  lineEdit()->setClearButtonEnabled(true);
  lineEdit()->installEventFilter(this);
  addItems(History());
  setCurrentIndex(-1);
  setEditText(QString());

  quiet_.setSingleShot(true);
  quiet_.setInterval(kQuietMilliseconds);
  connect(&quiet_, &QTimer::timeout, this, &WhereBar::Apply);
  connect(lineEdit(), &QLineEdit::textEdited, this, [this] { quiet_.start(); });
  // The clear button changes the text without an edit.
  connect(lineEdit(), &QLineEdit::textChanged, this, [this](const QString& text) {
    if (text.isEmpty()) {
      quiet_.start();
    }
  });
  connect(lineEdit(), &QLineEdit::returnPressed, this, [this] {
    Apply();
    Remember(Text());
  });
  connect(this, &QComboBox::textActivated, this, [this] { Apply(); });
}

QString WhereBar::Text() const {
  return currentText();
}

void WhereBar::Apply() {
  quiet_.stop();
  emit ExpressionChanged(Text());
}

void WhereBar::SetText(const QString& text) {
  setEditText(text);
  Apply();
}

void WhereBar::ShowError(const QString& reason) {
  // Red mixed into the palette's own field colour, so that the text stays readable on a dark one.
  const QColor base = palette().color(QPalette::Base);
  const QColor red(255, 0, 0);
  constexpr double kRed = 0.35;
  QPalette tinted = lineEdit()->palette();
  tinted.setColor(QPalette::Base,
                  QColor::fromRgbF(static_cast<float>(base.redF() * (1 - kRed) + red.redF() * kRed),
                                   static_cast<float>(base.greenF() * (1 - kRed)),
                                   static_cast<float>(base.blueF() * (1 - kRed))));
  lineEdit()->setPalette(tinted);
  lineEdit()->setToolTip(reason);
  error_ = true;
}

void WhereBar::ShowAccepted() {
  lineEdit()->setPalette(palette());
  lineEdit()->setToolTip(QString());
  error_ = false;
}

void WhereBar::Remember(const QString& text) {
  if (text.trimmed().isEmpty() || error_) {
    return;
  }
  QStringList history = History();
  history.removeAll(text);
  history.prepend(text);
  history = history.mid(0, kRemembered);
  if (const std::unique_ptr<QSettings> settings = Settings()) {
    settings->setValue(kHistoryKey, history);
  }
  // The edited text survives the drop-down's new items.
  const QString edited = lineEdit()->text();
  const int cursor = lineEdit()->cursorPosition();
  clear();
  addItems(history);
  setCurrentIndex(-1);
  setEditText(edited);
  lineEdit()->setCursorPosition(cursor);
}

bool WhereBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lineEdit()) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !view()->isVisible()) {
      if (lineEdit()->text().isEmpty()) {
        emit EscapedEmpty();
        return true;
      }
      lineEdit()->clear();
      Apply();
      return true;
    }
    if (event->type() == QEvent::FocusOut && !view()->isVisible()) {
      Remember(Text());
    }
  }
  return QComboBox::eventFilter(watched, event);
}

}  // namespace sigrune
