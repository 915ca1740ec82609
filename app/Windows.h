#pragma once

namespace corvane {

class TForm1;

// Creates every window that exists, once, in the program's fixed order, and
// registers each with the main window.
void CreateWindows(TForm1* main);

} // namespace corvane
