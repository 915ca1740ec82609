// A flat panel: a fill and, if given, a one-pixel border, painted by the
// panel itself. A style sheet would do the same, but a style sheet on a
// panel restyles every control on it through the style sheet machinery,
// which costs each editor window a good part of its build and its paint.
#pragma once

#include <QColor>
#include <QFrame>
#include <optional>

namespace corvane {

class TPanel : public QFrame {
    Q_OBJECT
public:
    explicit TPanel(QWidget* parent, const QColor& fill, std::optional<QColor> border = std::nullopt);

    // The editor windows' grey panels and their darker edge.
    static inline const QColor Grey{0xC0, 0xC0, 0xC0};
    static inline const QColor Edge{0x80, 0x80, 0x80};

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QColor fill_;
    std::optional<QColor> border_;
};

} // namespace corvane
