#include "Screenshots.h"

#include "Form1.h"
#include "FormBase.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>

#include <cstdio>

namespace corvane {

namespace {
bool save(QWidget* w, const QString& path)
{
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}
} // namespace

int TakeScreenshots(TForm1* main, const QString& dir)
{
    QDir().mkpath(dir);
    Seams& s = main->seamsRef();
    main->show();
    s.wait(100);
    main->SpeedButton1Click();
    s.wait(300);
    main->sbRefreshULClick();
    s.wait(1500);
    int written = save(main, QDir(dir).filePath("TForm1.png")) ? 1 : 0;
    for (const auto& [className, window] : main->Windows()) {
        const int before = window->ActivationCount();
        window->show();
        window->raise();
        window->activateWindow();
        s.wait(50);
        // Run the activation handler where the platform does not activate
        // windows by itself.
        if (window->ActivationCount() == before)
            window->Activate();
        s.wait(200);
        // The receive window shows a wavesample asked of the instrument, as
        // the user would by pressing its request button; without an
        // instrument that answers there is nothing to wait for.
        if (className == "TfmWsGet" && main->Received(MirageProtocol::Arrival::Config)) {
            if (auto* request = window->findChild<QPushButton*>("bnReqWs")) {
                request->click();
                s.wait(200);
            }
        }
        // The wave editor shows the instrument's current wavesample, opened
        // as the user opens it from its File menu.
        if (className == "TfmWaveEditor" && main->Received(MirageProtocol::Arrival::Config)) {
            window->resize(900, 520);
            if (auto* open = window->findChild<QAction*>("acOpenCurrent")) {
                open->trigger();
                s.wait(200);
            }
        }
        if (save(window, QDir(dir).filePath(QString::fromStdString(className) + ".png")))
            ++written;
        window->hide();
        s.wait(20);
    }
    return written;
}

} // namespace corvane
