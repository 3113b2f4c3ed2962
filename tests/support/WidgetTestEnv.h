// Gives a widget test executable its QApplication and a settings store of its own.
#pragma once

#include "simulator/Settings.h"
#include "tests/support/QtTestEnv.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

namespace test_qt {

// The QApplication (offscreen, as ctest sets QT_QPA_PLATFORM), with the "Vendrel"/"Tarnwick"
// settings pointed at a temporary folder, so no test sees a user's settings or another test's.
// ClearSettings empties them between tests.
class WidgetEnvironment : public AppEnvironment<QApplication> {
protected:
    void Prepare() override
    {
        CSettings::SelectStore();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
    }

private:
    QTemporaryDir m_settingsDir;
};

inline ::testing::Environment* const kWidgetEnvironment =
    (s_widgetApplication = true, ::testing::AddGlobalTestEnvironment(new WidgetEnvironment));

inline void ClearSettings() { QSettings().clear(); }

} // namespace test_qt
