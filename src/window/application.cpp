#include "window/application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>

#include "version.h"
#include "window/main_window.h"

namespace sigrune {

int RunWindowApplication(const QStringList& arguments, Dialogs& dialogs, Launcher& launcher) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromUtf8(kDescription));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("trace"),
                               QApplication::translate("main", "The trace file to open."),
                               QStringLiteral("[TRACE]"));
  const bool parsed = parser.parse(arguments);
  if (parsed && parser.isSet(help)) {
    std::fputs(qPrintable(parser.helpText()), stdout);
    return 0;
  }
  if (parsed && parser.isSet(version)) {
    std::printf("sigrune %s\n", kVersion);
    return 0;
  }
  if (!parsed || parser.positionalArguments().size() > 1) {
    std::fprintf(stderr, "sigrune: %s\n%s",
                 qPrintable(parsed ? QApplication::translate("main", "only one trace file, please")
                                   : parser.errorText()),
                 qPrintable(parser.helpText()));
    return 2;
  }

  MainWindow window(dialogs, launcher);
  window.show();
  if (!parser.positionalArguments().isEmpty()) {
    const QString trace = parser.positionalArguments().constFirst();
    QTimer::singleShot(0, &window, [&window, trace] { window.OpenTraceFile(trace); });
  }
  return QApplication::exec();
}

}  // namespace sigrune
