// The file dialog of the File menu's exports, with the choice of which PDUs the file takes.
#pragma once

#include <QFileDialog>

class QRadioButton;

// A file dialog for saving an export, and under it "All N captured PDUs" or "The M PDUs displayed" (those the
// display filter lists; the default). Always the toolkit's own dialog: the desktop's has no room for the choice,
// and this one can be answered by a test like any window. UI thread only.
class CExportDialog : public QFileDialog {
    Q_OBJECT
public:
    CExportDialog(QWidget* parent, const QString& title, const QString& folder, const QString& nameFilter,
                  const QString& suffix, int captured, int displayed);

    bool DisplayedOnly() const;
    QRadioButton* AllButton() const { return m_all; }
    QRadioButton* DisplayedButton() const { return m_displayed; }

private:
    QRadioButton* m_all;
    QRadioButton* m_displayed;
};
