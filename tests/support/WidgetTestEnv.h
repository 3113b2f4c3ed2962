// Gives a widget test executable its QApplication and a settings store of its own.
#pragma once

#include "simulator/Settings.h"
#include "tests/support/QtTestEnv.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

namespace test_qt {

// A modal window nobody answers holds its exec() and the test with it: one that stays the active
// modal window longer than the bound fails the test and is closed, so the test goes on to its end.
class ModalWatch : public QObject {
public:
    static constexpr int kBoundMs = 5000;
    explicit ModalWatch(QObject* parent) : QObject(parent) { startTimer(kBoundMs / 10); }

protected:
    void timerEvent(QTimerEvent*) override
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != m_modal) {
            m_modal = modal;
            m_since.start();
            return;
        }
        if (!modal || m_since.elapsed() < kBoundMs)
            return;
        ADD_FAILURE() << "the modal window \"" << modal->windowTitle().toStdString() << "\" was left open for "
                      << kBoundMs << " ms; closed";
        m_modal = nullptr;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->done(QDialog::Rejected); // a message box without an escape button ignores close()
        else
            modal->close();
    }

private:
    QPointer<QWidget> m_modal;
    QElapsedTimer m_since;
};

// The QApplication (offscreen, as ctest sets QT_QPA_PLATFORM), with the "Vendrel"/"Tarnwick"
// settings pointed at a temporary folder, so no test sees a user's settings or another test's.
// ClearSettings empties them between tests. A modal window left open is closed by a ModalWatch.
class WidgetEnvironment : public AppEnvironment<QApplication> {
protected:
    void Prepare() override
    {
        CSettings::SelectStore();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
        new ModalWatch(QCoreApplication::instance());
    }

private:
    QTemporaryDir m_settingsDir;
};

inline ::testing::Environment* const kWidgetEnvironment =
    (s_widgetApplication = true, ::testing::AddGlobalTestEnvironment(new WidgetEnvironment));

inline void ClearSettings() { QSettings().clear(); }

// The push button of a window whose text (its '&' included) reads `text`; a failure and null when none does.
inline QPushButton* Button(QWidget& window, const QString& text)
{
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->text() == text)
            return button;
    ADD_FAILURE() << "no button " << text.toStdString();
    return nullptr;
}

} // namespace test_qt
