#pragma once

#include "platform/platform.h"

namespace sigrune {

class QtDialogs : public Dialogs {
 public:
  std::optional<QStringList> OpenFileNames(QWidget* parent, const QStringList& nameFilters,
                                           const QString& selectedFilter) override;
  std::optional<QString> SaveFileName(QWidget* parent, const QString& title,
                                      const QStringList& nameFilters) override;
  void ShowMessage(QWidget* parent, MessageIcon icon, const QString& title,
                   const QString& text) override;
  std::optional<int> Choose(QWidget* parent, MessageIcon icon, const QString& title,
                            const QString& text, const QStringList& choices) override;
};

class QtLauncher : public Launcher {
 public:
  bool OpenDocument(const QString& path) override;
  bool StartProgram(const QString& program, const QStringList& arguments) override;
};

}  // namespace sigrune
