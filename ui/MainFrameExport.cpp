// The File menu's exports: the captured PDUs as pcap, their decode as text, and as JSON.
#include "ui/MainFrame.h"

#include "capture/PcapWriter.h"
#include "simulator/Simulator.h"
#include "ui/ExportDialog.h"
#include "ui/PacketListModel.h"
#include "ui/ViewLog.h"
#include "ui/ViewLogBrief.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>

namespace {

bool WriteFile(const QString& path, const std::string& bytes, QString& error) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()) && file.flush())
        return true;
    error = file.errorString();
    return false;
}

} // namespace

void CMainFrame::Export(const QString& title, const QString& nameFilter, const QString& suffix,
                        const ExportWriter& write) {
    CExportDialog dialog(this, title, m_captureFolder, nameFilter, suffix, m_viewLog->Brief()->Model()->rowCount(),
                         m_viewLog->Brief()->model()->rowCount());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    m_captureFolder = QFileInfo(path).absolutePath();
    const std::vector<int32_t> records = m_viewLog->Records(dialog.DisplayedOnly());
    QString error;
    if (!write(records, path, error)) {
        QMessageBox::warning(this, title, QString("%1 could not be written:\n%2").arg(QDir::toNativeSeparators(path), error));
        return;
    }
    statusBar()->showMessage(QString("%1 PDUs written to %2").arg(records.size()).arg(QDir::toNativeSeparators(path)),
                             kStatusMessageMs);
}

void CMainFrame::ExportPdus() {
    Export("Export PDUs", "Packet capture (*.pcap)", "pcap", [this](const auto& records, const QString& path, QString& error) {
        std::string why;
        if (pcap::ExportRecords(m_simulator.Log(), records, QFile::encodeName(path).toStdString(), why))
            return true;
        error = QString::fromStdString(why);
        return false;
    });
}

void CMainFrame::ExportDecode() {
    Export("Export decode as text", "Text (*.txt)", "txt", [this](const auto& records, const QString& path, QString& error) {
        return WriteFile(path, m_viewLog->DecodeText(records), error);
    });
}

void CMainFrame::ExportJson() {
    Export("Export as JSON", "JSON lines (*.json *.jsonl)", "json",
           [this](const auto& records, const QString& path, QString& error) {
               return WriteFile(path, m_viewLog->Json(records), error);
           });
}
