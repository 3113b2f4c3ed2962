// The export dialog: a file name and the PDUs it takes.
#include "ui/ExportDialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>

CExportDialog::CExportDialog(QWidget* parent, const QString& title, const QString& folder, const QString& nameFilter,
                             const QString& suffix, int captured, int displayed)
    : QFileDialog(parent, title, folder, nameFilter),
      m_all(new QRadioButton(QStringLiteral("&All %1 captured PDUs").arg(captured))),
      m_displayed(new QRadioButton(QStringLiteral("The %1 PDUs &displayed").arg(displayed))) {
    setObjectName("ExportDialog");
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setDefaultSuffix(suffix);
    m_all->setObjectName("ExportAll");
    m_displayed->setObjectName("ExportDisplayed");
    m_displayed->setChecked(true);
    auto* range = new QGroupBox(QStringLiteral("PDUs"), this);
    auto* choices = new QHBoxLayout(range);
    choices->addWidget(m_displayed);
    choices->addWidget(m_all);
    choices->addStretch(1);
    // The toolkit's dialog lays itself out in a grid: the choice goes in a row of its own under the file name.
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(range, grid->rowCount(), 0, 1, grid->columnCount());
}

bool CExportDialog::DisplayedOnly() const { return m_displayed->isChecked(); }
