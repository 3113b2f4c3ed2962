// Gives a widget test executable its QApplication and a settings store of its own.
#pragma once

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace test_qt {

// Creates the QApplication before the first test (offscreen, as ctest sets QT_QPA_PLATFORM) and
// points the "Vendrel"/"Tarnwick" settings at a temporary folder, so no test sees a user's
// settings or another test's. ClearSettings empties them between tests.
class WidgetEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_app = new QApplication(s_argc, s_argv);
        QCoreApplication::setOrganizationName("Vendrel");
        QCoreApplication::setApplicationName("Tarnwick");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

private:
    static inline int s_argc = 1;
    static inline char s_name[] = "tarnwick-widget-test";
    static inline char* s_argv[] = {s_name, nullptr};
    QApplication* m_app = nullptr;
    QTemporaryDir m_settingsDir;
};

inline ::testing::Environment* const kWidgetEnvironment = ::testing::AddGlobalTestEnvironment(new WidgetEnvironment);

inline void ClearSettings() { QSettings().clear(); }

} // namespace test_qt
