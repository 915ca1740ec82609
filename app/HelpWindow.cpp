#include "HelpWindow.h"

#include <QTextBrowser>
#include <QVBoxLayout>

namespace corvane {

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName("HelpWindow");
    setWindowTitle("Corvane Help");
    resize(720, 600);
    auto* browser = new QTextBrowser(this);
    browser->setObjectName("HelpBrowser");
    browser->setOpenExternalLinks(false);
    browser->setSource(QUrl("qrc:/help.html"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
}

} // namespace corvane
