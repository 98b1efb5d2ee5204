#include "common/TestSupport.h"

#include <QApplication>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QPixmap>
#include <QThread>
#include <QWidget>
#include <memory>
#include <ostream>

#include "common/ModalHelper.h"
#include "core/ErrorController.h"
#include "data/DatabaseClass.h"
#include "platform/AppError.h"
#include "platform/ProgramState.h"

void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
void PrintTo(const QByteArray& b, std::ostream* os) {
    *os << '"' << b.toStdString() << '"';
}
void PrintTo(const QColor& c, std::ostream* os) {
    *os << c.name(QColor::HexArgb).toStdString();
}

namespace {

void SetTestEnvironment(const QString& appData) {
    if (qEnvironmentVariableIsEmpty("KESTRELLE_COMMON_APPDATA"))
        qputenv("KESTRELLE_COMMON_APPDATA", appData.toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("KESTRELLE_SHORTDATE"))
        qputenv("KESTRELLE_SHORTDATE", "dd.MM.yyyy");
    if (qEnvironmentVariableIsEmpty("KESTRELLE_TIMEFORMAT"))
        qputenv("KESTRELLE_TIMEFORMAT", "HH:mm:ss");
}

// Before every test, in whatever order the tests run: the program's state as
// a fresh start finds it, and an error log of its own.
class FreshProgramState final : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override {
        platform::ResetProgramState();
        dir_ = std::make_unique<QTemporaryDir>();
        ErrorLogger().SetLogFileName(dir_->filePath(QStringLiteral("Error.log")));
        Database().SetErrorLogging(&ErrorLogger());
    }
    void OnTestEnd(const ::testing::TestInfo&) override { dir_.reset(); }

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

}  // namespace

int RunTestsInApplication(int argc, char** argv) {
    QTemporaryDir appData;
    SetTestEnvironment(appData.path());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshProgramState);
    return RUN_ALL_TESTS();
}

void ExpectAppError(const std::function<void()>& call, int number, const QString& description,
                    const QString& source) {
    try {
        call();
        ADD_FAILURE() << "no error raised, expected " << number;
    } catch (const AppError& e) {
        EXPECT_EQ(e.Number(), number);
        EXPECT_EQ(e.Description(), description);
        EXPECT_EQ(e.Source(), source);
    }
}

bool PumpEventsUntil(const std::function<bool()>& condition, int milliseconds) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

void PumpEvents(int milliseconds) {
    PumpEventsUntil([] { return false; }, milliseconds);
}

QStringList QueuedHandlerOrder(const std::function<void()>& routine) {
    QStringList order;
    QObject receiver;
    QMetaObject::invokeMethod(
        &receiver, [&order] { order << QStringLiteral("queued"); }, Qt::QueuedConnection);
    routine();
    order << QStringLiteral("returned");
    QCoreApplication::sendPostedEvents(&receiver);
    return order;
}

void TempAppDataTest::SetUp() {
    ASSERT_TRUE(dir_.isValid());
    previous_ = qgetenv("KESTRELLE_COMMON_APPDATA");
    qputenv("KESTRELLE_COMMON_APPDATA", dir_.path().toLocal8Bit());
}

void TempAppDataTest::TearDown() {
    modal::CancelPending();
    qputenv("KESTRELLE_COMMON_APPDATA", previous_);
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

void SaveScreenshot(QWidget* window, const QString& name) {
    const QString folder = qEnvironmentVariableIsEmpty("KESTRELLE_SCREENSHOTS")
                               ? QStringLiteral(KESTRELLE_SCREENSHOT_DIR)
                               : qEnvironmentVariable("KESTRELLE_SCREENSHOTS");
    ASSERT_TRUE(QDir().mkpath(folder)) << folder.toStdString();
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    EXPECT_TRUE(window->grab().save(path)) << path.toStdString();
}

void PressPasteKeys(QWidget* target) {
    const struct {
        int Key;
        Qt::KeyboardModifiers Modifiers;
        QString Text;
    } keys[] = {{Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16")},
                {Qt::Key_Insert, Qt::ShiftModifier, QString()}};
    for (const auto& k : keys) {
        QKeyEvent press(QEvent::KeyPress, k.Key, k.Modifiers, k.Text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, k.Key, k.Modifiers, k.Text);
        QApplication::sendEvent(target, &release);
    }
}
