#include "core/BuildVersionClass.h"

#include "platform/ProgramState.h"
#include "platform/Runtime.h"

namespace {

struct VersionRow {
    const char* major;
    const char* minor;
    const char* revision;
    bool showsRevision;
};

// Rows 1 to 12. Only row 8 is this program; the other rows belong to the
// maker's other applications and carry no version here.
const VersionRow kRows[12] = {
    {"0", "0", "0", false}, {"0", "0", "0", false}, {"0", "0", "0", false}, {"0", "0", "0", false},
    {"0", "0", "0", false}, {"0", "0", "0", false}, {"0", "0", "0", false}, {"3", "7", "3", true},
    {"0", "0", "0", false}, {"0", "0", "0", false}, {"0", "0", "0", false}, {"0", "0", "0", false},
};

}  // namespace

BuildVersionClass::BuildVersionClass() {
    SetApplication(1);
}

void BuildVersionClass::SetApplication(int32_t index) {
    application_ = index;
    if (index >= 1 && index <= 12) {
        const VersionRow& row = kRows[index - 1];
        major_ = row.major;
        minor_ = row.minor;
        revision_ = row.revision;
        showsRevision_ = row.showsRevision;
    }
    number_ = major_ + '.' + rt::Format(rt::Val(minor_), "00");
    if (showsRevision_)
        number_ += '.' + rt::Format(rt::Val(revision_), "000");
    dateString_ = QStringLiteral("22.06.2011");
    dateLong_ = QStringLiteral("40716");
}

int16_t BuildVersionClass::Major() const {
    return rt::CInt(major_);
}
int16_t BuildVersionClass::Minor() const {
    return rt::CInt(minor_);
}
int16_t BuildVersionClass::Revision() const {
    return rt::CInt(revision_);
}
int32_t BuildVersionClass::DateLong() const {
    return rt::CLng(dateLong_);
}

BuildVersionClass& AppVersion() {
    static BuildVersionClass instance;
    return instance;
}

namespace {
// The row of this program again, whatever row a caller chose.
[[maybe_unused]] const bool kVersionResetRegistered =
    platform::RegisterStateReset([] { AppVersion() = BuildVersionClass(); });
}  // namespace
