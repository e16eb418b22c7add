// vorna-link's command line, run as the program itself.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

namespace vorna {
namespace {

// The help and the version are printed without a display, as on a server or in a script.
TEST(CommandLineTest, HelpAndVersionNeedNoDisplay) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromLatin1(name));
    }
    for (const QString& option : {QStringLiteral("--help"), QStringLiteral("--version")}) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(VORNA_BINARY_DIR "/bin/vorna-link"), {option});
        ASSERT_TRUE(program.waitForFinished(30000)) << option.toStdString();
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << option.toStdString();
        EXPECT_EQ(program.exitCode(), 0) << option.toStdString();
        EXPECT_TRUE(out.contains(option == "--help" ? "--simulate" : "vorna-link 1."))
            << out.toStdString();
    }
}

// A simulated device the command line cannot name ends the program with 2 and says why.
TEST(CommandLineTest, AnUnknownSimulatedDeviceIsRefused) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("esc:99"), QStringLiteral("takes a model type from 0 to 17")},
        {QStringLiteral("plane"), QStringLiteral("takes esc, esc:MODEL or card")}};
    for (const auto& [what, why] : cases) {
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(VORNA_BINARY_DIR "/bin/vorna-link"),
                      {QStringLiteral("--simulate"), what});
        ASSERT_TRUE(program.waitForFinished(30000)) << what.toStdString();
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_EQ(program.exitCode(), 2) << what.toStdString();
        EXPECT_TRUE(err.contains(why)) << err.toStdString();
    }
}

}  // namespace
}  // namespace vorna
