#include "window/application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "version.h"
#include "window/main_window.h"

namespace sigrune {

namespace {

void DescribeOptions(QCommandLineParser& parser) {
  parser.setApplicationDescription(QString::fromUtf8(kDescription));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(
      {QStringLiteral("follow"),
       QApplication::translate("main", "Keep reading what is appended to the last trace file.")});
  parser.addPositionalArgument(
      QStringLiteral("traces"),
      QApplication::translate("main", "The trace files to open, read as one trace."),
      QStringLiteral("[TRACE...]"));
}

// Writes the whole text to standard output; a failure is told on standard error.
int PrintToStandardOutput(const QByteArray& text) {
  if (std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout) ==
          static_cast<std::size_t>(text.size()) &&
      std::fflush(stdout) == 0) {
    return 0;
  }
  std::fprintf(stderr, "sigrune: write error: %s\n", std::strerror(errno));
  return 1;
}

}  // namespace

std::optional<int> AnswerHelpOrVersion(const QStringList& arguments) {
  QCommandLineParser parser;
  DescribeOptions(parser);
  // Options of Qt's own (-platform, -style) are unknown here and wait for the QApplication.
  parser.parse(arguments);
  if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
    // Without a QApplication the parser cannot know the program's name.
    QString help = parser.helpText();
    if (!arguments.isEmpty()) {
      help.replace(QLatin1String("<executable_name>"), arguments.constFirst());
    }
    return PrintToStandardOutput(help.toLocal8Bit());
  }
  if (parser.isSet(QStringLiteral("version"))) {
    return PrintToStandardOutput(QByteArray("sigrune ") + kVersion + '\n');
  }
  return std::nullopt;
}

int RunWindowApplication(const QStringList& arguments, Dialogs& dialogs, Launcher& launcher) {
  if (const std::optional<int> answered = AnswerHelpOrVersion(arguments)) {
    return *answered;
  }
  QCommandLineParser parser;
  DescribeOptions(parser);
  const bool parsed = parser.parse(arguments);
  const QStringList traces = parser.positionalArguments();
  const bool follow = parsed && parser.isSet(QStringLiteral("follow"));
  if (!parsed || (follow && traces.isEmpty())) {
    std::fprintf(stderr, "sigrune: %s\n%s",
                 qPrintable(parsed ? QApplication::translate("main", "--follow needs a trace file")
                                   : parser.errorText()),
                 qPrintable(parser.helpText()));
    return 2;
  }

  MainWindow window(dialogs, launcher);
  window.show();
  if (!traces.isEmpty()) {
    QTimer::singleShot(0, &window,
                       [&window, traces, follow] { window.OpenTraceFiles(traces, follow); });
  }
  return QApplication::exec();
}

}  // namespace sigrune
