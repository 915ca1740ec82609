#include "NameSample.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace corvane {

TfmNameSample::TfmNameSample(const WindowContext& context, QWidget* parent) : TFormBase(context, parent)
{
    setObjectName("fmNameSample");
    setWindowTitle("Name Sample");
    SetFixedFrame({173, 147}, Qt::WindowSystemMenuHint | Qt::WindowStaysOnTopHint);
    UseEditorFont();

    Label1 = new QLabel("Enter sample name: ", this);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);
    Label1->setGeometry(16, 12, 141, 17);
    Label2 = new QLabel("Max: 8 chars.", this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(16, 32, 141, 17);
    edSampleName = new QLineEdit("xxxxxxxx", this);
    edSampleName->setObjectName("edSampleName");
    edSampleName->setMaxLength(MaxNameLength);
    edSampleName->setGeometry(16, 60, 141, 21);

    bnOK = new QPushButton("OK", this);
    bnOK->setObjectName("bnOK");
    bnOK->setDefault(true);
    bnOK->setGeometry(8, 104, 75, 25);
    bnCancel = new QPushButton("Cancel", this);
    bnCancel->setObjectName("bnCancel");
    bnCancel->setGeometry(90, 104, 75, 25);

    connect(bnOK, &QPushButton::clicked, this, &TfmNameSample::bnOKClick);
    connect(bnCancel, &QPushButton::clicked, this, &TfmNameSample::bnCancelClick);
    connect(edSampleName, &QLineEdit::returnPressed, this, &TfmNameSample::bnOKClick);
}

void TfmNameSample::FormActivate()
{
    edSampleName->setText(QString::fromStdString(Ctx().wavesampleName(Ctx().nameSampleIndex)));
    edSampleName->selectAll();
    edSampleName->setFocus();
}

void TfmNameSample::bnOKClick()
{
    const int index = Ctx().nameSampleIndex;
    if (index >= 0 && index < 16)
        Ctx().wavesampleNames[static_cast<std::size_t>(index)] = edSampleName->text().toStdString();
    close();
}

void TfmNameSample::bnCancelClick() { close(); }

// Escape is the cancel button's key.
void TfmNameSample::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape)
        bnCancelClick();
    else
        TFormBase::keyPressEvent(e);
}


} // namespace corvane
