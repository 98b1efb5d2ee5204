#pragma once

#include <QFont>
#include <QString>
#include <cstdint>

// The one message box through which the program asks and informs, one
// program-wide instance set up at start. Show returns the pressed button's
// number (1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No); it blocks
// its caller while window events keep running.
class MsgBoxExClass final {
public:
    // Blank reads as the full product name of the application whose
    // configuration file ConfigFile names.
    QString DefaultTitle() const;
    void SetDefaultTitle(const QString& title) { defaultTitle_ = title; }
    bool Standard() const { return standard_; }
    void SetStandard(bool standard) { standard_ = standard; }
    bool TopMost() const { return topMost_; }
    void SetTopMost(bool topMost) { topMost_ = topMost; }
    // Blank reads as the default configuration path.
    QString ConfigFile() const;
    void SetConfigFile(const QString& path) { configFile_ = path; }
    QString DictionaryFile() const { return dictionaryFile_; }
    void SetDictionaryFile(const QString& path) { dictionaryFile_ = path; }

    // With Standard, the platform's standard box gets prompt, style and title
    // unchanged; otherwise the program's own box, a blank title replaced by
    // DefaultTitle. helpFile and context play no part.
    int32_t Show(const QString& prompt, int32_t buttons = 0, const QString& title = QString(),
                 const QString& helpFile = QString(), int32_t context = 0,
                 const QFont* font = nullptr);

private:
    int32_t ShowStandard(const QString& prompt, int32_t buttons, const QString& title);

    QString defaultTitle_;
    bool standard_ = false;
    bool topMost_ = false;
    QString configFile_;
    QString dictionaryFile_;
};

// The program-wide instance, created on first use.
MsgBoxExClass& MsgBoxEx();
