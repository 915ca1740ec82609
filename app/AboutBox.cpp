#include "AboutBox.h"

#include "Artwork.h"
#include "CorvaneVersion.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace corvane {

TAboutBox::TAboutBox(QWidget* parent) : TFormBase(parent)
{
    setObjectName("AboutBox");
    setWindowTitle("About Corvane");
    SetFixedFrame({340, 230}, CloseBoxOnly);

    auto* panel = new QFrame(this);
    panel->setObjectName("Panel1");
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setGeometry(8, 8, 324, 176);

    auto* picture = new QLabel(panel);
    picture->setObjectName("ProgramIcon");
    const QPixmap pm = art::aboutPicture().scaled(120, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    picture->setPixmap(pm);
    picture->setGeometry(8, 8, 120, 120);

    auto* product = new QLabel("Corvane", panel);
    product->setObjectName("ProductName");
    product->setStyleSheet("font-size: 20px; font-weight: bold;");
    product->setGeometry(140, 12, 176, 28);
    auto* version = new QLabel("Version " CORVANE_VERSION, panel);
    version->setObjectName("Version");
    version->setGeometry(140, 44, 176, 20);
    auto* line1 = new QLabel("An editor and librarian for the Ensoniq Mirage sampling keyboard.", panel);
    line1->setObjectName("Copyright");
    line1->setWordWrap(true);
    line1->setGeometry(140, 70, 176, 52);
    auto* line2 = new QLabel("Edits are made on the instrument by its own front-panel keys, sent over MIDI.", panel);
    line2->setObjectName("Comments");
    line2->setWordWrap(true);
    line2->setGeometry(8, 132, 308, 38);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    OKButton->setGeometry(132, 194, 75, 25);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);
}

void TAboutBox::OKButtonClick() { close(); }

} // namespace corvane
