#pragma once

#include <QString>
#include <cstdint>

// The program's version number and build date, by application row of the
// maker's version table; this program is row 8.
class BuildVersionClass {
public:
    BuildVersionClass();

    int32_t Application() const { return application_; }
    // Recomputes every other field.
    void SetApplication(int32_t index);

    QString Number() const { return number_; }
    int16_t Major() const;
    int16_t Minor() const;
    int16_t Revision() const;
    QString DateString() const { return dateString_; }
    int32_t DateLong() const;

private:
    int32_t application_ = 0;
    QString number_;
    QString major_;
    QString minor_;
    QString revision_;
    bool showsRevision_ = false;
    QString dateString_;
    QString dateLong_;
};

// The program-wide instance, created on first use.
BuildVersionClass& AppVersion();
