#pragma once

// Stand-ins for the desktop: scripted dialog answers, and a record of every message box and
// every program or document started.

#include <deque>
#include <optional>
#include <vector>

#include "platform/platform.h"

namespace sigrune {

struct ShownMessageBox {
  MessageIcon icon;
  QString title;
  QString text;
};

class FakeDialogs : public Dialogs {
 public:
  std::optional<QStringList> OpenFileNames(QWidget*, const QStringList& nameFilters,
                                           const QString& selectedFilter) override {
    lastNameFilters = nameFilters;
    lastSelectedFilter = selectedFilter;
    return Next(openAnswers);
  }
  std::optional<QString> SaveFileName(QWidget*, const QString& title,
                                      const QStringList& nameFilters) override {
    lastSaveTitle = title;
    lastSaveNameFilters = nameFilters;
    return Next(saveAnswers);
  }
  void ShowMessage(QWidget*, MessageIcon icon, const QString& title, const QString& text) override {
    messages.push_back({icon, title, text});
  }
  // Recorded with the messages; answered from `choiceAnswers`, Cancel when none is left.
  std::optional<int> Choose(QWidget*, MessageIcon icon, const QString& title, const QString& text,
                            const QStringList&) override {
    messages.push_back({icon, title, text});
    if (choiceAnswers.empty()) {
      return std::nullopt;
    }
    const std::optional<int> answer = choiceAnswers.front();
    choiceAnswers.pop_front();
    return answer;
  }

  std::deque<std::optional<QStringList>> openAnswers;
  std::deque<std::optional<QString>> saveAnswers;
  std::deque<std::optional<int>> choiceAnswers;
  std::vector<ShownMessageBox> messages;
  QStringList lastNameFilters;
  QString lastSelectedFilter;
  QString lastSaveTitle;
  QStringList lastSaveNameFilters;

 private:
  template <class Answer>
  static std::optional<Answer> Next(std::deque<std::optional<Answer>>& answers) {
    if (answers.empty()) {
      return std::nullopt;
    }
    std::optional<Answer> answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

class FakeLauncher : public Launcher {
 public:
  bool OpenDocument(const QString& path) override {
    documents.push_back(path);
    return documentsOpen;
  }
  bool StartProgram(const QString& program, const QStringList& arguments) override {
    programs.push_back(program);
    programArguments.push_back(arguments);
    return true;
  }

  bool documentsOpen = true;
  QStringList documents;
  QStringList programs;
  std::vector<QStringList> programArguments;
};

}  // namespace sigrune
