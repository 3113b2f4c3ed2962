// The tarnwick executable: the SMSC simulator in its window, or headless where there is no display.
#include "app/CommandLine.h"
#include "app/HeadlessConsole.h"
#include "app/HeadlessRunner.h"
#include "simulator/Settings.h"
#include "ui/PelmoraApp.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>

namespace {

QStringList Arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// The window's start-up, then its event loop until the user confirms the close prompt.
int RunWindow(const HeadlessOptions& options, int& argc, char** argv) {
    QApplication qtApp(argc, argv);
    CPelmoraApp app({options.smppPort, options.mobilePort, options.ucpPort, options.cimdPort, options.listen});
    ApplyRunOptions(options, app.Simulator());
    // The consoles live on the server pages now; --trace still lists each captured PDU here.
    CHeadlessTrace trace(app.Simulator().Log(), app.Simulator().Decoder(), std::cout, options.trace);
    if (options.trace)
        app.Simulator().SetTrace([](const std::string& line) { std::cout << line << '\n' << std::flush; });
    // A rules file serves this run only; the Faults page keeps editing the stored rules.
    if (options.faultRules)
        app.Simulator().UseFaultRules(*options.faultRules);
    if (options.accounts)
        app.Simulator().UseAccounts(*options.accounts);
    app.InitInstance();
    // Its start line, or why it did not start, goes to the SMPP page's console; the window runs either way.
    std::optional<CControlServer> control;
    if (options.control) {
        QString error;
        const bool started = control.emplace(app.Simulator()).Start(*options.control, &error);
        const QString line = started ? control->StartLine() : error;
        app.Simulator().Smpp().Report(line.toStdString() + "\r\n");
        std::cout << "[Control] " << line.toStdString() << std::endl;
    }
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    CSettings::SelectStore();
    const HeadlessOptions options = ParseHeadlessOptions(Arguments(argc, argv));
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "%s\n%s", qPrintable(options.error), qPrintable(HeadlessUsage()));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(HeadlessUsage()), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(command_line::VersionLine(command_line::kTarnwick).c_str(), stdout);
        return 0;
    }
    if (!options.headless && !NoDisplay())
        return RunWindow(options, argc, argv);
    if (!options.headless)
        std::fputs("No display: running headless.\n", stderr);
    // The plain Unix event loop dispatches socket events with less overhead than the GLib one.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    return RunHeadless(options, std::cout);
}
