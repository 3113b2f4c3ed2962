// Gives a test executable the one QCoreApplication that sockets, timers and signal spies need.
#pragma once

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace test_qt {

// Creates the application before the first test and deletes it after the last, unless the
// executable already made its own (a widget test may need a QApplication instead).
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (QCoreApplication::instance() == nullptr)
            m_app = new QCoreApplication(s_argc, s_argv);
    }
    void TearDown() override
    {
        delete m_app;
        m_app = nullptr;
    }

private:
    // QCoreApplication keeps references to these for its whole life.
    static inline int s_argc = 1;
    static inline char s_name[] = "tarnwick-test";
    static inline char* s_argv[] = {s_name, nullptr};
    QCoreApplication* m_app = nullptr;
};

// Registered once per executable, however many of its files include this header.
inline ::testing::Environment* const kQtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace test_qt
