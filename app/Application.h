// The application object: an exception that escapes a handler is shown as
// a report, and the program goes on.
#pragma once

#include <QApplication>

namespace corvane {

class CorvaneApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* e) override;
};

// Shows the report for an exception that escaped a handler.
void ReportEscapedException(const char* what);

} // namespace corvane
