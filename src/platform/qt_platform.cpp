#include "platform/qt_platform.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <algorithm>

#include "platform/user_settings.h"

namespace sigrune {

std::optional<QStringList> QtDialogs::OpenFileNames(QWidget* parent, const QStringList& nameFilters,
                                                    const QString& selectedFilter) {
  QFileDialog dialog(parent, QObject::tr("Open"));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilters(nameFilters);
  dialog.selectNameFilter(selectedFilter);
  const QString folder = LastFolder(QStringLiteral("Open"));
  if (!folder.isEmpty()) {
    dialog.setDirectory(folder);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  RememberFolder(QStringLiteral("Open"), dialog.selectedFiles().constFirst());
  return dialog.selectedFiles();
}

std::optional<QString> QtDialogs::SaveFileName(QWidget* parent, const QString& title,
                                               const QStringList& nameFilters) {
  // Each save dialog, known by its title, starts in the folder it last saved to.
  const QString path = QFileDialog::getSaveFileName(parent, title, LastFolder(title),
                                                    nameFilters.join(QLatin1String(";;")));
  if (path.isEmpty()) {
    return std::nullopt;
  }
  RememberFolder(title, path);
  return path;
}

namespace {

// Qt's own placement takes off a guessed frame, 10 by 40 pixels, whenever it cannot measure one
// (no window manager, or none that has told it yet), which moves a box up and left towards the
// screen's corner. Centred here on the parent's frame as it is when the box shows.
class CentredMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    const QWidget* window = parentWidget() != nullptr ? parentWidget()->window() : nullptr;
    if (window == nullptr || !window->isVisible()) {
      return;
    }
    const QRect frame = window->frameGeometry();
    const QSize margins = frame.size() - window->size();
    QRect placed(QPoint(), size() + margins);
    placed.moveCenter(frame.center());
    if (const QScreen* screen = window->screen()) {
      // Kept whole on the screen, the title bar visible when it is too tall.
      const QRect available = screen->availableGeometry();
      placed.moveRight(std::min(placed.right(), available.right()));
      placed.moveBottom(std::min(placed.bottom(), available.bottom()));
      placed.moveLeft(std::max(placed.left(), available.left()));
      placed.moveTop(std::max(placed.top(), available.top()));
    }
    move(placed.topLeft());
  }
};

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None:
      break;
    case MessageIcon::Information:
      return QMessageBox::Information;
    case MessageIcon::Exclamation:
      return QMessageBox::Warning;
    case MessageIcon::Critical:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

// Qt wraps a box's text at 500 pixels, and may break a word such as "H.225" to do so: a text whose
// lines fit in half the screen is laid out with its lines whole.
void SetBoxText(QMessageBox& box, const QString& text) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const int room = screen != nullptr ? screen->availableGeometry().width() / 2 : 640;
  const QFontMetrics metrics(box.font());
  const QStringList lines = text.split(QLatin1Char('\n'));
  if (std::all_of(lines.begin(), lines.end(),
                  [&](const QString& line) { return metrics.horizontalAdvance(line) <= room; })) {
    box.setTextFormat(Qt::RichText);
    box.setText(QLatin1String("<p style=\"white-space:pre\">") + text.toHtmlEscaped() +
                QLatin1String("</p>"));
  } else {
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
  }
}

}  // namespace

void QtDialogs::ShowMessage(QWidget* parent, MessageIcon icon, const QString& title,
                            const QString& text) {
  CentredMessageBox box(BoxIcon(icon), title, QString(), QMessageBox::Ok, parent);
  SetBoxText(box, text);
  box.exec();
}

std::optional<int> QtDialogs::Choose(QWidget* parent, MessageIcon icon, const QString& title,
                                     const QString& text, const QStringList& choices) {
  CentredMessageBox box(BoxIcon(icon), title, QString(), QMessageBox::Cancel, parent);
  SetBoxText(box, text);
  QList<QAbstractButton*> buttons;
  buttons.reserve(choices.size());
  for (const QString& choice : choices) {
    buttons.append(box.addButton(choice, QMessageBox::AcceptRole));
  }
  box.exec();
  const qsizetype chosen = buttons.indexOf(box.clickedButton());
  return chosen < 0 ? std::nullopt : std::optional<int>(static_cast<int>(chosen));
}

bool QtLauncher::OpenDocument(const QString& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtLauncher::StartProgram(const QString& program, const QStringList& arguments) {
  return QProcess::startDetached(program, arguments);
}

}  // namespace sigrune
