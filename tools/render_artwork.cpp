// Preview of the hand-painted artwork: composes the block diagram roughly as
// the main window shows it and writes PNG files to /tmp/art/.
// Build: g++ -std=c++20 -fPIC tools/render_artwork.cpp app/Artwork.cpp -Iapp
//        $(pkg-config --cflags --libs Qt6Widgets) -o /tmp/render_artwork
// Run:   QT_QPA_PLATFORM=offscreen /tmp/render_artwork   (from the top of the work tree)
#include "Artwork.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextDocument>
#include <QPainter>

#include <cstdio>

using namespace corvane::art;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = QStringLiteral("/tmp/art");
    QDir().mkpath(out);

    // main window client area
    QPixmap win(627, 465);
    win.fill(QColor(3, 6, 9));
    {
        QPainter p(&win);
        p.fillRect(0, 0, 627, 27, QColor(212, 208, 200));
        const Glyph glyphs[] = {Glyph::LoadBoth1, Glyph::LoadBoth2, Glyph::LoadBoth3,
                                Glyph::LoadUpper1, Glyph::LoadUpper2, Glyph::LoadUpper3,
                                Glyph::LoadLower1, Glyph::LoadLower2, Glyph::LoadLower3,
                                Glyph::GetConfiguration, Glyph::GetParameters};
        for (int i = 0; i < 11; ++i)
            p.drawPixmap(4 + i * 25, 3, toolGlyph(glyphs[i]).pixmap(QSize(20, 20)));

        QFont f;
        f.setPixelSize(16);
        p.setFont(f);
        p.setPen(Qt::yellow);
        for (int half : {1, 0}) {
            const int y = half ? 72 : 272;
            p.drawText(130, y - 8, QStringLiteral("Oscillator Control"));
            p.drawText(270, y - 8, QStringLiteral("Filter/Amplitude Control"));
            p.drawPixmap(16, y, memoryBlock(half));
            p.drawPixmap(97, y + 38, connector(23, 13));
            p.drawPixmap(120, y, oscillatorBlock(half));
            p.drawPixmap(233, y + 38, connector(23, 13));
            p.drawPixmap(256, y, filterBlock(half));
            p.drawPixmap(393, y + 38, connector(147, 13));
        }
        p.drawText(455, 190, QStringLiteral("Keyboard"));
        p.drawText(455, 208, QStringLiteral("Allocation"));
        p.drawPixmap(416, 140, keyboardBlock());
        p.fillRect(540, 116, 8, 202, QColor(128, 0, 0));
        p.drawPixmap(548, 210, connector(20, 13));
        p.drawPixmap(568, 195, outputConnector());
        p.drawPixmap(17, 385, bottomPicture());
        p.fillRect(0, 446, 627, 19, QColor(212, 208, 200));
    }
    win.save(out + "/mainwindow.png");
    win.scaled(win.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(out + "/mainwindow_x2.png");

    // glyphs in their three states, at 1x and enlarged
    const int n = 11;
    QPixmap sheet(n * 48 + 8, 3 * 48 + 8);
    sheet.fill(QColor(212, 208, 200));
    {
        QPainter p(&sheet);
        for (int i = 0; i < n; ++i) {
            const QIcon icon = toolGlyph(Glyph(i));
            const QIcon::Mode modes[3] = {QIcon::Normal, QIcon::Disabled, QIcon::Active};
            for (int m = 0; m < 3; ++m) {
                QPixmap pm = icon.pixmap(QSize(20, 20), 1.0, modes[m]);
                p.drawPixmap(QRect(8 + i * 48, 8 + m * 48, 40, 40), pm);
            }
        }
    }
    sheet.save(out + "/glyphs_x2.png");
    QPixmap hi = toolGlyph(Glyph::LoadBoth1).pixmap(QSize(20, 20), 2.0);
    hi.save(out + "/glyph_hidpi.png");

    QPixmap about = aboutPicture();
    about.save(out + "/about.png");
    about.scaled(about.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(out + "/about_x3.png");

    // the help page as the help window's text browser lays it out
    QFile help(QStringLiteral("resources/help.html"));
    if (help.open(QIODevice::ReadOnly)) {
        QTextDocument doc;
        doc.setHtml(QString::fromUtf8(help.readAll()));
        doc.setTextWidth(600);
        const QSizeF sz = doc.size();
        QImage img(600, int(sz.height()), QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        doc.drawContents(&p);
        p.end();
        img.copy(0, 0, 600, 1400).save(out + "/help_top.png");
        img.copy(0, 1400, 600, 1400).save(out + "/help_mid.png");
    }

    std::printf("sizes: mem %dx%d osc %dx%d flt %dx%d kbd %dx%d out %dx%d bottom %dx%d about %dx%d\n",
                memoryBlock(0).width(), memoryBlock(0).height(), oscillatorBlock(0).width(),
                oscillatorBlock(0).height(), filterBlock(0).width(), filterBlock(0).height(),
                keyboardBlock().width(), keyboardBlock().height(), outputConnector().width(),
                outputConnector().height(), bottomPicture().width(), bottomPicture().height(),
                about.width(), about.height());
    return 0;
}
