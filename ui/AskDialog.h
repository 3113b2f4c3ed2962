// The layout of a dialog that asks for one value: its field under a label, a line saying why the value
// was refused, OK and Cancel.
#pragma once

#include <QString>

class QDialog;
class QLabel;
class QWidget;

namespace ask_dialog {

// Lays out the dialog and styles message as its refusal line; OK accepts, Cancel rejects.
void LayOut(QDialog& dialog, const QString& label, QWidget* field, QLabel* message);

} // namespace ask_dialog
