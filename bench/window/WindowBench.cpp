// window-bench: how late the window's event loop runs, and how many submit_sm it answers and lists,
// while tarnwick-load keeps 4 connections x 64 submit_sm in flight against the real window.
//
// The window is started as a user starts it, on the "SMPP Decoder" page. A 10 ms timer measures
// the event loop's lateness (how much later than due each tick fires); the load generator runs as
// a separate process. The list runs as an analysing user has it: the display filter `submit_sm`
// applied and following the capture. Usage: window-bench [SECONDS] [CONNECTIONS] [WINDOW] [FILTER] [follow|still]
#include "simulator/Settings.h"
#include "ui/MainFrame.h"
#include "ui/PacketListModel.h"
#include "ui/PelmoraApp.h"
#include "ui/ViewLog.h"
#include "ui/ViewLogBrief.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTickMs = 10;

double Percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(p * double(values.size())));
    return values[at];
}

} // namespace

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    const QStringList args = QApplication::arguments();
    const QString seconds = args.value(1, "5");
    const QString connections = args.value(2, "4");
    const QString window = args.value(3, "64");
    const QString filter = args.value(4, "submit_sm");
    const bool follow = args.value(5, "follow") == "follow";

    // A settings folder of its own: the default filter, so every PDU is captured and listed.
    QTemporaryDir settingsDir;
    CSettings::SelectStore();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    CPelmoraApp app({0, 0, 0, 0, QHostAddress(QHostAddress::LocalHost)});
    app.InitInstance();
    CMainFrame* frame = app.MainFrame();
    frame->resize(1100, 760);
    frame->SelectRow(1);
    frame->SetExitPrompt([](QWidget*) { return QMessageBox::Yes; });

    CViewLogBrief* brief = frame->ViewLog()->Brief();
    if (!frame->ViewLog()->ApplyFilter(filter)) {
        std::fprintf(stderr, "window-bench: the display filter \"%s\" does not parse\n", qPrintable(filter));
        return 2;
    }
    brief->SetFollowing(follow);

    // Rows listed: every record that became a row, across the wipes of a full log; and the rows the
    // display filter shows of them.
    qint64 listed = 0, shown = 0;
    qint64 insertBatches = 0;
    QObject::connect(brief->Model(), &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int last) {
        listed += last - first + 1;
        ++insertBatches;
    });
    QObject::connect(brief->model(), &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) { shown += last - first + 1; });

    std::vector<double> lateness;
    QElapsedTimer clock;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(kTickMs);
    qint64 last = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        lateness.push_back(std::max(0.0, double(now - last) / 1e6 - kTickMs));
        last = now;
    });

    QProcess load;
    QObject::connect(&load, &QProcess::finished, [&] { QApplication::exit(0); });
    QTimer::singleShot(200, [&] {
        clock.start();
        tick.start();
        listed = 0;
        shown = 0;
        insertBatches = 0;
        load.start(TARNWICK_LOAD, {"--port", QString::number(app.Simulator().Smpp().ListeningPort()), "--connections",
                                   connections, "--window", window, "--seconds", seconds});
    });
    QApplication::exec();
    tick.stop();
    const double elapsed = double(clock.nsecsElapsed()) / 1e9;

    const QString report = QString::fromUtf8(load.readAllStandardOutput()).trimmed();
    const QRegularExpressionMatch match = QRegularExpression(R"(throughput=([0-9.]+))").match(report);
    const double answered = match.hasMatch() ? match.captured(1).toDouble() : 0;
    // Each submit_sm lists as two rows: the request and its response.
    const double listedPerSecond = elapsed > 0 ? double(listed) / 2 / elapsed : 0;
    const double p99 = Percentile(lateness, 0.99);

    std::printf("load: %s\n", qPrintable(report));
    std::printf("window, %s connections x window %s, %.1f s on the SMPP Decoder page, display filter \"%s\", %s\n",
                qPrintable(connections), qPrintable(window), elapsed, qPrintable(filter),
                brief->IsFollowing() ? "following" : "not following");
    std::printf("  10 ms timer lateness: p50 %.2f ms, p99 %.2f ms, max %.2f ms over %zu ticks\n",
                Percentile(lateness, 0.5), p99, Percentile(lateness, 1.0), lateness.size());
    std::printf("  submit_sm answered: %.0f/s; listed: %.0f/s (%lld rows in %lld batches, %lld shown by the filter)\n",
                answered, listedPerSecond, static_cast<long long>(listed), static_cast<long long>(insertBatches),
                static_cast<long long>(shown));
    std::printf("goal p99 lateness < 50 ms:            %s\n", p99 < 50 ? "met" : "missed");
    std::printf("goal >= 200000 submit_sm/s answered and listed: %s\n",
                std::min(answered, listedPerSecond) >= 200000 ? "met" : "missed");
    return load.exitCode();
}
