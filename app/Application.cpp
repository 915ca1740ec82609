#include "Application.h"

#include "Seams.h"

#include <exception>

namespace corvane {

void ReportEscapedException(const char* what)
{
    seams().messageBox(what && *what ? what : "An unexpected error occurred.", "Corvane", BoxButtons::Ok);
}

bool CorvaneApplication::notify(QObject* receiver, QEvent* e)
{
    try {
        return QApplication::notify(receiver, e);
    } catch (const std::exception& ex) {
        ReportEscapedException(ex.what());
    } catch (...) {
        ReportEscapedException(nullptr);
    }
    return false;
}

} // namespace corvane
