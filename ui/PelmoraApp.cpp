// Start-up of the window in its fixed order.
#include "ui/PelmoraApp.h"

#include "simulator/Settings.h"
#include "ui/Icons.h"
#include "ui/MainFrame.h"

#include <QApplication>
#include <QCoreApplication>

namespace {

template <typename T, std::size_t N>
QList<QIcon> ImageList(const std::array<T, N>& ids, int size) {
    QList<QIcon> list;
    list.reserve(static_cast<qsizetype>(N));
    for (const int id : ids) {
        QIcon image;
        image.addPixmap(icons::Icon(id).pixmap(size, size));
        list.append(image);
    }
    return list;
}

} // namespace

CPelmoraApp::CPelmoraApp(const SimulatorOptions& options) : m_simulator(options) {}

CPelmoraApp::~CPelmoraApp() = default;

void CPelmoraApp::BuildImageLists() {
    m_look.largeNavigation = ImageList(icons::kNavigation, kLargeIconSize);
    m_look.smallNavigation = ImageList(icons::kNavigation, kSmallIconSize);
    m_look.decode = ImageList(icons::kDecode, kSmallIconSize);

    m_look.consoleFont = QFont("Tahoma");
    m_look.consoleFont.setPixelSize(14);
    m_look.consoleFont.setWeight(QFont::Normal);
    m_look.consoleFont.setItalic(false);
    m_look.consoleFont.setStyleHint(QFont::SansSerif);
}

void CPelmoraApp::InitInstance() {
    CSettings::SelectStore();
    BuildImageLists();
    QApplication::setWindowIcon(icons::ApplicationIcon());

    m_frame = std::make_unique<CMainFrame>(m_simulator, m_look);
    m_frame->show();

    // The tree shows which servers listen, so it is built after both have tried to start.
    m_simulator.Start();
    m_frame->BuildNavigation();
    m_frame->setWindowTitle("Tarnwick");
}
