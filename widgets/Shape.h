// A shape: a rectangle or circle filled with a brush colour, with settable
// geometry and an optional caption, drawn centred in black or white
// (whichever reads on the brush) when it fits. Reports a mouse button
// released over it.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace corvane {

class TShape : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Rectangle, Circle };

    explicit TShape(QWidget* parent = nullptr, Kind kind = Kind::Rectangle);

    void setKind(Kind k);
    Kind kind() const { return kind_; }
    void setBrushColor(const QColor& c);
    QColor brushColor() const { return brush_; }
    void setPenColor(const QColor& c);
    void setText(const QString& text);
    QString text() const { return text_; }
    // The caption fits the shape as it now is.
    bool textFits(const QString& text) const;

signals:
    void mouseUp(Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    Kind kind_;
    QColor brush_ = Qt::white;
    QColor pen_ = Qt::black;
    QString text_;
};

} // namespace corvane
