// Test entry point: a QApplication on the offscreen platform for every test.
#include "Application.h"
#include "AudioPlayer.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    corvane::CorvaneApplication app(argc, argv);
    Q_INIT_RESOURCE(corvane);
    corvane::AudioPlayer::addModuleFolder(CORVANE_BUILD_AUDIO_MODULE_DIR);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
