// Every named control carries its member name as its object name, so tests
// and tools find it by name.
#pragma once

#include <QLabel>
#include <QString>

namespace corvane {

template <typename W>
W* named(W* w, const char* name)
{
    w->setObjectName(name);
    return w;
}

template <typename W>
W* named(W* w, const QString& name)
{
    w->setObjectName(name);
    return w;
}

// A named label at (x, y), `w` wide and of one line unless `h` says more.
inline QLabel* namedLabel(QWidget* parent, const char* name, const QString& text, int x, int y, int w, int h = 17)
{
    auto* l = named(new QLabel(text, parent), name);
    l->setGeometry(x, y, w, h);
    return l;
}

} // namespace corvane
