// The yardstick of the start-up benchmark: a bare Qt Widgets program with a
// main window of Corvane's size, a menu bar with six menus, a label and a
// status bar, which leaves its event loop once the window has been drawn.
#include "FirstPaint.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    for (const char* title : {"&Disk", "&Wavesample", "&Mirage", "&Functions", "&Setup", "&Help"})
        window.menuBar()->addMenu(title);
    auto* label = new QLabel("Ensoniq Mirage", &window);
    label->setAlignment(Qt::AlignCenter);
    window.setCentralWidget(label);
    window.statusBar()->showMessage("Current Kbd Half: XXXXX");
    window.resize(627, 484);
    new corvane::QuitAfterFirstPaint(&window);
    window.show();
    return app.exec();
}
