// filter-bench: how long the display filter takes over 100,000 captured records, for a few field expressions.
//
// The capture is SMPP traffic as an ESME and the SMSC exchange it: submit_sm with its answer, deliver_sm with its
// answer, over four connections, until the log's area is full (some 14,000 records). Two figures per expression,
// each the median of five runs in CPU time (the machine may be shared), per 100,000 records: the filter alone
// (CDisplayFilter::Matches over 100,000 records, going round the full log as often as it takes), and the
// "SMPP Decoder" page applying it on Return (offscreen: the proxy reads every row again, the list lays out the
// rows that remain), scaled from the full log to 100,000 rows.
// Usage: filter-bench [EXPRESSION...]
#include "analysis/DisplayFilter.h"
#include "analysis/PacketPairs.h"
#include "tests/support/Bytes.h"
#include "ui/FilterLine.h"
#include "ui/PacketListModel.h"
#include "ui/ViewLog.h"
#include "ui/ViewLogBrief.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using test_bytes::Builder;
using test_bytes::SmppPdu;
using Bytes = std::vector<uint8_t>;

constexpr int kRecords = 100'000;
constexpr int kRuns = 5;

Bytes Message(uint32_t command, uint32_t sequence, uint32_t n) {
    const std::string destination = "86139" + std::to_string(10000000 + n % 5000);
    const std::string text = "Your verification code is " + std::to_string(100000 + n) + ". Bye!";
    return SmppPdu(command, sequence,
                   test_bytes::SmppMessageBody("8613800138000", destination, 0, n % 7 ? 0 : 8, Builder().raw(text)));
}

// Fills the log with exchanges as far as its area holds them without a wipe; returns the records stored.
int Fill(CPacketLog& log) {
    constexpr uint32_t kEsme = 0xC0A80105, kSmsc = 0xC0A80101;
    uint32_t used = 0;
    for (uint32_t n = 0;; ++n) {
        const bool submit = n % 2 == 0;
        const Bytes request = Message(submit ? 0x00000004 : 0x00000005, n, n);
        const Bytes answer = SmppPdu(submit ? 0x80000004 : 0x80000005, n, Builder().cstr(submit ? "id" : ""), n % 11 ? 0 : 0x58);
        const uint32_t size = 2 * CPacketLog::kHeaderSize + uint32_t(request.size() + answer.size());
        if (used + size > CPacketLog::kAreaSize)
            return log.GetCount();
        used += size;
        const int64_t time = 1'700'000'000'000'000 + int64_t(n) * 1000;
        const uint64_t connection = 1 + n % 4;
        const uint32_t from = submit ? kEsme : kSmsc, to = submit ? kSmsc : kEsme;
        log.AddCaptured(2, time, from, 40000, {to, 2775}, request.data(), uint32_t(request.size()), connection);
        log.AddCaptured(2, time + 300, to, 2775, {from, 40000}, answer.data(), uint32_t(answer.size()), connection);
    }
}

// The process's CPU time: on a machine others share, the time the filter works, not the time it waits its turn.
class CpuClock {
public:
    CpuClock() : m_start(Now()) {}
    double Ms() const { return (Now() - m_start) / 1e6; }

private:
    static double Now() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
    }
    double m_start;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Milliseconds of CDisplayFilter::Matches over kRecords records, going round the log; matched: how many held.
double FilterAlone(const CPacketDecoder& decoder, const CPacketLog& log, const CPacketPairs& pairs,
                   const std::string& expression, int& matched) {
    CDisplayFilter filter(decoder);
    display_filter::Error error;
    if (!filter.Parse(expression, error)) {
        std::fprintf(stderr, "filter-bench: %s: %s\n", expression.c_str(), error.what.c_str());
        std::exit(2);
    }
    std::vector<double> runs;
    for (int run = 0; run < kRuns; ++run) {
        const CpuClock clock;
        matched = 0;
        for (int i = 0; i < kRecords; ++i)
            matched += filter.Matches(i % log.GetCount(), log, pairs);
        runs.push_back(clock.Ms());
    }
    return Median(runs);
}

// Milliseconds from Return in the filter line to the list narrowed, for the whole log, scaled to kRecords.
double ThroughThePage(CViewLog& view, const QString& expression, int& shown) {
    std::vector<double> runs;
    for (int run = 0; run < kRuns; ++run) {
        view.ApplyFilter({});
        QCoreApplication::processEvents();
        view.FilterLine()->setText(expression);
        const CpuClock clock;
        QTest::keyClick(view.FilterLine(), Qt::Key_Return);
        QCoreApplication::processEvents();
        runs.push_back(clock.Ms());
        shown = view.Brief()->model()->rowCount();
    }
    return Median(runs) * kRecords / view.Brief()->Model()->rowCount();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir settingsDir;
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());

    std::vector<std::string> expressions = {
        "smpp.destination_addr == \"8613910000042\"",
        "smpp.short_message contains \"code is 1000\"",
        "smpp.command_status == ESME_RTHROTTLED || smpp.data_coding == 8",
        "submit_sm && smpp.destination_addr matches \"^861391000004[0-9]$\"",
    };
    if (argc > 1)
        expressions.assign(argv + 1, argv + argc);

    CPacketLog log;
    log.Reset();
    const CPacketDecoder decoder;
    CPacketPairs pairs(log, decoder);
    const int records = Fill(log);
    CViewLog view(log, decoder, pairs);
    view.resize(960, 640);
    view.show();
    QCoreApplication::processEvents();
    std::printf("capture: %d records (a full log), each expression over %d records, median of %d runs\n", records,
                kRecords, kRuns);
    for (const std::string& expression : expressions) {
        int matched = 0, shown = 0;
        const double alone = FilterAlone(decoder, log, pairs, expression, matched);
        const double page = ThroughThePage(view, QString::fromStdString(expression), shown);
        std::printf("%-70s filter %7.1f ms (%d held)  page %7.1f ms per 100000 (%d of %d rows)\n", expression.c_str(),
                    alone, matched, page, shown, records);
    }
    return 0;
}
