#include "MirageFixture.h"

#include "FormBase.h"
#include "Midiout.h"
#include "Settings.h"
#include "SwitchBox.h"
#include "UpDown.h"
#include "VirtualDevice.h"
#include "Windows.h"

#include <QApplication>
#include <QTest>
#include <QToolButton>

#include <algorithm>

namespace corvane::test {

TappedMirage::~TappedMirage()
{
    for (int id : timers_)
        seams_.cancelTimer(id);
}

void TappedMirage::receive(const std::uint8_t* data, std::size_t len)
{
    std::size_t n = len;
    if (n > 0 && data[n - 1] == sysex::End)
        --n;
    seams_.recordSent(data, n);
    const Behaviour b = behaviour();
    if (!wireTime && b.lateMs == 0) {
        VirtualMirage::receive(data, len);
        return;
    }
    std::vector<Message> out = replies(data, len);
    const bool paced = pacedByPort && pacedByPort(len);
    inFree_ = std::max(inFree_, seams_.now) + (wireTime && !paced ? wireMs(len) : 0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const Message& reply = out[i];
        // An echo comes back as the message goes out; answers come after
        // the instrument's delay.
        const bool echo = b.echo && i == 0;
        const long long ready = echo ? inFree_ : inFree_ + b.lateMs;
        outFree_ = std::max(outFree_, ready) + (wireTime ? wireMs(reply.size()) : 0);
        timers_.push_back(seams_.startTimer(static_cast<int>(std::max(0LL, outFree_ - seams_.now)),
                                            [this, reply] { transmit(reply); }));
    }
}

void MirageFixture::SetUp()
{
    ASSERT_TRUE(dir_.isValid());
    setConfigDirectory(dir_.path());
    installSeams(&seams_);
    mirage_ = std::make_unique<TappedMirage>(seams_);
    mirage_->wireTime = wireTimeReplies;
    registerVirtualDevice(mirage_.get());
    if (autoStart)
        start();
}

void MirageFixture::start(bool createWindows)
{
    form_ = std::make_unique<TForm1>(seams_, virtualMirageRun);
    form_->MidiOut1->SetPacing(0);
    mirage_->pacedByPort = [this](std::size_t len) {
        return form_ && form_->MidiOut1->EffectiveRate() > 0 && len > static_cast<std::size_t>(TMidiOut::ChunkSize);
    };
    if (createWindows)
        CreateWindows(form_.get());
    RecordingSeams::deliver();
}

void MirageFixture::stop()
{
    if (mirage_)
        mirage_->pacedByPort = nullptr;
    if (form_)
        form_->FormClose();
    form_.reset();
    RecordingSeams::deliver();
}

void MirageFixture::TearDown()
{
    stop();
    unregisterVirtualDevice(mirage_.get());
    mirage_.reset();
    installSeams(nullptr);
    setConfigDirectory(QString());
}

void MirageFixture::clickUp(TUpDown* upDown) { QTest::mouseClick(upDown->upButton(), Qt::LeftButton); }
void MirageFixture::clickDown(TUpDown* upDown) { QTest::mouseClick(upDown->downButton(), Qt::LeftButton); }
void MirageFixture::clickBox(TSwitchBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

MirageFixture::FieldAccess MirageFixture::configField(int pos)
{
    return {[this, pos] { return form_->GetConfigParam(pos); },
            [this, pos](int v) { form_->SetConfigParam(pos, v); }};
}

void MirageFixture::expectRangeEnds(TFormBase* window, TUpDown* upDown, const FieldAccess& field, int storedAtMin,
                                    int storedAtMax)
{
    const std::string name = upDown->objectName().toStdString();
    for (const bool up : {true, false}) {
        const int at = up ? storedAtMax : storedAtMin;
        field.set(at);
        activate(window);
        seams_.clear();
        if (up)
            clickUp(upDown);
        else
            clickDown(upDown);
        EXPECT_TRUE(seams_.sent().empty()) << name << (up ? " up at the top" : " down at the bottom");
        EXPECT_EQ(field.get(), at) << name << (up ? " up at the top" : " down at the bottom");
    }
}

void MirageFixture::detachEmulator() { unregisterVirtualDevice(mirage_.get()); }

void MirageFixture::fetchDumps()
{
    // Long enough for both program dumps, one after the other on the wire.
    form_->SpeedButton1Click();
    seams_.wait(60);
    form_->sbRefreshULClick();
    seams_.wait(1000);
}

void MirageFixture::activate(QWidget* window)
{
    auto* f = qobject_cast<TFormBase*>(window);
    const int before = f ? f->ActivationCount() : 0;
    // A window that is already active is activated again as a user would:
    // by going to the main window and back.
    if (window->isVisible() && window->isActiveWindow()) {
        form_->activateWindow();
        RecordingSeams::deliver();
    }
    window->show();
    window->raise();
    window->activateWindow();
    RecordingSeams::deliver();
    // Where the platform did not activate it, run the handler as the window
    // system would have: exactly once either way.
    if (f && f->ActivationCount() == before)
        f->Activate();
}} // namespace corvane::test
