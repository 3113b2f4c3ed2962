// The "Statistics" page: the run's counts per command and per status, the submit_sm rate and the latency.
#pragma once

#include "simulator/Statistics.h"

#include <QWidget>

#include <functional>

class CStatisticsModel;
class QBarSet;
class QChartView;
class QLabel;
class QLineSeries;
class QPushButton;
class QTableView;
class QTimer;
class QValueAxis;

// Shows the one statistics model the control API and the headless summary read too: two tables over
// it, a summary line, submit_sm per second over the last five minutes and the latency histogram.
// Redraws once a second (and when shown), never per record; the charts only while it is visible.
// UI thread only.
class CStatisticsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 1000;
    // Asks for the file "Export CSV..." writes; empty when the user cancels.
    using FileChooser = std::function<QString(QWidget* parent)>;

    explicit CStatisticsView(const CStatistics& statistics, QWidget* parent = nullptr);

    // Brings the tables, the summary and the charts up to date.
    void Refresh();
    // "Export CSV...": both tables to the file the chooser names. False when nothing was written.
    bool ExportCsv();
    void SetFileChooser(FileChooser chooser) { m_chooseFile = std::move(chooser); }

    QTableView* Commands() const { return m_commands; }
    QTableView* Statuses() const { return m_statuses; }
    QLabel* Summary() const { return m_summary; }
    QPushButton* ExportButton() const { return m_export; }
    QLineSeries* RateSeries() const { return m_rate; }
    QBarSet* LatencyBars(CStatistics::Answerer by) const {
        return m_latency[by == CStatistics::Answerer::Tarnwick ? 0 : 1];
    }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QChartView* CreateRateChart();
    QChartView* CreateLatencyChart();
    void RefreshCharts();

    const CStatistics& m_statistics;
    CStatisticsModel* m_commandModel = nullptr;
    CStatisticsModel* m_statusModel = nullptr;
    QTableView* m_commands = nullptr;
    QTableView* m_statuses = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_export = nullptr;
    QLineSeries* m_rate = nullptr;
    QValueAxis* m_rateAxis = nullptr;
    QBarSet* m_latency[2] = {}; // Tarnwick's answers, the ESMEs' answers
    QValueAxis* m_latencyAxis = nullptr;
    QTimer* m_timer = nullptr;
    FileChooser m_chooseFile;
};
