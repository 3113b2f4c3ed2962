// The statistics page: tables, summary line, charts and the CSV export.
#include "ui/StatisticsView.h"

#include "simulator/Statistics.h"
#include "ui/StatisticsModel.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QValueAxis>

#include <algorithm>

namespace {

constexpr const char* kExportTitle = "Export CSV...";

QString ChooseCsvFile(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, kExportTitle, "tarnwick-statistics.csv",
                                        "Comma-separated values (*.csv);;All files (*)");
}

QTableView* Table(CStatisticsModel* model, QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setSectionResizeMode(CStatisticsModel::kName, QHeaderView::Stretch);
    view->horizontalHeader()->setHighlightSections(false);
    view->setColumnWidth(CStatisticsModel::kProtocol, view->fontMetrics().horizontalAdvance("Protocol") + 20);
    for (int column : {CStatisticsModel::kIn, CStatisticsModel::kOut, CStatisticsModel::kOpened})
        view->setColumnWidth(column, view->fontMetrics().horizontalAdvance("0000000000"));
    return view;
}

// The upper bound of a latency bucket in milliseconds, as short as the axis needs it.
QString BucketLabel(size_t bucket) {
    if (bucket >= CStatistics::kLatencyBoundsUs.size())
        return "more";
    const double ms = double(CStatistics::kLatencyBoundsUs[bucket]) / 1000.0;
    return ms >= 1000 ? QString::number(ms / 1000.0) + "k" : QString::number(ms);
}

QChartView* ChartView(QChart* chart, const QString& name, QWidget* parent) {
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    auto* view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setAccessibleName(name);
    view->setMinimumHeight(180);
    return view;
}

} // namespace

CStatisticsView::CStatisticsView(const CStatistics& statistics, QWidget* parent)
    : QWidget(parent), m_statistics(statistics), m_chooseFile(ChooseCsvFile) {
    setObjectName("StatisticsView");
    m_commandModel = new CStatisticsModel(statistics, CStatisticsModel::Table::Commands, this);
    m_statusModel = new CStatisticsModel(statistics, CStatisticsModel::Table::Statuses, this);
    m_commands = Table(m_commandModel, this);
    m_commands->setObjectName("CommandTable");
    m_statuses = Table(m_statusModel, this);
    m_statuses->setObjectName("StatusTable");
    auto* commandsLabel = new QLabel("&Commands:", this);
    commandsLabel->setBuddy(m_commands);
    auto* statusesLabel = new QLabel("&Statuses:", this);
    statusesLabel->setBuddy(m_statuses);
    m_summary = new QLabel(this);
    m_summary->setObjectName("Summary");
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setWordWrap(true); // the pane may be narrower than the line
    m_export = new QPushButton("E&xport CSV...", this);
    m_export->setObjectName("ExportCsv");
    m_export->setToolTip("Write both tables to a file of comma-separated values");
    connect(m_export, &QPushButton::clicked, this, &CStatisticsView::ExportCsv);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_summary, 0, 0, 1, 2);
    grid->addWidget(commandsLabel, 1, 0);
    grid->addWidget(statusesLabel, 1, 1);
    grid->addWidget(m_commands, 2, 0);
    grid->addWidget(m_statuses, 2, 1);
    grid->addWidget(CreateRateChart(), 3, 0);
    grid->addWidget(CreateLatencyChart(), 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_export);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setRowStretch(2, 1);
    grid->setRowStretch(3, 1);

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CStatisticsView::Refresh);
    m_timer->start(kRefreshMs);
    Refresh();
}

QChartView* CStatisticsView::CreateRateChart() {
    auto* chart = new QChart;
    chart->setTitle("submit_sm per second, last 5 minutes");
    m_rate = new QLineSeries(chart);
    chart->addSeries(m_rate);
    auto* time = new QValueAxis(chart);
    time->setRange(-CStatistics::kHistorySeconds, 0);
    time->setTickCount(6);
    time->setLabelFormat("%d");
    time->setTitleText("seconds ago");
    m_rateAxis = new QValueAxis(chart);
    m_rateAxis->setLabelFormat("%d");
    m_rateAxis->setRange(0, 10);
    chart->addAxis(time, Qt::AlignBottom);
    chart->addAxis(m_rateAxis, Qt::AlignLeft);
    m_rate->attachAxis(time);
    m_rate->attachAxis(m_rateAxis);
    return ChartView(chart, "submit_sm per second over the last 5 minutes", this);
}

QChartView* CStatisticsView::CreateLatencyChart() {
    auto* chart = new QChart;
    chart->setTitle("Response latency, answers per bound in ms");
    m_latency[0] = new QBarSet("Tarnwick's answers", chart);
    m_latency[1] = new QBarSet("ESMEs' answers", chart);
    QStringList categories;
    for (size_t bucket = 0; bucket < size_t(CStatistics::kLatencyBuckets); ++bucket) {
        *m_latency[0] << 0;
        *m_latency[1] << 0;
        categories << BucketLabel(bucket);
    }
    auto* series = new QBarSeries(chart);
    series->append(m_latency[0]);
    series->append(m_latency[1]);
    series->setBarWidth(0.9);
    chart->addSeries(series);
    auto* buckets = new QBarCategoryAxis(chart);
    buckets->append(categories);
    // Seventeen bounds side by side need the room of their height, not of their width.
    buckets->setLabelsAngle(-90);
    buckets->setTruncateLabels(false);
    QFont small = buckets->labelsFont();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    buckets->setLabelsFont(small);
    m_latencyAxis = new QValueAxis(chart);
    m_latencyAxis->setLabelFormat("%d");
    m_latencyAxis->setRange(0, 10);
    chart->addAxis(buckets, Qt::AlignBottom);
    chart->addAxis(m_latencyAxis, Qt::AlignLeft);
    series->attachAxis(buckets);
    series->attachAxis(m_latencyAxis);
    QChartView* view = ChartView(chart, "Response latency histogram", this);
    chart->legend()->show(); // which bars are whose answers
    return view;
}

void CStatisticsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
}

void CStatisticsView::Refresh() {
    m_commandModel->Refresh();
    m_statusModel->Refresh();
    if (!isVisible())
        return;
    const auto latency = [this](const char* whose, CStatistics::Answerer by) {
        const CStatistics::LatencySummary l = m_statistics.Latency(by);
        return QString("Response latency of %1: p50 %2 ms, p90 %3 ms, p99 %4 ms, max %5 ms (%6 answers).\n")
            .arg(whose)
            .arg(l.p50, 0, 'f', 3)
            .arg(l.p90, 0, 'f', 3)
            .arg(l.p99, 0, 'f', 3)
            .arg(l.max, 0, 'f', 3)
            .arg(l.count);
    };
    m_summary->setText(QString("submit_sm per second: %1 (1 s), %2 (10 s), %3 (60 s).  Unanswered requests: %4.  "
                               "Opened from capture files: %5 PDUs, counted apart.\n")
                           .arg(m_statistics.SubmitSmPerSecond(1), 0, 'f', 1)
                           .arg(m_statistics.SubmitSmPerSecond(10), 0, 'f', 1)
                           .arg(m_statistics.SubmitSmPerSecond(60), 0, 'f', 1)
                           .arg(m_statistics.Unanswered())
                           .arg(m_statistics.OpenedCount()) +
                       latency("Tarnwick's answers", CStatistics::Answerer::Tarnwick) +
                       latency("the ESMEs' answers", CStatistics::Answerer::Client) +
                       QString("Queues: %1.").arg(QString::fromStdString(m_statistics.QueuesText())));
    RefreshCharts();
}

void CStatisticsView::RefreshCharts() {
    const std::vector<uint32_t> history = m_statistics.SubmitSmHistory();
    QList<QPointF> points;
    points.reserve(qsizetype(history.size()));
    uint32_t highest = 0;
    for (size_t i = 0; i < history.size(); ++i) {
        points.append(QPointF(double(i) - double(history.size() - 1), history[i]));
        highest = std::max(highest, history[i]);
    }
    m_rate->replace(points);
    m_rateAxis->setRange(0, std::max<uint32_t>(highest, 10));
    m_rateAxis->applyNiceNumbers();

    uint64_t tallest = 0;
    for (const auto by : {CStatistics::Answerer::Tarnwick, CStatistics::Answerer::Client}) {
        const auto& buckets = m_statistics.LatencyBuckets(by);
        for (size_t i = 0; i < buckets.size(); ++i) {
            m_latency[by == CStatistics::Answerer::Tarnwick ? 0 : 1]->replace(qsizetype(i), double(buckets[i]));
            tallest = std::max(tallest, buckets[i]);
        }
    }
    m_latencyAxis->setRange(0, double(std::max<uint64_t>(tallest, 10)));
    m_latencyAxis->applyNiceNumbers();
}

bool CStatisticsView::ExportCsv() {
    const QString path = m_chooseFile(this);
    if (path.isEmpty())
        return false;
    QFile file(path);
    const QByteArray csv = m_statistics.Csv();
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(csv) == csv.size() && file.flush())
        return true;
    QMessageBox::warning(this, kExportTitle, QString("Cannot write %1: %2").arg(path, file.errorString()));
    return false;
}
