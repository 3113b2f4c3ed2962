// Gives a test executable the one Qt application object that sockets, timers, signal spies and
// widgets need.
#pragma once

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <type_traits>

namespace test_qt {

// Set while static objects are made when the executable also registers a QApplication
// environment: the plain QCoreApplication must then leave the place to it.
inline bool s_widgetApplication = false;

// Creates the application before the first test and deletes it after the last, unless the
// executable already made its own. App is QCoreApplication, or QApplication for widget tests.
template <typename App>
class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        const bool yield = std::is_same_v<App, QCoreApplication> && s_widgetApplication;
        if (QCoreApplication::instance() == nullptr && !yield)
            m_app = new App(s_argc, s_argv);
        Prepare();
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

protected:
    virtual void Prepare() {}

private:
    // The application keeps references to these for its whole life.
    static inline int s_argc = 1;
    static inline char s_name[] = "tarnwick-test";
    static inline char* s_argv[] = {s_name, nullptr};
    App* m_app = nullptr;
};

// Registered once per executable, however many of its files include this header.
inline ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment<QCoreApplication>);

} // namespace test_qt
