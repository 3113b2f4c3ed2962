// The tarnwick executable: the SMSC simulator, headless until the window arrives.
#include "app/HeadlessRunner.h"

#include <QCoreApplication>

#include <cstdio>
#include <iostream>

int main(int argc, char** argv) {
    // The plain Unix event loop dispatches socket events with less overhead than the GLib one.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Vendrel");
    QCoreApplication::setApplicationName("Tarnwick");

    const HeadlessOptions options = ParseHeadlessOptions(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "%s\n%s", qPrintable(options.error), qPrintable(HeadlessUsage()));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(HeadlessUsage()), stdout);
        return 0;
    }
    if (!options.headless && !NoDisplay())
        std::fputs("The Tarnwick window is not available in this build; running headless.\n", stderr);
    return RunHeadless(options, std::cout);
}
