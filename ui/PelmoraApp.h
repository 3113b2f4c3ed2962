// The application object: runs the window's start-up in its fixed order and owns what every view shares.
#pragma once

#include "simulator/Simulator.h"
#include "ui/WindowLook.h"

#include <memory>

class CMainFrame;

// Owns the simulator (capture log, decoder, both servers), the main window, the three icon lists
// and the console font, from construction to exit. UI thread only; needs a QApplication.
// A front end adds its server observers through Simulator() before InitInstance.
class CPelmoraApp {
public:
    static constexpr int kLargeIconSize = 32;
    static constexpr int kSmallIconSize = 16;

    explicit CPelmoraApp(const SimulatorOptions& options = {});
    ~CPelmoraApp();
    CPelmoraApp(const CPelmoraApp&) = delete;
    CPelmoraApp& operator=(const CPelmoraApp&) = delete;

    // Start-up: settings store, icon lists and font, the main window with all its views, shown;
    // the SMPP server, then the mobile server, then the capture log with the stored filter; the
    // navigation tree and the overview list; the title. A server that cannot start leaves its
    // rows with the stopped icon and start-up goes on.
    void InitInstance();

    // The icon lists and the console font the views share.
    const WindowLook& Look() const { return m_look; }

    CSimulator& Simulator() { return m_simulator; }
    CMainFrame* MainFrame() const { return m_frame.get(); }

private:
    void BuildImageLists();

    CSimulator m_simulator;
    WindowLook m_look;
    std::unique_ptr<CMainFrame> m_frame;
};
