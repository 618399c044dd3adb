#pragma once

// The filter bar's field: one line of terms (`type:setup gw:10.1.1.5`) that the
// window applies after a short quiet, with the last expressions used in its drop-down. It only
// edits and tells: the window reads the expression and says whether it was one.

#include <QComboBox>
#include <QString>
#include <QTimer>

namespace sigrune {

class WhereBar : public QComboBox {
  Q_OBJECT

 public:
  explicit WhereBar(QWidget* parent = nullptr);

  QString Text() const;
  // An edit waits for its quiet to end.
  bool Pending() const { return quiet_.isActive(); }

  // The expression did not parse: the field turns red and the tooltip says why.
  void ShowError(const QString& reason);
  void ShowAccepted();
  // Puts the text in the field in place of what it held and applies it at once, as Enter does.
  void SetText(const QString& text);
  // Puts the expression first in the drop-down and in the settings, once.
  void Remember(const QString& text);

 signals:
  // The text after the edits stopped, or at once on Enter, Esc or a pick from the drop-down.
  void ExpressionChanged(const QString& text);
  // Esc in the field when it held nothing: nothing more to clear there.
  void EscapedEmpty();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Apply();

  QTimer quiet_;
  bool error_ = false;  // what the field holds is no expression: it is not remembered
};

}  // namespace sigrune
