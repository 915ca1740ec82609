// A picture of 8-bit unsigned sample data (128 the centre line): for each
// pixel column the lowest and highest sample it covers, so that a whole
// wavesample of up to 65,536 bytes fits the width without losing its peaks.
#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

namespace corvane {

class TWaveView : public QWidget {
    Q_OBJECT
public:
    explicit TWaveView(QWidget* parent = nullptr);

    void setSamples(std::vector<std::uint8_t> samples);
    const std::vector<std::uint8_t>& Samples() const { return samples_; }

    // The lowest and highest sample of pixel column `x` (0 <= x < width):
    // what the column shows. {128, 128} for a column with no samples.
    std::pair<int, int> ColumnRange(int x, int columns) const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    std::vector<std::uint8_t> samples_;
};

} // namespace corvane
