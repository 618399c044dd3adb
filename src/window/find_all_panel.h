#pragma once

// The results of Find All, under the message list: one row per message found, with its number,
// its summary line and the first line of its decoded text that holds the text. Choosing a row
// asks for that message to be shown.

#include <QWidget>
#include <memory>

#include "document/find_all.h"
#include "document/trace_document.h"

class QLabel;
class QTreeView;

namespace sigrune {

class FindAllModel;

class FindAllPanel : public QWidget {
  Q_OBJECT

 public:
  explicit FindAllPanel(QWidget* parent = nullptr);

  // Shows the messages found for `text`; the document must outlive them, or the next Clear.
  void ShowResult(const TraceDocument& document, std::shared_ptr<const FindAllResult> result,
                  const QString& text);
  // Forgets the results and hides the panel (the messages they name may be gone).
  void Clear();

  const QString& Text() const { return text_; }
  // "3 messages match"
  QString Title() const;
  QTreeView* View() const { return view_; }

 signals:
  void MessageChosen(MessageNumber message);

 private:
  FindAllModel* model_ = nullptr;
  QLabel* title_ = nullptr;
  QTreeView* view_ = nullptr;
  QString text_;
};

}  // namespace sigrune
